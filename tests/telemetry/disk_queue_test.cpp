// The queue file that keeps readings for the broker through outages,
// restarts and kills: never replaced unread, its numbers never given twice,
// its damage said, and delivered lines give their space back.
#include "station/clock.h"
#include "support/full_disk.h"
#include "support/mqtt_broker.h"
#include "telemetry/disk_queue.h"
#include "telemetry/mqtt_publisher.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace zel {
namespace {

// Why the queue refused its file; empty when it took it.
QString refusalOf(const Expected<DiskQueue::Opened>& opened) {
    return opened ? QString() : opened.error().text;
}

// Why waiting readings are not all in the file; empty when they are.
QString writeFailureOf(const DiskQueue& q) {
    return q.writeFailure() ? q.writeFailure()->text : QString();
}

QByteArray body(quint64 n) {
    return "{\"n\":" + QByteArray::number(n) + "}";
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QList<QByteArray> linesOf(const QString& path) {
    return bytesOf(path).split('\n').mid(0, bytesOf(path).count('\n'));
}

std::vector<quint64> seqs(const std::vector<DiskQueue::Entry>& entries) {
    std::vector<quint64> out;
    for (const auto& e : entries)
        out.push_back(e.seq);
    return out;
}

// Runs `steps` on a queue of the file `path` in a child process that then
// ends the way a kill -9 leaves things: no destructor, no pending write
// (unless the steps destroy the queue themselves). False when the child
// could not open the queue or a check in it failed.
bool killedAfter(const QString& path, qsizetype capacity,
                 const std::function<void(std::optional<DiskQueue>&)>& steps) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        auto* q = new std::optional<DiskQueue>(std::in_place, path, capacity); // never freed
        if (!(*q)->open().has_value())
            ::_exit(2);
        steps(*q);
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// "P 3", "D 1", ...: flag and number of each line after the marks.
QStringList queueLinesOf(const QString& path) {
    QStringList out;
    const QList<QByteArray> lines = linesOf(path);
    for (qsizetype i = 2; i < lines.size(); ++i)
        out << QString::fromUtf8(lines[i].left(lines[i].indexOf(' ', 2)));
    return out;
}

TEST(DiskQueue, WaitingReadingsSurviveARestartInOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    {
        DiskQueue q(path, 100);
        const Expected<DiskQueue::Opened> o = q.open();
        ASSERT_TRUE(o.has_value());
        EXPECT_TRUE(o->waiting.empty());
        for (quint64 i = 1; i <= 5; ++i)
            EXPECT_EQ(q.push(body(i), {qint64(100 * i), 1000 + i}).seq, i);
        q.markDone(3); // acknowledgements may come out of order
        q.markDone(1);
        q.markDone(99); // unknown: ignored
        EXPECT_EQ(q.size(), 3);
    }
    // A crash in the middle of a line leaves a line without its end.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("P 6 {\"n\":6");
    f.close();
    {
        DiskQueue q(path, 100);
        const Expected<DiskQueue::Opened> o = q.open();
        EXPECT_EQ(seqs(o->waiting), (std::vector<quint64>{2, 4, 5}));
        EXPECT_EQ(o->waiting[0].payload, body(2));
        EXPECT_EQ(o->lastQueued, (DiskQueue::Identity{500, 1005, 1004}));
        EXPECT_EQ(o->damagedLines + o->damagedReadings, 0);
        EXPECT_EQ(q.nextSeq(), 6u) << "the cut line was never sent: its number is free";
        EXPECT_EQ(linesOf(path).size(), 5) << "reopening keeps only the marks and waiting lines";
        for (quint64 s : {2, 4, 5})
            q.markDone(s);
        EXPECT_EQ(linesOf(path).size(), 2) << "an empty queue shrinks to its marks";
    }
    DiskQueue q(path, 100);
    const Expected<DiskQueue::Opened> o = q.open();
    EXPECT_TRUE(o->waiting.empty());
    EXPECT_EQ(o->lastQueued.fp, 1005u) << "the marks remember the last reading queued";
    EXPECT_EQ(q.push(body(6)).seq, 6u);
}

// Deferred writes: what the broker took before the batch is written never
// reaches the file, the rest goes in one batch, and a queue stopped before
// its batch names only readings it has (the working file has the others).
TEST(DiskQueue, DeferredWritesKeepOnlyWhatWaitsAndNeverNameAnUnwrittenReading) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    ASSERT_TRUE(killedAfter(path, 100, [&](std::optional<DiskQueue>& q) {
        q->setDeferredWrites(true);
        for (quint64 i = 1; i <= 4; ++i)
            q->push(body(i), {qint64(100 * i), 1000 + i});
        EXPECT_EQ(linesOf(path).size(), 2) << "nothing is written before the batch";
        q->markDone(1);
        q->markDone(2);
        q->writePending();
        EXPECT_EQ(linesOf(path).size(), 4) << "the marks and the two that wait";
        q->markDone(3);
        q->writePending();
        q->push(body(5), {500, 1005});
        q->push(body(6), {600, 1006}); // the process is killed before its batch
    }));
    {
        DiskQueue q(path, 100);
        const Expected<DiskQueue::Opened> o = q.open();
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(seqs(o->waiting), (std::vector<quint64>{4}));
        EXPECT_EQ(o->lastQueued, (DiskQueue::Identity{400, 1004, 1003}))
            << "readings 5 and 6 are taken again from the working file";
        q.setDeferredWrites(true);
        q.markDone(4);
        q.writePending();
    }
    DiskQueue q(path, 100);
    const Expected<DiskQueue::Opened> o = q.open();
    ASSERT_TRUE(o.has_value());
    EXPECT_TRUE(o->waiting.empty());
    EXPECT_EQ(linesOf(path).size(), 2) << "delivered: back to its marks";
}

// Batches cut short by a kill at any point, against what a publisher does
// with them: it sends a reading only once a batch (w) is written after its
// push (p), and the broker acknowledges (d<n>) only what was sent. Whatever
// the point, every reading is delivered, waits in the file, or comes after
// the marks (then it is taken again from the working file under the number
// that follows them), and no number that reached the broker is given again.
TEST(DiskQueue, BatchesCutShortByAKillNeitherReuseANumberNorLoseAReading) {
    struct Case {
        const char* steps; // p, w, d<n>, and c: the queue is closed
        qsizetype capacity;
        QStringList file;             // the lines after the marks, at the kill
        std::vector<quint64> waiting; // after the restart
        quint64 safe;                 // the last reading the marks name (0: none)
    };
    const Case cases[] = {
        {"p p p", 100, {}, {}, 0},
        {"p p w", 100, {"P 1", "P 2"}, {1, 2}, 2},
        {"p p w d1 d2 p", 100, {"P 1", "P 2"}, {1, 2}, 2}, // sent again: a QoS 1 repeat
        {"p p w d1 d2 p w", 100, {"P 3"}, {3}, 3},
        {"p p w d2 p w", 100, {"P 1", "D 2", "P 3"}, {1, 3}, 3},
        {"p p w d2 d1 w", 100, {}, {}, 2},
        {"p p w d1 p p", 100, {"P 1", "P 2"}, {1, 2}, 2},
        {"p p p w", 2, {"P 2", "P 3"}, {2, 3}, 3}, // 1 dropped by the full queue
        {"p p w d1 p c", 100, {"D 1", "P 2", "P 3"}, {2, 3}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        QTemporaryDir dir;
        const QString path = dir.filePath("q.txt");
        const QStringList steps = QString::fromLatin1(c.steps).split(' ');
        // What the publisher and the broker make of the steps.
        std::deque<quint64> queued;
        std::set<quint64> sent, gone; // gone: delivered, or dropped by a full queue
        quint64 pushed = 0;
        for (const QString& step : steps) {
            if (step == "p") {
                queued.push_back(++pushed);
                if (qsizetype(queued.size()) > c.capacity) {
                    gone.insert(queued.front());
                    queued.pop_front();
                }
            } else if (step == "w" || step == "c") {
                sent.insert(queued.begin(), queued.end());
            } else {
                gone.insert(step.mid(1).toULongLong());
            }
        }
        ASSERT_TRUE(killedAfter(path, c.capacity, [&](std::optional<DiskQueue>& q) {
            q->setDeferredWrites(true);
            for (const QString& step : steps) {
                if (step == "p") {
                    const quint64 n = q->nextSeq();
                    q->push(body(n), {qint64(100 * n), 1000 + n});
                } else if (step == "w") {
                    q->writePending();
                } else if (step == "c") {
                    q.reset();
                    return;
                } else {
                    q->markDone(step.mid(1).toULongLong());
                }
            }
        }));
        EXPECT_EQ(queueLinesOf(path), c.file);
        DiskQueue q(path, c.capacity);
        const Expected<DiskQueue::Opened> o = q.open();
        ASSERT_TRUE(o.has_value()) << refusalOf(o).toStdString();
        EXPECT_EQ(seqs(o->waiting), c.waiting);
        const quint64 safe = o->lastQueued.known() ? quint64(o->lastQueued.end / 100) : 0;
        EXPECT_EQ(safe, c.safe);
        EXPECT_EQ(q.nextSeq(), safe + 1) << "the readings after the marks get their numbers again";
        for (quint64 i = 1; i <= pushed; ++i) {
            const bool waits = std::count(c.waiting.begin(), c.waiting.end(), i) > 0;
            EXPECT_TRUE(gone.count(i) || waits || i > safe) << "reading " << i << " is lost";
            EXPECT_TRUE(i <= safe || !sent.count(i)) << "number " << i << " is given twice";
        }
    }
}

TEST(DiskQueue, AFullQueueDropsTheOldestAndALowerLimitCountsWhatItDrops) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    {
        DiskQueue q(path, 3);
        ASSERT_TRUE(q.open().has_value());
        std::vector<std::optional<quint64>> dropped;
        for (quint64 i = 1; i <= 5; ++i)
            dropped.push_back(q.push(body(i)).dropped);
        EXPECT_EQ(dropped, (std::vector<std::optional<quint64>>{std::nullopt, std::nullopt,
                                                                std::nullopt, 1u, 2u}));
    }
    DiskQueue q(path, 2);
    const Expected<DiskQueue::Opened> o = q.open();
    EXPECT_EQ(seqs(o->waiting), (std::vector<quint64>{4, 5})) << "the newest stay";
    EXPECT_EQ(o->droppedByLimit, 1);
}

// A kill between the reading's line and the marks: the line names the
// reading, so the marks' older word does not send it again.
TEST(DiskQueue, TheNewestLineOutranksOlderMarks) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    QByteArray marksBefore;
    {
        DiskQueue q(path, 100);
        ASSERT_TRUE(q.open().has_value());
        q.push(body(1), {100, 11});
        marksBefore = bytesOf(path).left(192);
        q.push(body(2), {200, 22});
    }
    QByteArray text = bytesOf(path);
    text.replace(0, 192, marksBefore);
    writeBytes(path, text);
    DiskQueue q(path, 100);
    const Expected<DiskQueue::Opened> o = q.open();
    EXPECT_EQ(o->lastQueued, (DiskQueue::Identity{200, 22, 11}));
    EXPECT_EQ(q.nextSeq(), 3u);
}

// Files the queue finds at its start: what it refuses it leaves as it is,
// what it recovers it says.
TEST(DiskQueue, DamagedFilesAreRefusedOrRecoveredAndSaid) {
    QTemporaryDir made;
    QByteArray good;
    {
        DiskQueue q(made.filePath("q.txt"), 100);
        q.open();
        for (quint64 i = 1; i <= 7; ++i)
            q.push(body(i), {qint64(i * 10), i});
        for (quint64 i = 1; i <= 5; ++i)
            q.markDone(i);
        good = bytesOf(made.filePath("q.txt"));
    }
    QByteArray firstTorn = good;
    firstTorn.replace(10, 5, "#####");
    QByteArray bothTorn = firstTorn;
    bothTorn.replace(106, 5, "#####");
    QByteArray secondTorn = good;
    secondTorn.replace(106, 5, "#####");
    struct Case {
        const char* name;
        QByteArray text;
        const char* refusal; // a piece of it; "" when the file is taken
        std::vector<quint64> waiting;
        quint64 next;
        const char* note;
        qint64 damagedReadings;
    } cases[] = {
        {"whole", good, "", {6, 7}, 8, "", 0},
        {"first mark torn", firstTorn, "", {6, 7}, 8, "recovered from the copy", 0},
        {"copy torn", secondTorn, "", {6, 7}, 8, "written anew", 0},
        {"both marks torn", bothTorn, "nor a readable copy", {}, 0, "", 0},
        {"empty", "", "nor a readable copy", {}, 0, "", 0},
        {"first form", "N 00000000000000000041\nP 40 {\"a\":1}\n", "", {40}, 41, "", 0},
        {"a mark beyond 2^53-1", "N 18446744073709551615\n", "nor a readable copy", {}, 0, "", 0},
        {"the last number", "N 00009007199254740992\n", "", {}, 9007199254740992u, "", 0},
        {"a payload that is no JSON",
         "N 00000000000000000003\nP 4 not-json\nP 5 {\"b\":2}\n",
         "",
         {5},
         6,
         "",
         1},
        {"a number beyond 2^53-1",
         "N 00000000000000000003\nP 9007199254740992 {}\n",
         "",
         {},
         3,
         "",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("q.txt");
        writeBytes(path, c.text);
        DiskQueue q(path, 100);
        const Expected<DiskQueue::Opened> o = q.open();
        if (*c.refusal) {
            EXPECT_FALSE(o.has_value());
            EXPECT_TRUE(refusalOf(o).contains(c.refusal)) << refusalOf(o).toStdString();
            EXPECT_TRUE(refusalOf(o).contains(path));
            EXPECT_EQ(bytesOf(path), c.text) << "a refused file is never replaced";
            continue;
        }
        ASSERT_TRUE(o.has_value()) << refusalOf(o).toStdString();
        EXPECT_EQ(seqs(o->waiting), c.waiting);
        EXPECT_EQ(q.nextSeq(), c.next);
        EXPECT_TRUE(*c.note ? o->markNote.contains(c.note) : o->markNote.isEmpty())
            << o->markNote.toStdString();
        EXPECT_EQ(o->damagedReadings, c.damagedReadings);
    }
}

TEST(DiskQueue, NumbersStopAtWhatAJsonNumberHoldsExactly) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    writeBytes(path, "N 00009007199254740991\n");
    DiskQueue q(path, 100);
    ASSERT_TRUE(q.open().has_value());
    EXPECT_EQ(q.push(body(1)).seq, DiskQueue::MaxSeq);
    EXPECT_EQ(q.push(body(2)).seq, 0u) << "refused, not wrapped";
    DiskQueue again(path, 100);
    ASSERT_TRUE(again.open().has_value()) << "the high-water mark stays readable";
    EXPECT_EQ(again.nextSeq(), DiskQueue::MaxSeq + 1);
}

TEST(DiskQueue, WhatCannotBeReadOrIsALinkIsNeverReplaced) {
    QTemporaryDir dir;
    const QString target = dir.filePath("elsewhere.txt");
    writeBytes(target, "not a queue\n");
    const QString link = dir.filePath("link.txt");
    ASSERT_TRUE(QFile::link(target, link));
    {
        DiskQueue q(link, 100);
        const Expected<DiskQueue::Opened> o = q.open();
        EXPECT_FALSE(o.has_value());
        EXPECT_TRUE(refusalOf(o).contains("symbolic link")) << refusalOf(o).toStdString();
        EXPECT_TRUE(refusalOf(o).contains(link));
        EXPECT_EQ(bytesOf(target), "not a queue\n");
        EXPECT_TRUE(QFileInfo(link).isSymLink());
    }
    {
        QDir(dir.path()).mkdir("folder.txt");
        DiskQueue q(dir.filePath("folder.txt"), 100);
        EXPECT_TRUE(refusalOf(q.open()).contains("is not a regular file"));
    }
    // A file this user may not read: tried as another user, since root
    // reads everything.
    const QString path = dir.filePath("q.txt");
    writeBytes(path, "N 00000000000000000009\n");
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        DiskQueue q(path, 100);
        const Expected<DiskQueue::Opened> o = q.open();
        ::_exit(!o.has_value() && refusalOf(o).contains("Permission denied") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "refused with the reason";
    EXPECT_EQ(bytesOf(path), "N 00000000000000000009\n");
}

TEST(DiskQueue, ATemporaryFileOfARewriteCutShortIsRemoved) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    writeBytes(dir.filePath(".q.txt.a1B2c3"), "half a rewrite");
    writeBytes(dir.filePath(".q.txt.keep"), "not ours");
    DiskQueue q(path, 100);
    EXPECT_EQ(q.open().value().leftoversRemoved, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath(".q.txt.a1B2c3")));
    EXPECT_TRUE(QFile::exists(dir.filePath(".q.txt.keep")));
}

// While the broker takes readings a few behind, delivered lines give their
// room back without a second copy: the file stays small.
TEST(DiskQueue, DeliveredLinesGiveTheirSpaceBackWhileOthersWait) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    DiskQueue q(path, 100000);
    ASSERT_TRUE(q.open().has_value());
    qint64 largest = 0;
    for (quint64 i = 1; i <= 3000; ++i) {
        q.push(body(i) + QByteArray(200, ' '));
        if (i > 5)
            q.markDone(i - 5); // five always wait
        largest = std::max(largest, q.fileBytes());
    }
    EXPECT_LT(largest, 16 * 1024) << "about 3000 delivered lines would take 650 KB";
    DiskQueue again(path, 100000);
    EXPECT_EQ(seqs(again.open().value().waiting),
              (std::vector<quint64>{2996, 2997, 2998, 2999, 3000}));
}

// Pushes `n` readings of about 100 bytes; returns the numbers given.
std::vector<quint64> pushMany(DiskQueue& q, int n) {
    std::vector<quint64> given;
    for (int i = 0; i < n; ++i)
        given.push_back(q.push("{\"r\":\"" + QByteArray(100, 'r') + "\"}").seq);
    return given;
}

// A full disk under the queue: the system's reason is said, no number is
// given twice, across a restart too, and once space is back every waiting
// reading is in the file, once.
TEST(DiskQueue, AFullDiskNeitherReusesNumbersNorLosesTheQueue) {
    struct Case {
        const char* name;
        bool releaseBeforeRestart;
    };
    for (const Case c : {Case{"restart on a full disk", false}, Case{"space back", true}}) {
        SCOPED_TRACE(c.name);
        test::FullDisk disk(64 * 1024);
        ZEL_REQUIRE_FULL_DISK(disk);
        const QString path = disk.file("q.txt");
        quint64 highest = 0, acked = 0;
        std::vector<quint64> stillWaiting;
        {
            DiskQueue q(path, 100000, 0);
            ASSERT_TRUE(q.open().has_value());
            for (quint64 s : pushMany(q, 5))
                if (s <= 3)
                    q.markDone(s);
            disk.fill();
            const std::vector<quint64> given = pushMany(q, 300);
            EXPECT_TRUE(writeFailureOf(q).contains("No space left on device"))
                << writeFailureOf(q).toStdString();
            q.markDone(4);
            acked = given[10];
            q.markDone(acked);
            highest = q.nextSeq() - 1;
            if (c.releaseBeforeRestart) {
                disk.release();
                q.push("{}");
                ++highest;
                EXPECT_TRUE(writeFailureOf(q).isEmpty()) << writeFailureOf(q).toStdString();
                stillWaiting.push_back(5);
                for (quint64 s : given)
                    if (s != given[10])
                        stillWaiting.push_back(s);
                stillWaiting.push_back(highest);
            }
        }
        DiskQueue q(path, 100000, 0);
        const Expected<DiskQueue::Opened> o = q.open();
        ASSERT_TRUE(o.has_value()) << refusalOf(o).toStdString();
        EXPECT_GT(q.nextSeq(), highest) << "every number given before the restart stays used";
        if (c.releaseBeforeRestart)
            EXPECT_EQ(seqs(o->waiting), stillWaiting);
        else
            for (const DiskQueue::Entry& e : o->waiting) {
                EXPECT_GE(e.seq, 5u) << "acknowledged readings stay done";
                EXPECT_NE(e.seq, acked);
            }
        disk.release();
    }
}

// On a disk with almost no room, a queue whose readings are delivered a few
// behind keeps taking every line.
TEST(DiskQueue, ANearlyFullDiskKeepsTakingLinesWhileTheBrokerTakesThem) {
    test::FullDisk disk(64 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    DiskQueue q(disk.file("q.txt"), 100000, 0);
    ASSERT_TRUE(q.open().has_value());
    disk.fill(12 * 1024);
    for (quint64 i = 1; i <= 2000; ++i) {
        q.push(body(i) + QByteArray(150, ' '));
        if (i > 8)
            q.markDone(i - 8);
        ASSERT_TRUE(writeFailureOf(q).isEmpty()) << i << ": " << writeFailureOf(q).toStdString();
    }
}

// What the publisher makes of the queue file it finds: each problem said in
// words naming the file, dropped readings counted for `health`, and a file
// it refuses left as it is, with nothing published.
TEST(DiskQueue, ThePublisherSaysAndCountsWhatItFindsInTheQueueFile) {
    struct Case {
        const char* name;
        QByteArray file;
        int limit;
        bool starts;
        qint64 dropped;
        const char* said;
    } cases[] = {
        {"a lowered QueueLimit", "N 00000000000000000009\nP 5 {}\nP 6 {}\nP 7 {}\nP 8 {}\n", 2,
         true, 2, "QueueLimit 2 is below the readings waiting"},
        {"a payload that is no JSON", "N 00000000000000000009\nP 4 not-json\n", 100, true, 1,
         "1 damaged readings in the queue file"},
        {"an unreadable mark", "garbage\nP 4 {}\n", 100, false, 0, "; nothing is published"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString queue = dir.filePath(MqttPublisher::queueFileName());
        writeBytes(queue, c.file);
        IniFile ini(dir.filePath("Zel.ini"));
        ini.write("MQTT", "Host", "127.0.0.1");
        ini.write("MQTT", "Port", QString::number(test::freeLoopbackPort()));
        ini.write("MQTT", "QueueLimit", QString::number(c.limit));
        SystemClock clock;
        MqttPublisher p([&] { return clock.now(); });
        QStringList said;
        QObject::connect(&p, &MqttPublisher::message,
                         [&](const QString& text, bool) { said << text; });
        EXPECT_EQ(p.start(IniFile(dir.filePath("Zel.ini")), dir.path(), "host"), c.starts);
        EXPECT_EQ(p.dropped(), c.dropped);
        EXPECT_EQ(said.filter(c.said).size(), 1) << said.join("\n").toStdString();
        EXPECT_TRUE(said.filter(c.said).value(0).contains(queue)) << "the word names the file";
        if (!c.starts) {
            EXPECT_EQ(bytesOf(queue), c.file);
        }
        p.stop(0);
    }
}

} // namespace
} // namespace zel

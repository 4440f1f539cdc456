// The feed and the working file hold the same readings: a reading is told
// as filed only once its line is in the file, and at a start the readings
// filed after the last one queued are found by their lines, whatever
// happened to the file in between.
#include "data/data_files.h"
#include "protocol/orvan.h"
#include "protocol/tarvo.h"
#include "station/families.h"
#include "support/station_fixture.h"
#include "support/tarvo_frames.h"
#include "telemetry/filed_readings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zel {
namespace {

const QByteArray Header = "h1\r\nh2\r\nh3\r\nh4\r\nh5\r\nh6\r\nh7\r\n-\r\n";

QByteArray line(const char* text) {
    return QByteArray(text) + "\r\n";
}

// The identity of the `n`-th (from 1) reading line of `text`.
DiskQueue::Identity identityOf(const QByteArray& text, int n) {
    qint64 at = Header.size();
    quint64 previous = 0;
    for (int i = 1;; ++i) {
        const qint64 end = text.indexOf('\n', at) + 1;
        const QByteArray l = text.mid(at, end - at);
        if (i == n)
            return {end, lineFingerprint(l), previous};
        previous = lineFingerprint(l);
        at = end;
    }
}

TEST(FiledReadings, TheReadingsAfterTheLastQueuedAreFoundByTheirLines) {
    const QByteArray five =
        Header + line("a,1") + line("b,2") + line("c,3") + line("d,4") + line("e,5");
    const DiskQueue::Identity third = identityOf(five, 3);
    const QByteArray same = Header + line("s,1") + line("s,1") + line("s,1") + line("s,1");
    struct Case {
        const char* name;
        QByteArray file;
        DiskQueue::Identity last;
        QStringList after;
        const char* how;
    } cases[] = {
        {"the same file", five, third, {"d,4", "e,5"}, "at its place"},
        {"a torn last line is no reading",
         Header + line("a,1") + line("b,2") + line("c,3") + "d,",
         third,
         {},
         "at its place"},
        {"rewritten with a longer header", "x" + five, third, {"d,4", "e,5"}, "by its text"},
        {"begun anew (a save, a rename)",
         Header + line("n,1") + line("n,2"),
         third,
         {"n,1", "n,2"},
         "not in the file"},
        {"the last queued one moved aside",
         Header + line("a,1") + line("b,2") + line("n,1"),
         third,
         {"n,1"},
         "by the reading before it"},
        {"alike lines are told apart by their place",
         same,
         identityOf(same, 3),
         {"s,1"},
         "at its place"},
        {"a queue that never took one", five, {}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("ZelTemp.csv");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.file);
        f.close();
        const FiledAfter found = readingsFiledAfter(path, c.last, 100);
        QStringList texts;
        for (const FiledLine& l : found.lines)
            texts << QString::fromUtf8(l.text);
        EXPECT_EQ(texts, c.after);
        EXPECT_EQ(found.how, QString::fromUtf8(c.how));
        if (!found.lines.empty()) {
            EXPECT_EQ(found.lines.back().end, c.file.size() - (c.file.endsWith('\n') ? 0 : 2));
        }
    }
}

TEST(FiledReadings, ALineReadsBackAsTheReadingItWasWrittenFrom) {
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    Reading r;
    r.instrumentId = "T5-17";
    r.setTaken(QDateTime(QDate(2026, 3, 14), QTime(9, 30, 5)));
    r.value = 12.25;
    r.unit = "mR/h";
    r.status = "ok, fine"; // quoted in the file
    r.detector = "161";
    for (const int16_t family : {Tarvo5, Orvan}) {
        SCOPED_TRACE(family);
        const RecordLayout& layout = familyOrDefault(family).record;
        Reading sent = r;
        if (family == Orvan)
            sent.extras = {Quantity{"americium", "3.5", 3.5}, Quantity{"cesium", "--", NAN}};
        const QByteArray text = readingLine(recordOf(sent, layout));
        const Reading back = readingFromLine(text.chopped(2), layout);
        EXPECT_EQ(recordOf(back, layout), recordOf(sent, layout));
        EXPECT_EQ(back.localMoment(), sent.localMoment());
        EXPECT_DOUBLE_EQ(back.value, 12.25);
        if (family == Orvan) {
            ASSERT_NE(back.extra("americium"), nullptr);
            EXPECT_DOUBLE_EQ(back.extra("americium")->number, 3.5);
        }
    }
}

// A reading whose line waits for a full disk is not told as filed until it
// is in the file, and then in order, with the alarm level it left.
TEST(FiledReadings, AReadingIsToldAsFiledOnlyOnceItsLineIsWritten) {
    test::StationRig rig(Tarvo5);
    ASSERT_TRUE(rig.openPort());
    std::vector<std::pair<double, AlarmLevel>> told;
    QObject::connect(rig.station, &Station::readingFiled, [&](const Reading& r, AlarmLevel level) {
        told.push_back({r.value, level});
    });
    const auto receive = [&](float value) {
        rig.port.inject(tarvo::buildTarvoFrame(test::readingPayload(0x86, value, 6)));
    };
    receive(1.0f);
    const QString path = rig.data.workingFile().path();
    rig.data.workingFile().close();
    QFile::rename(path, path + ".away");
    QDir().mkdir(path); // the working file's name is now taken by a folder
    receive(2.0f);
    receive(9.0f);
    EXPECT_EQ(told.size(), 1u) << "two readings wait unfiled: not told";
    QDir().rmdir(path);
    QFile::rename(path + ".away", path);
    receive(3.0f);
    EXPECT_EQ(told, (std::vector<std::pair<double, AlarmLevel>>{{1, AlarmLevel::High1},
                                                                {2, AlarmLevel::High1},
                                                                {9, AlarmLevel::High2},
                                                                {3, AlarmLevel::High1}}));
}

} // namespace
} // namespace zel

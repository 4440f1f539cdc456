// The pure parts of publishing: the [MQTT] settings and their checks, the
// JSON bodies, and the queue file that keeps readings through outages and
// restarts.
#include "common/datetime.h"
#include "station/families.h"
#include "support/full_disk.h"
#include "telemetry/disk_queue.h"
#include "telemetry/mqtt_settings.h"
#include "telemetry/reading_message.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>

namespace zel {
namespace {

struct SettingsCase {
    const char* lines;
    const char* problem; // a piece of the message; "" for usable settings
};

TEST(MqttSettings, BadKeysAreNamedAndGoodOnesPass) {
    QTemporaryDir dir;
    QFile(dir.filePath("pw")).open(QIODevice::WriteOnly);
    const QString pw = dir.filePath("pw");
    const SettingsCase cases[] = {
        {"Host=broker.example\nStation=north-1\n", ""},
        {"Host=h\nStation=a+b\n", "may not contain +, # or /"},
        {"Host=h\nStation=a#\n", "may not contain +, # or /"},
        {"Host=h\nStation=site/a\n", "may not contain +, # or /"},
        {"Host=h\nStation=x\nTopicPrefix=net/zel\n", ""},
        {"Host=h\nStation=x\nTopicPrefix=net/+\n", "may not contain + or #"},
        {"Host=h\nStation=x\nTopicPrefix=/net\n", "empty level"},
        {"Host=h\nStation=x\nTopicPrefix=$SYS\n", "may not begin with $"},
        {"Host=h\nStation=x\nPort=0\n", "not a port number"},
        {"Host=h\nStation=x\nPort=70000\n", "not a port number"},
        {"Host=h\nStation=x\nPort=mqtt\n", "not a port number"},
        {"Host=h\nStation=x\nPasswordFile=PW\n", "User is empty"},
        {"Host=h\nStation=x\nUser=u\nPasswordFile=/nonexistent/pw\n", "cannot be read"},
        {"Host=h\nStation=x\nUser=u\nPasswordFile=PW\n", ""},
        {"Host=h\nStation=x\nCAFile=/nonexistent/ca.crt\n", "cannot be read"},
        {"Host=my host\nStation=x\n", "not a host name"},
        // "Nord–Süd" saved as Windows-1252: the dash reads as U+0096.
        {"Host=h\nStation=Nord\x96S\xfc"
         "d\n",
         "control character U+0096"},
        {"Host=h\nStation=a\xef\xbf\xbe\n", "U+FFFE"},
        {"Host=h\nStation=x\nTopicPrefix=net\xc2\x85zel\n", "U+0085"},
        {"Host=h\nStation=$SYS\nTopicPrefix=\n", "may not begin with $"},
        {"Host=h\nStation=$SYS\n", ""},
        {"Host=h\nStation=x\nQueueLimit=lots\n", "QueueLimit \"lots\""},
        {"Host=h\nStation=x\nClientId=a\x9b"
         "b\n",
         "ClientId"},
        {"Host=h\nStation=x\nClientId=plant-7\n", ""},
        {"Host=h\nStation=x\nCertFile=PW\n", "KeyFile is empty"},
        {"Host=h\nStation=x\nCertFile=PW\nKeyFile=PW\n", "CAFile is empty"},
        {"Host=h\nStation=x\nCAFile=PW\nCertFile=PW\nKeyFile=/nonexistent/k\n",
         "KeyFile /nonexistent/k cannot be read"},
        {"Host=h\nStation=x\nCAFile=PW\nCertFile=PW\nKeyFile=PW\n", ""},
        // Windows profile files have no inline comments: the value is all of it.
        {"Host=h\nStation=x\nPort=1883 ; TLS\n", "Port \"1883 ; TLS\""},
    };
    for (const SettingsCase& c : cases) {
        QFile f(dir.filePath("Zel.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[COMMON]\nInsType=1\n[MQTT]\n" + QByteArray(c.lines).replace("PW", pw.toUtf8()));
        f.close();
        const MqttSettings s = readMqttSettings(IniFile(f.fileName()), "machine");
        EXPECT_TRUE(s.enabled()) << c.lines;
        const QString problem = mqttSettingsProblem(s);
        if (*c.problem == 0)
            EXPECT_TRUE(problem.isEmpty()) << c.lines << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problem)))
                << c.lines << problem.toStdString();
    }
}

TEST(MqttSettings, DefaultsAndTopicsAndAMissingHostIsOff) {
    QTemporaryDir dir;
    QFile f(dir.filePath("Zel.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[COMMON]\nInsType=1\n");
    f.close();
    MqttSettings s = readMqttSettings(IniFile(f.fileName()), "machine");
    EXPECT_FALSE(s.enabled());
    EXPECT_TRUE(mqttSettingsProblem(s).isEmpty());
    EXPECT_EQ(s.port, 1883);
    EXPECT_EQ(s.queueLimit, DefaultQueueLimit);
    EXPECT_EQ(s.topic("reading"), "zel/machine/reading");
    s.prefix.clear();
    EXPECT_EQ(s.topic("alarm"), "machine/alarm");

    IniFile ini(f.fileName());
    ini.write("MQTT", "Host", "h");
    ini.write("MQTT", "CAFile", f.fileName());
    EXPECT_EQ(readMqttSettings(ini, "m").port, 8883) << "TLS has its own default port";

    QFile pw(dir.filePath("pw"));
    ASSERT_TRUE(pw.open(QIODevice::WriteOnly));
    pw.write("s3cret pass\r\nsecond line\n");
    pw.close();
    bool ok = false;
    EXPECT_EQ(readPasswordFile(pw.fileName(), &ok), "s3cret pass");
    EXPECT_TRUE(ok);
}

// The [MQTT] example of the README works as written.
TEST(MqttSettings, TheReadmeExampleIsUsable) {
    QFile readme(QStringLiteral(ZEL_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    const QByteArray text = readme.readAll();
    const qsizetype from = text.indexOf("```\n[MQTT]\n");
    ASSERT_GE(from, 0);
    const QByteArray block = text.mid(from + 4, text.indexOf("```", from + 4) - from - 4);
    QTemporaryDir dir;
    QFile f(dir.filePath("Zel.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(block);
    f.close();
    MqttSettings s = readMqttSettings(IniFile(f.fileName()), "machine");
    // The files it names are the operator's; only their names are checked here.
    s.passwordFile.clear();
    s.caFile.clear();
    s.certFile.clear();
    s.keyFile.clear();
    EXPECT_EQ(mqttSettingsProblem(s), QString()) << block.toStdString();
    EXPECT_EQ(s.port, 1883);
    EXPECT_EQ(s.station, "north-gate");
}

// Two stations of one host get client ids of their own unless one is set.
TEST(MqttSettings, TheDefaultClientIdBelongsToTheProgramFolder) {
    QTemporaryDir a, b;
    const QString id = defaultClientId("st", a.path());
    EXPECT_TRUE(QRegularExpression("^zel-st-[0-9a-f]{8}$").match(id).hasMatch())
        << id.toStdString();
    EXPECT_EQ(defaultClientId("st", a.path() + "/."), id) << "the same folder, however written";
    EXPECT_NE(defaultClientId("st", b.path()), id);
}

TEST(ReadingMessage, FieldsTimesAndNumbers) {
    const QDateTime received(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(7200));
    Reading r;
    r.instrumentId = " T5-0042";
    r.date = QDate(2026, 3, 4);
    r.time = QTime(5, 6, 5);
    r.value = 1500;
    r.unit = "cpm";
    r.status = "OK \"hi\"";
    r.detector = "GM";
    r.overMark = " ";
    QJsonObject o =
        QJsonDocument::fromJson(readingJson(r, AlarmLevel::High1, received, 17)).object();
    EXPECT_EQ(o.value("seq").toInteger(), 17);
    EXPECT_EQ(o.value("value").toDouble(), 1500);
    EXPECT_TRUE(o.value("value").isDouble()) << "a number, not text";
    EXPECT_EQ(o.value("units").toString(), "cpm");
    EXPECT_EQ(o.value("status").toString(), "OK \"hi\"");
    EXPECT_EQ(o.value("detector").toString(), "GM");
    EXPECT_EQ(o.value("instrument").toString(), "T5-0042");
    EXPECT_EQ(o.value("alarm").toString(), "high1");
    EXPECT_EQ(o.value("received").toString(), "2026-03-04T05:06:07.089+02:00");
    // The reading's own time, in local time with the local offset, whatever
    // form the file writes it in (the Orvan's seconds since midnight).
    for (const TimeStyle style : {TimeStyle::General, TimeStyle::SecondsOfDay}) {
        r.timeStyle = style;
        o = QJsonDocument::fromJson(readingJson(r, AlarmLevel::High1, received, 17)).object();
        const QDateTime taken =
            QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs);
        EXPECT_EQ(taken, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 5)));
        EXPECT_TRUE(o.value("time").toString().contains(QRegularExpression("[+-]\\d\\d:\\d\\d$")));
    }

    // A reading without a time of its own: the receive time stands in. A
    // value that is not a number is sent as null, never as 0.
    r.date = QDate();
    for (const double notANumber :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        r.value = notANumber;
        o = QJsonDocument::fromJson(readingJson(r, AlarmLevel::Fault, received, 18)).object();
        EXPECT_EQ(o.value("time").toString(), "2026-03-04T05:06:07.089+02:00");
        EXPECT_TRUE(o.value("value").isNull());
        EXPECT_EQ(o.value("alarm").toString(), "fault");
    }

    // Orvan: the five quantities by name, and the keys every reading has.
    const auto quantity = [](const char* name, double n) {
        return Quantity{name, QString::number(n), n};
    };
    Reading orvan;
    orvan.value = 12.5;
    orvan.unit = "uSv/h";
    orvan.extras = {quantity("americium", 0.5), quantity("neutrons", 3), quantity("cesium", 0.25),
                    quantity("cobalt", 0.125), quantity("cps", 410)};
    o = QJsonDocument::fromJson(readingJson(orvan, AlarmLevel::Normal, received, 1, "r1")).object();
    const std::pair<const char*, double> quantities[] = {
        {"americium", 0.5}, {"neutrons", 3}, {"cesium", 0.25}, {"cobalt", 0.125}, {"cps", 410}};
    for (const auto& [name, number] : quantities) {
        EXPECT_TRUE(o.value(name).isDouble()) << name << " is a number, not text";
        EXPECT_EQ(o.value(name).toDouble(), number) << name;
    }
    EXPECT_EQ(o.value("units").toString(), "uSv/h") << "the gamma rate's unit";
    EXPECT_EQ(o.value("run").toString(), "r1");
    EXPECT_TRUE(o.contains("instrument") && o.contains("status") && o.contains("detector"));
    EXPECT_EQ(o.value("level").toInt(), 0);
    Reading blank = orvan;
    blank.unit.clear();
    blank.extras = {Quantity{"americium", "--", std::numeric_limits<double>::quiet_NaN()}};
    o = QJsonDocument::fromJson(readingJson(blank, AlarmLevel::Normal, received, 2)).object();
    EXPECT_TRUE(o.value("americium").isNull());
    EXPECT_TRUE(o.value("units").isNull()) << "the unit is not known yet";
    EXPECT_FALSE(o.contains("run"));

    const QDateTime utc(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(0));
    EXPECT_EQ(alarmJson(AlarmLevel::LostContact, utc),
              R"({"alarm":"lost-contact","level":4,"time":"2026-01-02T03:04:05.000+00:00"})");
    EXPECT_EQ(offlineAlarmJson(utc),
              R"({"alarm":"offline","time":"2026-01-02T03:04:05.000+00:00"})")
        << "a stopped station has no level";
}

// One scale for the levels: the names and numbers of MQTT, the journal and
// /metrics.
TEST(ReadingMessage, LevelsHaveOneNameAndNumber) {
    const std::pair<AlarmLevel, const char*> levels[] = {{AlarmLevel::Normal, "normal"},
                                                         {AlarmLevel::High1, "high1"},
                                                         {AlarmLevel::High2, "high2"},
                                                         {AlarmLevel::Fault, "fault"},
                                                         {AlarmLevel::LostContact, "lost-contact"}};
    int number = 0;
    const QDateTime when(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(0));
    for (const auto& [level, name] : levels) {
        EXPECT_EQ(int(level), number);
        EXPECT_EQ(alarmLevelName(level), name);
        const QJsonObject o = QJsonDocument::fromJson(alarmJson(level, when)).object();
        EXPECT_EQ(o.value("level").toInt(), number);
        EXPECT_EQ(o.value("alarm").toString(), name);
        const QJsonObject r =
            QJsonDocument::fromJson(readingJson(Reading{}, level, when, 1)).object();
        EXPECT_EQ(r.value("level").toInt(), number);
        ++number;
    }
}

// What goes out is the number the station filed and showed, not the last
// bits of a multiplication or of a float; an error reply is no number.
TEST(ReadingMessage, ValuesGoOutAsFiled) {
    const QDateTime received(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone(0));
    struct Case {
        double value;
        const char* picture;
        const char* error;
        const char* json; // of the value; "null" for none
    };
    const Case cases[] = {
        {1.001 * 1000, "", "", "1001"},                  // 1.001 Kcpm filed as 1001 cpm
        {double(7.935311f), "", "", "7.93531084060669"}, // a Tarvo-5 float, as the file writes it
        {7.9353110000000004, "", "", "7.935311"},
        {123.45, "0.00", "", "123.45"},
        {0, "", "Ilgl com", "null"}, // an Orvan "E00" reply
    };
    for (const Case& c : cases) {
        Reading r;
        r.value = c.value;
        r.valuePicture = c.picture;
        r.error = c.error;
        r.status = c.error;
        const QByteArray json = readingJson(r, AlarmLevel::Fault, received, 1);
        EXPECT_TRUE(json.contains(QByteArray("\"value\":") + c.json)) << json.toStdString();
        const QJsonObject o = QJsonDocument::fromJson(json).object();
        if (*c.error) {
            EXPECT_EQ(o.value("error").toString(), c.error);
            EXPECT_TRUE(std::isnan(filedValue(r)));
        } else {
            EXPECT_FALSE(o.contains("error"));
        }
    }
}

// A logged reading in the hour the clock skips carries its own wall time,
// with the offset in force before the change; the received time never
// stands in for it.
TEST(ReadingMessage, AWallTimeTheClockSkippedKeepsItsTime) {
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "America/New_York");
    tzset();
    Reading r;
    r.date = QDate(2026, 3, 8);
    r.time = QTime(2, 30);
    const QDateTime received(QDate(2026, 6, 1), QTime(12, 0), QTimeZone(0));
    const QJsonObject o =
        QJsonDocument::fromJson(readingJson(r, AlarmLevel::Normal, received, 1)).object();
    EXPECT_EQ(o.value("time").toString(), "2026-03-08T02:30:00.000-05:00");
    r.time = QTime(3, 30);
    EXPECT_EQ(QDateTime::fromString(isoWithOffset(readingMoment(r, received)), Qt::ISODate)
                  .toOffsetFromUtc(0)
                  .time(),
              QTime(7, 30))
        << "an existing wall time keeps its own offset";
    if (old.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", old);
    tzset();
}

QStringList fileLines(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

std::vector<quint64> seqs(const std::vector<DiskQueue::Entry>& entries) {
    std::vector<quint64> out;
    for (const auto& e : entries)
        out.push_back(e.seq);
    return out;
}

TEST(DiskQueue, WaitingReadingsSurviveARestartInOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    std::vector<DiskQueue::Entry> waiting;
    {
        DiskQueue q(path, 100);
        ASSERT_TRUE(q.open(&waiting));
        EXPECT_TRUE(waiting.empty());
        for (int i = 1; i <= 5; ++i)
            EXPECT_EQ(q.push("{\"n\":" + QByteArray::number(i) + "}").seq, quint64(i));
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
        ASSERT_TRUE(q.open(&waiting));
        EXPECT_EQ(seqs(waiting), (std::vector<quint64>{2, 4, 5}));
        EXPECT_EQ(waiting[0].payload, "{\"n\":2}");
        EXPECT_EQ(q.nextSeq(), 6u) << "the cut line was never sent: its number is free";
        EXPECT_EQ(fileLines(path).size(), 4) << "reopening keeps only the waiting lines";
        q.markDone(2);
        q.markDone(4);
        q.markDone(5);
        EXPECT_EQ(fileLines(path), QStringList{"N 00000000000000000006"})
            << "an empty queue shrinks its file";
    }
    DiskQueue q(path, 100);
    ASSERT_TRUE(q.open(&waiting));
    EXPECT_TRUE(waiting.empty());
    EXPECT_EQ(q.push("x").seq, 6u);
}

TEST(DiskQueue, AFullQueueDropsTheOldest) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    std::vector<DiskQueue::Entry> waiting;
    {
        DiskQueue q(path, 3);
        ASSERT_TRUE(q.open(&waiting));
        std::vector<std::optional<quint64>> dropped;
        for (int i = 0; i < 5; ++i)
            dropped.push_back(q.push("r").dropped);
        EXPECT_EQ(dropped, (std::vector<std::optional<quint64>>{std::nullopt, std::nullopt,
                                                                std::nullopt, 1u, 2u}));
        EXPECT_EQ(q.size(), 3);
    }
    // A smaller limit at the next start keeps the newest.
    DiskQueue q(path, 2);
    ASSERT_TRUE(q.open(&waiting));
    EXPECT_EQ(seqs(waiting), (std::vector<quint64>{4, 5}));
}

TEST(DiskQueue, ManyDoneLinesAreCompactedAway) {
    QTemporaryDir dir;
    const QString path = dir.filePath("q.txt");
    std::vector<DiskQueue::Entry> waiting;
    DiskQueue q(path, 10000);
    ASSERT_TRUE(q.open(&waiting));
    for (int i = 0; i < 3000; ++i)
        q.push("reading");
    for (quint64 s = 1; s <= 2990; ++s)
        q.markDone(s);
    EXPECT_LT(fileLines(path).size(), 1100);
    for (quint64 s = 2991; s <= 2995; ++s)
        q.markDone(s);
    DiskQueue again(path, 10000);
    ASSERT_TRUE(again.open(&waiting));
    EXPECT_EQ(seqs(waiting), (std::vector<quint64>{2996, 2997, 2998, 2999, 3000}));
}

// Pushes `n` readings of about 100 bytes; returns the numbers given.
std::vector<quint64> pushMany(DiskQueue& q, int n) {
    std::vector<quint64> given;
    for (int i = 0; i < n; ++i)
        given.push_back(q.push(QByteArray(100, 'r') + QByteArray::number(i)).seq);
    return given;
}

// A full disk under the queue: no number is given twice, across a restart
// too, and once space is back every waiting reading is in the file, once.
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
        std::vector<DiskQueue::Entry> waiting;
        quint64 highest = 0, acked = 0;
        std::vector<quint64> stillWaiting;
        {
            DiskQueue q(path, 100000, 0);
            ASSERT_TRUE(q.open(&waiting));
            for (quint64 s : pushMany(q, 5))
                if (s <= 3)
                    q.markDone(s);
            disk.fill();
            const std::vector<quint64> given = pushMany(q, 300);
            EXPECT_FALSE(q.lastError().isEmpty()) << "300 lines cannot fit in the last page";
            q.markDone(4);
            acked = given[10];
            q.markDone(acked);
            highest = q.nextSeq() - 1;
            if (c.releaseBeforeRestart) {
                disk.release();
                q.push("after");
                ++highest;
                EXPECT_TRUE(q.lastError().isEmpty()) << q.lastError().toStdString();
                stillWaiting.push_back(5);
                for (quint64 s : given)
                    if (s != given[10])
                        stillWaiting.push_back(s);
                stillWaiting.push_back(highest);
            }
        }
        DiskQueue q(path, 100000, 0);
        q.open(&waiting);
        EXPECT_GT(q.nextSeq(), highest) << "every number given before the restart stays used";
        if (c.releaseBeforeRestart)
            EXPECT_EQ(seqs(waiting), stillWaiting);
        else
            for (const DiskQueue::Entry& e : waiting) {
                EXPECT_GE(e.seq, 5u) << "acknowledged readings stay done";
                EXPECT_NE(e.seq, acked);
            }
        disk.release();
    }
}

} // namespace
} // namespace zel

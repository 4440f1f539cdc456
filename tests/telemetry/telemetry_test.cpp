// The pure parts of publishing: the [MQTT] settings and their checks, the
// JSON bodies, and the queue file that keeps readings through outages and
// restarts.
#include "common/datetime.h"
#include "telemetry/disk_queue.h"
#include "telemetry/mqtt_settings.h"
#include "telemetry/reading_message.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

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

TEST(ReadingMessage, FieldsTimesAndNumbers) {
    const QDateTime received(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(7200));
    MeasurementRecord r{
        " T5-0042",  formatGeneralDateTime(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 5))),
        "1500",      "cpm",
        "OK \"hi\"", "GM",
        " ",         0};
    QJsonObject o = QJsonDocument::fromJson(readingJson(r, 1500, 1, 1, received, 17)).object();
    EXPECT_EQ(o.value("seq").toInteger(), 17);
    EXPECT_EQ(o.value("value").toDouble(), 1500);
    EXPECT_TRUE(o.value("value").isDouble()) << "a number, not text";
    EXPECT_EQ(o.value("units").toString(), "cpm");
    EXPECT_EQ(o.value("status").toString(), "OK \"hi\"");
    EXPECT_EQ(o.value("detector").toString(), "GM");
    EXPECT_EQ(o.value("instrument").toString(), "T5-0042");
    EXPECT_EQ(o.value("alarm").toString(), "high1");
    EXPECT_EQ(o.value("received").toString(), "2026-03-04T05:06:07.089+02:00");
    // The reading's own time, in local time with the local offset.
    const QDateTime taken = QDateTime::fromString(o.value("time").toString(), Qt::ISODateWithMs);
    EXPECT_EQ(taken, QDateTime(QDate(2026, 3, 4), QTime(5, 6, 5)));
    EXPECT_TRUE(o.value("time").toString().contains(QRegularExpression("[+-]\\d\\d:\\d\\d$")));

    // Not a date-time (the Orvan seconds form): the receive time stands in.
    // A value that is not a number is sent as null, never as 0.
    r.ReadingTime = "18367.25";
    r.Value = "----";
    o = QJsonDocument::fromJson(readingJson(r, 0, 3, 1, received, 18)).object();
    EXPECT_EQ(o.value("time").toString(), "2026-03-04T05:06:07.089+02:00");
    EXPECT_TRUE(o.value("value").isNull());
    EXPECT_EQ(o.value("alarm").toString(), "fault");

    // Orvan: the five quantities by name.
    const MeasurementRecord orvan{"0.5", "x", "12.5", "3", "0.25", "0.125", "410", 0};
    o = QJsonDocument::fromJson(readingJson(orvan, 12.5, 0, 3, received, 1)).object();
    EXPECT_EQ(o.value("americium").toString(), "0.5");
    EXPECT_EQ(o.value("neutrons").toString(), "3");
    EXPECT_EQ(o.value("cesium").toString(), "0.25");
    EXPECT_EQ(o.value("cobalt").toString(), "0.125");
    EXPECT_EQ(o.value("cps").toString(), "410");
    EXPECT_FALSE(o.contains("units"));

    const QDateTime utc(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(0));
    EXPECT_EQ(alarmJson(3, true, utc),
              R"({"alarm":"lost-contact","level":3,"time":"2026-01-02T03:04:05.000+00:00"})");
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
        EXPECT_EQ(fileLines(path), QStringList{"N 6"}) << "an empty queue shrinks its file";
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

} // namespace
} // namespace zel

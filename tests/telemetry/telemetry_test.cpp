// The pure parts of publishing: the [MQTT] settings and their checks, the
// JSON bodies, and the queue file that keeps readings through outages and
// restarts.
#include "common/datetime.h"
#include "station/families.h"
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
        const Expected<void> usable = checkMqttSettings(s);
        const QString problem = usable ? QString() : usable.error().text;
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
    EXPECT_TRUE(checkMqttSettings(s));
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
    const Expected<QByteArray> password = readPasswordFile(pw.fileName());
    ASSERT_TRUE(password);
    EXPECT_EQ(*password, "s3cret pass");
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
    const Expected<void> usable = checkMqttSettings(s);
    EXPECT_EQ(usable ? QString() : usable.error().text, QString()) << block.toStdString();
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

// The bytes subscribers have always been sent: keys in the order of their
// names, numbers as filed, times with milliseconds and offset.
TEST(ReadingMessage, BytesStayWhatSubscribersRead) {
    const QDateTime received(QDate(2026, 3, 4), QTime(5, 6, 7, 89), QTimeZone(7200));
    Reading r;
    r.instrumentId = "O-1 ";
    r.value = 12.5;
    r.unit = "uSv/h";
    r.status = "OK";
    const auto quantity = [](const char* name, double n) {
        return Quantity{name, QString::number(n), n};
    };
    r.extras = {quantity("americium", 0.5), quantity("neutrons", 3), quantity("cesium", 0.25),
                quantity("cobalt", 0.125), quantity("cps", 410)};
    EXPECT_EQ(readingJson(r, AlarmLevel::Normal, received, 1, "r1"),
              R"({"alarm":"normal","americium":0.5,"cesium":0.25,"cobalt":0.125,"cps":410,)"
              R"("detector":"","instrument":"O-1","level":0,"neutrons":3,)"
              R"("received":"2026-03-04T05:06:07.089+02:00","run":"r1","seq":1,"status":"OK",)"
              R"("time":"2026-03-04T05:06:07.089+02:00","units":"uSv/h","value":12.5})");
    r.extras.clear();
    r.value = 0.00001;
    r.error = "E\"1\n";
    const QDateTime west(QDate(2026, 12, 31), QTime(23, 59, 59, 999), QTimeZone(-9000));
    EXPECT_EQ(readingJson(r, AlarmLevel::Fault, west, 9007199254740991ull),
              R"({"alarm":"fault","detector":"","error":"E\"1","instrument":"O-1","level":3,)"
              R"("received":"2026-12-31T23:59:59.999-02:30","seq":9007199254740991,)"
              R"("status":"OK","time":"2026-12-31T23:59:59.999-02:30","units":"uSv/h",)"
              R"("value":null})");
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
        {-2.5, "", "", "-2.5"},
        {1e-5, "", "", "1e-05"},
        {0.1 + 0.2, "", "", "0.3"},
        {1.5e300, "", "", "1.5e+300"},
        {-0.004, "0.00", "", "0"},
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

// Local moments through both changes of the clock, in time order and each
// twice: the texts carry the offset in force at that moment, also in the
// hour that comes twice, as the zone tells it for each moment on its own.
TEST(ReadingMessage, LocalTimesKeepTheirOffsetAcrossClockChanges) {
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    const auto expected = [](const QDateTime& moment) {
        const int offset = moment.offsetFromUtc();
        const QDateTime fixed = moment.toOffsetFromUtc(offset);
        return fixed.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
               (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
               QTime(0, 0).addSecs(std::abs(offset)).toString(QStringLiteral("HH:mm"));
    };
    for (const QDateTime& change :
         {QDateTime(QDate(2026, 3, 29), QTime(1, 0), QTimeZone::utc()),
          QDateTime(QDate(2026, 10, 25), QTime(1, 0), QTimeZone::utc())}) {
        // Each moment twice, then the moment an hour later: in the hour
        // that comes twice that one has the same wall time.
        for (qint64 s = -5 * 3600; s <= 5 * 3600; s += 599) {
            for (const qint64 later : {0, 0, 3600}) {
                const QDateTime moment = QDateTime::fromMSecsSinceEpoch(
                    change.toMSecsSinceEpoch() + (s + later) * 1000 + 250, Qt::LocalTime);
                EXPECT_EQ(isoWithOffset(moment), expected(moment))
                    << change.toString(Qt::ISODate).toStdString() << " " << s + later;
            }
        }
    }
    if (old.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", old);
    tzset();
}

} // namespace
} // namespace zel

// The pieces of zel-monitor's event lines: one event is one line whatever
// bytes an instrument sent, and the time stamp carries its UTC offset.
#include "monitor/monitor.h"

#include "common/datetime.h"
#include "station/transport.h"

#include <QTemporaryDir>
#include <QTextStream>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(MonitorEvent, ValuesStayOnOneLineAndControlBytesAreEscaped) {
    const std::pair<QString, QString> cases[] = {
        {"OK", "OK"},
        {"", "\"\""},
        {"two words", "\"two words\""},
        {"a=b", "\"a=b\""},
        {"say \"hi\"", "\"say \\\"hi\\\"\""},
        {"back\\slash", "\"back\\\\slash\""},
        {"line\r\nend", "\"line\\r\\nend\""},
        {QString("bell\x07") + QChar(0x1b) + "[2J", "\"bell\\x07\\x1b[2J\""},
        {QString("c1") + QChar(0x85), "\"c1\\x85\""},
        {QString("tab\there"), "\"tab\\x09here\""},
        {"Süd", "Süd"},
    };
    for (const auto& [value, written] : cases)
        EXPECT_EQ(eventValue(value), written) << value.toStdString();
}

TEST(MonitorEvent, TimesCarryTheirOffset) {
    EXPECT_EQ(eventTime(QDateTime(QDate(2026, 12, 7), QTime(6, 21, 33), QTimeZone(3600))),
              "2026-12-07T06:21:33+01:00");
    EXPECT_EQ(eventTime(QDateTime(QDate(2026, 12, 7), QTime(6, 21, 33), QTimeZone::utc())),
              "2026-12-07T06:21:33+00:00");
    EXPECT_EQ(eventTime(QDateTime(QDate(2026, 7, 7), QTime(6, 0), QTimeZone(-4 * 3600))),
              "2026-07-07T06:00:00-04:00");
}

// A monitor that journals into a string, with nothing to collect from.
struct JournalRig {
    static Monitor::Options options(const QTemporaryDir& dir) {
        Monitor::Options o;
        o.programFolder = dir.path();
        o.settingsFile = dir.filePath("Zel.ini");
        return o;
    }
    QTemporaryDir dir;
    QString written;
    QTextStream out{&written};
    LoopbackTransport port;
    FixedClock clock;
    Monitor monitor{options(dir), port, clock, out};
};

// A reading's time is the reading's, never a status: seconds of the day
// from an Orvan at 0.1 s, date-times across midnight and in the hour a clock
// change skips all go out on their reading's line, and only real statuses
// (said once while they hold) make status lines, whatever comes between.
TEST(MonitorEvent, ReadingTimesStayOnTheirLinesAndStatusesAreSaidWhenTheyChange) {
    JournalRig rig;
    Monitor& monitor = rig.monitor;
    const QString& written = rig.written;
    struct Step {
        const char* readingTime; // null: a status
        const char* status;
        StatusKind kind;
    };
    const Step steps[] = {
        {"86393.001", nullptr, StatusKind::Note},
        {nullptr, "Instrument Succesfully Connected", StatusKind::Note},
        {"86393.101", nullptr, StatusKind::Note},
        {nullptr, "Instrument Succesfully Connected", StatusKind::Note},
        {"3/14/2026 11:59:59 PM", nullptr, StatusKind::Note},
        {nullptr, "Testing Connection 1", StatusKind::Progress},
        {"3/8/2026 02:30:00", nullptr, StatusKind::Note}, // skipped in the US
        {nullptr, "Reading not written to ZelTemp.csv", StatusKind::Problem},
        {"3/15/2026 00:00:02", nullptr, StatusKind::Note},
        {nullptr, "Reading not written to ZelTemp.csv", StatusKind::Problem},
    };
    for (const Step& s : steps) {
        if (s.readingTime)
            monitor.showReading(
                ShownReading{s.readingTime, "1 mR/h", "0 mR", "", "", "", 1, AlarmLevel::Normal});
        else
            monitor.setStatus(QString::fromLatin1(s.status), s.kind);
    }
    EXPECT_EQ(written.count(QStringLiteral(" status ")), 2) << written.toStdString();
    EXPECT_TRUE(
        written.contains(QStringLiteral("status text=\"Instrument Succesfully Connected\"")));
    EXPECT_TRUE(
        written.contains(QStringLiteral("status text=\"Reading not written to ZelTemp.csv\"")));
    for (const Step& s : steps) {
        if (s.readingTime) {
            EXPECT_TRUE(written.contains(QStringLiteral(" reading time=") +
                                         eventValue(QString::fromLatin1(s.readingTime)) + " "))
                << s.readingTime;
        }
    }
    EXPECT_EQ(written.count(QStringLiteral(" reading ")), 5);
}

// The journal names the levels with the numbers MQTT and /metrics use, and
// a reading after lost contact clears lost contact, not a fault.
TEST(MonitorEvent, AlarmLinesCarryTheLevelScale) {
    JournalRig rig;
    Monitor& monitor = rig.monitor;
    const QString& written = rig.written;
    const auto reading = [&](AlarmLevel level) {
        monitor.setAlarmLevel(level);
        monitor.showReading(ShownReading{"t", "1 mR/h", "0 mR", "", "", "", 1, level});
    };
    reading(AlarmLevel::High2);
    reading(AlarmLevel::Fault);
    monitor.setAlarmLevel(AlarmLevel::LostContact);
    monitor.setAlarmLevel(AlarmLevel::LostContact);
    reading(AlarmLevel::Normal);
    const QStringList expected = {
        "alarm=high2 level=2",
        "alarm-raised level=2 alarm=high2 was=normal",
        "alarm=fault level=3",
        "alarm-raised level=3 alarm=fault was=high2",
        "lost-contact level=4 was=fault",
        "alarm=normal level=0",
        "alarm-cleared level=0 was=lost-contact",
    };
    qsizetype at = 0;
    for (const QString& e : expected) {
        const qsizetype found = written.indexOf(e, at);
        EXPECT_GE(found, 0) << e.toStdString() << "\n" << written.toStdString();
        at = std::max(at, found);
    }
    EXPECT_EQ(written.count(QStringLiteral("lost-contact level=4")), 1) << "one episode, one line";
}

} // namespace
} // namespace zel

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

// Every reading sets the status to its date-time: that is no news for the
// journal, in whatever form, across midnight and in the hour a clock change
// skips; a real status between them is.
TEST(MonitorEvent, ReadingTimesAreNoStatusNews) {
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    QString written;
    QTextStream out(&written);
    LoopbackTransport port;
    FixedClock clock;
    Monitor::Options options;
    options.programFolder = dir.path();
    options.settingsFile = dir.filePath("Zel.ini");
    Monitor monitor(options, port, clock, out);
    const char* const statuses[] = {
        "3/14/2026 09:30:00",  "3/14/2026 09:30:01",
        "3/14/2026 9:30:02",   "3/14/2026 11:59:59 PM",
        "3/15/2026 00:00:00",  "3/8/2026 02:30:00", // skipped in the US
        "2026-03-15T00:00:01", "Instrument Succesfully Connected",
        "3/15/2026 00:00:02",  "Reading not written to ZelTemp.csv",
    };
    for (const char* s : statuses)
        monitor.setStatus(QString::fromLatin1(s), Rgb());
    EXPECT_EQ(written.count(QStringLiteral(" status ")), 2) << written.toStdString();
    EXPECT_TRUE(written.contains(QStringLiteral("text=\"Instrument Succesfully Connected\"")));
    EXPECT_TRUE(written.contains(QStringLiteral("text=\"Reading not written to ZelTemp.csv\"")));
}

} // namespace
} // namespace zel

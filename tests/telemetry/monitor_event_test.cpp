// The pieces of zel-monitor's event lines: one event is one line whatever
// bytes an instrument sent, and the time stamp carries its UTC offset.
#include "monitor/monitor.h"

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

} // namespace
} // namespace zel

#include "common/datetime.h"

#include <QElapsedTimer>
#include <cmath>
#include <gtest/gtest.h>

using namespace zel;

namespace {

// Pins the date locale for one test.
class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) : old_(dateLocale()) { setDateLocale(locale); }
    ~LocaleGuard() { setDateLocale(old_); }

private:
    QLocale old_;
};

QDateTime at(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
}

} // namespace

class DateLocales : public ::testing::TestWithParam<const char*> {};

TEST_P(DateLocales, FormatterOutputReadsBack) {
    LocaleGuard guard{QLocale(QString::fromLatin1(GetParam()))};
    const QDateTime moments[] = {at(2024, 3, 7, 13, 5, 9), at(1999, 12, 31, 23, 59, 59),
                                 at(2026, 1, 1, 0, 0, 0), at(2030, 11, 28, 9, 0, 1)};
    for (const QDateTime& moment : moments) {
        const QString text = formatGeneralDateTime(moment);
        EXPECT_TRUE(text.endsWith(moment.time().toString("HH:mm:ss"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::number(moment.date().year()))) << text.toStdString();
        const auto back = parseGeneralDateTime(text);
        ASSERT_TRUE(back.has_value()) << text.toStdString();
        EXPECT_EQ(*back, moment) << text.toStdString();

        const auto dateOnly = parseGeneralDateTime(formatShortDate(moment.date()));
        ASSERT_TRUE(dateOnly.has_value());
        EXPECT_EQ(*dateOnly, QDateTime(moment.date(), QTime(0, 0), Qt::LocalTime));
        // Fixed forms read in every locale.
        EXPECT_EQ(parseGeneralDateTime(moment.toString("yyyy-MM-dd HH:mm:ss")), moment);
        EXPECT_EQ(parseGeneralDateTime(moment.toString("yyyy-MM-ddTHH:mm:ss")), moment);
    }
}

INSTANTIATE_TEST_SUITE_P(Pinned, DateLocales, ::testing::Values("en_US", "de_DE", "he_IL", "C"));

TEST(ParseDateTime, CommonNumericForms) {
    LocaleGuard guard{QLocale(QLocale::English, QLocale::UnitedStates)};
    const QDateTime pm = at(2024, 3, 7, 13, 5, 9);
    EXPECT_EQ(parseGeneralDateTime("3/7/2024 1:05:09 PM"), pm);
    EXPECT_EQ(parseGeneralDateTime("  3/7/2024 13:05:09  "), pm);
    EXPECT_EQ(parseGeneralDateTime("3/7/2024 13:05"), at(2024, 3, 7, 13, 5, 0));
    EXPECT_EQ(parseGeneralDateTime("3/7/2024 12:00:00 AM"), at(2024, 3, 7, 0, 0, 0));
    EXPECT_EQ(parseGeneralDateTime("7.3.2024 13:05:09"), pm);
    EXPECT_EQ(parseGeneralDateTime("2024-03-07"), at(2024, 3, 7, 0, 0, 0));
    // A day above 12 can only be day-first.
    EXPECT_EQ(parseGeneralDateTime("25/12/2024 08:00:00"), at(2024, 12, 25, 8, 0, 0));
    {
        LocaleGuard german{QLocale(QLocale::German, QLocale::Germany)};
        // Day-first locales read ambiguous slashes day-first.
        EXPECT_EQ(parseGeneralDateTime("3/7/2024 13:05:09"), at(2024, 7, 3, 13, 5, 9));
        EXPECT_EQ(parseGeneralDateTime("07.03.2024 13:05:09"), pm);
    }
}

TEST(ParseDateTime, RejectsGarbageQuickly) {
    const QString bad[] = {"",
                           "   ",
                           "abc",
                           "2024-13-01 10:00:00",
                           "3/7/2024 x",
                           "25:00:00",
                           "1/1/2024 25:61:00",
                           "2024-02-30",
                           "Port=6",
                           "3/7/2024 1:05:09 XM"};
    for (const QString& text : bad)
        EXPECT_FALSE(parseGeneralDateTime(text).has_value()) << text.toStdString();
    const QString longText = QString(100000, u'1') + " 3/7/2024 13:05:09";
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(parseGeneralDateTime(longText).has_value());
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST(DayCount, AutomationDatesInLocalTime) {
    EXPECT_DOUBLE_EQ(toDayCount(at(1899, 12, 30, 0, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(toDayCount(at(1900, 1, 1, 6, 0, 0)), 2.25);
    EXPECT_DOUBLE_EQ(toDayCount(at(2000, 1, 1, 12, 0, 0)), 36526.5);
    EXPECT_DOUBLE_EQ(toDayCount(at(1899, 12, 29, 6, 0, 0)), -1.25);
    EXPECT_EQ(fromDayCount(-1.25), at(1899, 12, 29, 6, 0, 0));
    EXPECT_EQ(fromDayCount(36526.5), at(2000, 1, 1, 12, 0, 0));
    EXPECT_EQ(toDayCount(QDateTime()), -1);
    EXPECT_FALSE(fromDayCount(std::nan("")).isValid());
    EXPECT_FALSE(fromDayCount(1e300).isValid());
    // A time a hair before midnight rounds to the next day, not to 24:00.
    EXPECT_EQ(fromDayCount(45000.0 - 1e-10), fromDayCount(45000.0));
    // Every second of a year with daylight-saving changes comes back as it went in.
    QDateTime moment = at(2024, 1, 1, 0, 0, 0);
    for (int step = 0; step < 366 * 24; ++step) {
        const QDateTime m(moment.date().addDays(step / 24), QTime(step % 24, 17, 33),
                          Qt::LocalTime);
        if (!m.isValid() || m.time() != QTime(step % 24, 17, 33))
            continue; // a local time the clock skips
        const QDateTime back = fromDayCount(toDayCount(m));
        ASSERT_EQ(back.date(), m.date());
        ASSERT_EQ(back.time(), m.time());
    }
}

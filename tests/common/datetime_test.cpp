#include "common/datetime.h"

#include <cmath>
#include <ctime>
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

// Pins the computer's time zone for one test.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) : old_(qgetenv("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneGuard() {
        if (old_.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", old_);
        tzset();
    }

private:
    QByteArray old_;
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

TEST(FormatDateTime, LocalesKeepTheTextTheyAlwaysWrote) {
    const QDateTime moment = at(2024, 3, 7, 13, 5, 9);
    const struct {
        const char* locale;
        const char* text;
    } cases[] = {{"en_US", "3/7/2024 13:05:09"},
                 {"de_DE", "07.03.2024 13:05:09"},
                 {"he_IL", "7.3.2024 13:05:09"},
                 {"C", "7 Mar 2024 13:05:09"},
                 {"ja_JP", "2024/03/07 13:05:09"},
                 {"hu_HU", "2024. 03. 07. 13:05:09"},
                 {"bg_BG", "7.03.2024 г. 13:05:09"},
                 {"nl_NL", "07-03-2024 13:05:09"},
                 {"ar_EG", "٧\u200F/٣\u200F/٢٠٢٤ 13:05:09"}};
    for (const auto& c : cases) {
        LocaleGuard guard{QLocale(QString::fromLatin1(c.locale))};
        EXPECT_EQ(formatGeneralDateTime(moment), QString::fromUtf8(c.text)) << c.locale;
        EXPECT_EQ(parseGeneralDateTime(QString::fromUtf8(c.text)), moment) << c.locale;
    }
}

// Texts that other systems write, read the same in every pinned locale.
TEST_P(DateLocales, ForeignFormsReadEverywhere) {
    LocaleGuard guard{QLocale(QString::fromLatin1(GetParam()))};
    const struct {
        const char* text;
        QDateTime moment;
    } cases[] = {
        // Short dates with a two-digit year: 1930 to 2029.
        {"3/14/26 10:00:05", at(2026, 3, 14, 10, 0, 5)},
        {"07.03.24 10:00:05", at(2024, 3, 7, 10, 0, 5)},
        {"14/3/26 10:00:05 PM", at(2026, 3, 14, 22, 0, 5)},
        {"1/31/30", at(1930, 1, 31, 0, 0, 0)},
        {"12/31/29 23:59:59", at(2029, 12, 31, 23, 59, 59)},
        // The C locale's short date, and other English month names.
        {"7 Mar 2024 14:05:07", at(2024, 3, 7, 14, 5, 7)},
        {"07-Mar-24 2:05:07 PM", at(2024, 3, 7, 14, 5, 7)},
        {"March 7, 2024 14:05", at(2024, 3, 7, 14, 5, 0)},
        // A time alone is that time of day 0.
        {"10:00:05", at(1899, 12, 30, 10, 0, 5)},
        {"1:05:09 PM", at(1899, 12, 30, 13, 5, 9)},
    };
    DayCounter counter;
    for (const auto& c : cases) {
        EXPECT_EQ(parseGeneralDateTime(QString::fromLatin1(c.text)), c.moment) << c.text;
        EXPECT_EQ(counter.dayCount(QByteArrayView(c.text)), toDayCount(c.moment)) << c.text;
    }
    for (const char* bad : {"7 Mrz 2024x", "3/14/2026x", "7 Mar 24 25:00:00", "Mar 2024"})
        EXPECT_FALSE(parseGeneralDateTime(QString::fromLatin1(bad)).has_value()) << bad;
}

// The day counter's shortcuts give the parser's own answers: the own form,
// a repeated foreign date, AM/PM times, texts that are no date.
TEST_P(DateLocales, DayCounterAgreesWithTheParser) {
    LocaleGuard guard{QLocale(QString::fromLatin1(GetParam()))};
    QStringList texts;
    for (int s = 0; s < 3; ++s)
        texts << formatGeneralDateTime(at(2024, 3, 7, 23, 59, 57 + s))
              << formatGeneralDateTime(at(2024, 3, 8, 0, 0, s));
    texts << " " + texts.first() + " "
          << "3/7/2024 13:05:09"
          << "3/7/2024 1:05:10 PM"
          << "3/7/2024 12:05:11 AM"
          << "3/7/2024 13:05:60"
          << "3/7/2024 13:05 PM"
          << "7.3.2024 24:00:00"
          << "2024-03-07T13:05:09"
          << "2024-03-07T13:05:10"
          << "7 Mar 2024 13:05:09"
          << "7 Mar 2024 13:05:10"
          << "junk 13:05:09"
          << "";
    DayCounter counter;
    for (const QString& t : std::as_const(texts)) {
        const auto parsed = parseGeneralDateTime(t);
        const std::optional<double> want =
            parsed ? std::optional<double>(toDayCount(*parsed)) : std::nullopt;
        EXPECT_EQ(counter.dayCount(QStringView(t)), want) << t.toStdString();
        EXPECT_EQ(counter.dayCount(QByteArrayView(t.toUtf8())), want) << t.toStdString();
    }
}

TEST(DayCount, CounterFollowsAChangeOfLocale) {
    LocaleGuard guard{QLocale(QLocale::English, QLocale::UnitedStates)};
    DayCounter counter;
    EXPECT_EQ(counter.dayCount(QByteArrayView("3/7/2024 1:05:09 PM")),
              toDayCount(at(2024, 3, 7, 13, 5, 9)));
    setDateLocale(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(counter.dayCount(QByteArrayView("3/7/2024 1:05:10 PM")),
              toDayCount(at(2024, 7, 3, 13, 5, 10)));
}

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
    EXPECT_FALSE(parseGeneralDateTime(longText).has_value());
}

TEST(DayCount, AutomationDatesInLocalTime) {
    EXPECT_DOUBLE_EQ(toDayCount(at(1899, 12, 30, 0, 0, 0)), 0.0);
    EXPECT_DOUBLE_EQ(toDayCount(at(1900, 1, 1, 6, 0, 0)), 2.25);
    EXPECT_DOUBLE_EQ(toDayCount(at(2000, 1, 1, 12, 0, 0)), 36526.5);
    EXPECT_DOUBLE_EQ(toDayCount(at(1899, 12, 29, 6, 0, 0)), -1.25);
    EXPECT_EQ(fromDayCount(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC));
    EXPECT_EQ(fromDayCount(36526.5), QDateTime(QDate(2000, 1, 1), QTime(12, 0), Qt::UTC));
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

// Readings every five minutes through the night a clock change skips an hour
// (Berlin, 29 Mar 2026) and the night it repeats one (25 Oct 2026): every
// text counts as the calendar says, and the count writes back the same text.
TEST(DayCount, ClockChangesNeitherDropNorShiftWallTimes) {
    LocaleGuard guard{QLocale(QLocale::English, QLocale::UnitedStates)};
    ZoneGuard zone("Europe/Berlin");
    const double springDay = 46110; // 29 Mar 2026
    const struct {
        QDate date;
        double day;
    } nights[] = {{QDate(2026, 3, 29), springDay}, {QDate(2026, 10, 25), springDay + 210}};
    for (const auto& night : nights) {
        DayCounter counter;
        for (int k = 0; k <= 36; ++k) {
            const QTime time = QTime(1, 0).addSecs(k * 300);
            const QString text = formatGeneralDateTime(night.date, time);
            ASSERT_FALSE(text.isEmpty());
            const double want = night.day + (3600.0 + k * 300) / 86400;
            const std::optional<double> count = counter.dayCount(QStringView(text));
            ASSERT_TRUE(count.has_value()) << text.toStdString();
            EXPECT_DOUBLE_EQ(*count, want) << text.toStdString();
            EXPECT_EQ(formatGeneralDateTime(fromDayCount(*count)), text);
            EXPECT_DOUBLE_EQ(toDayCount(fromDayCount(*count)), *count);
            // A form that is not the program's own goes the general way.
            const QString iso = night.date.toString(QStringLiteral("yyyy-MM-dd")) + u'T' +
                                time.toString(QStringLiteral("HH:mm:ss"));
            EXPECT_EQ(DayCounter().dayCount(QStringView(iso)), count) << iso.toStdString();
        }
    }
    // The computer's own clock keeps its local meaning.
    const QDateTime now(QDate(2026, 3, 29), QTime(3, 30), Qt::LocalTime);
    EXPECT_EQ(formatGeneralDateTime(now), "3/29/2026 03:30:00");
    EXPECT_DOUBLE_EQ(toDayCount(now), springDay + 3.5 / 24);
    EXPECT_DOUBLE_EQ(
        toDayCount(QDateTime(QDate(2026, 3, 29), QTime(3, 30), Qt::OffsetFromUTC, 7200)),
        springDay + 3.5 / 24);
}

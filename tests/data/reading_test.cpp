// A reading's texts are made in one place: the seven fields of a row and a
// line, in each family's layout, from the numbers and the wall time the
// parser decoded.
#include "data/reading.h"
#include "protocol/orvan.h"
#include "protocol/tarvo.h"

#include "common/datetime.h"
#include "common/text.h"
#include "station/families.h"

#include <QLocale>
#include <QTimeZone>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace zel;

namespace {

Reading tarvoLike() {
    Reading r;
    r.instrumentId = "On-Line";
    r.date = QDate(2026, 3, 14);
    r.time = QTime(10, 0, 0, 45);
    r.value = 12.5;
    r.unit = "mR/h";
    r.status = "OK";
    r.detector = "DX24";
    r.overMark = "*";
    return r;
}

// The zone of this process for the lifetime of the object.
struct PinnedZone {
    explicit PinnedZone(const char* zone)
        : old(qgetenv("TZ")), had(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~PinnedZone() {
        if (had)
            qputenv("TZ", old);
        else
            qunsetenv("TZ");
        tzset();
    }
    QByteArray old;
    bool had;
};

} // namespace

TEST(Reading, RowsFollowTheFamilysLayout) {
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const MeasurementRecord row = recordOf(tarvoLike(), familyOrDefault(Tarvo5).record);
    EXPECT_EQ(row, (MeasurementRecord{"On-Line", "3/14/2026 10:00:00", "12.5", "mR/h", "OK", "DX24",
                                      "*", 0}));

    // The Orvan writes its quantities in the places of the id, the unit, the
    // status, the detector and the over-mark; an error report, which has
    // none, shows its status where the cesium stands.
    Reading orvan = tarvoLike();
    orvan.valuePicture = "0.00";
    orvan.extras = {{"americium", "12", 12},
                    {"neutrons", "100", 100},
                    {"cesium", "3.5", 3.5},
                    {"cobalt", "7", 7},
                    {"cps", "42", 42}};
    const RecordLayout& layout = familyOrDefault(Orvan).record;
    EXPECT_EQ(recordOf(orvan, layout),
              (MeasurementRecord{"12", "3/14/2026 10:00:00", "12.50", "100", "3.5", "7", "42", 0}));
    Reading error = orvan;
    for (Quantity& q : error.extras)
        q = Quantity{q.name, QString()};
    error.status = "Ilgl com";
    EXPECT_EQ(recordOf(error, layout).Status, "Ilgl com");
    EXPECT_EQ(recordOf(error, layout).InstrumentId, "");
}

TEST(Reading, ValuesAndTimesAreWrittenAsTheyAreShown) {
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    struct Case {
        double value;
        const char* picture;
        const char* text;
        double shown; // the number the reading keeps
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0.0123, "##0.00", "0.01", 0.01},
        {12345.678, "0.00", "12345.68", 12345.68},
        {41.6, "0", "42", 42},
        {1.5e-41, "", "1.5E-41", 1.5e-41},
        {2.5, "", "2.5", 2.5},
        {inf, "0.00", "Infinity", inf},
    };
    for (const Case& c : cases) {
        Reading r;
        r.valuePicture = c.picture;
        r.value = shownNumber(c.value, r.valuePicture);
        EXPECT_EQ(r.value, c.shown) << c.text;
        EXPECT_EQ(valueText(r), c.text) << c.value;
    }

    Reading r = tarvoLike();
    const std::pair<TimeStyle, const char*> times[] = {
        {TimeStyle::General, "3/14/2026 10:00:00"},
        {TimeStyle::WithMilliseconds, "3/14/2026 10:00:00:045"},
        {TimeStyle::SecondsOfDay, "36000.045"},
    };
    for (const auto& [style, text] : times) {
        r.timeStyle = style;
        EXPECT_EQ(timeText(r), text);
    }
}

TEST(Reading, AWallTimeInTheSkippedHourIsKeptAsLogged) {
    const PinnedZone berlin("Europe/Berlin");
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    Reading r = tarvoLike();
    // 2:30 on the morning clocks spring forward does not exist here.
    r.date = QDate(2026, 3, 29);
    r.time = QTime(2, 30);
    EXPECT_EQ(timeText(r), "3/29/2026 02:30:00");
    EXPECT_FALSE(r.localMoment().has_value());
    r.time = QTime(3, 30);
    ASSERT_TRUE(r.localMoment().has_value());
    EXPECT_EQ(r.localMoment()->offsetFromUtc(), 7200);

    // A moment of another zone is put on this computer's clock.
    r.setTaken(QDateTime(QDate(2026, 7, 1), QTime(12, 0), QTimeZone(0)));
    EXPECT_EQ(r.time, QTime(14, 0));
}

// The value texts are written directly for the pictures readings use; the
// general formatter stays the measure of every character, on the rounding
// edges (halves of the 15 digits kept, carries through nines), signs,
// magnitudes at both ends of the direct way and well beyond it.
TEST(Reading, ValueTextsAreTheGeneralFormattersTexts) {
    const QString pictures[] = {"",         "0.00",  "##0.00",  "###0.00", "0",  "##00", "0000",
                                "#",        "#.00",  "0.##",    "0.0#",    "0.", ".0",   "00.000",
                                "0.00E+00", "$0.00", "0.00 mR", "#,##0.0", "-"};
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.005,
                                  0.015,
                                  0.025,
                                  -0.005,
                                  -0.0049,
                                  -0.0051,
                                  0.125,
                                  2.675,
                                  1.005,
                                  9.995,
                                  99.995,
                                  -999.995,
                                  999.9949999,
                                  0.5,
                                  1.5,
                                  2.5,
                                  -2.5,
                                  41.6,
                                  12345.678,
                                  65535,
                                  0.01 * 1000,
                                  1.0 / 3,
                                  -2.0 / 3,
                                  5e-324,
                                  1e-300,
                                  1.5e-41,
                                  1e-16,
                                  1e-15,
                                  9.99999999999999e-16,
                                  1e14,
                                  1e15,
                                  123456789012345.6,
                                  999999999999999.5,
                                  9.9999999999999e20,
                                  1e21,
                                  -1e21,
                                  1.7976931348623157e308,
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
    // Hundredths and their halves, as the instruments' fields give them.
    for (int i = -2000; i <= 2000; ++i) {
        values.push_back(i / 100.0);
        values.push_back(i / 100.0 + 0.005);
        values.push_back(i / 1000.0);
    }
    for (double v : {0.1 + 0.2, 4.35, 0.07, 8.2e-7, 123456789012345.0, 1234567890123456.0})
        values.push_back(v);
    std::mt19937_64 random(40);
    // Decimals of few places, as instruments send them.
    std::uniform_int_distribution<int64_t> whole(-1000000000, 1000000000);
    std::uniform_int_distribution<int> places(0, 12);
    for (int i = 0; i < 20000; ++i)
        values.push_back(double(whole(random)) / std::pow(10.0, places(random)));
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-25, 25);
    for (int i = 0; i < 20000; ++i)
        values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));

    for (const QString& picture : pictures) {
        for (double value : values) {
            Reading r;
            r.value = value;
            r.valuePicture = picture;
            const QString general =
                picture.isEmpty() ? shortestText(value) : formatPicture(value, picture);
            ASSERT_EQ(valueText(r), general) << picture.toStdString() << " " << value;
            if (!picture.isEmpty() && std::isfinite(value)) {
                ASSERT_EQ(shownNumber(value, picture), leadingNumber(general))
                    << picture.toStdString() << " " << value;
            }
        }
    }
}

// The time texts are written from the reading's fields with the date text
// kept per day; they stay the general formatter's in every date locale
// (numeric ones, one with other digits), over midnights, month and year
// ends, a leap day, years the own form does not write, and a wall time that
// does not exist in the zone of the process. Each locale begins on the day
// the one before ended on.
TEST(Reading, TimeTextsAreTheGeneralFormattersTexts) {
    const PinnedZone berlin("Europe/Berlin");
    const QLocale locales[] = {
        QLocale(QLocale::English, QLocale::UnitedStates),
        QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Hungarian, QLocale::Hungary),
        QLocale(QLocale::Arabic, QLocale::Egypt), QLocale(QLocale::English, QLocale::UnitedStates)};
    const QDate dates[] = {QDate(2026, 3, 29),  QDate(2026, 3, 29),
                           QDate(2026, 3, 30),  QDate(2026, 1, 31),
                           QDate(2026, 2, 1),   QDate(2024, 2, 29),
                           QDate(2025, 12, 31), QDate(2026, 1, 1),
                           QDate(1999, 12, 31), QDate(1000, 1, 1),
                           QDate(999, 12, 31),  QDate(9999, 12, 31),
                           QDate(2026, 10, 25), QDate(),
                           QDate(2026, 3, 29)};
    const QTime times[] = {QTime(0, 0),
                           QTime(0, 0, 0, 1),
                           QTime(2, 30),
                           QTime(2, 59, 59, 999),
                           QTime(9, 5, 7, 40),
                           QTime(12, 0, 0, 500),
                           QTime(23, 59, 59, 999),
                           QTime(23, 59, 59),
                           QTime()};
    for (const QLocale& locale : locales) {
        setDateLocale(locale);
        for (const QDate& date : dates) {
            for (const QTime& time : times) {
                Reading r;
                r.date = date;
                r.time = time;
                const QString general = formatGeneralDateTime(date, time);
                const std::pair<TimeStyle, QString> expected[] = {
                    {TimeStyle::General, general},
                    {TimeStyle::WithMilliseconds,
                     general + ':' + QStringLiteral("%1").arg(time.msec(), 3, 10, QChar('0'))},
                    {TimeStyle::SecondsOfDay, shortestText(time.msecsSinceStartOfDay() / 1000.0)},
                };
                for (const auto& [style, text] : expected) {
                    r.timeStyle = style;
                    EXPECT_EQ(timeText(r), text) << locale.name().toStdString() << " "
                                                 << date.toString(Qt::ISODate).toStdString() << " "
                                                 << time.toString(Qt::ISODateWithMs).toStdString();
                }
            }
        }
    }
    // Every millisecond of a day as seconds since midnight.
    Reading r = tarvoLike();
    r.timeStyle = TimeStyle::SecondsOfDay;
    for (int ms = 0; ms < 86400000; ms += 997) {
        r.time = QTime::fromMSecsSinceStartOfDay(ms);
        ASSERT_EQ(timeText(r), shortestText(ms / 1000.0)) << ms;
    }
}

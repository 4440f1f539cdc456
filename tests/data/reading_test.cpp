// A reading's texts are made in one place: the seven fields of a row and a
// line, in each family's layout, from the numbers and the wall time the
// parser decoded.
#include "data/reading.h"
#include "protocol/orvan.h"
#include "protocol/tarvo.h"

#include "common/datetime.h"
#include "station/families.h"

#include <QLocale>
#include <QTimeZone>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <limits>

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

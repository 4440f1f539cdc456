// The Orvan replies: which frames are answers, readings or error reports,
// what lands in which field, and the reading-time forms.
#include "common/datetime.h"
#include "common/text.h"
#include "protocol/orvan.h"
#include "support/orvan_frames.h"
#include "support/reading_rows.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace zel;
using test::orvanR11;
using test::orvanR19;

namespace {

const QDateTime kNow(QDate(2026, 3, 14), QTime(10, 0, 0, 45));

// The time text of a reading taken now in `form`.
QString orvanTime(OrvanTimeForm form) {
    Reading r;
    r.setTaken(kNow);
    r.timeStyle = orvanTimeStyle(form);
    return timeText(r);
}

class OrvanReplies : public ::testing::Test {
protected:
    void SetUp() override { setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

TEST_F(OrvanReplies, ReplyCheckTable) {
    const QByteArray r19 = orvanR19(1, 2, 3, 4, 5, 6);
    struct Case {
        const char* what;
        QByteArray frame;
        FrameKind kind;
        const char* units;
    };
    const Case cases[] = {
        {"R11 sievert", orvanR11('0'), FrameKind::Connected, "uSv/h"},
        {"R11 roentgen", orvanR11('1'), FrameKind::Connected, "uR/h"},
        {"R11 other digit", orvanR11('7'), FrameKind::Connected, "uR/h"},
        {"R11 blank digit", orvanR11(' '), FrameKind::Connected, "uSv/h"},
        {"R19", r19, FrameKind::Reading, ""},
        {"R19 without ETX", r19.chopped(1), FrameKind::Reading, ""},
        {"E00",
         QByteArray("\x02"
                    "E00\x03"),
         FrameKind::InstrumentError, ""},
        {"E01",
         QByteArray("\x02"
                    "E01\x03"),
         FrameKind::InstrumentError, ""},
        {"E02",
         QByteArray("\x02"
                    "E02\x03"),
         FrameKind::NoReading, ""},
        {"C reply",
         QByteArray("\x02"
                    "C11\x03"),
         FrameKind::NoReading, ""},
        {"other R number", QByteArray("\x02R12") + r19.mid(4), FrameKind::NoReading, ""},
        // A reply that ends before the column it is read from is a
        // communication error, whatever came earlier on the line.
        {"R11 without units digit", orvanR11('0').remove(28, 1), FrameKind::NoReading, ""},
        {"R19 one short", QByteArray(r19).remove(41, 1), FrameKind::NoReading, ""},
        {"R19 header only", QByteArray("\x02R19\x03"), FrameKind::NoReading, ""},
        {"E with one digit",
         QByteArray("\x02"
                    "E0\x03"),
         FrameKind::NoReading, ""},
        {"E without a number",
         QByteArray("\x02"
                    "EAB\x03"),
         FrameKind::NoReading, ""},
        {"STX ETX", QByteArray("\x02\x03"), FrameKind::NoReading, ""},
        {"ETX", QByteArray("\x03"), FrameKind::NoReading, ""},
        {"empty", QByteArray(), FrameKind::NoReading, ""},
    };
    for (const Case& c : cases) {
        const orvan::Reply reply = orvan::readReply(c.frame);
        EXPECT_EQ(reply.kind, c.kind) << c.what;
        EXPECT_EQ(reply.unitText, QString::fromLatin1(c.units)) << c.what;
    }
}

TEST_F(OrvanReplies, ReadingFieldsFollowTheOrvanColumns) {
    // GM rate 12345 after a sievert R11 shows 123.45.
    const QByteArray frame = orvanR19("00012", " 3.5 ", "00007", "00042", "00100", "12345");
    const auto reading =
        orvan::parseReading(frame, orvan::gmFactor(orvan::Sievert), kNow, OrvanTimeForm::DateTime);
    ASSERT_TRUE(reading);
    const MeasurementRecord r = test::rowOf(*reading, Orvan);
    EXPECT_EQ(r.InstrumentId, "12");
    EXPECT_EQ(r.ReadingTime, "3/14/2026 10:00:00");
    EXPECT_EQ(r.Value, "123.45");
    EXPECT_EQ(r.Units, "100");
    EXPECT_EQ(r.Status, "3.5");
    EXPECT_EQ(r.Detector, "7");
    EXPECT_EQ(r.OverMark, "42");
    EXPECT_EQ(r.AlarmCode, 0);
    EXPECT_EQ(orvan::countRateOf(*reading), 42.0);

    const auto roentgen =
        orvan::parseReading(frame, orvan::gmFactor(orvan::Roentgen), kNow, OrvanTimeForm::DateTime);
    EXPECT_EQ(test::rowOf(*roentgen, Orvan).Value, "12345.00");
    // Before the instrument named its unit the GM rate is shown as sent.
    EXPECT_EQ(orvan::gmFactor(QString()), 1.0);

    // Fields that hold no number read as 0, as a blank display would.
    const auto odd =
        orvan::parseReading(orvanR19("     ", "-0012", "ab   ", "  7.6", "00000", "00001"), 1.0,
                            kNow, OrvanTimeForm::DateTime);
    ASSERT_TRUE(odd);
    EXPECT_EQ(test::rowOf(*odd, Orvan).InstrumentId, "0");
    EXPECT_EQ(test::rowOf(*odd, Orvan).Status, "-12");
    EXPECT_EQ(test::rowOf(*odd, Orvan).Detector, "0");
    EXPECT_EQ(test::rowOf(*odd, Orvan).OverMark, "8");
}

// Whole fields are written without the general number formatter: for every
// field an instrument can send, in both units and with a sign, the reading
// must hold what that formatter gives.
TEST_F(OrvanReplies, WholeFieldsReadAsTheGeneralFormatterWritesThem) {
    auto check = [](const QByteArray& text, double field) {
        const QByteArray frame = orvanR19(text, text, text, text, text, text);
        for (const QString& unit : {orvan::Sievert, orvan::Roentgen}) {
            const double factor = orvan::gmFactor(unit);
            const auto reading = orvan::parseReading(frame, factor, kNow, OrvanTimeForm::DateTime);
            ASSERT_TRUE(reading) << text.constData();
            const double value = shownNumber(field * factor, QStringLiteral("0.00"));
            ASSERT_EQ(reading->value, value) << text.constData();
            ASSERT_EQ(std::signbit(reading->value), std::signbit(value)) << text.constData();
            ASSERT_EQ(reading->extras.size(), 5);
            for (const Quantity& q : reading->extras.first(4)) {
                ASSERT_EQ(q.number, field);
                ASSERT_EQ(q.text, shortestText(field)) << text.constData();
            }
            const double counts = shownNumber(field, QStringLiteral("0"));
            ASSERT_EQ(reading->extras.last().number, counts) << text.constData();
            ASSERT_EQ(std::signbit(reading->extras.last().number), std::signbit(counts));
            ASSERT_EQ(reading->extras.last().text, formatPicture(counts, QStringLiteral("0")));
        }
    };
    check("-0000", -0.0);
    for (int field = -9999; field <= 99999; field += field < 2000 ? 1 : 7) {
        const QByteArray text = field < 0 ? "-" + QByteArray::number(-field).rightJustified(4, '0')
                                          : test::orvanField(field);
        check(text, field);
    }
}

TEST_F(OrvanReplies, ErrorRepliesBecomeRowsWithValueZero) {
    struct Case {
        const char* frame;
        const char* status;
    };
    for (const Case& c : {Case{"\x02"
                               "E00\x03",
                               "Ilgl com"},
                          Case{"\x02"
                               "E01\x03",
                               "Ilgl Par"}}) {
        const auto reading = orvan::parseReading(c.frame, 0.01, kNow, OrvanTimeForm::Milliseconds);
        ASSERT_TRUE(reading) << c.status;
        EXPECT_EQ(test::rowOf(*reading, Orvan).Value, "0");
        EXPECT_EQ(test::rowOf(*reading, Orvan).Status, c.status);
        EXPECT_EQ(test::rowOf(*reading, Orvan).ReadingTime, "3/14/2026 10:00:00");
        EXPECT_FALSE(orvan::countRateOf(*reading)) << "an error report leaves the count rate";
    }
    EXPECT_FALSE(orvan::parseReading(orvanR11('0'), 1.0, kNow, OrvanTimeForm::DateTime));
    EXPECT_FALSE(orvan::parseReading("\x02"
                                     "E05\x03",
                                     1.0, kNow, OrvanTimeForm::DateTime));
}

TEST_F(OrvanReplies, ReadingTimeFormsBelowOneSecond) {
    struct Case {
        double intervalSeconds;
        int16_t timeFormat;
        const char* text;
    };
    const Case cases[] = {
        {1, 0, "3/14/2026 10:00:00"},       {120, 1, "3/14/2026 10:00:00"},
        {0.1, 0, "3/14/2026 10:00:00:045"}, {0.5, 1, "36000.045"},
        {0, 0, "3/14/2026 10:00:00:045"},   {0.9, 7, "36000.045"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(orvanTime(orvanTimeForm(c.intervalSeconds, c.timeFormat)),
                  QString::fromLatin1(c.text))
            << c.intervalSeconds << " " << c.timeFormat;
    // The millisecond form reads back as the moment it names.
    EXPECT_EQ(parseGeneralDateTime("3/14/2026 10:00:00:045"), kNow);
}

} // namespace

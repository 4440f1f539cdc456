// The Portables codec: commands, the reading parser and its tables, the
// calibration record, and replies too short for their layout.
#include "common/datetime.h"
#include "protocol/portables.h"
#include "support/portables_frames.h"
#include "support/reading_rows.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace zel;
using test::portablesCalibration;
using test::portablesFrame;
using test::portablesReading;

namespace {

QString hexOf(const QByteArray& b) {
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

const QDateTime kNow(QDate(2026, 5, 6), QTime(7, 8, 9));

MeasurementRecord parsed(const QByteArray& frame, bool logged = false) {
    EXPECT_EQ(portables::classify(frame).kind, FrameKind::Reading);
    const auto r = test::rowOf(portables::parseReading(frame, logged, kNow), Portables);
    EXPECT_TRUE(r.has_value());
    return r.value_or(MeasurementRecord{});
}

struct PortablesReading : ::testing::Test {
    void SetUp() override { setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

} // namespace

TEST(PortablesCommands, IntervalAndClock) {
    EXPECT_EQ(hexOf(buildOnlineStartCommand(12, 5)), "01 09 31 32 30 35 30 30 30 04");
    EXPECT_EQ(hexOf(buildOnlineStartCommand(0, 1)), "01 09 30 30 30 31 30 30 30 04");
    // Three-digit minutes keep their first two characters.
    EXPECT_EQ(buildOnlineStartCommand(120, 0).mid(2, 4), "1200");
    EXPECT_EQ(hexOf(buildSetClockCommand(QDateTime(QDate(2026, 11, 30), QTime(23, 59, 58)))),
              "01 20 0B 1E 14 1A 17 3B 3A 04");
}

TEST(PortablesCodec, ValueCodes) {
    struct Case {
        int code;
        const char* shown;
    };
    const Case cases[] = {
        {0xC803, "2030.00"}, // 51203: 203 x 10^1
        {0x2F1D, "0.61"},    // 12061: 61 x 10^-2
        {10500, "500.00"},   // exponent 0
        {59999, "999000000000.00"},
        {19001, "0.00"}, // 1 x 10^-9 rounds away
        {123, "0.03"},   // three digits: sign 1, exponent 2, mantissa "3"
        {7, "0.00"},     // one digit: no exponent, no mantissa
        {0, "0.00"},
        {0xFFFF, "0.01"}, // 65535: 535 x 10^-5
    };
    for (const Case& c : cases) {
        const MeasurementRecord r = parsed(portablesReading(c.code));
        EXPECT_EQ(r.Value, c.shown) << c.code;
    }

    // Every code of the two bytes, and codes no reply carries, give what
    // reading the code's last five digits as text gives.
    const auto byText = [](int code) {
        const QString digits = QString::number(std::max(code, 0)).right(5);
        const auto digitAt = [&](int i) { return i < digits.size() ? digits[i].digitValue() : 0; };
        const double mantissa = digits.size() > 2 ? digits.mid(2).toInt() : 0;
        return digitAt(0) == 5 ? mantissa * std::pow(10.0, digitAt(1))
                               : mantissa * std::pow(10.0, -digitAt(1));
    };
    for (int code : {-7, 100012, 150999, 2000000005, std::numeric_limits<int>::max()})
        EXPECT_EQ(portablesValue(code), byText(code)) << code;
    for (int code = 0; code <= 0xFFFF; ++code)
        ASSERT_EQ(portablesValue(code), byText(code)) << code;
}

TEST_F(PortablesReading, ReadingFields) {
    MeasurementRecord r = parsed(portablesReading(0x2F1D, 17, 3, 12, "AB-12345678X"));
    EXPECT_EQ(r.InstrumentId, "AB-12345678X");
    EXPECT_EQ(r.ReadingTime, formatGeneralDateTime(kNow)) << "on line: the computer's time";
    EXPECT_EQ(r.Units, "mR/hf");
    EXPECT_EQ(r.Detector, "DX13");
    EXPECT_EQ(r.Status, "OvrThrRate");
    EXPECT_EQ(r.OverMark, "*");
    EXPECT_EQ(r.AlarmCode, 12);

    r = parsed(portablesReading(0x2F1D, 0x60, 0, 1), true);
    EXPECT_EQ(r.Units, "Bq");
    EXPECT_EQ(r.Status, "LowBat");
    EXPECT_EQ(r.OverMark, " ");
    EXPECT_EQ(r.ReadingTime, formatGeneralDateTime(QDateTime(QDate(2026, 3, 14), QTime(9, 30))))
        << "a download keeps the logged date-time";
}

// A logged date is taken as the instrument wrote it, or, when its fields
// name no date within 1930..2099, filed at arrival (a text the reader reads
// back) with a note in the status column, never turned into another date.
TEST_F(PortablesReading, LoggedDatesOutsideTheCalendarAreFiledAtArrivalAndMarked) {
    const struct {
        int month, day, century, year, hour, minute;
        const char* time; // empty: not a date
        const char* note;
    } cases[] = {
        {0, 0, 0, 0, 0, 0, "", "LowBat; logged date 0/0/0 0:00 invalid"},
        {255, 255, 255, 255, 255, 255, "", "LowBat; logged date 255/255/25755 255:255 invalid"},
        {13, 14, 20, 26, 9, 30, "", "LowBat; logged date 13/14/2026 9:30 invalid"},
        {2, 30, 20, 26, 9, 30, "", "LowBat; logged date 2/30/2026 9:30 invalid"},
        {3, 14, 20, 26, 24, 0, "", "LowBat; logged date 3/14/2026 24:00 invalid"},
        {12, 31, 19, 29, 23, 59, "", "LowBat; logged date 12/31/1929 23:59 invalid"},
        {1, 1, 21, 0, 0, 0, "", "LowBat; logged date 1/1/2100 0:00 invalid"},
        {1, 1, 19, 30, 0, 0, "1/1/1930 00:00:00", "LowBat"},
        {12, 31, 20, 99, 23, 59, "12/31/2099 23:59:00", "LowBat"},
        {2, 29, 20, 24, 12, 5, "2/29/2024 12:05:00", "LowBat"},
    };
    for (const auto& c : cases) {
        QByteArray f = portablesReading(10500, 1, 0, 1);
        const int fields[] = {c.month, c.day, c.century, c.year, c.hour, c.minute};
        for (int i = 0; i < 6; ++i)
            f[13 + i] = char(fields[i]);
        f = portablesFrame(f.mid(1, f.size() - 3));
        const MeasurementRecord r = parsed(f, true);
        const QString want = *c.time ? QString(c.time) : formatGeneralDateTime(kNow);
        EXPECT_EQ(r.ReadingTime, want) << c.note;
        EXPECT_TRUE(parseGeneralDateTime(r.ReadingTime).has_value()) << c.note;
        EXPECT_EQ(r.Status, c.note);
        EXPECT_EQ(r.AlarmCode, 1) << c.note;
    }
}

TEST(PortablesCodec, Tables) {
    struct Units {
        int code;
        const char* text;
    };
    for (const Units& u : {Units{1, "mR/h"},
                           {2, "mR"},
                           {4, "uSv/h"},
                           {8, "uSv"},
                           {32, "dpm"},
                           {64, "cpm"},
                           {96, "Bq"},
                           {128, "cps"},
                           {192, "count"},
                           {224, "uCi"},
                           {24, "uSvf"},
                           {16, "0f"},
                           {3, "3"},
                           {255, "239f"}})
        EXPECT_EQ(portablesUnitsText(u.code), u.text) << u.code;

    EXPECT_EQ(portablesDetectorText(0), "Internal");
    EXPECT_EQ(portablesDetectorText(1), "DX11");
    EXPECT_EQ(portablesDetectorText(10), "DX20");
    EXPECT_EQ(portablesDetectorText(11), "11");
    EXPECT_EQ(portablesDetectorText(254), "Skylance");
    EXPECT_EQ(portablesDetectorText(255), "QUORIN");

    // Each range at both of its ends.
    struct Status {
        int code;
        const char* text;
    };
    for (const Status& s : {Status{0, "OK"},
                            {1, "LowBat"},
                            {2, "DetFail"},
                            {3, "DetFail"},
                            {4, "OvrThrDose"},
                            {7, "OvrThrDose"},
                            {8, "OvrThrRate"},
                            {15, "OvrThrRate"},
                            {16, "OvrFlwRate"},
                            {31, "OvrFlwRate"},
                            {32, "OvrFlwDose"},
                            {255, "OvrFlwDose"}})
        EXPECT_EQ(portablesStatusText(s.code), s.text) << s.code;
}

TEST(PortablesCodec, OverMarkFollowsTheThresholdBits) {
    for (int status : {0, 1, 2, 3, 16, 32, 48, 0x13}) {
        const auto r =
            portables::parseReading(portablesReading(10500, 1, 0, uint8_t(status)), false, kNow);
        EXPECT_EQ(r->overMark, " ") << status;
    }
    for (int status : {4, 8, 12, 0x24, 0xFF}) {
        const auto r =
            portables::parseReading(portablesReading(10500, 1, 0, uint8_t(status)), false, kNow);
        EXPECT_EQ(r->overMark, "*") << status;
    }
}

TEST(PortablesCodec, ShortRepliesGiveNoReadingAndNoRecord) {
    // The checker takes 20 bytes and up as a reading; the status byte needs 26.
    const QByteArray full = portablesReading(10500);
    for (int k = 20; k <= 25; ++k) {
        const QByteArray cut = portablesFrame(full.mid(1, k - 3));
        ASSERT_EQ(cut.size(), k);
        EXPECT_EQ(portables::classify(cut).kind, FrameKind::Reading) << k;
        EXPECT_FALSE(portables::parseReading(cut, true, kNow)) << k;
    }
    EXPECT_FALSE(portables::parseReading(QByteArray(), false, kNow));
    // A calibration record needs byte 32: 35 bytes in all.
    const QByteArray cal = portablesCalibration();
    ASSERT_EQ(cal.size(), 35);
    for (int k = 31; k <= 34; ++k) {
        const QByteArray cut = portablesFrame(cal.mid(1, k - 3));
        EXPECT_EQ(portables::classify(cut).kind, FrameKind::Calibration) << k;
        EXPECT_FALSE(portables::parseCalibration(cut)) << k;
    }
    EXPECT_FALSE(portables::parseCalibration(QByteArray(3, 'x')));
}

TEST(PortablesCodec, CalibrationRecord) {
    const QByteArray cal = portablesCalibration("00471123", "1250", "D. Levin", "15092026");
    EXPECT_EQ(portables::classify(cal).kind, FrameKind::Calibration);
    const auto c = portables::parseCalibration(cal);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->meter, "00471123");
    EXPECT_EQ(c->factor, "1.25");
    EXPECT_EQ(c->name, "D. Levin    ");
    EXPECT_EQ(c->due, "15/09/2026");
    // A longer record (a spare byte) reads the same fields.
    QByteArray longer = cal.mid(1, 32) + 'x';
    EXPECT_EQ(portables::parseCalibration(portablesFrame(longer)), c);
    EXPECT_EQ(portables::parseCalibration(portablesCalibration("1", "0999"))->factor, "0.999");
    EXPECT_EQ(portables::parseCalibration(portablesCalibration("1", "12a4"))->factor, "0.012");
}

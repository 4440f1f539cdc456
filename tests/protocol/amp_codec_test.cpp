// The amplifier codec: reading lines, set-up replies, the parameter block,
// the number encoding and the commands, with the meter's own byte examples.
#include "protocol/amp.h"
#include "support/hex_bytes.h"

#include <gtest/gtest.h>

using namespace zel;
using zel::test::toHex;

namespace {

// A reading line: id, status, character 8, dose (7), units flag, mantissa
// (3), exponent, extra digit; checksum and CR added.
QByteArray readingLine(const char* status, const char* units, const char* valueDigits) {
    return amp::frameWithChecksum(QByteArray("001234") + status + "0" + "0001234" + units +
                                  valueDigits);
}

TEST(AmpReading, ValueDecimalsUnitsAndDose) {
    struct Case {
        const char* digits; // characters 17 to 21
        int16_t convert;
        const char* value;
        const char* units;
        double dose;
    };
    const Case cases[] = {
        {"12310", 0, "12.3", "uSv/h", 123.4},    // 1.23 x 10
        {"12310", 1, "0.0123", "mSv/h", 0.1234}, // the large unit: 4 decimals
        {"12325", 0, "123", "uSv/h", 123.4},     // 123.005 to 1 decimal
        {"12301", 0, "1.231", "uSv/h", 123.4},   // 1.23 + 0.001, 3 decimals
        {"99990", 0, "9990000000", "uSv/h", 123.4},
    };
    for (const Case& c : cases) {
        const QByteArray line = readingLine("0", "1", c.digits);
        ASSERT_EQ(amp::classify(line).kind, FrameKind::ReadingWhileCollecting) << c.digits;
        const auto r = amp::parseReading(line, c.convert, QDateTime());
        ASSERT_TRUE(r) << c.digits;
        EXPECT_EQ(amp::readingText(r->value), c.value) << c.digits;
        EXPECT_EQ(r->unit, c.units) << c.digits;
        EXPECT_DOUBLE_EQ(amp::readingDose(line, c.convert), c.dose) << c.digits;
        EXPECT_EQ(r->instrumentId, "001234");
    }
    EXPECT_EQ(amp::parseReading(readingLine("0", "0", "12310"), 0, QDateTime())->unit, "mR/h");
}

TEST(AmpReading, StatusTextAndAlarmCode) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "O.K."},        {"1", "OverLoad"}, {"2", "Thr.Alarm"},   {"3", "No Ex. Power"},
        {"4", "Low Battery"}, {"8", "Det.Fail"}, {"5", "Status = 00"},
    };
    for (const auto& [status, text] : cases) {
        const auto r = amp::parseReading(readingLine(status, "1", "12310"), 0, QDateTime());
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, text);
        EXPECT_EQ(r->alarmCode, status[0]);
    }
}

TEST(AmpReading, LineTooShortForItsFieldsIsNoReading) {
    // Ten characters pass the check but carry no reading.
    const QByteArray tenChars = amp::frameWithChecksum("0012340");
    EXPECT_EQ(amp::classify(tenChars).kind, FrameKind::ReadingWhileCollecting);
    EXPECT_FALSE(amp::parseReading(tenChars, 0, QDateTime()));
    EXPECT_FALSE(amp::parseReading(amp::frameWithChecksum(QByteArray(20, '1')), 0, QDateTime()));
    EXPECT_TRUE(amp::parseReading(amp::frameWithChecksum(QByteArray(21, '1')), 0, QDateTime()));
    EXPECT_FALSE(amp::parseReading(QByteArray(), 0, QDateTime()));
}

TEST(AmpUnits, UnitsTextAndScaleCaptions) {
    EXPECT_EQ(amp::unitsText(1, 0), "uSv/h");
    EXPECT_EQ(amp::unitsText(1, 1), "mSv/h");
    EXPECT_EQ(amp::unitsText(0, 1), "R/h");
    EXPECT_EQ(amp::unitsText(0, 0), "mR/h");
    EXPECT_EQ(amp::scaleCaptions(1)[1], " mSv/h");
    EXPECT_EQ(amp::scaleCaptions(0)[0], " mR/h");
    const double sizes[] = {0.5, 1, 9.99, 10, 100, 999.9, 1000};
    const int decimals[] = {4, 3, 3, 2, 1, 1, 0};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(amp::decimalsFor(sizes[i]), decimals[i]) << sizes[i];
}

// Type 3, sievert, serial 654321, default threshold 2.5, baud 2, interval
// 10 s, all options, firmware, background 0.15, thresholds 1, 20, 300, 0.05.
const QByteArray kVessaBlock = "\n93165432125000200107V1.02a  0150010000200013000200500\r";

TEST(AmpParameters, FiveThresholdBlockFillsEverything) {
    ASSERT_EQ(amp::classify(kVessaBlock).kind, FrameKind::SetupReply);
    const auto b = amp::parseParameterBlock(kVessaBlock, AmpParams{});
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->fiveThresholds);
    EXPECT_EQ(b->meterName, "Vessa-1");
    EXPECT_EQ(b->unitsFlag, 1);
    const AmpParams& p = b->params;
    EXPECT_EQ(p.MeterType, 3);
    EXPECT_EQ(p.SerialNumber, "654321");
    EXPECT_EQ(p.BaudIndex, 2);
    EXPECT_EQ(p.Interval, 10);
    EXPECT_TRUE(p.DoseEnabled && p.Latch && p.Buzzer);
    EXPECT_EQ(p.FirmWare, "V1.02a");
    const double expected[] = {2.5, 1, 20, 300, 0.05};
    for (int i = 0; i < 5; ++i)
        EXPECT_DOUBLE_EQ(p.Thresholds[size_t(i)], expected[i]) << i;
    EXPECT_DOUBLE_EQ(p.Background, 0.15);
}

TEST(AmpParameters, OneThresholdBlockKeepsWhatItDoesNotCarry) {
    AmpParams before;
    before.Thresholds = {9, 8, 7, 6, 5};
    before.Background = 4;
    // AmpB, roentgen, options: latch only; 26 characters.
    const QByteArray block = "\n01000004215001200602FW0001\r";
    EXPECT_FALSE(amp::parseParameterBlock(QByteArray(block).remove(5, 1), before))
        << "25 characters are a set-up reply, too short for its firmware";
    const auto a = amp::parseParameterBlock(block, before);
    ASSERT_TRUE(a);
    EXPECT_FALSE(a->fiveThresholds);
    EXPECT_EQ(a->meterName, "AmpB");
    EXPECT_EQ(a->params.SerialNumber, "000042");
    EXPECT_DOUBLE_EQ(a->params.Thresholds[0], 15);
    EXPECT_EQ(a->params.Interval, 60);
    EXPECT_TRUE(a->params.Latch);
    EXPECT_FALSE(a->params.DoseEnabled || a->params.Buzzer);
    EXPECT_EQ(a->params.FirmWare, "FW0001");
    EXPECT_DOUBLE_EQ(a->params.Thresholds[1], 8);
    EXPECT_DOUBLE_EQ(a->params.Background, 4) << "type 1 has no background";
    EXPECT_EQ(amp::parseParameterBlock("\n07000004215001200602FW0001  01500\r", before)->meterName,
              "Unknown");
}

TEST(AmpParameters, BlocksCutShortAndOtherRepliesAreRefused) {
    QByteArray cut = kVessaBlock;
    cut.remove(40, 1);
    EXPECT_FALSE(amp::parseParameterBlock(cut, AmpParams{}));
    EXPECT_FALSE(amp::parseParameterBlock("\n03000004215001200602FW0001\r", AmpParams{}))
        << "type 3 promises a background";
    EXPECT_FALSE(amp::parseParameterBlock("\n5000000000000000000000000\r", AmpParams{}));
    EXPECT_EQ(amp::replyCode("\n5000000000000000000000000\r"), 5);
    EXPECT_EQ(amp::replyCode("\nX\r"), -1);
    EXPECT_EQ(amp::replyCode(QByteArray()), -1);
    EXPECT_EQ(amp::confirmationText(2), "Automatic send stoped");
    EXPECT_EQ(amp::confirmationText(3), "");
}

TEST(AmpEncoding, ThresholdsAndBackground) {
    struct Case {
        double shown;
        int16_t convert;
        const char* digits;
    };
    const Case cases[] = {
        {2.5, 0, "25000"},
        {0.2, 0, "02000"},
        {150, 0, "15002"},
        {0, 0, "00000"},
        {2, 1, "20003"},
        {0.05, 0, "00500"},
        {9.9995, 0, "10001"}, // the mantissa carries
                              // into the exponent
        {9.999e9, 0, "99999"},
        {9999000, 1, "99999"},
        {0.0005, 0, "00010"}, // the smallest that leaves a digit
        {0.0000005, 1, "00010"},
    };
    for (const Case& c : cases) {
        const amp::Encoded e = amp::encodeNumber(c.shown, c.convert);
        EXPECT_TRUE(e.ok()) << c.shown;
        EXPECT_EQ(e.digits, c.digits) << c.shown;
    }
    EXPECT_EQ(amp::encodeNumber(-0.001, 0).refusal, amp::Refusal::Negative);
    EXPECT_EQ(amp::encodeNumber(1e10, 0).refusal, amp::Refusal::TooLarge);
    EXPECT_EQ(amp::encodeNumber(9.9996e9, 0).refusal, amp::Refusal::TooLarge);
    EXPECT_EQ(amp::encodeNumber(1e7, 1).refusal, amp::Refusal::TooLarge);
    EXPECT_EQ(amp::encodeNumber(1e300 * 1e300, 0).refusal, amp::Refusal::TooLarge);
    // Above 0 but below a mantissa digit: refused, not sent as 0.
    EXPECT_EQ(amp::encodeNumber(1e-9, 0).refusal, amp::Refusal::TooSmall);
    EXPECT_EQ(amp::encodeNumber(0.0004, 0).refusal, amp::Refusal::TooSmall);
    EXPECT_EQ(amp::encodeNumber(0.0000004, 1).refusal, amp::Refusal::TooSmall);
    EXPECT_DOUBLE_EQ(amp::numberLimit(1), 9.999e6);
    // What goes out comes back.
    for (double v : {0.05, 2.5, 123.4, 9.9995, 7.77e8})
        EXPECT_NEAR(amp::decodeNumber(amp::encodeNumber(v, 0).digits, 0), v, v * 5e-4) << v;
}

TEST(AmpEncoding, IntervalAndSerialNumber) {
    EXPECT_EQ(amp::encodeInterval(12.6).digits, "0013");
    EXPECT_EQ(amp::encodeInterval(9999).digits, "9999");
    EXPECT_EQ(amp::encodeInterval(-0.4).digits, "0000");
    EXPECT_EQ(amp::encodeInterval(9999.5).refusal, amp::Refusal::TooLarge);
    EXPECT_EQ(amp::encodeInterval(-1).refusal, amp::Refusal::Negative);
    EXPECT_EQ(amp::encodeSerialNumber(42).digits, "000042");
    EXPECT_EQ(amp::encodeSerialNumber(999999).digits, "999999");
    EXPECT_EQ(amp::encodeSerialNumber(1000000).refusal, amp::Refusal::TooLarge);
}

TEST(AmpCommands, BytesAndAwaitedReplies) {
    // Threshold #3 with 0.05 in the text, small unit.
    const amp::Command t = amp::thresholdCommand(3, amp::encodeNumber(0.05, 0).digits);
    EXPECT_EQ(toHex(t.bytes), "0A 35 30 30 35 30 30 23 0F 0F 0D");
    EXPECT_EQ(t.awaited, amp::ValueReply);
    EXPECT_EQ(toHex(amp::thresholdCommand(0, "00000").bytes).mid(21, 2), "20");
    EXPECT_EQ(toHex(amp::stopCommand().bytes), "0A 40 20 20 20 20 20 20 0F 0F 0D");
    EXPECT_EQ(amp::stopCommand().awaited, amp::StoppedReply);
    EXPECT_EQ(amp::startCommand().bytes.at(1), 'A');
    EXPECT_EQ(amp::startCommand().awaited, amp::StartedReply);
    EXPECT_EQ(amp::parametersCommand().awaited, amp::ParametersReply);
    EXPECT_EQ(toHex(amp::optionsCommand(false, false, false, 30, 30).bytes),
              "0A 37 30 1E 1E 20 20 20 0F 0F 0D");
    EXPECT_EQ(amp::optionsCommand(true, true, true, 31, 30).bytes.mid(2, 2), "7\x1f");
    EXPECT_EQ(toHex(amp::baudCommand(3).bytes), "0A 31 33 20 20 20 20 20 0F 0F 0D");
    EXPECT_EQ(amp::baudCommand(3).awaited, amp::SerialReply);
    EXPECT_EQ(amp::intervalCommand("0013").bytes.mid(1, 7), "40013  ");
    EXPECT_EQ(amp::backgroundCommand("15001").bytes.mid(1, 7), "215001 ");
    EXPECT_EQ(amp::serialNumberCommand("000042").bytes.mid(1, 7), "8000042");
}

} // namespace

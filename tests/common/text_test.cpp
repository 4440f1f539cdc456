#include "common/text.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace zel;

TEST(LeadingNumber, TakesOnlyTheLeadingDecimal) {
    EXPECT_DOUBLE_EQ(leadingNumber("0.35abc"), 0.35);
    EXPECT_DOUBLE_EQ(leadingNumber("abc"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber(""), 0);
    EXPECT_DOUBLE_EQ(leadingNumber("  -12.5 mR/h"), -12.5);
    EXPECT_DOUBLE_EQ(leadingNumber("+7"), 7);
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(leadingNumber("-.25x"), -0.25);
    EXPECT_DOUBLE_EQ(leadingNumber("5."), 5);
    EXPECT_DOUBLE_EQ(leadingNumber("1,5"), 1);
    EXPECT_DOUBLE_EQ(leadingNumber("1e3"), 1000);
    EXPECT_DOUBLE_EQ(leadingNumber("-"), 0);
    EXPECT_DOUBLE_EQ(leadingNumber("."), 0);
    EXPECT_DOUBLE_EQ(leadingNumber("- 5"), 0);
}

TEST(LeadingNumber, ReadsExponentForms) {
    // The shortest text of very large or small values has an exponent;
    // reading it back must give the value, not its first digit.
    const struct {
        const char* text;
        double value;
    } cases[] = {{"1E+18", 1e18},
                 {"1E-20 counts", 1e-20},
                 {"1.4E-39", 1.4e-39},
                 {"-2.5e3x", -2500},
                 {"7E", 7},
                 {"7E+", 7},
                 {"7e-x", 7},
                 {"1E999", 1.7976931348623157e308},
                 {"1E-999", 0},
                 {".5E1", 5}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(c.text), c.value) << c.text;
    for (double v : {1e18, 1e-20, 1.4e-39, 1.25e17, -3.25e-7})
        EXPECT_DOUBLE_EQ(leadingNumber(shortestText(v)), v) << v;
}

// A megabyte of digits or of trailing junk is read, not choked on (a slow
// reader would show as a time-out of the whole test program, not here).
TEST(LeadingNumber, HugeTextsAreRead) {
    const QString digits(1 << 20, u'9');
    EXPECT_TRUE(std::isfinite(leadingNumber(digits)));
    EXPECT_DOUBLE_EQ(leadingNumber(QString("12") + QString(1 << 20, u'x')), 12);
}

TEST(Rounding, HalvesGoToEvenAndIntegersClamp) {
    EXPECT_EQ(roundHalfEven(2.5), 2);
    EXPECT_EQ(roundHalfEven(3.5), 4);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-3.5), -4);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(2.4999), 2);
    EXPECT_EQ(roundHalfEven(-0.6), -1);
    EXPECT_EQ(leadingInt16("2.5"), 2);
    EXPECT_EQ(leadingInt16("3.5"), 4);
    EXPECT_EQ(leadingInt16("A"), 0);
    EXPECT_EQ(leadingInt16("99999"), 32767);
    EXPECT_EQ(leadingInt16("-99999"), -32768);
    EXPECT_EQ(toInt16(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(toInt32(1e12), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(toInt32(-1e12), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(toInt32(9600.5), 9600);
    EXPECT_EQ(toInt32(std::numeric_limits<double>::infinity()),
              std::numeric_limits<int32_t>::max());
}

TEST(FormatPicture, FixedPictures) {
    EXPECT_EQ(formatPicture(5, "##00"), "05");
    EXPECT_EQ(formatPicture(123, "##00"), "123");
    EXPECT_EQ(formatPicture(0, "##00"), "00");
    EXPECT_EQ(formatPicture(7, "0000"), "0007");
    EXPECT_EQ(formatPicture(42, "000000"), "000042");
    EXPECT_EQ(formatPicture(10, "###0.00"), "10.00");
    EXPECT_EQ(formatPicture(0.5, "###0.00"), "0.50");
    EXPECT_EQ(formatPicture(12345.678, "###0.00"), "12345.68");
    EXPECT_EQ(formatPicture(2.5, "##0.00"), "2.50");
    EXPECT_EQ(formatPicture(-1.5, "0.00"), "-1.50");
    EXPECT_EQ(formatPicture(-0.001, "0.00"), "0.00");
    // Halves to even on the decimal value.
    EXPECT_EQ(formatPicture(0.125, "0.00"), "0.12");
    EXPECT_EQ(formatPicture(0.375, "0.00"), "0.38");
    EXPECT_EQ(formatPicture(2.5, "##00"), "02");
    EXPECT_EQ(formatPicture(3.5, "##00"), "04");
    EXPECT_EQ(formatPicture(9.995, "0.00"), "10.00");
    // Scaled single-precision values keep their clean decimal.
    EXPECT_EQ(formatPicture(singleToDouble(0.01f) * 1000, "###0.00"), "10.00");
    EXPECT_EQ(formatPicture(0.5, "#.00"), ".50");
    EXPECT_EQ(formatPicture(1.5, "0.0#"), "1.5");
    EXPECT_EQ(formatPicture(1.25, "0.0#"), "1.25");
    EXPECT_EQ(formatPicture(1e20, "0.00"), "100000000000000000000.00");
}

TEST(FormatPicture, ExponentPicturesAndOddValues) {
    EXPECT_EQ(formatPicture(12345, "0.00E+00"), "1.23E+04");
    EXPECT_EQ(formatPicture(0.00012345, "0.00E+00"), "1.23E-04");
    EXPECT_EQ(formatPicture(-9.999, "0.00E+00"), "-1.00E+01");
    EXPECT_EQ(formatPicture(0, "0.00E+00"), "0.00E+00");
    EXPECT_EQ(formatPicture(1.5e-120, "0.00E+00"), "1.50E-120");
    EXPECT_EQ(formatPicture(250, "0.0E-00"), "2.5E02");
    EXPECT_FALSE(formatPicture(std::numeric_limits<double>::quiet_NaN(), "0.00").isEmpty());
    EXPECT_FALSE(formatPicture(std::numeric_limits<double>::infinity(), "0.00E+00").isEmpty());
    EXPECT_EQ(formatPicture(3, ""), "3");
}

// The far ends of double and single precision: three-digit exponents, the
// smallest subnormals and the largest finite values.
TEST(NumberTexts, ExtremeValuesKeepTheirDigitsAndExponent) {
    const struct {
        double value;
        const char* picture;
        const char* text;
    } cases[] = {
        {5e-324, "", "4.94065645841247E-324"},
        {-1.7976931348623157e308, "", "-1.79769313486232E+308"},
        {2.2250738585072014e-308, "0.00E+00", "2.23E-308"},
        {1.7976931348623157e308, "0.00E+00", "1.80E+308"},
        {0.000123, "0.00", "0.00"},
        // Rounded on its fifteen digits, 0.005 is a half and goes to even.
        {0.005, "0.00", "0.00"},
        {0.015, "0.00", "0.02"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatPicture(c.value, c.picture), c.text) << c.value << " " << c.picture;
    EXPECT_DOUBLE_EQ(singleToDouble(3.4028235e38f), 3.402823e38);
    EXPECT_DOUBLE_EQ(singleToDouble(1e-45f), 1.401298e-45);
    EXPECT_DOUBLE_EQ(singleToDouble(-0.3f), -0.3);
}

TEST(ShortestText, FifteenDigitsAtMostNoTrailingZeros) {
    EXPECT_EQ(shortestText(singleToDouble(0.01f) * 1000), "10");
    EXPECT_EQ(shortestText(0.01 * 1000), "10");
    EXPECT_EQ(shortestText(1500), "1500");
    EXPECT_EQ(shortestText(0), "0");
    EXPECT_EQ(shortestText(-0.0), "0");
    EXPECT_EQ(shortestText(0.2), "0.2");
    EXPECT_EQ(shortestText(0.1 + 0.2), "0.3");
    EXPECT_EQ(shortestText(-2.5), "-2.5");
    EXPECT_EQ(shortestText(1e-15), "0.000000000000001");
    EXPECT_EQ(shortestText(123456789012345.0), "123456789012345");
    EXPECT_EQ(shortestText(1e15), "1E+15");
    EXPECT_EQ(shortestText(1.5e-20), "1.5E-20");
    EXPECT_EQ(plainNumber(9600), "9600");
    EXPECT_EQ(plainNumber(0.35), "0.35");
    EXPECT_FALSE(shortestText(std::numeric_limits<double>::quiet_NaN()).isEmpty());
    EXPECT_FALSE(shortestText(-std::numeric_limits<double>::infinity()).isEmpty());
}

TEST(SingleValues, SevenSignificantDigitsFromLittleEndianBytes) {
    // Bytes are given least significant first: 0x3C23D70A.
    EXPECT_EQ(myRetDouble(0x0A, 0xD7, 0x23, 0x3C), 0.01);
    EXPECT_EQ(myRetDouble(0x00, 0x00, 0x80, 0x3F), 1.0);
    EXPECT_EQ(myRetDouble(0x00, 0x00, 0xC0, 0x3F), 1.5);
    EXPECT_EQ(myRetDouble(0x00, 0x00, 0x00, 0x00), 0.0);
    EXPECT_EQ(singleToDouble(0.2f), 0.2);
    EXPECT_EQ(singleToDouble(123456.789f), 123456.8);
    EXPECT_TRUE(std::isnan(myRetDouble(0x00, 0x00, 0xC0, 0x7F)));
    EXPECT_TRUE(std::isinf(myRetDouble(0x00, 0x00, 0x80, 0x7F)));
}

TEST(PadLeft, OneSpaceForEachCountUpToWidth) {
    EXPECT_EQ(padLeft("2.5", 7), "     2.5");
    EXPECT_EQ(padLeft("mR/h", 8), "     mR/h");
    EXPECT_EQ(padLeft("", 10), QString(11, u' '));
    EXPECT_EQ(padLeft("12345678", 7), "12345678");
    EXPECT_EQ(padLeft("12345678", 8), " 12345678");
    EXPECT_EQ(padLeft("x", -3), "x");
}

TEST(DebugText, HexAndByteTexts) {
    EXPECT_EQ(cnvStrToHex(2, "Ab"), "41 62 ");
    EXPECT_EQ(cnvStrToHex(1, QByteArray(1, '\n')), "A ");
    EXPECT_EQ(cnvStrToHex(3, QByteArray("\x00\xff", 2)), "0 FF ");
    EXPECT_EQ(cnvStrToHex(-1, "Ab"), "");
    EXPECT_EQ(cnvStrToHex(1, "Ab"), "41 ");
    EXPECT_EQ(cnvByteToString(3, "xABC"), "ABC");
    EXPECT_EQ(cnvByteToString(10, "xAB"), "AB");
    EXPECT_EQ(cnvByteToString(5, ""), "");
    EXPECT_EQ(cnvByteToString(-2, "xAB"), "");
    EXPECT_EQ(cnvByteToString(1, QByteArray("x\xe9", 2)), QString(QChar(0xE9)));
}

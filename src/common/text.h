#pragma once
// Number and text helpers shared by every part of the program. Most subtle
// faults of a station program hide in number formatting, so each rule lives
// here once and everything else calls it.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace zel {

// Leading decimal number of a text: skips leading blanks, optional sign,
// digits, optional point and digits (point is the only separator), and an
// exponent "E+18", "e-20" (the form shortestText gives very large and very
// small values). A text that does not begin with a number gives 0; beyond
// the double range it gives the largest double, below it 0. Never throws,
// never reads the whole of a huge text.
double leadingNumber(const QString& text);
// The same for UTF-8 or Latin-1 bytes (data file fields).
double leadingNumberOfBytes(QByteArrayView text);

// Rounds halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double roundHalfEven(double value);

// Rounds half to even and clamps into the 16-bit range, for settings and
// counters that the instruments and files keep in 16 bits.
int16_t toInt16(double value);
int32_t toInt32(double value);

// Leading number of `text`, rounded half to even, clamped to 16 bits.
int16_t leadingInt16(const QString& text);

// Picture formats: "##00", "0000", "000000", "###0.00", "##0.00", "0.00",
// "0.00E+00". '0' is a digit that always shows, '#' one that shows only when
// needed; the fraction is rounded half to even.
QString formatPicture(double value, const QString& picture);

// Shortest text of a number: at most 15 significant digits, no trailing
// zeros, point as separator, no exponent for ordinary magnitudes
// (0.01 * 1000 gives "10").
QString shortestText(double value);

// The text with control characters shown as "?", for a message.
QString printableText(const QString& text);

// A single-precision instrument value keeps at most 7 significant digits:
// the float is passed through its shortest text and read back as double.
double singleToDouble(float value);

// The float whose little-endian bytes are b0 (least significant) .. b3.
double myRetDouble(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

// Right alignment with leading spaces: one space for each count from the
// length of `text` up to `width` inclusive; a longer text is unchanged.
QString padLeft(const QString& text, int width);

// For each of the first `count` characters: its code in upper-case hex
// without leading zeros, followed by one space ("Ab" -> "41 62 ").
QString cnvStrToHex(int count, const QByteArray& text);

// Characters whose codes are bytes 1 .. count of `bytes`, joined.
QString cnvByteToString(int count, const QByteArray& bytes);

// Number as plain decimal text with a point, as written into settings files.
QString plainNumber(double value);

// A path, file name, number with its unit or device name to be placed into
// a translated sentence, kept as one left-to-right run (between U+2066 and
// U+2069): in a right-to-left sentence it would otherwise be reordered, and
// the leading "/" of a path would land at its far end.
QString leftToRight(const QString& text);

} // namespace zel

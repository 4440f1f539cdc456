#include "common/text.h"

#include <QLocale>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace zel {

namespace {

// A number never needs more characters than this; anything longer is garbage
// and is cut so that a megabyte of digits is not parsed.
constexpr int kMaxNumberChars = 400;

// Decimal digits of |value| rounded to `significant` digits: value = 0.d1d2d3... * 10^(exponent+1),
// i.e. d1 is the digit of 10^exponent. Zero gives "0" and exponent 0.
struct Digits {
    QByteArray digits;
    int exponent = 0;
};

Digits decimalDigits(double value, int significant) {
    Digits d;
    value = std::fabs(value);
    if (value == 0) {
        d.digits = "0";
        return d;
    }
    // The digits printf's "%.*e" gives (both round the exact binary value),
    // without the locale and format machinery: every reading's texts come
    // through here.
    char buffer[64];
    const std::to_chars_result r = std::to_chars(buffer, buffer + sizeof buffer, value,
                                                 std::chars_format::scientific, significant - 1);
    const char* e = std::find(buffer, r.ptr, 'e');
    d.digits.reserve(significant);
    for (const char* p = buffer; p != e; ++p) {
        if (*p >= '0' && *p <= '9')
            d.digits.append(*p);
    }
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), r.ptr, exponent);
    d.exponent = exponent;
    return d;
}

// Rounds the digit string to `keep` digits, halves to even. Returns the kept
// digits (possibly one longer after a carry: "999" -> "1000") and sets
// `carried` when that happened. keep may be 0 or negative.
QByteArray roundDigits(const QByteArray& digits, int keep, bool* carried) {
    *carried = false;
    if (keep >= digits.size())
        return digits + QByteArray(keep - digits.size(), '0');
    if (keep < 0)
        return QByteArray();
    QByteArray kept = digits.left(keep);
    const char next = digits.at(keep);
    bool restNonZero = false;
    for (qsizetype i = keep + 1; i < digits.size(); ++i) {
        if (digits.at(i) != '0') {
            restNonZero = true;
            break;
        }
    }
    bool up = false;
    if (next > '5' || (next == '5' && restNonZero))
        up = true;
    else if (next == '5') {
        const int previous = keep > 0 ? kept.at(keep - 1) - '0' : 0;
        up = (previous % 2) == 1;
    }
    if (!up)
        return kept;
    qsizetype i = kept.size() - 1;
    while (i >= 0 && kept[i] == '9') {
        kept[i] = '0';
        --i;
    }
    if (i >= 0) {
        kept[i] = static_cast<char>(kept[i] + 1);
    } else {
        kept.prepend('1');
        *carried = true;
    }
    return kept;
}

QString nonFinite(double value) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
}

bool allZero(const QByteArray& digits) {
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
}

// The parts of a picture such as "###0.00" or "0.00E+00".
struct Picture {
    QString prefix;
    QString suffix;
    int intPlaces = 0; // '#' and '0' before the point
    int intZeros = 0;  // digits that always show before the point
    int fracMax = 0;   // places after the point
    int fracMin = 0;   // of which always shown ('0' before any trailing '#')
    bool hasPoint = false;
    bool exponent = false;
    QChar expLetter = u'E';
    bool expPlus = false; // "E+" shows the sign always, "E-" only when negative
    int expDigits = 0;
};

Picture parsePicture(const QString& picture) {
    Picture p;
    qsizetype i = 0;
    const qsizetype n = picture.size();
    auto isPlace = [](QChar c) { return c == u'0' || c == u'#'; };
    while (i < n && !isPlace(picture[i]) && picture[i] != u'.') {
        p.prefix += picture[i];
        ++i;
    }
    for (; i < n && (isPlace(picture[i]) || picture[i] == u','); ++i) {
        if (picture[i] == u',')
            continue;
        ++p.intPlaces;
        if (picture[i] == u'0')
            ++p.intZeros;
    }
    if (i < n && picture[i] == u'.') {
        p.hasPoint = true;
        ++i;
        bool optional = false;
        for (; i < n && isPlace(picture[i]); ++i) {
            ++p.fracMax;
            if (picture[i] == u'#')
                optional = true;
            else if (!optional)
                ++p.fracMin;
        }
    }
    if (i + 1 < n && (picture[i] == u'E' || picture[i] == u'e') &&
        (picture[i + 1] == u'+' || picture[i + 1] == u'-')) {
        p.exponent = true;
        p.expLetter = picture[i];
        p.expPlus = picture[i + 1] == u'+';
        i += 2;
        for (; i < n && isPlace(picture[i]); ++i)
            ++p.expDigits;
    }
    p.suffix = picture.mid(i);
    return p;
}

QString joinNumber(bool negative, const QByteArray& intDigits, const QByteArray& fracDigits,
                   const Picture& p) {
    QString text;
    if (negative)
        text += u'-';
    text += p.prefix;
    text += QString::fromLatin1(intDigits);
    if (!fracDigits.isEmpty())
        text += u'.' + QString::fromLatin1(fracDigits);
    return text;
}

// Trims the optional fraction places of a fraction text.
QByteArray trimFraction(QByteArray frac, int keepAtLeast) {
    while (frac.size() > keepAtLeast && frac.endsWith('0'))
        frac.chop(1);
    return frac;
}

QString formatFixed(double value, const Picture& p) {
    const Digits d = decimalDigits(value, 15);
    bool carried = false;
    // Digits of |value| * 10^fracMax as an integer.
    QByteArray scaled;
    if (d.digits == "0") {
        scaled = "0";
    } else {
        const int keep = d.exponent + 1 + p.fracMax;
        scaled = roundDigits(d.digits, keep, &carried);
        if (scaled.isEmpty())
            scaled = "0";
    }
    // Split into integer and fraction digits.
    if (scaled.size() < p.fracMax + 1)
        scaled.prepend(QByteArray(p.fracMax + 1 - scaled.size(), '0'));
    QByteArray intDigits = scaled.left(scaled.size() - p.fracMax);
    QByteArray frac = scaled.right(p.fracMax);
    while (intDigits.size() > 1 && intDigits.startsWith('0'))
        intDigits.remove(0, 1);
    if (intDigits == "0" && p.intZeros == 0)
        intDigits.clear(); // "#.00" shows ".50"
    if (intDigits.size() < p.intZeros)
        intDigits.prepend(QByteArray(p.intZeros - intDigits.size(), '0'));
    const bool negative = value < 0 && !(allZero(intDigits) && allZero(frac));
    frac = trimFraction(frac, p.fracMin);
    QString text = joinNumber(negative, intDigits, frac, p);
    if (frac.isEmpty() && p.hasPoint && p.fracMax > 0)
        text += u'.'; // "0.##" with a whole number keeps its point
    return text + p.suffix;
}

QString formatExponent(double value, const Picture& p) {
    const int intPlaces = std::max(1, p.intPlaces);
    const int significant = intPlaces + p.fracMax;
    Digits d = decimalDigits(value, 15);
    QByteArray mantissa;
    int exponent = 0;
    if (d.digits == "0") {
        mantissa = QByteArray(significant, '0');
    } else {
        bool carried = false;
        mantissa = roundDigits(d.digits, significant, &carried);
        exponent = d.exponent - (intPlaces - 1);
        if (carried) {
            mantissa.chop(1);
            ++exponent;
        }
    }
    QByteArray intDigits = mantissa.left(intPlaces);
    QByteArray frac = trimFraction(mantissa.mid(intPlaces), p.fracMin);
    const bool negative = value < 0 && !allZero(mantissa);
    QString text = joinNumber(negative, intDigits, frac, p);
    text += p.expLetter;
    if (exponent < 0)
        text += u'-';
    else if (p.expPlus)
        text += u'+';
    text += QString::number(std::abs(exponent)).rightJustified(p.expDigits, u'0');
    return text + p.suffix;
}

} // namespace

namespace {

// The number at the start of `text` (characters of type Char, UTF-16 or
// bytes): blanks, sign, digits, point, digits and an exponent "E" or "e"
// with optional sign and digits. An "E" without digits after it ends the
// number before it, as in "7 E" or "7Eq".
template <typename Char> double leadingNumberOf(const Char* text, qsizetype n) {
    qsizetype i = 0;
    while (i < n && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const qsizetype limit = std::min<qsizetype>(n, i + kMaxNumberChars);
    char number[kMaxNumberChars + 8];
    int len = 0;
    bool negative = false;
    if (i < limit && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    auto isDigit = [&](qsizetype k) { return k < limit && text[k] >= '0' && text[k] <= '9'; };
    int mantissaDigits = 0;
    while (isDigit(i)) {
        number[len++] = char(text[i++]);
        ++mantissaDigits;
    }
    if (i < limit && text[i] == '.') {
        number[len++] = '.';
        ++i;
        while (isDigit(i)) {
            number[len++] = char(text[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0;
    if (i < limit && (text[i] == 'E' || text[i] == 'e')) {
        qsizetype k = i + 1;
        const bool sign = k < limit && (text[k] == '+' || text[k] == '-');
        if (sign)
            ++k;
        if (isDigit(k)) {
            number[len++] = 'e';
            if (sign && text[i + 1] == '-')
                number[len++] = '-';
            while (isDigit(k) && len < int(sizeof number) - 1)
                number[len++] = char(text[k++]);
        }
    }
    double value = 0;
    const auto [end, error] = std::from_chars(number, number + len, value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large for a double, or so small that it is zero.
        const char* e = static_cast<const char*>(std::memchr(number, 'e', size_t(len)));
        const bool tiny = e && e[1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    return negative ? -value : value;
}

} // namespace

double leadingNumber(const QString& text) {
    return leadingNumberOf(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
}

double leadingNumberOfBytes(QByteArrayView text) {
    return leadingNumberOf(text.data(), text.size());
}

double roundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double diff = value - lower;
    if (diff > 0.5)
        return lower + 1;
    if (diff < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

int16_t toInt16(double value) {
    if (std::isnan(value))
        return 0;
    const double r = roundHalfEven(value);
    if (r <= std::numeric_limits<int16_t>::min())
        return std::numeric_limits<int16_t>::min();
    if (r >= std::numeric_limits<int16_t>::max())
        return std::numeric_limits<int16_t>::max();
    return static_cast<int16_t>(r);
}

int32_t toInt32(double value) {
    if (std::isnan(value))
        return 0;
    const double r = roundHalfEven(value);
    if (r <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (r >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

int16_t leadingInt16(const QString& text) {
    return toInt16(leadingNumber(text));
}

QString formatPicture(double value, const QString& picture) {
    if (!std::isfinite(value))
        return nonFinite(value);
    const Picture p = parsePicture(picture);
    if (p.intPlaces == 0 && p.fracMax == 0)
        return shortestText(value); // a picture without digit places
    return p.exponent ? formatExponent(value, p) : formatFixed(value, p);
}

QString printableText(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c.isNonCharacter() || c.isSurrogate())
            c = QLatin1Char('?');
    return out;
}

QString shortestText(double value) {
    if (!std::isfinite(value))
        return nonFinite(value);
    if (value == 0)
        return QStringLiteral("0");
    Digits d = decimalDigits(value, 15);
    while (d.digits.size() > 1 && d.digits.endsWith('0'))
        d.digits.chop(1);
    QString text;
    if (value < 0)
        text += u'-';
    const QString digits = QString::fromLatin1(d.digits);
    if (d.exponent >= 15 || d.exponent < -15) {
        text += digits.left(1);
        if (digits.size() > 1)
            text += u'.' + digits.mid(1);
        text += d.exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        text += QString::number(std::abs(d.exponent)).rightJustified(2, u'0');
        return text;
    }
    if (d.exponent >= 0) {
        const int intCount = d.exponent + 1;
        if (digits.size() <= intCount) {
            text += digits + QString(intCount - digits.size(), u'0');
        } else {
            text += digits.left(intCount) + u'.' + digits.mid(intCount);
        }
    } else {
        text += QStringLiteral("0.") + QString(-d.exponent - 1, u'0') + digits;
    }
    return text;
}

double singleToDouble(float value) {
    if (!std::isfinite(value))
        return static_cast<double>(value);
    // Seven significant digits is what a single-precision number prints as.
    char buffer[64];
    const std::to_chars_result r = std::to_chars(
        buffer, buffer + sizeof buffer, static_cast<double>(value), std::chars_format::general, 7);
    double out = 0;
    std::from_chars(buffer, r.ptr, out);
    return out;
}

double myRetDouble(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    const uint32_t bits = static_cast<uint32_t>(b0) | (static_cast<uint32_t>(b1) << 8) |
                          (static_cast<uint32_t>(b2) << 16) | (static_cast<uint32_t>(b3) << 24);
    return singleToDouble(std::bit_cast<float>(bits));
}

QString padLeft(const QString& text, int width) {
    if (text.size() > width)
        return text;
    return QString(width - text.size() + 1, u' ') + text;
}

QString cnvStrToHex(int count, const QByteArray& text) {
    QString out;
    const qsizetype n = std::min<qsizetype>(std::max(count, 0), text.size());
    out.reserve(n * 3);
    for (qsizetype i = 0; i < n; ++i) {
        out += QString::number(static_cast<uint8_t>(text.at(i)), 16).toUpper();
        out += u' ';
    }
    return out;
}

QString cnvByteToString(int count, const QByteArray& bytes) {
    QString out;
    // Entries 1 .. count: the receive buffers keep their first byte at index 1.
    const qsizetype last = std::min<qsizetype>(count, bytes.size() - 1);
    for (qsizetype i = 1; i <= last; ++i)
        out += QChar(static_cast<uint8_t>(bytes.at(i)));
    return out;
}

QString plainNumber(double value) {
    return shortestText(value);
}

QString leftToRight(const QString& text) {
    return QChar(0x2066) + text + QChar(0x2069);
}

} // namespace zel

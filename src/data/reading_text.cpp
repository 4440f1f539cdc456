#include "data/reading_text.h"

#include "common/datetime.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace zel {

namespace {

// The general formatters round from the number's first 15 significant
// digits, not from its exact binary value (2.675 shows as "2.68" with two
// places although the double lies below it); these are the same digits.
constexpr int SignificantDigits = 15;

// Above this the integer digits would outgrow the buffer; such a reading
// takes the general way.
constexpr double LargestDirect = 1e21;
constexpr int MostFractionPlaces = 20;

struct Digits {
    char d[SignificantDigits];
    int exponent = 0; // d[0] is the digit of 10^exponent
};

// The digits of a finite, non-zero |value| rounded to 15 significant
// digits, as printf's "%.14e" gives them.
Digits roundedDigits(double value) {
    Digits out;
    char buffer[40];
    const std::to_chars_result r =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                      std::chars_format::scientific, SignificantDigits - 1);
    // "d.ddddddddddddddde+XX"
    out.d[0] = buffer[0];
    std::memcpy(out.d + 1, buffer + 2, SignificantDigits - 1);
    const char* e = buffer + 1 + SignificantDigits;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), r.ptr, out.exponent);
    return out;
}

// Exact in a double up to 10^22.
constexpr double PowersOfTen[MostFractionPlaces + 1] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                                        1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                                        1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20};

// The whole number k of at most 15 digits whose k / 10^places is |value|'s
// nearest decimal, when |value| is the double nearest to such a decimal:
// its 15 significant digits are then k's digits, and rounding them to
// `places` changes nothing. Readings are mostly such numbers (12.5, 0.37,
// a count of hundredths).
bool exactPlaces(double value, int places, int64_t& k) {
    const double magnitude = std::fabs(value);
    const double scaledUp = magnitude * PowersOfTen[places];
    if (!(scaledUp < 1e15))
        return false;
    k = std::llround(scaledUp);
    return k > 0 && double(k) / PowersOfTen[places] == magnitude;
}

// The same digits. Most readings are the nearest double to a decimal of
// few places, and for those the digits are the decimal's.
Digits significantDigits(double value) {
    const double magnitude = std::fabs(value);
    int64_t k = 0;
    for (int places = 0; places <= MostFractionPlaces; ++places) {
        if (exactPlaces(value, places, k)) {
            Digits out;
            const int length = int(std::to_chars(out.d, out.d + SignificantDigits, k).ptr - out.d);
            std::memset(out.d + length, '0', size_t(SignificantDigits - length));
            out.exponent = length - 1 - places;
            return out;
        }
        if (!(magnitude * PowersOfTen[places] < 1e15))
            break;
    }
    return roundedDigits(value);
}

bool allZero(const char* p, int n) {
    for (int i = 0; i < n; ++i)
        if (p[i] != '0')
            return false;
    return true;
}

// The places of a picture made of '#', '0' and one point only.
struct FixedPlaces {
    int intZeros = 0; // digits that always show before the point
    int fracMax = 0;  // places after the point
    int fracMin = 0;  // of which always shown ('0' before any '#')
    bool hasPoint = false;
};

bool readPicture(QStringView picture, FixedPlaces& p) {
    int intPlaces = 0;
    qsizetype i = 0;
    const qsizetype n = picture.size();
    for (; i < n && (picture[i] == u'0' || picture[i] == u'#'); ++i) {
        ++intPlaces;
        p.intZeros += picture[i] == u'0';
    }
    if (i < n && picture[i] == u'.') {
        p.hasPoint = true;
        bool optional = false;
        for (++i; i < n && (picture[i] == u'0' || picture[i] == u'#'); ++i) {
            ++p.fracMax;
            optional = optional || picture[i] == u'#';
            p.fracMin += !optional;
        }
    }
    // A picture without places writes the shortest text; one with a
    // prefix, a suffix, a group mark or an exponent is left to the general
    // formatter.
    return i == n && intPlaces + p.fracMax > 0 && intPlaces <= MostFractionPlaces &&
           p.fracMax <= MostFractionPlaces;
}

class Writer {
public:
    explicit Writer(NumberChars& out) : out_(out) { out_.size = 0; }
    void put(char c) { out_.text[out_.size++] = c; }
    void put(const char* p, int n) {
        std::memcpy(out_.text + out_.size, p, size_t(n));
        out_.size += n;
    }
    void zeros(int n) {
        for (int i = 0; i < n; ++i)
            put('0');
    }

private:
    NumberChars& out_;
};

} // namespace

bool writeFixedPicture(double value, QStringView picture, NumberChars& out) {
    FixedPlaces p;
    if (!std::isfinite(value) || std::fabs(value) >= LargestDirect || !readPicture(picture, p))
        return false;

    // |value| * 10^fracMax as whole digits, rounded half to even from the
    // 15 significant digits. At most 21 integer digits and 20 places, plus
    // a carry.
    char scaled[64];
    int n = 0;
    int64_t exact = 0;
    if (value != 0 && exactPlaces(value, p.fracMax, exact)) {
        n = int(std::to_chars(scaled, scaled + sizeof scaled, exact).ptr - scaled);
    } else if (value != 0) {
        const Digits d = roundedDigits(value);
        const int keep = d.exponent + 1 + p.fracMax;
        if (keep >= SignificantDigits) {
            std::memcpy(scaled, d.d, SignificantDigits);
            n = SignificantDigits;
            while (n < keep)
                scaled[n++] = '0';
        } else if (keep >= 0) {
            std::memcpy(scaled + 1, d.d, size_t(keep)); // room for a carry
            const char next = d.d[keep];
            const bool restNonZero = !allZero(d.d + keep + 1, SignificantDigits - keep - 1);
            const bool previousOdd = keep > 0 && (d.d[keep - 1] - '0') % 2 == 1;
            const bool up = next > '5' || (next == '5' && (restNonZero || previousOdd));
            n = keep;
            int first = 1;
            if (up) {
                int i = keep; // scaled[1 .. keep] hold the kept digits
                while (i >= 1 && scaled[i] == '9')
                    scaled[i--] = '0';
                if (i >= 1) {
                    ++scaled[i];
                } else {
                    scaled[0] = '1';
                    first = 0;
                    ++n;
                }
            }
            if (first == 1)
                std::memmove(scaled, scaled + 1, size_t(n));
        }
    }
    if (n == 0)
        scaled[n++] = '0';

    // Split into integer and fraction digits; a value below one gets its
    // leading zeros first.
    char padded[96];
    const int pad = n < p.fracMax + 1 ? p.fracMax + 1 - n : 0;
    std::memset(padded, '0', size_t(pad));
    std::memcpy(padded + pad, scaled, size_t(n));
    n += pad;
    const char* intDigits = padded;
    int intCount = n - p.fracMax;
    const char* frac = padded + intCount;
    while (intCount > 1 && *intDigits == '0') {
        ++intDigits;
        --intCount;
    }
    if (intCount == 1 && *intDigits == '0' && p.intZeros == 0)
        intCount = 0; // "#.00" shows ".50"
    const int intPad = intCount < p.intZeros ? p.intZeros - intCount : 0;
    const bool negative = value < 0 && !(allZero(intDigits, intCount) && allZero(frac, p.fracMax));
    int fracCount = p.fracMax;
    while (fracCount > p.fracMin && frac[fracCount - 1] == '0')
        --fracCount;

    Writer w(out);
    if (negative)
        w.put('-');
    w.zeros(intPad);
    w.put(intDigits, intCount);
    if (fracCount > 0) {
        w.put('.');
        w.put(frac, fracCount);
    } else if (p.hasPoint && p.fracMax > 0) {
        w.put('.'); // "0.##" with a whole number keeps its point
    }
    return true;
}

bool writeShortest(double value, NumberChars& out) {
    if (!std::isfinite(value))
        return false;
    Writer w(out);
    if (value == 0) {
        w.put('0');
        return true;
    }
    const Digits d = significantDigits(value);
    int count = SignificantDigits;
    while (count > 1 && d.d[count - 1] == '0')
        --count;
    if (value < 0)
        w.put('-');
    const int e = d.exponent;
    if (e >= SignificantDigits || e < -SignificantDigits) {
        w.put(d.d[0]);
        if (count > 1) {
            w.put('.');
            w.put(d.d + 1, count - 1);
        }
        w.put('E');
        w.put(e < 0 ? '-' : '+');
        char exponent[8];
        const std::to_chars_result r =
            std::to_chars(exponent, exponent + sizeof exponent, std::abs(e));
        const int length = int(r.ptr - exponent);
        w.zeros(2 - length);
        w.put(exponent, length);
    } else if (e >= 0) {
        const int intCount = e + 1;
        if (count <= intCount) {
            w.put(d.d, count);
            w.zeros(intCount - count);
        } else {
            w.put(d.d, intCount);
            w.put('.');
            w.put(d.d + intCount, count - intCount);
        }
    } else {
        w.put("0.", 2);
        w.zeros(-e - 1);
        w.put(d.d, count);
    }
    return true;
}

const QString& DateTextCache::text(const QDate& date) {
    const qint64 day = date.toJulianDay();
    const QLocale locale = dateLocale();
    if (!known_ || day != day_ || !(locale == locale_)) {
        text_ = formatShortDate(date);
        day_ = day;
        locale_ = locale;
        known_ = true;
    }
    return text_;
}

} // namespace zel

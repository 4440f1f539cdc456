#include "data/reading.h"

#include "common/datetime.h"
#include "common/text.h"
#include "data/reading_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace zel {

bool Quantity::operator==(const Quantity& other) const {
    const bool sameNumber =
        number == other.number || (std::isnan(number) && std::isnan(other.number));
    return name == other.name && text == other.text && sameNumber;
}

void Reading::setTaken(const QDateTime& moment) {
    // A local or UTC moment is taken as it reads; another zone is first put
    // on this computer's clock, as the date-time texts are.
    const Qt::TimeSpec kind = moment.timeSpec();
    const QDateTime wall = kind == Qt::LocalTime || kind == Qt::UTC ? moment : moment.toLocalTime();
    date = wall.date();
    time = wall.time();
}

std::optional<QDateTime> Reading::localMoment() const {
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const QDateTime local(date, time);
    if (!local.isValid() || local.date() != date || local.time() != time)
        return std::nullopt;
    return local;
}

const Quantity* Reading::extra(QAnyStringView name) const {
    for (const Quantity& q : extras)
        if (QAnyStringView::equal(q.name, name))
            return &q;
    return nullptr;
}

QString valueText(const Reading& r) {
    NumberChars chars;
    const bool direct = r.valuePicture.isEmpty()
                            ? writeShortest(r.value, chars)
                            : writeFixedPicture(r.value, r.valuePicture, chars);
    if (direct)
        return chars.toString();
    return r.valuePicture.isEmpty() ? shortestText(r.value)
                                    : formatPicture(r.value, r.valuePicture);
}

namespace {

void putTwoDigits(char16_t*& p, int n) {
    *p++ = char16_t(u'0' + n / 10);
    *p++ = char16_t(u'0' + n % 10);
}

// "HH:mm:ss" or "HH:mm:ss:zzz" after the date text of the reading's day.
QString dateTimeText(const Reading& r, bool milliseconds) {
    static thread_local DateTextCache dates;
    const QString& date = dates.text(r.date);
    const int ms = r.time.msecsSinceStartOfDay();
    QString text(date.size() + (milliseconds ? 13 : 9), Qt::Uninitialized);
    char16_t* p = reinterpret_cast<char16_t*>(text.data());
    std::memcpy(p, date.constData(), size_t(date.size()) * sizeof(char16_t));
    p += date.size();
    *p++ = u' ';
    putTwoDigits(p, ms / 3600000);
    *p++ = u':';
    putTwoDigits(p, ms / 60000 % 60);
    *p++ = u':';
    putTwoDigits(p, ms / 1000 % 60);
    if (milliseconds) {
        *p++ = u':';
        *p++ = char16_t(u'0' + ms % 1000 / 100);
        putTwoDigits(p, ms % 100);
    }
    return text;
}

// Seconds since midnight with the milliseconds, without trailing zeros
// ("36000.045", "59.5", "0"): a number of at most eight digits is exact in
// the fifteen the shortest text keeps, so it is written from the count.
QString secondsOfDayText(int ms) {
    NumberChars chars;
    std::to_chars_result r = std::to_chars(chars.text, chars.text + sizeof chars.text, ms / 1000);
    int fraction = ms % 1000;
    if (fraction != 0) {
        *r.ptr++ = '.';
        int places = 3;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        for (int i = places - 1; i >= 0; --i) {
            r.ptr[i] = char('0' + fraction % 10);
            fraction /= 10;
        }
        r.ptr += places;
    }
    chars.size = int(r.ptr - chars.text);
    return chars.toString();
}

} // namespace

QString timeText(const Reading& r) {
    // A date or time that is no moment takes the general way, which writes
    // nothing (or only the milliseconds) for it.
    const bool valid = r.date.isValid() && r.time.isValid();
    switch (r.timeStyle) {
    case TimeStyle::WithMilliseconds:
        if (valid)
            return dateTimeText(r, true);
        return formatGeneralDateTime(r.date, r.time) + QLatin1Char(':') +
               QStringLiteral("%1").arg(r.time.msec(), 3, 10, QLatin1Char('0'));
    case TimeStyle::SecondsOfDay:
        if (r.time.isValid())
            return secondsOfDayText(r.time.msecsSinceStartOfDay());
        return shortestText(r.time.msecsSinceStartOfDay() / 1000.0);
    case TimeStyle::General:
    default:
        if (valid)
            return dateTimeText(r, false);
        return formatGeneralDateTime(r.date, r.time);
    }
}

namespace {

// The names of sources and quantities are ASCII.
bool sameName(const QString& name, std::string_view source) {
    if (name.size() != qsizetype(source.size()))
        return false;
    const char16_t* p = reinterpret_cast<const char16_t*>(name.utf16());
    for (size_t i = 0; i < source.size(); ++i)
        if (p[i] != char16_t(uint8_t(source[i])))
            return false;
    return true;
}

QString singleSourceText(const Reading& r, std::string_view s) {
    if (s == "id")
        return r.instrumentId;
    if (s == "time")
        return timeText(r);
    if (s == "value")
        return valueText(r);
    if (s == "unit")
        return r.unit;
    if (s == "status")
        return r.status;
    if (s == "detector")
        return r.detector;
    if (s == "over")
        return r.overMark;
    for (const Quantity& q : r.extras)
        if (sameName(q.name, s))
            return q.text;
    return {};
}

// "cesium|status": the first of the sources that has a text.
QString sourceText(const Reading& r, const char* source) {
    if (!source)
        return {};
    std::string_view rest(source);
    while (true) {
        const size_t bar = rest.find('|');
        const QString text = singleSourceText(r, rest.substr(0, bar));
        if (bar == std::string_view::npos || !text.isEmpty())
            return text;
        rest.remove_prefix(bar + 1);
    }
}

} // namespace

MeasurementRecord recordOf(const Reading& r, const RecordLayout& layout) {
    MeasurementRecord out;
    QString* fields[RecordFields] = {&out.InstrumentId, &out.ReadingTime, &out.Value,   &out.Units,
                                     &out.Status,       &out.Detector,    &out.OverMark};
    for (int i = 0; i < RecordFields; ++i)
        *fields[i] = sourceText(r, layout.sources[size_t(i)]);
    out.AlarmCode = r.alarmCode;
    return out;
}

double shownNumber(double value, const QString& picture) {
    if (!std::isfinite(value) || picture.isEmpty())
        return value;
    NumberChars chars;
    if (writeFixedPicture(value, picture, chars))
        return leadingNumberOfBytes(QByteArrayView(chars.text, chars.size));
    return leadingNumber(formatPicture(value, picture));
}

} // namespace zel

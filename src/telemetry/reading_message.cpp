#include "telemetry/reading_message.h"

#include "common/datetime.h"
#include "common/text.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fmt/compile.h>
#include <fmt/format.h>
#include <limits>
#include <optional>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string_view>
#include <vector>

namespace zel {

namespace {

// The number of a text of plain digits, a point, a sign and an exponent,
// read without QString::toDouble's conversions (the same correctly rounded
// double); nothing for any other text, which toDouble reads.
std::optional<double> plainNumber(const QString& text) {
    char bytes[40];
    if (text.isEmpty() || text.size() > qsizetype(sizeof bytes))
        return std::nullopt;
    qsizetype n = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= '0' && u <= '9') || u == '.' || u == '-' || u == 'e' || u == 'E'))
            return std::nullopt;
        bytes[n++] = char(u);
    }
    double number = 0;
    const auto [end, error] = std::from_chars(bytes, bytes + n, number);
    if (error != std::errc() || end != bytes + n)
        return std::nullopt;
    return number;
}

double numberOfText(const QString& text, double otherwise) {
    if (const std::optional<double> plain = plainNumber(text))
        return *plain;
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? number : otherwise;
}

} // namespace

double filedValue(const Reading& r) {
    if (!r.error.isEmpty() || !std::isfinite(r.value))
        return std::numeric_limits<double>::quiet_NaN();
    return numberOfText(valueText(r), r.value);
}

namespace {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// A quantity as the file holds it: its number read back from its text.
double quantityNumber(const Quantity& q) {
    if (!std::isfinite(q.number))
        return q.number;
    return numberOfText(shortestText(q.number), q.number);
}

void writeKey(JsonWriter& w, std::string_view key) {
    w.Key(key.data(), rapidjson::SizeType(key.size()));
}

void writeText(JsonWriter& w, const QString& text) {
    // A reading's texts are short and ASCII: copied as they are, without a
    // UTF-8 array on the heap for each.
    char ascii[128];
    if (text.size() <= qsizetype(sizeof ascii)) {
        qsizetype n = 0;
        for (const QChar c : text) {
            if (c.unicode() >= 0x80)
                break;
            ascii[n++] = char(c.unicode());
        }
        if (n == text.size()) {
            w.String(ascii, rapidjson::SizeType(n));
            return;
        }
    }
    const QByteArray utf8 = text.toUtf8();
    w.String(utf8.constData(), rapidjson::SizeType(utf8.size()));
}

void writeText(JsonWriter& w, std::string_view text) {
    w.String(text.data(), rapidjson::SizeType(text.size()));
}

// The shortest text that reads back as the number (1001, 0.012, 1e-05),
// never the 17 digits of a double; null for no number.
void writeNumber(JsonWriter& w, double number) {
    if (!std::isfinite(number)) {
        w.Null();
        return;
    }
    char text[40];
    // The shortest form of a finite double is at most 24 characters.
    const char* end = fmt::format_to(text, FMT_COMPILE("{}"), number);
    w.RawValue(text, size_t(end - text), rapidjson::kNumberType);
}

void writeInteger(JsonWriter& w, qint64 number) {
    w.Int64(number);
}

void writeTime(JsonWriter& w, const QDateTime& moment) {
    char text[40];
    w.String(text, rapidjson::SizeType(writeIsoWithOffset(moment, text, true)));
}

std::string_view levelName(AlarmLevel level) {
    switch (level) {
    case AlarmLevel::Normal:
        return "normal";
    case AlarmLevel::High1:
        return "high1";
    case AlarmLevel::High2:
        return "high2";
    case AlarmLevel::Fault:
        return "fault";
    case AlarmLevel::LostContact:
        return "lost-contact";
    }
    return "fault";
}

QByteArray finished(const rapidjson::StringBuffer& buffer) {
    return QByteArray(buffer.GetString(), qsizetype(buffer.GetSize()));
}

} // namespace

QString alarmLevelName(AlarmLevel level) {
    const std::string_view name = levelName(level);
    return QString::fromLatin1(name.data(), qsizetype(name.size()));
}

QDateTime readingMoment(const Reading& r, const QDateTime& received) {
    if (const std::optional<QDateTime> taken = r.localMoment())
        return *taken;
    if (!r.date.isValid() || !r.time.isValid())
        return received;
    // The wall time does not exist here: the clock jumped over it. The
    // offset before the jump is the one of the last wall time before it
    // that exists (a jump is never longer than a few hours).
    const QDateTime wall(r.date, r.time, Qt::UTC); // the wall time, as plain numbers
    for (int back = 15; back <= 24 * 60; back += 15) {
        const QDateTime earlier = wall.addSecs(-60 * back);
        const QDateTime local(earlier.date(), earlier.time());
        if (local.isValid() && local.date() == earlier.date() && local.time() == earlier.time())
            return QDateTime(r.date, r.time, Qt::OffsetFromUTC, local.offsetFromUtc());
    }
    return received;
}

namespace {

struct WallClock {
    qint64 wallMs;
    int offset; // seconds east of UTC
};

// The wall time of a moment and its offset from UTC. Asking the zone for
// the offset of a local time costs more than the rest of the text (two
// conversions through mktime); readings come many a minute, so the offset
// of the last wall minute is kept, for a minute at most, and never within
// three hours of a change of the offset, where a wall minute may come twice
// or not at all.
WallClock wallClockOf(const QDateTime& moment) {
    constexpr qint64 MsPerDay = 86400000;
    constexpr qint64 JulianDayOf1970 = 2440588;
    const auto slow = [&moment] {
        const int offset = moment.offsetFromUtc();
        return WallClock{moment.toMSecsSinceEpoch() + qint64(offset) * 1000, offset};
    };
    if (moment.timeSpec() != Qt::LocalTime || !moment.isValid())
        return slow();
    thread_local qint64 keptMinute = std::numeric_limits<qint64>::min();
    thread_local int keptOffset = 0;
    thread_local std::chrono::steady_clock::time_point keptAt;
    const qint64 wallMs = (moment.date().toJulianDay() - JulianDayOf1970) * MsPerDay +
                          moment.time().msecsSinceStartOfDay();
    const qint64 minute = wallMs >= 0 ? wallMs / 60000 : (wallMs - 59999) / 60000;
    const auto now = std::chrono::steady_clock::now();
    if (minute == keptMinute && now - keptAt < std::chrono::minutes(1))
        return {wallMs, keptOffset};
    const WallClock exact = slow();
    keptMinute = std::numeric_limits<qint64>::min();
    const qint64 utcMs = exact.wallMs - qint64(exact.offset) * 1000;
    constexpr qint64 ThreeHoursMs = 3 * 3600 * 1000;
    if (exact.wallMs == wallMs &&
        QDateTime::fromMSecsSinceEpoch(utcMs - ThreeHoursMs).offsetFromUtc() == exact.offset &&
        QDateTime::fromMSecsSinceEpoch(utcMs + ThreeHoursMs).offsetFromUtc() == exact.offset) {
        keptMinute = minute;
        keptOffset = exact.offset;
        keptAt = now;
    }
    return exact;
}

} // namespace

qsizetype writeIsoWithOffset(const QDateTime& moment, char* text, bool milliseconds) {
    using namespace std::chrono;
    const auto [wallMs, offset] = wallClockOf(moment);
    const qint64 msPerDay = 86400000;
    const qint64 day = wallMs >= 0 ? wallMs / msPerDay : (wallMs - msPerDay + 1) / msPerDay;
    const qint64 ms = wallMs - day * msPerDay;
    const year_month_day date{sys_days{days{day}}};
    const int offsetMinutes = std::abs(offset) / 60;
    // Years of four digits: what the clock of a running station gives.
    // Every field has its width (29 characters at most): no truncation to
    // watch for.
    char* end = fmt::format_to(text, FMT_COMPILE("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}"),
                               std::clamp(int(date.year()), 0, 9999), unsigned(date.month()),
                               unsigned(date.day()), unsigned(ms / 3600000),
                               unsigned(ms / 60000 % 60), unsigned(ms / 1000 % 60));
    if (milliseconds)
        end = fmt::format_to(end, FMT_COMPILE(".{:03}"), unsigned(ms % 1000));
    // A zero offset is "+00:00", not "Z": the field keeps one shape.
    end = fmt::format_to(end, FMT_COMPILE("{}{:02}:{:02}"), offset < 0 ? '-' : '+',
                         unsigned(offsetMinutes / 60), unsigned(offsetMinutes % 60));
    return qsizetype(end - text);
}

QString isoWithOffset(const QDateTime& moment) {
    char text[40];
    return QString::fromLatin1(text, writeIsoWithOffset(moment, text, true));
}

QByteArray readingJson(const Reading& r, AlarmLevel level, const QDateTime& received, quint64 seq,
                       const QString& run) {
    // The keys go out in the order of their names (subscribers and tests
    // have always seen them so); a quantity named like a key of its own
    // stands in its place, except the alarm and its level.
    struct Field {
        std::string_view key;
        int fixed = -1;                  // one of the keys below
        const Quantity* extra = nullptr; // a quantity of the family
    };
    enum Fixed {
        Alarm,
        Detector,
        Error,
        Instrument,
        Level,
        Received,
        Run,
        Seq,
        Status,
        Time,
        Units,
        Value
    };
    static constexpr std::string_view FixedKeys[] = {"alarm",  "detector", "error", "instrument",
                                                     "level",  "received", "run",   "seq",
                                                     "status", "time",     "units", "value"};
    std::vector<QByteArray> extraKeys;
    extraKeys.reserve(size_t(r.extras.size()));
    std::vector<Field> fields;
    fields.reserve(12 + size_t(r.extras.size()));
    for (const Quantity& q : r.extras) {
        extraKeys.push_back(q.name.toUtf8());
        fields.push_back(
            {std::string_view(extraKeys.back().constData(), size_t(extraKeys.back().size())), -1,
             &q});
    }
    for (int k = Alarm; k <= Value; ++k) {
        if ((k == Error && r.error.isEmpty()) || (k == Run && run.isEmpty()))
            continue;
        fields.push_back({FixedKeys[k], k, nullptr});
    }
    // Sorted by name, and among equal names the one that counts first.
    std::stable_sort(fields.begin(), fields.end(), [](const Field& a, const Field& b) {
        if (a.key != b.key)
            return a.key < b.key;
        const auto rank = [](const Field& f) {
            return f.fixed == Alarm || f.fixed == Level ? 0 : f.extra ? 1 : 2;
        };
        return rank(a) < rank(b);
    });

    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    std::string_view previous;
    const Quantity* lastExtra = nullptr;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Field& f = fields[i];
        if (i > 0 && f.key == previous)
            continue;
        previous = f.key;
        writeKey(w, f.key);
        if (f.extra) {
            // Of two quantities with one name, the later one counts.
            lastExtra = f.extra;
            for (size_t j = i + 1; j < fields.size() && fields[j].key == f.key; ++j)
                if (fields[j].extra && fields[j].extra > lastExtra)
                    lastExtra = fields[j].extra;
            writeNumber(w, quantityNumber(*lastExtra));
            continue;
        }
        switch (Fixed(f.fixed)) {
        case Alarm:
            writeText(w, levelName(level));
            break;
        case Detector:
            writeText(w, r.detector.trimmed());
            break;
        case Error:
            writeText(w, r.error.trimmed());
            break;
        case Instrument:
            writeText(w, r.instrumentId.trimmed());
            break;
        case Level:
            writeInteger(w, int(level));
            break;
        case Received:
            writeTime(w, received);
            break;
        case Run:
            writeText(w, run);
            break;
        case Seq:
            w.Uint64(seq);
            break;
        case Status:
            writeText(w, r.status.trimmed());
            break;
        case Time:
            writeTime(w, readingMoment(r, received));
            break;
        case Units:
            // Every reading names the same keys, whatever the family fills in.
            if (const QString units = r.unit.trimmed(); units.isEmpty())
                w.Null();
            else
                writeText(w, units);
            break;
        case Value:
            writeNumber(w, filedValue(r));
            break;
        }
    }
    w.EndObject();
    return finished(buffer);
}

QByteArray alarmJson(AlarmLevel level, const QDateTime& when) {
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    writeKey(w, "alarm");
    writeText(w, levelName(level));
    writeKey(w, "level");
    writeInteger(w, int(level));
    writeKey(w, "time");
    writeTime(w, when);
    w.EndObject();
    return finished(buffer);
}

QByteArray offlineAlarmJson(const QDateTime& when) {
    rapidjson::StringBuffer buffer;
    JsonWriter w(buffer);
    w.StartObject();
    writeKey(w, "alarm");
    writeText(w, std::string_view("offline"));
    writeKey(w, "time");
    writeTime(w, when);
    w.EndObject();
    return finished(buffer);
}

} // namespace zel

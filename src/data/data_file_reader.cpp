#include "data/data_file_reader.h"

#include "common/datetime.h"
#include "common/text.h"
#include "data/data_format.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>

namespace zel {

BoundedLineReader::BoundedLineReader(QFile& file)
    : file_(file), buf_(DataReadChunk, Qt::Uninitialized) {}

bool BoundedLineReader::next(QByteArray& line, bool& overlong, bool& terminated) {
    line.resize(0);
    overlong = false;
    terminated = false;
    bool any = false;
    for (;;) {
        if (pos_ == end_ && !fill())
            return any;
        any = true;
        const char* start = buf_.constData() + pos_;
        const void* nl = std::memchr(start, '\n', size_t(end_ - pos_));
        const qsizetype take =
            nl ? qsizetype(static_cast<const char*>(nl) - start) + 1 : end_ - pos_;
        if (!overlong) {
            const qsizetype room = qsizetype(MaxDataLineBytes) - line.size();
            if (take > room) {
                line.append(start, room);
                overlong = true;
            } else {
                line.append(start, take);
            }
        }
        pos_ += take;
        if (nl) {
            terminated = true;
            return true;
        }
    }
}

bool BoundedLineReader::fill() {
    const qint64 n = file_.read(buf_.data(), buf_.size());
    if (n <= 0)
        return false;
    pos_ = 0;
    end_ = qsizetype(n);
    return true;
}

QByteArray columnLineOf(QFile& file) {
    BoundedLineReader reader(file);
    QByteArray line;
    bool overlong = false;
    bool terminated = false;
    for (int i = 0; i < HeaderLineCount; ++i)
        if (!reader.next(line, overlong, terminated) || !terminated || overlong)
            return {};
    line.chop(lineEndLength(line));
    return line;
}

namespace {

// A physical line of the file with what the reader knew of it.
struct Line {
    QByteArray bytes; // with its line end
    bool overlong = false;
    bool terminated = false;
};

// The lines of a file, with room to give back lines that were read ahead.
class LineSource {
public:
    explicit LineSource(QFile& file) : reader_(file) {}

    bool next(Line& line) {
        if (!back_.empty()) {
            line = std::move(back_.front());
            back_.pop_front();
            return true;
        }
        return reader_.next(line.bytes, line.overlong, line.terminated);
    }
    void giveBack(std::deque<Line>& lines) {
        while (!lines.empty()) {
            back_.push_front(std::move(lines.back()));
            lines.pop_back();
        }
    }

private:
    BoundedLineReader reader_;
    std::deque<Line> back_;
};

// A quoted field may run over this many lines at most; a quote that is
// still open after them was no quoting.
constexpr int MaxLinesPerReading = 64;

// One reading: a physical line, joined with the following ones while a
// quoted field is open and only when that quoting turns out whole;
// otherwise the line stands alone and the lines read ahead come again.
// The reading is left in line.bytes without its line end; line.overlong
// marks a reading longer than the line limit.
bool nextRecord(LineSource& source, Line& line) {
    if (!source.next(line))
        return false;
    QByteArray& record = line.bytes;
    if (!line.overlong && line.terminated && record.contains('"')) {
        QuoteScanner scan;
        scan.feed(record.constData(), record.size() - lineEndLength(record));
        if (scan.open() && !scan.broken()) {
            std::deque<Line> ahead;
            QByteArray joined = record;
            bool whole = false;
            Line more;
            while (int(ahead.size()) < MaxLinesPerReading && source.next(more)) {
                const bool fits =
                    !more.overlong && joined.size() + more.bytes.size() <= MaxDataLineBytes;
                ahead.push_back(more);
                if (!fits)
                    break;
                // The line end before this line belongs to the quoted field.
                joined += more.bytes;
                scan.feed(more.bytes.constData(), more.bytes.size() - lineEndLength(more.bytes));
                if (scan.broken())
                    break;
                if (!scan.open()) {
                    whole = true;
                    break;
                }
                if (!more.terminated)
                    break;
            }
            if (whole)
                record = std::move(joined);
            else
                source.giveBack(ahead);
        }
    }
    record.chop(lineEndLength(record));
    return true;
}

// Byte offsets of the first fields of a reading without quotes.
struct FieldSpans {
    qsizetype start[4] = {0, 0, 0, 0};
    qsizetype end[4] = {0, 0, 0, 0};
    int count = 0; // fields found, at most 4 counted
    bool atLeastThree = false;
};

FieldSpans plainFields(const QByteArray& record) {
    FieldSpans f;
    const char* p = record.constData();
    const qsizetype n = record.size();
    qsizetype from = 0;
    for (int k = 0; k < 4; ++k) {
        const void* comma = std::memchr(p + from, ',', size_t(n - from));
        const qsizetype to = comma ? static_cast<const char*>(comma) - p : n;
        f.start[k] = from;
        f.end[k] = to;
        f.count = k + 1;
        if (!comma)
            break;
        from = to + 1;
    }
    f.atLeastThree = f.count >= 3;
    return f;
}

} // namespace

void Series::append(double time, double value) {
    if (count_ == Capacity) {
        ++first_; // the oldest makes room, so the newest is always held
        --count_;
    }
    size_t at = size_t(first_) + size_t(count_);
    if (at == Room) {
        std::copy(times_.begin() + first_, times_.end(), times_.begin());
        std::copy(values_.begin() + first_, values_.end(), values_.begin());
        first_ = 0;
        at = size_t(count_);
    }
    if (at < times_.size()) {
        times_[at] = time;
        values_[at] = value;
    } else {
        if (times_.size() == times_.capacity()) {
            // Grown as readings come, up to the room and no further.
            const size_t more = std::min(Room, std::max<size_t>(256, times_.capacity() * 2));
            times_.reserve(more);
            values_.reserve(more);
        }
        times_.push_back(time);
        values_.push_back(value);
    }
    ++count_;
    ++usableReadings;
}

void Series::clear() {
    times_.clear();
    values_.clear();
    first_ = 0;
    count_ = 0;
    usableReadings = 0;
}

Expected<int32_t> readDataFile(const QString& path, Series& series, bool lastLineMayBeTorn) {
    int32_t readingCount = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(QFile::exists(path) ? Failure::Kind::Other : Failure::Kind::NotFound,
                    QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    }
    series.clear();
    series.units.clear();
    series.titleId.clear();

    LineSource source(file);
    Line line;
    for (int i = 0; i < HeaderLineCount; ++i)
        if (!source.next(line))
            return readingCount;

    int64_t stored = 0;
    DayCounter times;
    const QByteArray& record = line.bytes;
    while (nextRecord(source, line)) {
        if (lastLineMayBeTorn && !line.terminated)
            break;
        if (record.contains('\0'))
            continue;
        if (readingCount < std::numeric_limits<int32_t>::max())
            ++readingCount;
        if (line.overlong)
            continue;
        std::optional<double> time;
        double value = 0;
        QString units;
        QString titleId;
        if (!record.contains('"')) {
            // Most lines: read the fields where they lie.
            const FieldSpans f = plainFields(record);
            if (!f.atLeastThree)
                continue;
            auto span = [&](int k) {
                return QByteArrayView(record.constData() + f.start[k], f.end[k] - f.start[k]);
            };
            time = times.dayCount(span(1));
            if (!time)
                continue;
            value = leadingNumberOfBytes(span(2));
            if (stored == 1) {
                units = f.count > 3 ? QString::fromUtf8(span(3)) : QString();
                titleId = QString::fromUtf8(span(0));
            }
        } else {
            const QStringList fields = splitDataLine(record);
            if (fields.size() < 3)
                continue;
            time = times.dayCount(QStringView(fields[1]));
            if (!time)
                continue;
            value = leadingNumber(fields[2]);
            units = fields.value(3);
            titleId = fields[0];
        }
        series.append(*time, value);
        if (stored == 1) {
            series.units = units;
            series.titleId = titleId;
        }
        ++stored;
    }
    return readingCount;
}

} // namespace zel

#include "telemetry/filed_readings.h"

#include "common/datetime.h"
#include "common/text.h"
#include "data/data_files.h"

#include <QFile>
#include <deque>

namespace zel {

namespace {

constexpr int HeaderLines = 8;

QByteArrayView withoutLineEnd(QByteArrayView line) {
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    return line;
}

// Reads the file line by line from `from`; `each` gets every complete line
// (with its line end) and the offset just past it. False when the file
// cannot be read.
template <class Each> bool eachLine(QFile& file, qint64 from, Each each) {
    if (!file.seek(from))
        return false;
    qint64 at = from;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(MaxDataLineBytes);
        if (line.isEmpty())
            return file.error() == QFileDevice::NoError;
        at += line.size();
        if (!line.endsWith('\n'))
            continue; // over-long pieces and a torn last line
        if (!each(line, at))
            break;
    }
    return true;
}

// The offset just past the header; -1 when the file has no complete header.
qint64 headerEnd(QFile& file) {
    if (!file.seek(0))
        return -1;
    qint64 at = 0;
    for (int i = 0; i < HeaderLines; ++i) {
        const QByteArray line = file.readLine(MaxDataLineBytes);
        if (!line.endsWith('\n'))
            return -1;
        at += line.size();
    }
    return at;
}

bool isReadingLine(QByteArrayView line) {
    return !withoutLineEnd(line).trimmed().isEmpty();
}

} // namespace

quint64 lineFingerprint(QByteArrayView line) {
    line = withoutLineEnd(line);
    // A quoted field may hold a line break: the file's last physical line
    // is what a reader of the file sees end at the reading's end.
    if (const qsizetype lastBreak = line.lastIndexOf('\n'); lastBreak >= 0)
        line = line.sliced(lastBreak + 1);
    quint64 h = 14695981039346656037ull;
    for (const char c : line) {
        h ^= quint8(c);
        h *= 1099511628211ull;
    }
    return h;
}

Expected<FiledAfter> readingsFiledAfter(const QString& path, const DiskQueue::Identity& last,
                                        qsizetype limit) {
    FiledAfter out;
    if (!last.known())
        return out;
    QFile file(path);
    if (!file.exists())
        return out;
    if (!file.open(QIODevice::ReadOnly))
        return fail(Failure::Kind::Other, file.errorString());
    const qint64 start = headerEnd(file);
    if (start < 0)
        return out;

    qint64 from = -1;
    // Where the marks say: the line that ends at `end` is the reading.
    if (last.end > start && last.end <= file.size()) {
        const qint64 window = std::min<qint64>(last.end - start, MaxDataLineBytes);
        if (file.seek(last.end - window)) {
            const QByteArray tail = file.read(window);
            if (tail.endsWith('\n')) {
                const qsizetype lineStart = tail.lastIndexOf('\n', tail.size() - 2) + 1;
                if (lineStart > 0 || window == last.end - start)
                    if (lineFingerprint(QByteArrayView(tail).sliced(lineStart)) == last.fp)
                        from = last.end;
            }
        }
        if (from >= 0)
            out.how = QStringLiteral("at its place");
    }
    // Elsewhere (the file was rewritten): the last line with its text, else
    // the last with the text of the reading before it.
    if (from < 0) {
        qint64 byText = -1, byPrevious = -1;
        eachLine(file, start, [&](const QByteArray& line, qint64 end) {
            const quint64 fp = lineFingerprint(line);
            if (fp == last.fp)
                byText = end;
            else if (fp == last.prevFp && last.prevFp != 0)
                byPrevious = end;
            return true;
        });
        if (byText >= 0) {
            from = byText;
            out.how = QStringLiteral("by its text");
        } else if (byPrevious >= 0) {
            from = byPrevious;
            out.how = QStringLiteral("by the reading before it");
        } else {
            from = start;
            out.how = QStringLiteral("not in the file");
        }
    }
    std::deque<WorkingFileLine> found;
    const bool read = eachLine(file, from, [&](const QByteArray& line, qint64 end) {
        if (!isReadingLine(line))
            return true;
        found.push_back({withoutLineEnd(line).toByteArray(), end});
        if (qsizetype(found.size()) > limit) {
            found.pop_front();
            ++out.beyondLimit;
        }
        return true;
    });
    if (!read)
        return fail(Failure::Kind::Other, file.errorString());
    out.lines.assign(std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return out;
}

DiskQueue::Identity lastFiledReading(const QString& path) {
    DiskQueue::Identity id;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return id;
    const qint64 start = headerEnd(file);
    if (start < 0)
        return id;
    quint64 previous = 0;
    eachLine(file, start, [&](const QByteArray& line, qint64 end) {
        if (isReadingLine(line)) {
            const quint64 fp = lineFingerprint(line);
            id = {end, fp, previous};
            previous = fp;
        }
        return true;
    });
    return id;
}

Reading readingFromLine(const QByteArray& line, const RecordLayout& layout) {
    Reading r;
    const QStringList fields = splitDataLine(line);
    for (int i = 0; i < RecordFields && i < fields.size(); ++i) {
        const char* source = layout.sources[size_t(i)];
        if (!source)
            continue;
        QLatin1StringView s(source);
        if (const qsizetype bar = s.indexOf(QLatin1Char('|')); bar >= 0)
            s = s.left(bar);
        const QString& text = fields[i];
        if (s == QLatin1String("id")) {
            r.instrumentId = text;
        } else if (s == QLatin1String("time")) {
            std::optional<QDateTime> taken = parseGeneralDateTime(text);
            int ms = 0;
            if (!taken) {
                // "...:zzz": the time with its milliseconds.
                const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
                bool ok = false;
                ms = colon > 0 ? text.mid(colon + 1).toInt(&ok) : 0;
                if (ok)
                    taken = parseGeneralDateTime(text.left(colon));
            }
            if (taken)
                r.setTaken(taken->addMSecs(ms));
        } else if (s == QLatin1String("value")) {
            const QString t = text.trimmed();
            if (t.compare(QLatin1String("Infinity"), Qt::CaseInsensitive) == 0)
                r.value = std::numeric_limits<double>::infinity();
            else if (t.compare(QLatin1String("-Infinity"), Qt::CaseInsensitive) == 0)
                r.value = -std::numeric_limits<double>::infinity();
            else if (t.compare(QLatin1String("NaN"), Qt::CaseInsensitive) == 0 || t.isEmpty())
                r.value = std::numeric_limits<double>::quiet_NaN();
            else
                r.value = leadingNumber(t);
        } else if (s == QLatin1String("unit")) {
            r.unit = text;
        } else if (s == QLatin1String("status")) {
            r.status = text;
        } else if (s == QLatin1String("detector")) {
            r.detector = text;
        } else if (s == QLatin1String("over")) {
            r.overMark = text;
        } else {
            bool ok = false;
            const double n = text.trimmed().toDouble(&ok);
            r.extras.append(
                Quantity{QString(s), text, ok ? n : std::numeric_limits<double>::quiet_NaN()});
        }
    }
    return r;
}

} // namespace zel

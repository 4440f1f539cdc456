#include "data/data_files.h"

#include "common/datetime.h"
#include "common/safe_file.h"
#include "common/text.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zel {

namespace {

constexpr int HeaderLineCount = 8;
constexpr qint64 ReadChunk = 256 * 1024;

// One header line: the text enclosed in double quotes. A line break typed
// into the legend would shift every later line of the header, so it becomes
// a space; quotes are doubled so the line stays one well-formed field.
QByteArray quotedHeaderLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return '"' + text.toUtf8() + "\"\r\n";
}

bool needsQuotes(const QByteArray& field) {
    for (char c : field)
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

// Reads a file line by line through its own buffer, never holding more than
// MaxDataLineBytes of one line: the rest of a longer line is read and
// dropped, so a multi-megabyte line or a binary file costs time but no
// memory.
class BoundedLineReader {
public:
    explicit BoundedLineReader(QFile& file) : file_(file), buf_(ReadChunk, Qt::Uninitialized) {}

    // The next line with its line end (when it had one). False at the end
    // of the file; the line end after the last line does not start another.
    bool next(QByteArray& line, bool& overlong, bool& terminated) {
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

private:
    bool fill() {
        const qint64 n = file_.read(buf_.data(), buf_.size());
        if (n <= 0)
            return false;
        pos_ = 0;
        end_ = qsizetype(n);
        return true;
    }

    QFile& file_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
};

// Tells whether the quoting of a reading is whole. A quote opens a field
// only at the field's start, and the field is quoted only when its closing
// quote is followed by a comma or the end of the reading; a quote anywhere
// else is an ordinary character, as in files written by programs that never
// quote ("Hi from a status text).
class QuoteScanner {
public:
    void feed(const char* p, qsizetype n) {
        for (qsizetype i = 0; i < n; ++i) {
            const char c = p[i];
            if (closing_) {
                closing_ = false;
                if (c == '"') { // a doubled quote inside the field
                    continue;
                }
                if (c != ',') {
                    broken_ = true;
                    inQuote_ = false;
                    fieldStart_ = false;
                    continue;
                }
                inQuote_ = false;
                fieldStart_ = true;
                continue;
            }
            if (inQuote_) {
                if (c == '"')
                    closing_ = true;
                continue;
            }
            if (c == '"' && fieldStart_)
                inQuote_ = true;
            fieldStart_ = c == ',';
        }
    }
    // Inside a quoted field at the end of what was fed.
    bool open() const { return inQuote_ && !closing_; }
    bool broken() const { return broken_; }

private:
    bool inQuote_ = false;
    bool closing_ = false;
    bool fieldStart_ = true;
    bool broken_ = false;
};

qsizetype lineEndLength(const QByteArray& line) {
    if (!line.endsWith('\n'))
        return 0;
    return line.size() >= 2 && line.at(line.size() - 2) == '\r' ? 2 : 1;
}

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

QByteArray headerLines(const Legend& legend, const QString& probeNumber,
                       const QByteArray& columnLine) {
    QByteArray out;
    out += quotedHeaderLine(QStringLiteral("Department: ") + legend.Department);
    out += quotedHeaderLine(QStringLiteral("Date: ") + legend.Date);
    out += quotedHeaderLine(QStringLiteral("Instrument Type: ") + legend.Detector);
    out += quotedHeaderLine(QStringLiteral("Survey location: ") + legend.Location);
    out += quotedHeaderLine(QStringLiteral("Surveyor: ") + legend.Personnel);
    out += quotedHeaderLine(QStringLiteral("Signature:"));
    out += quotedHeaderLine(QStringLiteral("Chargennummer: ") + probeNumber);
    QByteArray columns = columnLine;
    columns.replace('\r', ' ');
    columns.replace('\n', ' ');
    out += columns + "\r\n";
    return out;
}

QByteArray readingLine(const MeasurementRecord& r) {
    const QString* fields[] = {&r.InstrumentId, &r.ReadingTime, &r.Value,   &r.Units,
                               &r.Status,       &r.Detector,    &r.OverMark};
    QByteArray out;
    out.reserve(96);
    bool first = true;
    for (const QString* f : fields) {
        if (!first)
            out += ',';
        first = false;
        const QByteArray bytes = f->toUtf8();
        if (needsQuotes(bytes)) {
            QByteArray quoted = bytes;
            quoted.replace("\"", "\"\"");
            out += '"' + quoted + '"';
        } else {
            out += bytes;
        }
    }
    out += "\r\n";
    return out;
}

QStringList splitDataLine(const QByteArray& line) {
    QStringList out;
    const char* p = line.constData();
    const qsizetype n = line.size();
    bool whole = false;
    if (line.contains('"')) {
        QuoteScanner scan;
        scan.feed(p, n);
        whole = !scan.open() && !scan.broken();
    }
    if (!whole) {
        qsizetype start = 0;
        for (qsizetype i = 0; i <= n; ++i) {
            if (i == n || p[i] == ',') {
                out.append(QString::fromUtf8(p + start, i - start));
                start = i + 1;
            }
        }
        return out;
    }
    qsizetype i = 0;
    QByteArray field;
    for (;;) {
        field.resize(0);
        if (i < n && p[i] == '"') {
            ++i;
            while (i < n) {
                if (p[i] == '"') {
                    if (i + 1 < n && p[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += p[i++];
            }
        }
        // Bare text, or anything left after a closing quote, up to the comma.
        while (i < n && p[i] != ',')
            field += p[i++];
        out.append(QString::fromUtf8(field));
        if (i < n && p[i] == ',') {
            ++i;
            continue;
        }
        break;
    }
    return out;
}

void Series::append(double time, double value) {
    if (seriesLast + 1 < Capacity) {
        ++seriesLast;
    } else {
        // Full: the oldest reading makes room, so the newest is always held.
        std::move(seriesTimes.begin() + 1, seriesTimes.end(), seriesTimes.begin());
        std::move(seriesValues.begin() + 1, seriesValues.end(), seriesValues.begin());
        seriesLast = Capacity - 1;
    }
    seriesTimes[size_t(seriesLast)] = time;
    seriesValues[size_t(seriesLast)] = value;
    ++usableReadings;
}

ReadDbResult readDataFile(const QString& path, Series& series, bool lastLineMayBeTorn) {
    ReadDbResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return result;
    }
    result.opened = true;
    series.seriesLast = -1;
    series.units.clear();
    series.titleId.clear();

    LineSource source(file);
    Line line;
    for (int i = 0; i < HeaderLineCount; ++i)
        if (!source.next(line))
            return result;

    // The series keeps the newest readings: the entries are filled round and
    // round, and put back in file order at the end.
    int64_t stored = 0;
    DayCounter times;
    const QByteArray& record = line.bytes;
    while (nextRecord(source, line)) {
        if (lastLineMayBeTorn && !line.terminated)
            break;
        if (record.contains('\0'))
            continue;
        if (result.readingCount < std::numeric_limits<int32_t>::max())
            ++result.readingCount;
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
        const size_t entry = size_t(stored % Series::Capacity);
        series.seriesTimes[entry] = *time;
        series.seriesValues[entry] = value;
        if (stored == 1) {
            series.units = units;
            series.titleId = titleId;
        }
        ++stored;
    }
    if (stored > Series::Capacity) {
        const auto oldest = std::ptrdiff_t(stored % Series::Capacity);
        std::rotate(series.seriesTimes.begin(), series.seriesTimes.begin() + oldest,
                    series.seriesTimes.end());
        std::rotate(series.seriesValues.begin(), series.seriesValues.begin() + oldest,
                    series.seriesValues.end());
    }
    series.seriesLast = int32_t(std::min<int64_t>(stored, Series::Capacity) - 1);
    series.usableReadings = stored;
    return result;
}

WorkingFile::WorkingFile(QString path) : path_(std::move(path)), file_(path_) {}

WorkingFile::~WorkingFile() {
    close();
}

bool WorkingFile::exists() const {
    return QFileInfo::exists(path_);
}

bool WorkingFile::isOpen() const {
    return file_.isOpen();
}

bool WorkingFile::openAppend() {
    if (file_.isOpen())
        return true;
    // The folder may be shared: a link planted at this name is refused, and
    // the readings wait until the name is a file of its own again.
    FileError why;
    int fd = openNoFollow(path_, O_RDWR | O_APPEND | O_CREAT, 0666, &why);
    if (fd < 0) // a file we may write but not read
        fd = openNoFollow(path_, O_WRONLY | O_APPEND | O_CREAT, 0666, &why);
    if (fd < 0) {
        error_ = QStringLiteral("Cannot open %1 for appending: %2").arg(path_, why.reason);
        return false;
    }
    if (!setTornLineAside(fd)) {
        ::close(fd);
        return false;
    }
    // Unbuffered: a line that failed must not wait in a buffer and go out
    // again, behind its own retry, with the next write.
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        error_ = QStringLiteral("Cannot open %1 for appending: %2").arg(path_, file_.errorString());
        return false;
    }
    return true;
}

QString WorkingFile::tornLinesPath() const {
    const QFileInfo info(path_);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
           QStringLiteral("-torn.txt");
}

QString WorkingFile::takeNotice() {
    return std::exchange(notice_, QString());
}

bool WorkingFile::setTornLineAside(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size == 0)
        return true;
    const off_t size = st.st_size;
    char last = 0;
    // Opened write-only, the end cannot be looked at; every line this
    // program writes ends with its line end anyway.
    if (::pread(fd, &last, 1, size - 1) != 1 || last == '\n')
        return true;
    const auto failed = [this](const QString& what) {
        error_ = QStringLiteral("The last line of %1 was cut short by a crash and %2: %3")
                     .arg(path_, what, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    // The torn line begins after the last line end.
    off_t cut = 0;
    QByteArray chunk;
    for (off_t end = size; end > 0;) {
        const off_t start = std::max<off_t>(0, end - off_t(ReadChunk));
        chunk.resize(qsizetype(end - start));
        if (::pread(fd, chunk.data(), size_t(chunk.size()), start) != chunk.size())
            return failed(QStringLiteral("could not be read"));
        if (const void* nl = ::memrchr(chunk.constData(), '\n', size_t(chunk.size()))) {
            cut = start + off_t(static_cast<const char*>(nl) - chunk.constData()) + 1;
            break;
        }
        end = start;
    }
    // Inside the header it is no reading either, but cutting it would turn
    // the next readings into header lines: end the line instead.
    chunk.resize(qsizetype(std::min<off_t>(cut, MaxDataLineBytes)));
    if (::pread(fd, chunk.data(), size_t(chunk.size()), 0) != chunk.size() ||
        chunk.count('\n') < HeaderLineCount) {
        if (::write(fd, "\r\n", 2) != 2)
            return failed(QStringLiteral("its line could not be ended"));
        return true;
    }
    // What the line holds, without the NUL bytes a crash leaves.
    QByteArray kept;
    for (off_t from = cut; from < size; from += off_t(ReadChunk)) {
        chunk.resize(qsizetype(std::min<off_t>(size - from, off_t(ReadChunk))));
        if (::pread(fd, chunk.data(), size_t(chunk.size()), from) != chunk.size())
            return failed(QStringLiteral("could not be read"));
        chunk.removeIf([](char c) { return c == '\0'; });
        kept += chunk;
    }
    const QString side = tornLinesPath();
    if (!kept.isEmpty()) {
        FileError why;
        const int out = openNoFollow(side, O_WRONLY | O_APPEND | O_CREAT, 0666, &why);
        if (out < 0) {
            error_ = QStringLiteral("The last line of %1 was cut short by a crash and could not "
                                    "be kept: %2")
                         .arg(path_, why.message());
            return false;
        }
        const QByteArray line = kept + "\r\n";
        const bool written =
            ::write(out, line.constData(), size_t(line.size())) == line.size() && ::fsync(out) == 0;
        const int err = errno;
        ::close(out);
        if (!written) {
            errno = err;
            return failed(QStringLiteral("could not be kept in ") + side);
        }
    }
    if (::ftruncate(fd, cut) != 0)
        return failed(QStringLiteral("could not be cut from the file"));
    constexpr int Shown = 60;
    notice_ = kept.isEmpty()
                  ? QStringLiteral("%1 ended in %2 NUL bytes left by a crash or a power cut; they "
                                   "were removed.")
                        .arg(path_)
                        .arg(qint64(size - cut))
                  : QStringLiteral("The last line of %1 was cut short by a crash or a power cut "
                                   "(\"%2\"). It is not read as a reading: it is kept in %3, and "
                                   "new readings start on a line of their own.")
                        .arg(path_,
                             QString::fromUtf8(kept.left(Shown)) +
                                 (kept.size() > Shown ? QStringLiteral("...") : QString()),
                             side);
    return true;
}

bool WorkingFile::writeWhole(const QByteArray& bytes) {
    // All of it or nothing: a line cut by a full disk is taken back, so the
    // caller's retry writes it once, whole.
    const qint64 before = file_.size();
    errno = 0;
    if (file_.write(bytes) == bytes.size())
        return true;
    // QFile says "Unknown error" for a failed unbuffered write; the system's
    // own reason is still in errno.
    const int err = errno;
    error_ = QStringLiteral("Cannot write to %1: %2")
                 .arg(path_,
                      err != 0 ? QString::fromLocal8Bit(std::strerror(err)) : file_.errorString());
    if (file_.size() != before)
        file_.resize(before);
    return false;
}

void WorkingFile::close() {
    if (file_.isOpen())
        file_.close();
}

bool WorkingFile::startNew(const QByteArray& header) {
    close();
    SafeFile fresh(path_);
    if (!fresh.open() || !fresh.write(header) || !fresh.commit()) {
        error_ = QStringLiteral("Cannot create %1").arg(fresh.errorString());
        return false;
    }
    return openAppend();
}

bool WorkingFile::appendReading(const MeasurementRecord& r) {
    if (!file_.isOpen() && !openAppend())
        return false;
    return writeWhole(readingLine(r));
}

bool safeCopy(const QString& from, const QString& to, QString* error) {
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
    SafeFile target(to);
    if (!target.open())
        return fail(QStringLiteral("Cannot write %1").arg(target.errorString()));
    QByteArray buf(ReadChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buf.data(), buf.size());
        if (n < 0)
            return fail(QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
        if (n == 0)
            break;
        if (!target.write(QByteArrayView(buf.constData(), n)))
            return fail(QStringLiteral("Cannot write %1").arg(target.errorString()));
    }
    // A copy shorter than its source is no copy, whatever the writer said.
    if (target.bytesWritten() != source.size())
        return fail(QStringLiteral("Cannot copy %1 completely to %2").arg(from, to));
    if (!target.commit())
        return fail(QStringLiteral("Cannot write %1").arg(target.errorString()));
    return true;
}

DataStore::DataStore(QString workingPath) : working_(std::move(workingPath)) {}

QByteArray DataStore::currentHeader() const {
    if (headerProvider)
        return headerProvider();
    return headerLines(Legend{}, QString());
}

bool DataStore::openNewTempFile(const QByteArray& header) {
    if (!working_.startNew(header)) {
        // The old file is still whole: keep appending to it rather than
        // losing the next readings.
        error_ = working_.lastError();
        working_.openAppend();
        return false;
    }
    series.seriesLast = -1;
    series.usableReadings = 0;
    readingCount = 0;
    return true;
}

ReadDbResult DataStore::readDb(const QString& path) {
    working_.close();
    const QString source = path.isEmpty() ? working_.path() : path;
    ReadDbResult result = readDataFile(source, series, isSameFile(source, working_.path()));
    if (result.opened)
        readingCount = result.readingCount;
    else if (!path.isEmpty() || working_.exists())
        error_ = result.error;
    if (!working_.exists()) {
        if (!working_.startNew(currentHeader()))
            error_ = working_.lastError();
    } else if (!working_.openAppend()) {
        error_ = working_.lastError();
    }
    passOnNotice();
    return result;
}

void DataStore::countReading() {
    if (series.seriesLast < Series::Capacity - 1)
        ++series.seriesLast;
    if (readingCount < std::numeric_limits<int32_t>::max())
        ++readingCount;
    unsaved = true;
}

bool DataStore::appendReading(const MeasurementRecord& r) {
    if (!pendingHeader_.isEmpty() && !beginAnewUnder(pendingHeader_))
        return false;
    const bool written = working_.appendReading(r);
    if (!written)
        error_ = working_.lastError();
    passOnNotice();
    return written;
}

DataStore::SaveOutcome DataStore::saveToFile(const QString& path, const QString& commonFilePath,
                                             const QByteArray& freshHeader) {
    SaveOutcome outcome;
    working_.close();
    auto keepWorking = [&](const QString& why) {
        outcome.ok = false;
        outcome.error = why;
        error_ = why;
        working_.openAppend();
        return outcome;
    };
    // Restarting the working file would wipe the very copy just made.
    for (const QString& target : {path, commonFilePath})
        if (isSameFile(target, working_.path()))
            return keepWorking(
                QStringLiteral("%1 is the working file and cannot be saved onto itself")
                    .arg(target));
    QString why;
    if (!safeCopy(working_.path(), path, &why))
        return keepWorking(why);
    if (!safeCopy(working_.path(), commonFilePath, &why))
        return keepWorking(why);
    if (!working_.startNew(freshHeader))
        return keepWorking(QStringLiteral("The data was saved, but a new working file could not "
                                          "be started: %1")
                               .arg(working_.lastError()));
    unsaved = false;
    outcome.ok = true;
    return outcome;
}

QByteArray headerColumnLine(const QByteArray& header) {
    const QList<QByteArray> lines = header.split('\n');
    if (lines.size() <= HeaderLineCount - 1)
        return {};
    QByteArray line = lines[HeaderLineCount - 1];
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool DataStore::ensureWorkingFile() {
    if (working_.exists()) {
        // Count the header's line ends: a file with fewer than eight holds no
        // reading, and appending to it would turn readings into header lines.
        // A file we cannot read is never replaced: it may hold readings.
        QFile file(working_.path());
        if (!file.open(QIODevice::ReadOnly))
            return reopenAppend();
        int lineEnds = 0;
        BoundedLineReader reader(file);
        QByteArray line;
        bool overlong = false;
        bool terminated = false;
        while (lineEnds < HeaderLineCount && reader.next(line, overlong, terminated) && terminated)
            ++lineEnds;
        file.close();
        if (lineEnds >= HeaderLineCount)
            return reopenAppend();
    }
    working_.close();
    if (!working_.startNew(currentHeader())) {
        error_ = working_.lastError();
        return false;
    }
    return true;
}

bool DataStore::workingFileHoldsReadings() const {
    QFile file(working_.path());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    BoundedLineReader reader(file);
    QByteArray line;
    bool overlong = false;
    bool terminated = false;
    for (int i = 0; i < HeaderLineCount; ++i)
        if (!reader.next(line, overlong, terminated) || !terminated)
            return false;
    return reader.next(line, overlong, terminated);
}

bool DataStore::reopenAppend() {
    const bool opened = working_.openAppend();
    if (!opened)
        error_ = working_.lastError();
    passOnNotice();
    return opened;
}

void DataStore::passOnNotice() {
    if (!noticeHandler)
        return;
    const QString notice = working_.takeNotice();
    if (!notice.isEmpty())
        noticeHandler(notice);
}

namespace {

// The eighth line of a header or a file's start, without its line end;
// empty when there is no complete eighth line.
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

} // namespace

QByteArray DataStore::workingColumnLine() const {
    QFile file(working_.path());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return columnLineOf(file);
}

bool DataStore::reopenAppendUnder(const QByteArray& header) {
    const QByteArray have = workingColumnLine();
    // A file without a whole header holds no reading to protect; one we
    // cannot read is never replaced (appending to it fails and says why).
    if (have.isEmpty() || have == headerColumnLine(header)) {
        pendingHeader_.clear();
        return reopenAppend();
    }
    pendingHeader_ = header;
    return beginAnewUnder(header);
}

bool DataStore::beginAnewUnder(const QByteArray& header) {
    working_.close();
    const QFileInfo info(working_.path());
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QByteArray oldColumns = workingColumnLine();
    FileError why;
    QString kept;
    for (int n = 1; n <= 100; ++n) {
        kept = QStringLiteral("%1/%2-%3%4.csv")
                   .arg(info.absolutePath(), info.completeBaseName(), stamp,
                        n == 1 ? QString() : QStringLiteral("-%1").arg(n));
        if (renameWithoutReplacing(working_.path(), kept, &why))
            break;
        kept.clear();
        if (!QFileInfo::exists(why.path))
            break; // not a name taken: a reason of its own
    }
    if (kept.isEmpty()) {
        error_ = QStringLiteral("%1 was begun for other columns and cannot be kept under a new "
                                "name: %2")
                     .arg(working_.path(), why.message());
        return false;
    }
    if (!working_.startNew(header)) {
        // The readings go back where they were; nothing is appended to them.
        renameWithoutReplacing(kept, working_.path(), nullptr);
        error_ = working_.lastError();
        return false;
    }
    pendingHeader_.clear();
    series.seriesLast = -1;
    readingCount = 0;
    if (noticeHandler)
        noticeHandler(QStringLiteral("%1 holds readings under the columns \"%2\", not \"%3\" "
                                     "that this instrument writes now. It is kept whole as %4; "
                                     "new readings go to a new %5.")
                          .arg(working_.path(), QString::fromUtf8(oldColumns),
                               QString::fromUtf8(headerColumnLine(header)), kept, info.fileName()));
    return true;
}

} // namespace zel

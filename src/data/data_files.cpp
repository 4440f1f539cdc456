#include "data/data_files.h"

#include "common/datetime.h"
#include "common/text.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cstring>
#include <limits>

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

// True when the record ends inside a quoted field, so its line end belongs
// to the field and the next line continues it. A quote opens a field only
// at the field's start; elsewhere it is an ordinary character, as in files
// written before fields were ever quoted.
bool endsInsideQuote(const QByteArray& record) {
    bool inQuote = false;
    bool fieldStart = true;
    const qsizetype n = record.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = record[i];
        if (inQuote) {
            if (c == '"') {
                if (i + 1 < n && record[i + 1] == '"')
                    ++i;
                else
                    inQuote = false;
            }
        } else if (c == '"' && fieldStart) {
            inQuote = true;
            fieldStart = false;
        } else {
            fieldStart = c == ',';
        }
    }
    return inQuote;
}

void stripLineEnd(QByteArray& line) {
    if (line.endsWith('\n')) {
        line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
    }
}

// One reading: a physical line, joined with the following ones while a
// quoted field is open. `bad` marks a reading longer than the line limit.
bool nextRecord(BoundedLineReader& reader, QByteArray& record, QByteArray& more, bool& bad) {
    bool overlong = false;
    bool terminated = false;
    if (!reader.next(record, overlong, terminated))
        return false;
    bad = overlong;
    while (!bad && terminated && record.contains('"') && endsInsideQuote(record)) {
        if (!reader.next(more, overlong, terminated))
            break;
        if (overlong || record.size() + more.size() > MaxDataLineBytes) {
            bad = true;
            break;
        }
        record += more;
    }
    stripLineEnd(record);
    return true;
}

// The general date parser tries many forms and costs tens of microseconds a
// call, far too slow for ten thousand lines. Lines of one file share their
// date text and differ in "H:mm:ss", so the date of a text is learned once
// through the general parser and reused while it repeats; any other form
// goes through the general parser every time. The answers are the same.
class TimeFieldReader {
public:
    std::optional<double> dayCount(const QString& field) {
        const QStringView text = QStringView(field).trimmed();
        const qsizetype space = text.lastIndexOf(u' ');
        int h = 0;
        int m = 0;
        int s = 0;
        // The general parser refuses longer texts; an ISO date with its 'T'
        // takes another road there.
        if (field.size() <= 80 && text.size() <= 64 && space > 0 &&
            hms(text.mid(space + 1), h, m, s)) {
            const QStringView dateText = text.left(space).trimmed();
            if (known_ && dateText == dateText_ &&
                !(dateText.size() > 10 && dateText[10] == u'T')) {
                if (plainDay_)
                    return dayCount(h, m, s);
                const QDateTime moment(date_, QTime(h, m, s), Qt::LocalTime);
                if (!moment.isValid())
                    return std::nullopt;
                return toDayCount(moment);
            }
            const std::optional<QDateTime> full = parseGeneralDateTime(field);
            if (!full)
                return std::nullopt;
            // Learn the date only when the parser kept the time as written,
            // so a reused date gives the same moment the parser would.
            if (full->time() == QTime(h, m, s)) {
                known_ = true;
                dateText_ = dateText.toString();
                date_ = full->date();
                // Every local moment of a day without a clock change exists
                // as written, so its day count needs no time-zone lookup
                // (which costs a system call per moment).
                const QDateTime start(date_, QTime(0, 0), Qt::LocalTime);
                const QDateTime end(date_.addDays(1), QTime(0, 0), Qt::LocalTime);
                plainDay_ = start.isValid() && end.isValid() &&
                            start.offsetFromUtc() == end.offsetFromUtc();
                day_ = double(QDate(1899, 12, 30).daysTo(date_));
            }
            return toDayCount(*full);
        }
        const std::optional<QDateTime> full = parseGeneralDateTime(field);
        if (!full)
            return std::nullopt;
        return toDayCount(*full);
    }

private:
    // "H:mm:ss": an hour of one or two digits, minutes and seconds of two.
    static bool hms(QStringView t, int& h, int& m, int& s) {
        auto digit = [&](qsizetype i) {
            return t[i] >= u'0' && t[i] <= u'9' ? t[i].unicode() - '0' : -1;
        };
        qsizetype i = 0;
        if (t.size() == 8) {
            const int a = digit(0);
            const int b = digit(1);
            if (a < 0 || b < 0)
                return false;
            h = a * 10 + b;
            i = 2;
        } else if (t.size() == 7) {
            h = digit(0);
            if (h < 0)
                return false;
            i = 1;
        } else {
            return false;
        }
        if (t[i] != u':' || t[i + 3] != u':')
            return false;
        const int m1 = digit(i + 1);
        const int m2 = digit(i + 2);
        const int s1 = digit(i + 4);
        const int s2 = digit(i + 5);
        if (m1 < 0 || m2 < 0 || s1 < 0 || s2 < 0)
            return false;
        m = m1 * 10 + m2;
        s = s1 * 10 + s2;
        return h < 24 && m < 60 && s < 60;
    }

    // As toDayCount counts: whole days from 1899-12-30, the time as the
    // fraction of a day, away from zero before day 0.
    double dayCount(int h, int m, int s) const {
        const double fraction = double((h * 3600 + m * 60 + s) * 1000) / 86400000.0;
        return day_ < 0 ? day_ - fraction : day_ + fraction;
    }

    bool known_ = false;
    bool plainDay_ = false;
    double day_ = 0;
    QString dateText_;
    QDate date_;
};

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo ia(a);
    const QFileInfo ib(b);
    if (ia.exists() && ib.exists())
        return ia.canonicalFilePath() == ib.canonicalFilePath();
    return ia.absoluteFilePath() == ib.absoluteFilePath();
}

} // namespace

QByteArray headerLines(const Legend& legend, const QString& probeNumber, int16_t family,
                       const QString& orvanUnits) {
    QByteArray out;
    out += quotedHeaderLine(QStringLiteral("Department: ") + legend.Department);
    out += quotedHeaderLine(QStringLiteral("Date: ") + legend.Date);
    out += quotedHeaderLine(QStringLiteral("Instrument Type: ") + legend.Detector);
    out += quotedHeaderLine(QStringLiteral("Survey location: ") + legend.Location);
    out += quotedHeaderLine(QStringLiteral("Surveyor: ") + legend.Personnel);
    out += quotedHeaderLine(QStringLiteral("Signature:"));
    out += quotedHeaderLine(QStringLiteral("Chargennummer: ") + probeNumber);
    if (family == 3) {
        QString units = orvanUnits;
        units.replace(QLatin1Char('\r'), QLatin1Char(' '));
        units.replace(QLatin1Char('\n'), QLatin1Char(' '));
        out += "Americium,Time,Gamma(" + units.toUtf8() + "),Neutrons,Cesium,Cobalt,CPS\r\n";
    } else {
        out += "-\r\n";
    }
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
    if (!line.contains('"')) {
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

ReadDbResult readDataFile(const QString& path, Series& series) {
    ReadDbResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return result;
    }
    result.opened = true;
    series.SeriesLast = -1;
    series.units.clear();
    series.titleId.clear();

    BoundedLineReader reader(file);
    QByteArray record;
    QByteArray more;
    bool overlong = false;
    bool terminated = false;
    for (int i = 0; i < HeaderLineCount; ++i)
        if (!reader.next(record, overlong, terminated))
            return result;

    constexpr int32_t LastEntry = Series::Capacity - 1;
    TimeFieldReader times;
    bool bad = false;
    while (nextRecord(reader, record, more, bad)) {
        if (result.readingCount < std::numeric_limits<int32_t>::max())
            ++result.readingCount;
        if (bad || series.SeriesLast >= LastEntry)
            continue;
        const QStringList fields = splitDataLine(record);
        if (fields.size() < 3)
            continue;
        const std::optional<double> time = times.dayCount(fields[1]);
        if (!time)
            continue;
        const int32_t entry = ++series.SeriesLast;
        series.SeriesTimes[size_t(entry)] = *time;
        series.SeriesValues[size_t(entry)] = leadingNumber(fields[2]);
        if (entry == 1) {
            series.units = fields.value(3);
            series.titleId = fields[0];
        }
    }
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
    // A last line without its line end (a write cut short) would otherwise
    // swallow the next reading into a corrupt line.
    bool needLineEnd = false;
    {
        QFile probe(path_);
        if (probe.open(QIODevice::ReadOnly) && probe.size() > 0 && probe.seek(probe.size() - 1)) {
            char last = 0;
            needLineEnd = probe.getChar(&last) && last != '\n';
        }
    }
    file_.setFileName(path_);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error_ = QStringLiteral("Cannot open %1 for appending: %2").arg(path_, file_.errorString());
        return false;
    }
    if (needLineEnd && (file_.write("\r\n", 2) != 2 || !file_.flush())) {
        error_ = QStringLiteral("Cannot write to %1: %2").arg(path_, file_.errorString());
        file_.close();
        return false;
    }
    return true;
}

void WorkingFile::close() {
    if (file_.isOpen()) {
        file_.flush();
        file_.close();
    }
}

bool WorkingFile::startNew(const QByteArray& header) {
    close();
    QSaveFile fresh(path_);
    if (!fresh.open(QIODevice::WriteOnly)) {
        error_ = QStringLiteral("Cannot create %1: %2").arg(path_, fresh.errorString());
        return false;
    }
    if (fresh.write(header) != header.size() || !fresh.commit()) {
        error_ = QStringLiteral("Cannot write %1: %2").arg(path_, fresh.errorString());
        fresh.cancelWriting();
        return false;
    }
    return openAppend();
}

bool WorkingFile::appendReading(const MeasurementRecord& r) {
    if (!file_.isOpen() && !openAppend())
        return false;
    const QByteArray line = readingLine(r);
    if (file_.write(line) != line.size() || !file_.flush()) {
        error_ = QStringLiteral("Cannot write to %1: %2").arg(path_, file_.errorString());
        return false;
    }
    return true;
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
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return fail(QStringLiteral("Cannot write %1: %2").arg(to, target.errorString()));
    QByteArray buf(ReadChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buf.data(), buf.size());
        if (n < 0) {
            target.cancelWriting();
            return fail(QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
        }
        if (n == 0)
            break;
        if (target.write(buf.constData(), n) != n) {
            const QString why = target.errorString();
            target.cancelWriting();
            return fail(QStringLiteral("Cannot write %1: %2").arg(to, why));
        }
    }
    if (!target.commit())
        return fail(QStringLiteral("Cannot write %1: %2").arg(to, target.errorString()));
    return true;
}

DataStore::DataStore(QString workingPath) : working_(std::move(workingPath)) {}

QByteArray DataStore::currentHeader() const {
    if (headerProvider)
        return headerProvider();
    return headerLines(Legend{}, QString(), 0, QString());
}

bool DataStore::openNewTempFile(const QByteArray& header) {
    if (!working_.startNew(header)) {
        // The old file is still whole: keep appending to it rather than
        // losing the next readings.
        error_ = working_.lastError();
        working_.openAppend();
        return false;
    }
    series.SeriesLast = -1;
    ReadingCount = 0;
    return true;
}

ReadDbResult DataStore::readDb(const QString& path) {
    working_.close();
    const QString source = path.isEmpty() ? working_.path() : path;
    ReadDbResult result = readDataFile(source, series);
    if (result.opened)
        ReadingCount = result.readingCount;
    else if (!path.isEmpty() || working_.exists())
        error_ = result.error;
    if (!working_.exists()) {
        if (!working_.startNew(currentHeader()))
            error_ = working_.lastError();
    } else if (!working_.openAppend()) {
        error_ = working_.lastError();
    }
    return result;
}

void DataStore::countReading() {
    if (series.SeriesLast < Series::Capacity - 1)
        ++series.SeriesLast;
    if (ReadingCount < std::numeric_limits<int32_t>::max())
        ++ReadingCount;
    Unsaved = true;
}

bool DataStore::appendReading(const MeasurementRecord& r) {
    if (!working_.appendReading(r)) {
        error_ = working_.lastError();
        return false;
    }
    return true;
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
        if (sameFile(target, working_.path()))
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
    Unsaved = false;
    outcome.ok = true;
    return outcome;
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

bool DataStore::reopenAppend() {
    if (!working_.openAppend()) {
        error_ = working_.lastError();
        return false;
    }
    return true;
}

} // namespace zel

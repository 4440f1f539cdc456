#include "archive/archive_files.h"

#include "common/datetime.h"
#include "common/safe_file.h"
#include "data/data_files.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <map>

namespace zel {

namespace {

constexpr int HeaderLines = 8;
// A quoted field may run over this many lines at most, as the reader of the
// working file allows.
constexpr int MaxLinesPerReading = 64;
constexpr qint64 MaxLineBytes = 64 * 1024;
constexpr size_t BatchSize = 20000;
constexpr int UnusableLinesNamed = 10;

QByteArray withoutLineEnd(QByteArray line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool looksLikeDataFileHeader(const QList<QByteArray>& header) {
    return header.size() == HeaderLines && header[0].startsWith("\"Department:") &&
           header[5] == "\"Signature:\"";
}

// The file's lines, one reading at a time: a line whose quotes are not
// closed goes on over the next lines, as the writer quotes a field that
// holds a line break.
class ReadingLines {
public:
    ReadingLines(QFile& file, qint64 maxBytes) : file_(file), maxBytes_(maxBytes) {}

    // False at the end (or at the first line beyond maxBytes).
    bool next(QByteArray* line, qint64* lineNumber) {
        QByteArray first;
        if (!physical(&first))
            return false;
        *lineNumber = ++lines_;
        if (first.count('"') % 2 != 0) {
            const qint64 mark = file_.pos();
            const qint64 consumedMark = consumed_;
            QByteArray joined = first;
            for (int i = 1; i < MaxLinesPerReading; ++i) {
                QByteArray more;
                if (!physical(&more))
                    break;
                joined += more;
                if (joined.count('"') % 2 == 0) {
                    lines_ += i;
                    *line = withoutLineEnd(joined);
                    return true;
                }
            }
            // The quote never closes: the line stands alone.
            file_.seek(mark);
            consumed_ = consumedMark;
        }
        *line = withoutLineEnd(first);
        return true;
    }

private:
    bool physical(QByteArray* out) {
        if (file_.atEnd())
            return false;
        const qint64 start = file_.pos();
        // One buffer for every line: readLine(maxSize) would make a new one
        // of the full size for each line.
        if (buffer_.size() < MaxLineBytes + 1)
            buffer_.resize(MaxLineBytes + 1);
        qint64 n = file_.readLine(buffer_.data(), MaxLineBytes + 1);
        if (n <= 0)
            return false;
        QByteArray line(buffer_.constData(), n);
        // A longer line: the rest of it is skipped.
        while (!line.endsWith('\n') && !file_.atEnd()) {
            n = file_.readLine(buffer_.data(), MaxLineBytes + 1);
            if (n <= 0)
                break;
            if (buffer_.at(n - 1) == '\n')
                line += '\n';
        }
        const qint64 used = file_.pos() - start;
        if (maxBytes_ >= 0) {
            // Only whole lines that were filed when the catch-up was asked for.
            if (consumed_ + used > maxBytes_ || !line.endsWith('\n')) {
                file_.seek(start);
                return false;
            }
        }
        consumed_ += used;
        *out = std::move(line);
        return true;
    }

    QFile& file_;
    qint64 maxBytes_;
    qint64 consumed_ = 0;
    qint64 lines_ = HeaderLines;
    QByteArray buffer_;
};

MeasurementRecord recordOfFields(const QStringList& f) {
    MeasurementRecord r;
    r.InstrumentId = f.value(0);
    r.ReadingTime = f.value(1);
    r.Value = f.value(2);
    r.Units = f.value(3);
    r.Status = f.value(4);
    r.Detector = f.value(5);
    r.OverMark = f.value(6);
    return r;
}

QString fileNamePart(QString text) {
    static const QRegularExpression unsafe(QStringLiteral(R"([^A-Za-z0-9._+\-\x{00b5}\x{03bc}]+)"));
    text.replace(unsafe, QStringLiteral("_"));
    return text.isEmpty() ? QStringLiteral("none") : text;
}

} // namespace

ImportResult importDataFile(Archive& archive, const QString& path, const ImportOptions& options) {
    ImportResult result;
    const QFileInfo info(path);
    if (info.isDir()) {
        result.notADataFile = true;
        result.error = QStringLiteral("%1 is a folder, not a data file").arg(path);
        return result;
    }
    QFile file(path);
    const bool opened = options.openDescriptor >= 0
                            ? file.open(options.openDescriptor, QIODevice::ReadOnly,
                                        QFileDevice::DontCloseHandle) &&
                                  file.seek(0)
                            : file.open(QIODevice::ReadOnly);
    if (!opened) {
        result.error = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return result;
    }
    QList<QByteArray> header;
    qint64 headerBytes = 0;
    for (int i = 0; i < HeaderLines && !file.atEnd(); ++i) {
        const QByteArray line = file.readLine(MaxLineBytes);
        headerBytes += line.size();
        header << withoutLineEnd(line);
    }
    if (!looksLikeDataFileHeader(header)) {
        result.notADataFile = true;
        result.error =
            QStringLiteral("%1 is not a data file: its first eight lines are not a data file's "
                           "header (\"Department: ...\" to the column line)")
                .arg(path);
        return result;
    }
    const QByteArray columnLine = header[7];
    QString family = options.family;
    if (family.isEmpty() && isOrvanColumnLine(columnLine))
        family = QStringLiteral("Orvan");

    if (!archive.begin()) {
        result.error = archive.lastError();
        result.diskFull = archive.lastFailureWasDiskFull();
        return result;
    }
    auto failed = [&] {
        result.error = archive.lastError();
        result.diskFull = archive.lastFailureWasDiskFull();
        archive.rollback();
        return result;
    };

    ReadingLines lines(file, options.maxBytes < 0 ? -1 : options.maxBytes - headerBytes);
    std::vector<ArchivedReading> batch;
    batch.reserve(BatchSize);
    OccurrenceRanker ranker;
    QByteArray line;
    qint64 lineNumber = 0;
    qint64 usable = 0;
    FiledLine filed;
    filed.columnLine = columnLine;
    filed.family = family;
    filed.source = options.source;
    while (lines.next(&line, &lineNumber)) {
        ++result.readingLines;
        const QStringList fields = splitDataLine(line);
        std::optional<ArchivedReading> r;
        if (fields.size() >= 3) {
            filed.record = recordOfFields(fields);
            r = archivedReading(filed);
        }
        if (!r) {
            ++result.unusable;
            if (result.unusableLineNumbers.size() < UnusableLinesNamed)
                result.unusableLineNumbers << lineNumber;
            continue;
        }
        ++usable;
        ranker.rank(*r);
        batch.push_back(std::move(*r));
        if (batch.size() >= BatchSize) {
            if (!archive.addInTransaction(batch, &result.counts))
                return failed();
            batch.clear();
        }
    }
    if (result.readingLines > 0 && usable == 0) {
        archive.rollback();
        result.notADataFile = true;
        result.error = QStringLiteral("%1 is not a data file: none of its %2 reading lines reads "
                                      "as a reading")
                           .arg(path)
                           .arg(result.readingLines);
        return result;
    }
    if (!archive.addInTransaction(batch, &result.counts) || !archive.commit())
        return failed();
    result.ok = true;
    return result;
}

QString importSummary(const QString& path, const ImportResult& r) {
    if (!r.ok)
        return r.error;
    QString text = QStringLiteral("%1: %2 readings added, %3 already archived")
                       .arg(QFileInfo(path).fileName())
                       .arg(r.counts.added)
                       .arg(r.counts.alreadyThere);
    if (r.counts.refused > 0)
        text += QStringLiteral(", %1 left out (more than %2 readings at one millisecond)")
                    .arg(r.counts.refused)
                    .arg(ArchiveSlotsPerMs);
    if (r.unusable > 0) {
        QStringList numbers;
        for (qint64 n : r.unusableLineNumbers)
            numbers << QString::number(n);
        text += QStringLiteral(", %1 lines skipped whose time does not read (line %2%3)")
                    .arg(r.unusable)
                    .arg(numbers.join(QStringLiteral(", ")),
                         r.unusable > r.unusableLineNumbers.size() ? QStringLiteral(", ...")
                                                                   : QString());
    }
    return text;
}

ExportResult exportRange(const Archive& archive, qint64 fromMs, qint64 toMs, const QString& out,
                         const QStringList& mustNotReplace) {
    ExportResult result;
    // One file for each family and unit.
    // A first pass finds the groups the range holds, so the names are known
    // before anything is written.
    std::map<std::pair<QString, QString>, qint64> present;
    if (!archive.forEachReading(fromMs, toMs, {}, [&](const ArchivedReading& r) {
            ++present[{r.family, r.unit}];
            return true;
        })) {
        result.error = archive.lastError();
        return result;
    }
    if (present.empty()) {
        result.error = QStringLiteral("The archive holds no readings in that range");
        return result;
    }
    QString stem = out;
    QString suffix = QStringLiteral(".csv");
    if (stem.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        suffix = stem.right(4);
        stem.chop(4);
    }
    struct Target {
        std::unique_ptr<SafeFile> file;
        QString path;
        QByteArray buffer; // written in large pieces: one write per line is slow
    };
    std::map<std::pair<QString, QString>, Target> targets;
    Legend legend;
    legend.Date = formatShortDate(QDate::currentDate());
    for (const auto& [group, count] : present) {
        Target t;
        QString part = fileNamePart(group.second);
        if (!group.first.isEmpty())
            part = fileNamePart(group.first) + QLatin1Char('-') + part;
        t.path = present.size() == 1 ? stem + suffix : stem + QLatin1Char('-') + part + suffix;
        for (const QString& keep : mustNotReplace) {
            if (isSameFile(t.path, keep)) {
                result.refusedTarget = true;
                result.error =
                    QStringLiteral("%1 is %2, which an export never replaces").arg(t.path, keep);
                return result;
            }
        }
        t.file = std::make_unique<SafeFile>(t.path);
        const QByteArray columns = group.first == QLatin1String("Orvan")
                                       ? orvanColumnLine(group.second)
                                       : QByteArrayLiteral("-");
        if (!t.file->open() || !t.file->write(headerLines(legend, QString(), columns))) {
            result.error = t.file->errorString();
            return result;
        }
        targets.emplace(group, std::move(t));
    }
    QString writeError;
    archive.forEachReading(fromMs, toMs, {}, [&](const ArchivedReading& r) {
        Target& t = targets.at({r.family, r.unit});
        t.buffer += readingLine(recordOf(r));
        if (t.buffer.size() >= (1 << 20)) {
            if (!t.file->write(t.buffer)) {
                writeError = t.file->errorString();
                return false;
            }
            t.buffer.clear();
        }
        ++result.readings;
        return true;
    });
    if (!writeError.isEmpty()) {
        result.error = writeError;
        result.readings = 0;
        return result;
    }
    for (auto& [group, t] : targets) {
        if (!t.file->write(t.buffer) || !t.file->commit()) {
            result.error = t.file->errorString();
            return result;
        }
        result.files << t.path;
    }
    result.ok = true;
    return result;
}

} // namespace zel

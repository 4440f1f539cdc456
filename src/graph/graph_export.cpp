#include "graph/graph_export.h"

#include "common/datetime.h"
#include "common/paths.h"
#include "common/text.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

namespace zel::graph {

namespace {

const QDate DayZero(1899, 12, 30);
constexpr qint64 MsPerDay = 86400000;
// Records are collected in memory and written in pieces of about this size.
constexpr qsizetype WriteChunk = 256 * 1024;

QString ensuredFolder(const QString& path) {
    QDir().mkpath(path);
    return QDir::cleanPath(path);
}

// A name whose last four characters are a dot and three more keeps its stem.
QString withExtension(const QString& chosen, const QString& extension) {
    const QString fileName = QFileInfo(chosen).fileName();
    if (fileName.size() >= 4 && fileName.at(fileName.size() - 4) == u'.')
        return chosen.left(chosen.size() - 4) + extension;
    return chosen + extension;
}

void appendTwoDigits(QByteArray& out, int n) {
    out.append(char('0' + n / 10));
    out.append(char('0' + n % 10));
}

// A name or units text as one CSV field: bare, or quoted when it holds a
// comma, a quote or a line break that would otherwise split the line.
QByteArray csvField(const QString& text) {
    QByteArray field = text.toUtf8();
    if (!field.contains(',') && !field.contains('"') && !field.contains('\r') &&
        !field.contains('\n'))
        return field;
    field.replace("\"", "\"\"");
    return '"' + field + '"';
}

} // namespace

QString exportFolder() {
    return ensuredFolder(programFile(QStringLiteral("export/Peak_Rep")));
}

QString graphSetFolder() {
    return ensuredFolder(programFile(QStringLiteral("maps")));
}

QString lastGraphSetPath() {
    return programFile(QStringLiteral("LastGraph.grp"));
}

QString csvTargetName(const QString& chosen) {
    return withExtension(chosen, QStringLiteral(".csv"));
}

QString pdfTargetName(const QString& chosen) {
    if (chosen.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        return chosen;
    return withExtension(chosen, QStringLiteral(".pdf"));
}

void appendPrintNumber(QByteArray& out, double value) {
    const QString text = shortestText(value);
    if (!text.startsWith(u'-'))
        out.append(' ');
    out.append(text.toLatin1());
    out.append(' ');
}

void DayCountText::append(QByteArray& out, double days) {
    // The same rounding as fromDayCount: to the millisecond, a time that
    // rounds up to midnight belongs to the next day.
    if (!std::isfinite(days) || days < -657434.0 || days >= 2958466.0)
        return;
    double whole = std::trunc(days);
    qint64 ms = std::llround(std::fabs(days - whole) * double(MsPerDay));
    if (ms >= MsPerDay) {
        ms -= MsPerDay;
        whole += 1;
    }
    if (!haveDay_ || whole != day_) {
        const QDate date = DayZero.addDays(qint64(whole));
        dateText_ = formatShortDate(date).toUtf8();
        clockChange_ =
            date.startOfDay().offsetFromUtc() != date.addDays(1).startOfDay().offsetFromUtc();
        day_ = whole;
        haveDay_ = true;
    }
    if (dateText_.isEmpty())
        return;
    if (clockChange_) {
        out.append(formatGeneralDateTime(fromDayCount(days)).toUtf8());
        return;
    }
    const int seconds = int(ms / 1000);
    out.append(dateText_);
    out.append(' ');
    appendTwoDigits(out, seconds / 3600);
    out.append(':');
    appendTwoDigits(out, seconds / 60 % 60);
    out.append(':');
    appendTwoDigits(out, seconds % 60);
}

QByteArray csvHeaderLines(const std::array<GraphSlot, SlotCount>& seriesSlots) {
    QByteArray names = "Names";
    QByteArray units = "Units";
    for (const GraphSlot& slot : seriesSlots) {
        names += ',' + csvField(slot.name);
        units += ", " + csvField(fixedUnits(slot.units));
    }
    return names + "\r\n" + units + "\r\n";
}

// ---------------------------------------------------------------- export

CsvExport::CsvExport(const GraphStore& store, ExportSource source) : slots_(store.seriesSlots) {
    // Only records that will be written are copied.
    auto take = [&](double time, auto valueOf) {
        if (!isValue(valueOf(0)))
            return;
        times_.push_back(time);
        for (int s = 0; s < SlotCount; ++s)
            values_[size_t(s)].push_back(valueOf(s));
    };
    if (source == ExportSource::Display) {
        // Every display point of the window, the first and last included.
        const int32_t count = store.displayCount();
        for (int32_t k = 0; k <= count && count > 0; ++k)
            take(store.baseTime() + store.displayX(k), [&](int s) { return store.displayY(s, k); });
    } else {
        // Every record of the last load. Records past the last index are
        // left over from an earlier, longer load and belong to other data.
        const int32_t last = store.lastIndex();
        for (int32_t i = 0; i <= last; ++i) {
            if (store.rawTime(i) == 0)
                continue;
            take(store.rawTime(i), [&](int s) { return store.rawValue(s, i); });
        }
    }
}

CsvExport::~CsvExport() = default;

tl::unexpected<Failure> CsvExport::failed() {
    const FileError why = file_ ? file_->error() : FileError{path_, QString()};
    file_.reset(); // removes the temporary file
    return fileFailure(why);
}

Expected<void> CsvExport::open(const QString& path) {
    path_ = path;
    next_ = 0;
    file_ = std::make_unique<SafeFile>(path);
    if (!file_->open())
        return failed();
    buffer_ = csvHeaderLines(slots_);
    buffer_.reserve(WriteChunk + 1024);
    return {};
}

Expected<void> CsvExport::writeSome(int32_t count) {
    if (!file_)
        return failed();
    const int32_t end = std::min(total(), next_ + std::max(count, 0));
    for (; next_ < end; ++next_) {
        dayText_.append(buffer_, times_[size_t(next_)]);
        for (int s = 0; s < SlotCount; ++s) {
            buffer_.append(',');
            appendPrintNumber(buffer_, values_[size_t(s)][size_t(next_)]);
        }
        buffer_.append("\r\n");
        if (buffer_.size() >= WriteChunk) {
            if (!file_->write(buffer_))
                return failed();
            buffer_.clear();
        }
    }
    return {};
}

Expected<void> CsvExport::finish() {
    if (!file_)
        return failed();
    if (!buffer_.isEmpty() && !file_->write(buffer_))
        return failed();
    buffer_.clear();
    if (!file_->commit())
        return failed();
    file_.reset();
    return {};
}

void CsvExport::cancel() {
    file_.reset(); // removes the temporary file
    buffer_.clear();
}

Expected<void> exportCsv(const GraphStore& store, ExportSource source, const QString& path) {
    CsvExport job(store, source);
    return job.open(path).and_then([&] { return job.writeSome(job.total()); }).and_then([&] {
        return job.finish();
    });
}

// ---------------------------------------------------------------- graph set

QByteArray graphSetText(std::array<GraphSlot, SlotCount>& seriesSlots) {
    QByteArray names, codes;
    for (int s = 0; s < SlotCount; ++s) {
        GraphSlot& slot = seriesSlots[size_t(s)];
        if (slot.name == QLatin1String(ReservedSeriesName))
            slot.name.clear();
        if (s > 0) {
            names += ',';
            codes += ',';
        }
        names += csvField(slot.name);
        codes += QByteArray::number(slot.indicatorCode);
    }
    return names + "\r\n" + codes + "\r\n";
}

Expected<void> saveGraphSet(const QString& path, std::array<GraphSlot, SlotCount>& seriesSlots) {
    const QByteArray text = graphSetText(seriesSlots);
    FileError why;
    if (!writeFileSafely(path, text, &why))
        return fileFailure(why);
    return {};
}

} // namespace zel::graph

#pragma once
// The graph's files: CSV exports of the display series or of the raw store,
// the graph-set file that names the series shown, and the folders they go
// to. Pure file writing; the window only chooses names and shows progress.
#include "graph/graph_store.h"

#include "common/failure.h"
#include "common/safe_file.h"
#include <QByteArray>
#include <QString>
#include <array>
#include <memory>
#include <vector>

namespace zel::graph {

// <program folder>/export/Peak_Rep, created when missing.
QString exportFolder();
// <program folder>/maps, created when missing.
QString graphSetFolder();
// <program folder>/LastGraph.grp, written whenever the graph closes.
QString lastGraphSetPath();

// The file an export writes for the name the user chose: a four-character
// extension ("report.txt") becomes ".csv"; a name without one ("report",
// "ab", "report.data") keeps every character and gets ".csv" appended.
QString csvTargetName(const QString& chosen);
// The same for a PDF of the printed page.
QString pdfTargetName(const QString& chosen);

// A number as the record lines carry it: a space where a plus sign would
// be (a minus sign otherwise), the shortest text of at most 15 significant
// digits, and one trailing space: " 12.5 ", "-1 ".
void appendPrintNumber(QByteArray& out, double value);

// General date-time text of a day count, equal to
// formatGeneralDateTime(fromDayCount(days)) but without building a QDateTime
// per record: the date text is kept for as long as the day stays the same.
// A day with a clock change takes the slow road, so a time in its gap is
// written as the formatter writes it.
class DayCountText {
public:
    void append(QByteArray& out, double days);

private:
    double day_ = 0;
    bool haveDay_ = false;
    bool clockChange_ = false;
    QByteArray dateText_;
};

// Lines 1 and 2 of an export: "Names,n0,...,n4" and
// "Units, u0, ..., u4" with the 10-character units texts, each ended by CR LF.
QByteArray csvHeaderLines(const std::array<GraphSlot, SlotCount>& seriesSlots);

enum class ExportSource {
    Display, // the reduced points of the window on screen ("Average to Csv")
    Raw,     // every record held ("All to Csv")
};

// One export, written in steps so that a window can show progress and let
// the user stop between them. The records are copied when the export is
// made: live readings may reload the graph while the file is written.
// The file is written through a temporary file and appears only when
// finished; a failure or a cancel leaves any older file untouched.
class CsvExport {
public:
    CsvExport(const GraphStore& store, ExportSource source);
    ~CsvExport();

    // Records to look at (the progress bar's range) and looked at so far.
    int32_t total() const { return int32_t(times_.size()); }
    int32_t done() const { return next_; }
    bool atEnd() const { return next_ >= total(); }

    // Creates the file and writes the Names and Units lines. A failure
    // names the file and the system's reason.
    Expected<void> open(const QString& path);
    // Writes up to `count` more records.
    Expected<void> writeSome(int32_t count);
    // Makes the file appear with what was written.
    Expected<void> finish();
    // Drops what was written: no file appears.
    void cancel();

private:
    tl::unexpected<Failure> failed();

    std::array<GraphSlot, SlotCount> slots_;
    std::vector<double> times_;
    std::array<std::vector<double>, SlotCount> values_;
    int32_t next_ = 0;
    std::unique_ptr<SafeFile> file_;
    QString path_;
    QByteArray buffer_;
    DayCountText dayText_;
};

// The whole export in one go (tests, benchmarks and small stores).
Expected<void> exportCsv(const GraphStore& store, ExportSource source, const QString& path);

// A file's failure as the graph says it: the file name and the reason.
inline tl::unexpected<Failure> fileFailure(const FileError& why) {
    return fail(Failure::Kind::Other, why.message());
}

// A series name that is never written to a graph set.
inline constexpr char ReservedSeriesName[] = "Fix Flow";

// The two lines of a graph-set file: the five names and the five indicator
// codes, each joined by ",", ended by CR LF. A slot named "Fix Flow" loses its
// name first, in `seriesSlots` too.
QByteArray graphSetText(std::array<GraphSlot, SlotCount>& seriesSlots);

// Writes the graph-set file at `path` (no extension added), through a
// temporary file. A failure names the file and the reason.
Expected<void> saveGraphSet(const QString& path, std::array<GraphSlot, SlotCount>& seriesSlots);

} // namespace zel::graph

#pragma once
// The data-file format, the working file "ZelTemp.csv" and the in-memory
// series the graphs read. The working file is the only copy of readings
// until a save, so every reading line is flushed when it is written and a
// save never touches the working file before its copies are safe.
#include "data/measurement_record.h"
#include "data/settings.h"
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace zel {

struct Series {
    static constexpr int Capacity = 10001; // indexes 0 .. 10000
    std::vector<double> seriesTimes = std::vector<double>(Capacity, 0.0);
    std::vector<double> seriesValues = std::vector<double>(Capacity, 0.0);
    int32_t seriesLast = -1;
    // Every usable reading the series was filled with, of which it holds
    // the newest Capacity: the graph says when it shows only part.
    int64_t usableReadings = 0;
    QString units;   // field 3 of the second reading line
    QString titleId; // field 0 of the second reading line

    // Adds a reading after the last; when the series is full the oldest
    // makes room, so it always ends with the newest.
    void append(double time, double value);
};

// The eight header lines, each ended by CR LF. Line breaks inside the legend
// or the probe number become spaces and double quotes are doubled, so the
// header is always exactly eight lines that a reader can skip. The last
// line names the columns the family writes; "-" when they need no names.
QByteArray headerLines(const Legend& legend, const QString& probeNumber,
                       const QByteArray& columnLine = QByteArrayLiteral("-"));

// The column line (the eighth) of `header`, without its line end.
QByteArray headerColumnLine(const QByteArray& header);

// One reading line ended by CR LF; a field holding a comma, a double quote,
// CR or LF is quoted (RFC 4180), every other field is written bare.
QByteArray readingLine(const MeasurementRecord& r);

// Splits one line (without its line end) into fields. Quoted fields are
// read only when the line's quoting is whole: each quote that opens a field
// closes it before a comma or the line's end. Otherwise every quote is an
// ordinary character and the line is split at its commas.
QStringList splitDataLine(const QByteArray& line);

struct ReadDbResult {
    bool opened = false;
    int32_t readingCount = 0;
    QString error; // why the file could not be opened
};

// Longest reading line the reader looks at; the rest of a longer line is
// skipped and the line counts as an unusable reading.
constexpr qint64 MaxDataLineBytes = 64 * 1024;

// Reads a data file into `series`: skips 8 header lines, counts every
// further line, stores the newest 10001 usable ones in file order (time
// parsed, leading number of the value). Lines of any length never hang or crash it.
//  - The line end after the last line does not start another line, so a file
//    written by this program counts exactly its readings; an empty line in
//    the middle counts as an (unusable) reading.
//  - A quoted field may hold line breaks (at most 63); such a reading counts
//    once. A quote that never closes, or closes in the middle of a field,
//    was no quoting: its line is split at commas and the next line is a
//    reading of its own.
//  - The time is read as the date parser reads it (DayCounter); the value
//    is the leading number of field 2, exponent forms included.
//  - A line with fewer than three fields, or whose time does not parse, is
//    counted but not stored.
//  - A line holding a NUL byte is no reading and is not counted: a crash on
//    a file system without ordered writes leaves such lines.
//  - With `lastLineMayBeTorn` (the working file, which this program always
//    ends with a line end) a last line without its line end is a reading
//    cut short by a crash: it is not read or counted.
//  - When the file cannot be opened the series is left as it was.
ReadDbResult readDataFile(const QString& path, Series& series, bool lastLineMayBeTorn = false);

class WorkingFile {
public:
    explicit WorkingFile(QString path);
    ~WorkingFile();

    const QString& path() const { return path_; }
    bool exists() const;
    bool isOpen() const;

    // Opens for appending, never through a symbolic link (a link at the
    // working file's name is refused with a message naming it). A last line
    // cut short by a crash (no line end, or NUL bytes) is no reading: it is
    // moved to tornLinesPath() and cut from the file, so the next reading
    // starts a line of its own; notice() says so once. False when it could
    // not be moved aside: then nothing is appended.
    bool openAppend();
    // Where torn last lines are kept: "ZelTemp-torn.txt" beside the file.
    QString tornLinesPath() const;
    // What openAppend() found and did that the user should hear of; taken
    // once.
    QString takeNotice();
    void close();
    // Creates the file empty, writes the header and leaves it open for
    // appending. The new file replaces the old one only once it is complete:
    // on failure the old file is still there, unchanged.
    bool startNew(const QByteArray& header);
    // Appends one reading line and flushes it to the disk.
    bool appendReading(const MeasurementRecord& r);
    QString lastError() const { return error_; }

private:
    bool writeWhole(const QByteArray& bytes);
    // Moves a torn last line of the file open at `fd` aside; see openAppend.
    bool setTornLineAside(int fd);

    QString path_;
    QFile file_;
    QString error_;
    QString notice_;
};

// Copies `from` to `to` through a temporary file in the target folder and a
// rename, so an existing target is replaced only by a complete copy.
bool safeCopy(const QString& from, const QString& to, QString* error);

// The working file with the counters and the series that go with it: the
// file sequences of the main window without any question to the user. The
// owner asks, shows messages and clears the list.
class DataStore {
public:
    explicit DataStore(QString workingPath);

    WorkingFile& workingFile() { return working_; }
    const WorkingFile& workingFile() const { return working_; }

    Series series;
    int32_t readingCount = 0;
    bool unsaved = false;

    // The header a missing working file is created with (current legend,
    // probe number and family). Without it an empty-legend "Portables"
    // header is used.
    std::function<QByteArray()> headerProvider;

    // A new working file: startNew, seriesLast = -1, readingCount = 0. The
    // caller clears the list and hides the graph.
    bool openNewTempFile(const QByteArray& header);

    // Closes the channel, reads `path` (the working file when empty) into
    // the series, sets readingCount, then reopens the working file for
    // appending (creating it with its header when it is missing). A file
    // that cannot be opened leaves the series and readingCount as they were.
    ReadDbResult readDb(const QString& path = {});

    // The counters of the list step: seriesLast += 1 (held at the last
    // entry of the series, so an index handed on never leaves it),
    // readingCount += 1, unsaved = true. appendReading does not count: the
    // intake calls both, this one at the list step.
    void countReading();

    // Writes one reading line to the working file and flushes it. Reopens a
    // closed channel first. False (with lastError()) when it did not reach
    // the file.
    bool appendReading(const MeasurementRecord& r);

    struct SaveOutcome {
        bool ok = false;
        QString error;
    };
    // Copies the working file to `path` and to the common file. Only when
    // both copies are complete is the working file restarted with
    // `freshHeader` and unsaved cleared; otherwise the working file is left
    // untouched, reopened for appending, and the error says why. A target
    // that is the working file itself is refused. The list, readingCount and
    // seriesLast are not changed.
    SaveOutcome saveToFile(const QString& path, const QString& commonFilePath,
                           const QByteArray& freshHeader);

    // At start-up: a missing working file (or one too short to hold its
    // header) is created with its header, so later reads do not take
    // readings for header lines. Leaves the channel open for appending.
    bool ensureWorkingFile();
    // True when the working file has a line after its eight header lines.
    bool workingFileHoldsReadings() const;

    bool reopenAppend();
    // Reopens the working file for appending only when its column line (the
    // eighth) is the one `header` has, so readings never land under another
    // family's or another unit's columns. Otherwise the old file is kept
    // whole under a new name (noticeHandler says which) and a new working
    // file begins with `header`. While that cannot be done (a full disk),
    // nothing is appended: appendReading fails until it can.
    bool reopenAppendUnder(const QByteArray& header);
    // The working file's column line, without its line end; empty when the
    // file has no complete eighth line or cannot be read.
    QByteArray workingColumnLine() const;

    // Told what the user should hear of once: a torn last line moved aside,
    // an old working file kept under a new name.
    std::function<void(const QString&)> noticeHandler;

    QString lastError() const { return error_; }

private:
    QByteArray currentHeader() const;
    void passOnNotice();
    // Keeps the working file under a new free name and begins a new one.
    bool beginAnewUnder(const QByteArray& header);

    WorkingFile working_;
    QString error_;
    // The header a new working file must begin with before anything is
    // appended; empty when appending may go on.
    QByteArray pendingHeader_;
};

} // namespace zel

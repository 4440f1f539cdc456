#pragma once
// Reading data files back: the series the graphs draw and the bounded line
// reader every look into a data file goes through, so no line of any length
// (a binary file, a line of megabytes) costs more than a bounded buffer.
#include "common/failure.h"
#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

namespace zel {

// The readings the graph draws: the newest Capacity of those the series was
// filled with, in the order they came.
class Series {
public:
    static constexpr int Capacity = 10001; // indexes 0 .. 10000

    // Index of the newest reading held (-1: none).
    int32_t lastIndex() const { return count_ - 1; }
    // The readings held, oldest first.
    std::span<const double> times() const { return {times_.data() + first_, size_t(count_)}; }
    std::span<const double> values() const { return {values_.data() + first_, size_t(count_)}; }

    // Every usable reading the series was filled with, of which it holds
    // the newest Capacity: the graph says when it shows only part.
    int64_t usableReadings = 0;
    QString units;   // field 3 of the second reading line
    QString titleId; // field 0 of the second reading line

    // Adds a reading after the last; when the series is full the oldest
    // makes room, so it always ends with the newest.
    void append(double time, double value);
    // Forgets the readings (units and title stay until a file says others).
    void clear();

private:
    // The held readings lie at [first_, first_ + count_) of a room a quarter
    // larger than Capacity: a full series slides along it and moves back to
    // the front once per Capacity / 4 readings, so a reading never costs a
    // move of all the others.
    static constexpr size_t Room = size_t(Capacity) + size_t(Capacity) / 4;
    std::vector<double> times_;
    std::vector<double> values_;
    int32_t first_ = 0;
    int32_t count_ = 0;
};

// Longest reading line the reader looks at; the rest of a longer line is
// skipped and the line counts as an unusable reading.
constexpr qint64 MaxDataLineBytes = 64 * 1024;
// How much of a file is read at a time.
constexpr qint64 DataReadChunk = 256 * 1024;

// Reads a file line by line through its own buffer, never holding more than
// MaxDataLineBytes of one line: the rest of a longer line is read and
// dropped, so a multi-megabyte line or a binary file costs time but no
// memory.
class BoundedLineReader {
public:
    explicit BoundedLineReader(QFile& file);

    // The next line with its line end (when it had one). False at the end
    // of the file; the line end after the last line does not start another.
    bool next(QByteArray& line, bool& overlong, bool& terminated);

private:
    bool fill();

    QFile& file_;
    QByteArray buf_;
    qsizetype pos_ = 0;
    qsizetype end_ = 0;
};

// The eighth line of the file open in `file` (its column line), without
// its line end; empty when there is no complete eighth line.
QByteArray columnLineOf(QFile& file);

// Reads a data file into `series` and gives the number of readings counted:
// skips 8 header lines, counts every further line, stores the newest 10001
// usable ones in file order (time parsed, leading number of the value).
// Lines of any length never hang or crash it.
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
//  - When the file cannot be opened the series is left as it was and the
//    failure names the file and the reason.
Expected<int32_t> readDataFile(const QString& path, Series& series, bool lastLineMayBeTorn = false);

} // namespace zel

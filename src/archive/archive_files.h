#pragma once
// Data files into the archive and ranges of the archive out as data files:
// the catch-up from the working file, zel-archive import and export.
#include "archive/archive.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace zel {

struct ImportResult {
    bool ok = false;
    // The file is not a data file (no data-file header, or not one reading
    // line that reads): nothing was taken from it.
    bool notADataFile = false;
    bool diskFull = false;
    QString error;
    qint64 readingLines = 0;
    qint64 unusable = 0;               // lines whose time does not read
    QList<qint64> unusableLineNumbers; // the first few, counted from 1
    Archive::AddCounts counts;
};

struct ImportOptions {
    ReadingSource source = ReadingSource::Import;
    // Only the first `maxBytes` bytes (whole lines): the part of the working
    // file that was filed when the catch-up was asked for. -1: all of it.
    qint64 maxBytes = -1;
    // Reads the file open at this descriptor (from its start) instead of
    // opening `path`, which is then only its name: the working file as it
    // was when the catch-up was asked for, even after a new one replaced it.
    int openDescriptor = -1;
    // The family's caption when the caller knows it (an Orvan file names
    // itself by its column line).
    QString family;
};

// Reads a data file (the working file, a saved file, the common file, the
// automatic measurement's files, a downloaded log) and archives every
// reading that is not archived yet, in one transaction: either the whole
// file is in, or nothing of it and the result says why. Running it again
// adds nothing; equal readings side by side in one file stay as many as the
// file has (see ArchivedReading::occurrence).
ImportResult importDataFile(Archive& archive, const QString& path,
                            const ImportOptions& options = {});

// The text of a result for a person: "ZelTemp.csv: 120 readings added, 3
// already archived".
QString importSummary(const QString& path, const ImportResult& result);

struct ExportResult {
    bool ok = false;
    QString error;
    QStringList files; // the files written
    qint64 readings = 0;
    bool refusedTarget = false; // a file it must not replace was named
};

// Writes the readings of [fromMs, toMs] as data files that zel loads back:
// one file when the range holds one family and unit, else one per family
// and unit, named "<out>-<family>-<unit>.csv" ("<out>-<unit>.csv" when the family is not known).
// Each file is written whole or not at all. A target that is one of
// `mustNotReplace` (the working file, the archive itself; links seen
// through) is refused before anything is written.
ExportResult exportRange(const Archive& archive, qint64 fromMs, qint64 toMs, const QString& out,
                         const QStringList& mustNotReplace = {});

} // namespace zel

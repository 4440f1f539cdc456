#pragma once
// The data-file format, the working file "ZelTemp.csv" and the in-memory
// series the graphs read. The working file is the only copy of readings
// until a save, so every reading line is flushed when it is written and a
// save never touches the working file before its copies are safe.
#include "main/measurement_record.h"
#include "main/settings.h"
#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

namespace zel {

struct Series {
    static constexpr int Capacity = 10001; // indexes 0 .. 10000
    std::vector<double> SeriesTimes = std::vector<double>(Capacity, 0.0);
    std::vector<double> SeriesValues = std::vector<double>(Capacity, 0.0);
    int32_t SeriesLast = -1;
    QString units;   // field 3 of the second reading line
    QString titleId; // field 0 of the second reading line
};

// The eight header lines, each ended by CR LF.
QByteArray headerLines(const Legend& legend, const QString& probeNumber, int16_t family,
                       const QString& orvanUnits);

// One reading line ended by CR LF; a field holding a comma, a double quote,
// CR or LF is quoted (RFC 4180), every other field is written bare.
QByteArray readingLine(const MeasurementRecord& r);

// Splits one line (without its line end) into fields, accepting quoted
// fields.
QStringList splitDataLine(const QByteArray& line);

struct ReadDbResult {
    bool opened = false;
    int32_t readingCount = 0;
};

// Reads a data file into `series`: skips 8 header lines, counts every
// further line, stores at most 10001 usable ones (time parsed, leading
// number of the value). Lines of any length never hang or crash it.
ReadDbResult readDataFile(const QString& path, Series& series);

class WorkingFile {
public:
    explicit WorkingFile(QString path);
    ~WorkingFile();

    const QString& path() const { return path_; }
    bool exists() const;
    bool isOpen() const;

    bool openAppend();
    void close();
    // Creates the file empty, writes the header and leaves it open for
    // appending.
    bool startNew(const QByteArray& header);
    // Appends one reading line and flushes it to the disk.
    bool appendReading(const MeasurementRecord& r);
    QString lastError() const { return error_; }

private:
    QString path_;
    QFile file_;
    QString error_;
};

// Copies `from` to `to` through a temporary file in the target folder and a
// rename, so an existing target is replaced only by a complete copy.
bool safeCopy(const QString& from, const QString& to, QString* error);

} // namespace zel

#pragma once
// The data-file format: eight header lines, then one reading per line,
// comma-separated, CR LF at each line's end. Writers and readers of the
// format (the working file, saves, the archive's import and export) share
// these pieces so a file written here always reads back the same.
#include "data/measurement_record.h"
#include "data/settings.h"
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zel {

// Lines before the first reading.
constexpr int HeaderLineCount = 8;

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

// The length of the line end (CR LF, LF or none) `line` finishes with.
qsizetype lineEndLength(const QByteArray& line);

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

} // namespace zel

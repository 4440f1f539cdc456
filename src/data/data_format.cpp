#include "data/data_format.h"

namespace zel {

namespace {

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

} // namespace

qsizetype lineEndLength(const QByteArray& line) {
    if (!line.endsWith('\n'))
        return 0;
    return line.size() >= 2 && line.at(line.size() - 2) == '\r' ? 2 : 1;
}

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

QByteArray headerColumnLine(const QByteArray& header) {
    const QList<QByteArray> lines = header.split('\n');
    if (lines.size() <= HeaderLineCount - 1)
        return {};
    QByteArray line = lines[HeaderLineCount - 1];
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace zel

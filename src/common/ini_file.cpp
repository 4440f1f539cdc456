#include "common/ini_file.h"

#include "common/safe_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <cstring>

namespace zel {

namespace {

// One line of the file as byte offsets: [begin, contentEnd) is the text without
// its line end, [contentEnd, end) the line end itself ("\r\n", "\n" or nothing).
struct Line {
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Text of the file is mostly ASCII; anything written by an older editor may be
// Latin-1. Valid UTF-8 is taken as such, anything else byte for byte.
QString decode(const char* data, qsizetype size) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(data, size));
    if (utf8.hasError())
        return QString::fromLatin1(data, size);
    return text;
}

void trimRange(const char* data, qsizetype& from, qsizetype& to) {
    while (from < to && isBlank(data[from]))
        ++from;
    while (to > from && isBlank(data[to - 1]))
        --to;
}

// Splits the whole file into lines in one pass. A UTF-8 byte-order mark,
// which editors put before the first section, belongs to no line: it stays
// in the file but would otherwise hide that section.
QList<Line> splitLines(const QByteArray& bytes) {
    QList<Line> lines;
    const char* data = bytes.constData();
    const qsizetype size = bytes.size();
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < size) {
        const void* nl = std::memchr(data + pos, '\n', static_cast<size_t>(size - pos));
        Line line;
        line.begin = pos;
        if (nl) {
            const qsizetype at = static_cast<const char*>(nl) - data;
            line.end = at + 1;
            line.contentEnd = (at > pos && data[at - 1] == '\r') ? at - 1 : at;
        } else {
            line.end = size;
            line.contentEnd = size;
        }
        lines.append(line);
        pos = line.end;
    }
    return lines;
}

// Section header "[name]": returns true and the name's range.
bool sectionName(const char* data, const Line& line, qsizetype& from, qsizetype& to) {
    qsizetype b = line.begin;
    qsizetype e = line.contentEnd;
    trimRange(data, b, e);
    if (b >= e || data[b] != '[')
        return false;
    from = b + 1;
    const void* close = std::memchr(data + from, ']', static_cast<size_t>(e - from));
    to = close ? static_cast<const char*>(close) - data : e;
    trimRange(data, from, to);
    return true;
}

// Key line "key=value": returns true with the trimmed key and value ranges.
bool keyValue(const char* data, const Line& line, qsizetype& keyFrom, qsizetype& keyTo,
              qsizetype& valueFrom, qsizetype& valueTo) {
    qsizetype b = line.begin;
    qsizetype e = line.contentEnd;
    trimRange(data, b, e);
    if (b >= e || data[b] == '[' || data[b] == ';')
        return false;
    const void* eq = std::memchr(data + b, '=', static_cast<size_t>(e - b));
    if (!eq)
        return false;
    const qsizetype at = static_cast<const char*>(eq) - data;
    keyFrom = b;
    keyTo = at;
    trimRange(data, keyFrom, keyTo);
    valueFrom = at + 1;
    valueTo = e;
    trimRange(data, valueFrom, valueTo);
    return true;
}

bool sameName(const char* data, qsizetype from, qsizetype to, const QString& name) {
    // Cheap length check first: a name of n characters takes at least n bytes
    // and at most 4n bytes, so a very long line never gets decoded.
    const qsizetype bytes = to - from;
    if (bytes < name.size() || bytes > 4 * name.size() + 4)
        return false;
    return decode(data + from, bytes).compare(name, Qt::CaseInsensitive) == 0;
}

// What the profile functions hand back for a stored or default text.
QString cutValue(QString text, int bufferSize, bool* gotAny) {
    if (bufferSize < 1)
        text.clear();
    else if (text.size() > bufferSize - 1)
        text.truncate(bufferSize - 1);
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    if (gotAny)
        *gotAny = !text.isEmpty();
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\t'))
        --end;
    text.truncate(end);
    return text;
}

QByteArray oneLine(const QString& text) {
    QString clean = text;
    for (QChar& c : clean) {
        if (c == u'\r' || c == u'\n' || c == QChar(0))
            c = u' ';
    }
    return clean.toUtf8();
}

struct Found {
    int sectionLine = -1;     // index of the section header
    int lastSectionLine = -1; // last non-blank line inside the section
    int keyLine = -1;         // the key's line
};

Found locate(const QByteArray& bytes, const QList<Line>& lines, const QString& section,
             const QString& key) {
    Found found;
    const char* data = bytes.constData();
    bool inSection = false;
    for (int i = 0; i < lines.size(); ++i) {
        qsizetype from = 0;
        qsizetype to = 0;
        if (sectionName(data, lines[i], from, to)) {
            if (inSection)
                break; // the first section of that name is the one that counts
            if (sameName(data, from, to, section)) {
                inSection = true;
                found.sectionLine = i;
                found.lastSectionLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        qsizetype b = lines[i].begin;
        qsizetype e = lines[i].contentEnd;
        trimRange(data, b, e);
        if (b < e)
            found.lastSectionLine = i;
        qsizetype kf = 0, kt = 0, vf = 0, vt = 0;
        if (keyValue(data, lines[i], kf, kt, vf, vt) && sameName(data, kf, kt, key)) {
            found.keyLine = i;
            break;
        }
    }
    return found;
}

QByteArray readAll(const QString& path, bool* ok) {
    QFile file(path);
    if (!file.exists()) {
        *ok = true;
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return file.readAll();
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

QString IniFile::read(const QString& section, const QString& key, const QString& defaultValue,
                      int bufferSize, bool* gotAny) const {
    bool ok = false;
    const QByteArray bytes = readAll(path_, &ok);
    const QString wantedSection = section.trimmed();
    const QString keyName = key.trimmed();
    if (ok && !bytes.isEmpty() && !wantedSection.isEmpty() && !keyName.isEmpty()) {
        const QList<Line> lines = splitLines(bytes);
        const Found found = locate(bytes, lines, wantedSection, keyName);
        if (found.keyLine >= 0) {
            const char* data = bytes.constData();
            qsizetype kf = 0, kt = 0, vf = 0, vt = 0;
            keyValue(data, lines[found.keyLine], kf, kt, vf, vt);
            return cutValue(decode(data + vf, vt - vf), bufferSize, gotAny);
        }
    }
    // The profile functions also trim blanks from the default text.
    return cutValue(defaultValue.trimmed(), bufferSize, gotAny);
}

bool IniFile::write(const QString& section, const QString& key, const QString& value) {
    if (section.trimmed().isEmpty() || key.trimmed().isEmpty())
        return false;
    bool ok = false;
    QByteArray bytes = readAll(path_, &ok);
    if (!ok) {
        // Writing without the other keys would lose them: report instead.
        QFile file(path_);
        file.open(QIODevice::ReadOnly);
        lastError_ = path_ + QStringLiteral(": ") + file.errorString();
        return false;
    }

    const QByteArray keyLine = oneLine(key.trimmed()) + '=' + oneLine(value);
    const QList<Line> lines = splitLines(bytes);
    const Found found = locate(bytes, lines, section.trimmed(), key.trimmed());

    QByteArray out;
    out.reserve(bytes.size() + keyLine.size() + section.size() + 8);
    if (found.keyLine >= 0) {
        const Line& line = lines[found.keyLine];
        out.append(bytes.constData(), line.begin);
        out.append(keyLine);
        // A key on the last line without a line end gets one, like new lines.
        if (line.end > line.contentEnd)
            out.append(bytes.constData() + line.contentEnd, bytes.size() - line.contentEnd);
        else
            out.append("\r\n");
    } else if (found.sectionLine >= 0) {
        const Line& last = lines[found.lastSectionLine];
        out.append(bytes.constData(), last.end);
        if (last.end == last.contentEnd)
            out.append("\r\n");
        out.append(keyLine);
        out.append("\r\n");
        out.append(bytes.constData() + last.end, bytes.size() - last.end);
    } else {
        out = bytes;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out.append("\r\n");
        out.append('[');
        out.append(oneLine(section.trimmed()));
        out.append("]\r\n");
        out.append(keyLine);
        out.append("\r\n");
    }

    FileError error;
    if (writeFileSafely(path_, out, &error)) {
        lastError_.clear();
        return true;
    }
    lastError_ = error.message();
    return false;
}

} // namespace zel

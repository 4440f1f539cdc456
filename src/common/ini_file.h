#pragma once
// A small private-profile ("ini") file: sections in brackets, key=value
// lines. Reads and writes keep every other line of the file untouched;
// section and key names compare case-insensitively.
#include <QString>

namespace zel {

class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return path_; }

    // The value of `key` in `section`, or `defaultValue` when the file,
    // section or key is missing. Like the profile functions: at most
    // bufferSize - 1 characters come back, the text ends at its first NUL,
    // trailing blanks are removed. `gotAny` tells whether any character came
    // back. A missing, empty, binary or huge file never fails.
    QString read(const QString& section, const QString& key, const QString& defaultValue,
                 int bufferSize, bool* gotAny = nullptr) const;

    // Writes one key at once (temp file + rename). Carriage returns and line
    // feeds in the value are replaced by spaces, so a typed value cannot
    // start a new section or key. Returns false when the file could not be
    // written; lastError() then names the file and the system's reason.
    bool write(const QString& section, const QString& key, const QString& value);
    const QString& lastError() const { return lastError_; }

private:
    QString path_;
    QString lastError_;
};

} // namespace zel

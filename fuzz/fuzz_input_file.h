#pragma once
// The fuzzer's bytes as a file of the given name in a folder of its own, for
// the targets that read a file the program reads at every start.
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

namespace zel::fuzz {

// The file's path; empty when it could not be written.
inline QString inputFile(const QString& name, const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!dir.isValid() || !f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return {};
    return path;
}

} // namespace zel::fuzz

#pragma once
// Byte helpers shared by the codec and link tests.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace zel::test {

// "02 0F 0F 03" -> bytes.
inline QByteArray hex(const char* text) {
    QByteArray out;
    const QStringList parts = QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        out.append(static_cast<char>(p.toUInt(nullptr, 16)));
    return out;
}

inline QString toHex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace zel::test

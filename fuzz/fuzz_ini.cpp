// Feeds arbitrary bytes to everything that reads settings text: the profile
// file reader and writer, the leading-number reader and the date parser.
#include "common/datetime.h"
#include "common/ini_file.h"
#include "common/text.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    if (!dir.isValid())
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = dir.filePath(QStringLiteral("fuzz.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }

    zel::IniFile ini(path);
    bool got = false;
    const QString port = ini.read(QStringLiteral("Communication"), QStringLiteral("Port"),
                                  QStringLiteral("6"), 10, &got);
    zel::leadingInt16(port);
    ini.read(QStringLiteral("COMMON"), QStringLiteral("AudioAlarm"), QStringLiteral("1"), 2, &got);
    ini.read(QStringLiteral("common"), QStringLiteral("CommonFileName"),
             QStringLiteral("Data4Excel"), 30, &got);
    const QString threshold =
        ini.read(QStringLiteral("COMMON"), QStringLiteral("Threshold1"), QString(), 10, &got);
    const double value = zel::leadingNumber(threshold);
    zel::shortestText(value);
    zel::formatPicture(value, QStringLiteral("###0.00"));
    zel::formatPicture(value, QStringLiteral("0.00E+00"));
    zel::toInt32(value);

    // Writing must keep the file readable and the written key must read back.
    const QString written = QString::fromLatin1(bytes.left(40));
    if (ini.write(QStringLiteral("COMMON"), QStringLiteral("FileNumber"), written)) {
        const QString back =
            ini.read(QStringLiteral("COMMON"), QStringLiteral("FileNumber"), QString(), 100);
        if (back.contains(u'\n') || back.contains(u'\r'))
            __builtin_trap();
    }

    const QString asText = QString::fromUtf8(bytes);
    zel::leadingNumber(asText);
    zel::leadingNumber(QString::fromLatin1(bytes));
    if (const auto moment = zel::parseGeneralDateTime(asText))
        zel::toDayCount(*moment);
    zel::parseGeneralDateTime(asText.left(24));
    zel::fromDayCount(value);
    return 0;
}

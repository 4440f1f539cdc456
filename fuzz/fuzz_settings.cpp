// Any bytes as "Zel.ini": reading every key must neither crash nor hang,
// and values stay within the buffer sizes they are read with.
#include "data/settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("Zel.ini"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    zel::SettingsStore store(path);
    zel::Settings s;
    store.readFirst(s);
    store.readRest(s);
    const zel::Interval interval = store.readInterval();
    const zel::Legend legend = store.readLegend(QStringLiteral("1/2/2024"));
    (void)interval;
    // "AudioAlarm" and "strAutoarrange" are read one character long.
    if (s.AudioAlarm < 0 || s.AudioAlarm > 9 || s.AutoArrange < 0 || s.AutoArrange > 9)
        std::abort();
    if (s.CommonFileName.size() > 29 || legend.Department.size() > 19 ||
        legend.Location.size() > 19 || legend.Personnel.size() > 19 || legend.Detector.size() > 19)
        std::abort();
    return 0;
}

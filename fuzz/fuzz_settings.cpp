// Any bytes as "Zel.ini": reading every key must neither crash nor hang,
// and values stay within the buffer sizes they are read with.
#include "data/settings.h"

#include "fuzz_input_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = zel::fuzz::inputFile(QStringLiteral("Zel.ini"), data, size);
    if (path.isEmpty())
        return 0;
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

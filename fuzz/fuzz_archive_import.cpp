// Any bytes as a data file given to the archive's import: it never crashes,
// takes a file whole or not at all, and a second import adds nothing.
#include "archive/archive.h"
#include "archive/archive_files.h"
#include "common/datetime.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool pinned = [] {
        zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        return true;
    }();
    (void)pinned;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("input.csv"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    zel::Archive archive;
    if (!archive.open(zel::Archive::pathIn(dir.path())))
        std::abort();
    const zel::ImportResult first = zel::importDataFile(archive, file);
    const zel::Archive::Stats stats = archive.stats();
    if (!first.ok) {
        // Nothing of a refused file is kept.
        if (stats.readings != 0 || stats.rawReadings != 0)
            std::abort();
        return 0;
    }
    if (first.counts.added + first.counts.alreadyThere + first.counts.refused + first.unusable !=
            first.readingLines ||
        stats.readings != first.counts.added)
        std::abort();
    const zel::ImportResult again = zel::importDataFile(archive, file);
    if (!again.ok || again.counts.added != 0)
        std::abort();
    // Whatever went in reads back and reduces.
    const auto all = archive.readings(-(qint64(1) << 50), qint64(1) << 50);
    if (qint64(all.size()) != first.counts.added)
        std::abort();
    if (!all.empty())
        (void)archive.reduced(all.front().instantMs, all.back().instantMs + 1, 100);
    return 0;
}

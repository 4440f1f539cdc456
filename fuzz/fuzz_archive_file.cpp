// An archive file damaged on disk: the fuzzer's bytes flip bytes of a sound
// archive and may cut it short. Opening it either works or sets the file
// aside and starts a new one; either way the archive then takes a reading,
// answers queries and never crashes.
#include "archive/archive.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

// A small sound archive with readings, summaries and events, made once.
QByteArray soundArchive() {
    QTemporaryDir dir;
    const QString path = zel::Archive::pathIn(dir.path());
    {
        zel::Archive a;
        if (!a.open(path))
            std::abort();
        std::vector<zel::ArchivedReading> readings;
        for (int i = 0; i < 300; ++i) {
            zel::ArchivedReading r;
            r.instantMs = 1735689600000 + qint64(i) * 1000;
            r.family = QStringLiteral("Tarvo-5");
            r.instrumentId = QStringLiteral("T5");
            r.unit = i < 150 ? QStringLiteral("uSv/h") : QStringLiteral("cpm");
            r.value = i % 17;
            r.valueText = QString::number(i % 17);
            r.status = QStringLiteral("OK");
            readings.push_back(r);
        }
        a.add(readings, nullptr,
              {{1735689600000, zel::ArchiveEventKind::ContactLost, {}},
               {1735689700000, zel::ArchiveEventKind::ContactBack, {}}});
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QByteArray sound = soundArchive();
    QByteArray damaged = sound;
    // First two bytes: where to cut (0xffff: not at all); then pairs of a
    // position (two bytes) and a value.
    if (size >= 2) {
        const int cut = data[0] << 8 | data[1];
        if (cut != 0xffff)
            damaged.truncate(qsizetype(cut) * 16 % (damaged.size() + 1));
        for (size_t i = 2; i + 2 < size && !damaged.isEmpty(); i += 3)
            damaged[qsizetype((data[i] << 8 | data[i + 1]) % damaged.size())] = char(data[i + 2]);
    }
    QTemporaryDir dir;
    const QString path = zel::Archive::pathIn(dir.path());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 0;
        f.write(damaged);
    }
    zel::Archive archive;
    if (!archive.open(path))
        return 0; // refused and could not start anew: said in lastError()
    (void)archive.stats();
    (void)archive.reduced(1735689600000, 1735689900000, 50);
    (void)archive.readings(1735689600000, 1735689900000);
    (void)archive.gaps(0, 1735689900000);
    zel::ArchivedReading r;
    r.instantMs = 1735689600500;
    r.value = 1;
    r.valueText = QStringLiteral("1");
    (void)archive.add({r});
    (void)archive.integrityCheck();
    return 0;
}

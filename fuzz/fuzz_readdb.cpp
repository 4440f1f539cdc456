// Any bytes as a data file: the reader must neither crash, hang nor leave
// the series bounds; as a date text, the day counter must agree with the
// parser; and any seven texts written as a reading line must split back
// into the same seven texts.
#include "common/datetime.h"
#include "data/data_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool pinned = [] {
        zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        return true;
    }();
    (void)pinned;
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("fuzz.csv"));
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(bytes);
    }
    zel::Series series;
    const zel::Expected<int32_t> result = zel::readDataFile(path, series);
    if (series.lastIndex() < -1 || series.lastIndex() >= zel::Series::Capacity || !result ||
        *result < series.lastIndex() + 1)
        std::abort();

    (void)zel::splitDataLine(bytes);

    // The day counter's shortcuts answer as the parser does.
    if (size <= 96) {
        zel::DayCounter counter;
        const auto parsed = zel::parseGeneralDateTime(QString::fromUtf8(bytes));
        const auto counted = counter.dayCount(QByteArrayView(bytes));
        if (parsed.has_value() != counted.has_value() ||
            (parsed && zel::toDayCount(*parsed) != *counted))
            std::abort();
    }

    // Round trip of one reading line.
    QStringList parts = QString::fromUtf8(bytes).split(QChar(0x1f));
    while (parts.size() < 7)
        parts.append(QString());
    zel::MeasurementRecord r;
    r.InstrumentId = parts[0];
    r.ReadingTime = parts[1];
    r.Value = parts[2];
    r.Units = parts[3];
    r.Status = parts[4];
    r.Detector = parts[5];
    r.OverMark = parts.mid(6).join(QChar(0x1f));
    const QByteArray line = zel::readingLine(r);
    const QStringList back = zel::splitDataLine(line.chopped(2));
    const QStringList expected = {r.InstrumentId, r.ReadingTime, r.Value,   r.Units,
                                  r.Status,       r.Detector,    r.OverMark};
    if (back != expected)
        std::abort();
    return 0;
}

// Reading a data file back into the series (start-up, graph command) and the
// per-reading cost of the list step plus the flushed file line.
#include "common/datetime.h"
#include "data/data_files.h"
#include "data/measurement_list.h"
#include "protocol/portables.h"
#include "station/families.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// The time text of a reading: by default the program's own form.
using TimeText = QString (*)(const QDateTime&);

QString ownForm(const QDateTime& t) {
    return zel::formatGeneralDateTime(t);
}

// As the original program writes it on an English system: "h:mm:ss AM".
QString originalForm(const QDateTime& t) {
    return QLocale::c().toString(t, QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

QString writeDataFile(const QTemporaryDir& dir, int readings, TimeText timeText = ownForm) {
    const QString path = dir.filePath(QStringLiteral("bench%1.csv").arg(readings));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return path;
    zel::Legend legend;
    legend.Date = QStringLiteral("1/2/2024");
    f.write(zel::headerLines(legend, QString()));
    const QDateTime t0(QDate(2024, 1, 2), QTime(8, 0, 0));
    for (int n = 0; n < readings; ++n) {
        zel::MeasurementRecord r;
        r.InstrumentId = QStringLiteral("1234");
        r.ReadingTime = timeText(t0.addSecs(n));
        r.Value = QString::number(0.01 * (n % 500));
        r.Units = QStringLiteral("mR/h");
        r.Status = QStringLiteral("OK");
        r.Detector = QStringLiteral("GM");
        r.OverMark = QStringLiteral(" ");
        f.write(zel::readingLine(r));
    }
    return path;
}

void BM_ReadDb(benchmark::State& state) {
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    const QString path = writeDataFile(dir, int(state.range(0)));
    zel::Series series;
    for (auto _ : state) {
        const zel::Expected<int32_t> r = zel::readDataFile(path, series);
        benchmark::DoNotOptimize(r.value());
        if (r.value() != state.range(0))
            state.SkipWithError("wrong reading count");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadDb)->Arg(10001)->Arg(200000)->Unit(benchmark::kMillisecond);

// A file from the original program: its times take the general parser's road,
// which learns each date once.
void BM_ReadDbOriginalForm(benchmark::State& state) {
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    const QString path = writeDataFile(dir, int(state.range(0)), originalForm);
    zel::Series series;
    for (auto _ : state) {
        const zel::Expected<int32_t> r = zel::readDataFile(path, series);
        benchmark::DoNotOptimize(r.value());
        if (series.lastIndex() != std::min<int64_t>(state.range(0), 10001) - 1)
            state.SkipWithError("readings not read");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadDbOriginalForm)->Arg(10001)->Unit(benchmark::kMillisecond);

// The working file named by ZEL_BENCH_FILE, read as the program reads it at
// start-up; scripts/compare_readdb.py times other readers on the same file.
// The file is read in the date form of ZEL_BENCH_LOCALE ("sv_SE" for ISO
// dates), the computer's that wrote it, en_US when unset.
void BM_ReadDbFile(benchmark::State& state) {
    const QString path = qEnvironmentVariable("ZEL_BENCH_FILE");
    if (path.isEmpty()) {
        state.SkipWithError("ZEL_BENCH_FILE names no working file");
        return;
    }
    const QString locale = qEnvironmentVariable("ZEL_BENCH_LOCALE", QStringLiteral("en_US"));
    zel::setDateLocale(QLocale(locale));
    zel::Series series;
    int32_t readings = 0;
    for (auto _ : state) {
        const zel::Expected<int32_t> r = zel::readDataFile(path, series);
        if (!r.has_value()) {
            state.SkipWithError(qPrintable(r.error().text));
            break;
        }
        readings = r.value();
        benchmark::DoNotOptimize(series.lastIndex());
    }
    if (readings > 0 && series.lastIndex() < 0)
        state.SkipWithError("no reading time was understood");
    state.counters["readings"] = readings;
    state.SetItemsProcessed(state.iterations() * readings);
}
BENCHMARK(BM_ReadDbFile)->Unit(benchmark::kMillisecond);

void BM_AppendAndListStep(benchmark::State& state) {
    QTemporaryDir dir;
    zel::DataStore store(dir.filePath(QStringLiteral("ZelTemp.csv")));
    zel::Legend legend;
    store.openNewTempFile(zel::headerLines(legend, QString()));
    zel::MeasurementList list(zel::familyOrDefault(zel::Portables).list);
    zel::MeasurementRecord proto;
    proto.InstrumentId = QStringLiteral("1234");
    proto.ReadingTime = QStringLiteral("1/2/2024 08:00:00");
    proto.Value = QStringLiteral("0.25");
    proto.Units = QStringLiteral("mR/h");
    proto.Status = QStringLiteral("OK");
    proto.Detector = QStringLiteral("GM");
    proto.OverMark = QStringLiteral(" ");
    for (auto _ : state) {
        zel::MeasurementRecord r = proto;
        list.listStep(r, false, QString());
        store.takeReading(0, 0);
        if (!store.appendReading(r))
            state.SkipWithError("append failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AppendAndListStep);

} // namespace

BENCHMARK_MAIN();

// The station's record on a year of one-second readings (31.5 million, with
// gaps and spikes): drawing the whole year, zooming, an hour of raw
// readings, opening, bulk import and the bytes each reading takes on disk.
//
// The year is generated once into $ZEL_BENCH_DIR (default
// /tmp/zel-bench-archive) and reused by later runs; delete the folder to
// make it again. ZEL_BENCH_DAYS makes a shorter "year" for a quick look.
#include "archive/archive.h"
#include "archive/archive_files.h"
#include "archive/archive_writer.h"
#include "common/datetime.h"
#include "data/data_files.h"
#include "data/settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <random>

namespace {

constexpr qint64 MsPerDay = 86400000;
// 2025-01-01T00:00:00Z
constexpr qint64 YearStart = 1735689600000;

QString benchDir() {
    const QByteArray dir = qgetenv("ZEL_BENCH_DIR");
    return dir.isEmpty() ? QStringLiteral("/tmp/zel-bench-archive") : QString::fromLocal8Bit(dir);
}

int benchDays() {
    const int days = qEnvironmentVariableIntValue("ZEL_BENCH_DAYS");
    return days > 0 ? days : 365;
}

QString yearPath() {
    return benchDir() + QStringLiteral("/year/") + QLatin1String(zel::ArchiveFileName);
}

qint64 yearEnd() {
    return YearStart + benchDays() * MsPerDay;
}

// The instant of the one-second spike the zoom follows.
constexpr qint64 SpikeAt = YearStart + 200LL * MsPerDay + 13 * 3600000LL + 7 * 60000 + 42000;

// A reading each second, 0.08 to 0.14 uSv/h; a two-hour gap every nine
// days (lost contact, then back), a day without collection in the middle;
// a spike of one second every three days and the one the zoom follows.
void generateYear() {
    const QString path = yearPath();
    {
        zel::Archive probe;
        if (QFileInfo::exists(path) && probe.open(path, zel::Archive::OpenMode::Inspect) &&
            probe.meta(QStringLiteral("bench_days")) == QString::number(benchDays()))
            return;
    }
    QDir().mkpath(QFileInfo(path).path());
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    std::fprintf(stderr, "Generating %d days of one-second readings into %s ...\n", benchDays(),
                 qPrintable(path));
    zel::Archive archive;
    if (!archive.open(path)) {
        std::fprintf(stderr, "%s\n", qPrintable(archive.lastError()));
        std::exit(1);
    }
    std::mt19937 random(39);
    std::uniform_int_distribution<int> noise(8, 14);
    zel::ArchivedReading r;
    r.family = QStringLiteral("Tarvo-5");
    r.instrumentId = QStringLiteral("T5-0042");
    r.unit = QStringLiteral("uSv/h");
    r.status = QStringLiteral("OK");
    r.detector = QStringLiteral("GM");
    r.overMark = QStringLiteral(" ");
    r.alarmLevel = 0;
    std::vector<zel::ArchivedReading> batch;
    std::vector<zel::ArchiveEvent> events;
    const qint64 total = qint64(benchDays()) * 86400;
    qint64 written = 0;
    int32_t offset = 0;
    for (qint64 s = 0; s < total; ++s) {
        const qint64 t = YearStart + s * 1000;
        const qint64 day = s / 86400;
        const qint64 second = s % 86400;
        if (second % 3600 == 0)
            offset = QDateTime::fromMSecsSinceEpoch(t).offsetFromUtc();
        if (day % 9 == 4 && second >= 7200 && second < 14400) {
            if (second == 7200)
                events.push_back({t, zel::ArchiveEventKind::ContactLost, {}});
            if (second == 14399)
                events.push_back({t + 1000, zel::ArchiveEventKind::ContactBack, {}});
            continue;
        }
        if (day == 180) {
            if (second == 0)
                events.push_back({t, zel::ArchiveEventKind::CollectionStopped, {}});
            if (second == 86399)
                events.push_back({t + 1000, zel::ArchiveEventKind::CollectionStarted, {}});
            continue;
        }
        const bool spike = t == SpikeAt || (day % 3 == 1 && second == 40000);
        const int hundredths = spike ? 2500 : noise(random);
        r.instantMs = t;
        r.wallOffsetS = offset;
        r.value = hundredths / 100.0;
        r.valueText = QString::number(r.value, 'f', 2);
        r.alarmLevel = spike ? 2 : 0;
        batch.push_back(r);
        if (batch.size() >= 200000) {
            if (!archive.add(batch, nullptr, events)) {
                std::fprintf(stderr, "%s\n", qPrintable(archive.lastError()));
                std::exit(1);
            }
            written += qint64(batch.size());
            batch.clear();
            events.clear();
            if (written % 2000000 < 200000)
                std::fprintf(stderr, "  %lld readings\n", static_cast<long long>(written));
        }
    }
    archive.add(batch, nullptr, events);
    archive.setMeta(QStringLiteral("bench_days"), QString::number(benchDays()));
    sqlite3_wal_checkpoint_v2(archive.handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                              nullptr);
}

zel::Archive& year() {
    static zel::Archive* archive = [] {
        generateYear();
        auto* a = new zel::Archive;
        if (!a->open(yearPath(), zel::Archive::OpenMode::Inspect)) {
            std::fprintf(stderr, "%s\n", qPrintable(a->lastError()));
            std::exit(1);
        }
        return a;
    }();
    return *archive;
}

void BM_WholeYearGraph(benchmark::State& state) {
    zel::Archive& a = year();
    for (auto _ : state) {
        const zel::Archive::Reduced r = a.reduced(YearStart, yearEnd(), 1000);
        benchmark::DoNotOptimize(r.steps.data());
    }
}
BENCHMARK(BM_WholeYearGraph)->Unit(benchmark::kMillisecond);

// Each zoom halves the range around the spike: from the whole year down to
// a few minutes, the finest from the raw readings.
void BM_ZoomStep(benchmark::State& state) {
    zel::Archive& a = year();
    const qint64 span = (yearEnd() - YearStart) >> state.range(0);
    const qint64 from = std::max(YearStart, SpikeAt - span / 2);
    double top = 0;
    for (auto _ : state) {
        const zel::Archive::Reduced r = a.reduced(from, from + span, 1000);
        for (const auto& s : r.steps)
            top = std::max(top, s.count ? s.max : 0.0);
        benchmark::DoNotOptimize(r.steps.data());
    }
    state.counters["span_s"] = double(span / 1000);
    state.counters["spike_seen"] = top >= 25.0 ? 1 : 0;
}
BENCHMARK(BM_ZoomStep)->DenseRange(1, 17, 2)->Unit(benchmark::kMillisecond);

void BM_OneHourRaw(benchmark::State& state) {
    zel::Archive& a = year();
    const qint64 from = YearStart + 100 * MsPerDay + 5 * 3600000LL;
    size_t n = 0;
    for (auto _ : state) {
        const std::vector<zel::ArchivedReading> r = a.readings(from, from + 3600000 - 1);
        n = r.size();
        benchmark::DoNotOptimize(r.data());
    }
    state.counters["readings"] = double(n);
}
BENCHMARK(BM_OneHourRaw)->Unit(benchmark::kMillisecond);

void BM_OpenAtStart(benchmark::State& state) {
    year();
    for (auto _ : state) {
        zel::Archive a;
        if (!a.open(yearPath(), zel::Archive::OpenMode::Write))
            state.SkipWithError("open failed");
        benchmark::DoNotOptimize(a.isOpen());
    }
}
BENCHMARK(BM_OpenAtStart)->Unit(benchmark::kMillisecond);

void BM_BytesPerReading(benchmark::State& state) {
    zel::Archive& a = year();
    zel::Archive::Stats s;
    for (auto _ : state)
        s = a.stats();
    state.counters["readings"] = double(s.rawReadings);
    state.counters["bytes"] = double(s.fileBytes);
    state.counters["bytes_per_reading"] = double(s.fileBytes) / double(s.rawReadings);
    state.counters["gaps"] = double(s.gaps);
}
BENCHMARK(BM_BytesPerReading)->Iterations(1)->Unit(benchmark::kMillisecond);

// A data file of 500,000 readings into a new archive: reading the file,
// parsing, the dictionaries, the summaries, one transaction.
void BM_BulkImport(benchmark::State& state) {
    const int count = 500000;
    const QString dir = benchDir() + QStringLiteral("/import");
    QDir().mkpath(dir);
    const QString file = dir + QStringLiteral("/import.csv");
    if (!QFileInfo::exists(file)) {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write(zel::headerLines(zel::Legend{}, QString()));
        const QDateTime start(QDate(2025, 3, 1), QTime(0, 0));
        for (int i = 0; i < count; ++i) {
            zel::MeasurementRecord r;
            r.InstrumentId = QStringLiteral("T5-0042");
            r.ReadingTime = zel::formatGeneralDateTime(start.addSecs(i));
            r.Value = QString::number(0.08 + (i % 7) / 100.0, 'f', 2);
            r.Units = QStringLiteral("uSv/h");
            r.Status = QStringLiteral("OK");
            r.Detector = QStringLiteral("GM");
            r.OverMark = QStringLiteral(" ");
            f.write(zel::readingLine(r));
        }
    }
    const QString path = dir + QStringLiteral("/") + QLatin1String(zel::ArchiveFileName);
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
        zel::Archive a;
        a.open(path);
        state.ResumeTiming();
        const zel::ImportResult r = zel::importDataFile(a, file);
        if (!r.ok || r.counts.added != count)
            state.SkipWithError("import failed");
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_BulkImport)->Iterations(3)->Unit(benchmark::kMillisecond);

// What the live path adds to filing a reading: the hand-over to the writer
// (a copy into its queue); the writing itself is on the writer's thread.
void BM_LiveHandOver(benchmark::State& state) {
    const QString dir = benchDir() + QStringLiteral("/live");
    QDir().mkpath(dir);
    zel::ArchiveWriterOptions o;
    o.archivePath = dir + QStringLiteral("/") + QLatin1String(zel::ArchiveFileName);
    o.recordProgramLife = false;
    zel::ArchiveWriter writer(o);
    zel::FiledReading f;
    f.reading.setTaken(QDateTime::currentDateTime());
    f.reading.value = 0.12;
    f.record.InstrumentId = QStringLiteral("T5-0042");
    f.record.ReadingTime = zel::formatGeneralDateTime(QDateTime::currentDateTime());
    f.record.Value = QStringLiteral("0.12");
    f.record.Units = QStringLiteral("uSv/h");
    f.family = QStringLiteral("Tarvo-5");
    for (auto _ : state) {
        f.reading.time = f.reading.time.addMSecs(1);
        writer.file(f);
    }
    writer.flush(std::chrono::seconds(120));
}
BENCHMARK(BM_LiveHandOver);

} // namespace

int main(int argc, char** argv) {
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}

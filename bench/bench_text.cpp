// Throughput of the helpers that run once per reading or per settings key.
#include "common/datetime.h"
#include "common/ini_file.h"
#include "common/text.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <vector>

static void BM_LeadingNumber(benchmark::State& state) {
    const QString text = QStringLiteral("  12345.6789 mR/h");
    for (auto _ : state)
        benchmark::DoNotOptimize(zel::leadingNumber(text));
}
BENCHMARK(BM_LeadingNumber);

static void BM_ShortestText(benchmark::State& state) {
    double v = 0.01;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zel::shortestText(v));
        v += 0.37;
    }
}
BENCHMARK(BM_ShortestText);

static void BM_FormatPicture(benchmark::State& state) {
    double v = 0.01;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zel::formatPicture(v, QStringLiteral("###0.00")));
        v += 0.37;
    }
}
BENCHMARK(BM_FormatPicture);

static void BM_DateRoundTrip(benchmark::State& state) {
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime moment(QDate(2024, 3, 7), QTime(13, 5, 9));
    for (auto _ : state)
        benchmark::DoNotOptimize(zel::parseGeneralDateTime(zel::formatGeneralDateTime(moment)));
}
BENCHMARK(BM_DateRoundTrip);

// The reading intake's pair: one date-time written, then read as a day count.
static void BM_DateToDayCount(benchmark::State& state) {
    zel::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    std::vector<QDateTime> moments;
    for (int s = 0; s < 1000; ++s)
        moments.emplace_back(QDate(2024, 3, 7), QTime(13, 5, 9).addSecs(s));
    zel::DayCounter counter;
    size_t i = 0;
    for (auto _ : state) {
        const QString text = zel::formatGeneralDateTime(moments[i++ % moments.size()]);
        benchmark::DoNotOptimize(counter.dayCount(QStringView(text)));
    }
}
BENCHMARK(BM_DateToDayCount);

static void BM_IniRead(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Zel.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write("[COMMON]\r\nFileNumber=12\r\nThreshold1=0.2\r\nThreshold2=5\r\nInsType=1\r\n");
    file.close();
    zel::IniFile ini(path);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            ini.read(QStringLiteral("COMMON"), QStringLiteral("InsType"), QStringLiteral("0"), 6));
}
BENCHMARK(BM_IniRead);

BENCHMARK_MAIN();

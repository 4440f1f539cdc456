// The distribution window's work for one picture: the readings of a full
// store (100,001 records) taken from the window, binned, summarized and
// checked for counting statistics, as on line after every new reading; at
// ordinary counts and at 1e8 counts per reading, where the Poisson
// expectation is the costly part.
#include "graph/distribution.h"
#include "graph/graph_store.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

constexpr double Second = 1.0 / 86400;

// Readings every 10 s in cps whose counts scatter as Poisson counts of
// `meanCounts` do; every 97th is missing.
struct Full {
    std::vector<double> times, values;
    explicit Full(double meanCounts) {
        std::mt19937_64 rng(1);
        std::normal_distribution<double> counts(meanCounts, std::sqrt(meanCounts));
        for (int i = 0; i <= zel::graph::MaxLastIndex; ++i) {
            times.push_back(46000 + i * 10 * Second);
            values.push_back(i % 97 == 0 ? -1 : std::max(0.0, std::round(counts(rng))) / 10);
        }
    }
};

// Arguments: the bin rule, and the mean counts per reading.
void BM_DistributionOfFullStore(benchmark::State& state) {
    const Full data(double(state.range(1)));
    zel::graph::GraphStore store;
    zel::graph::LoadRequest r;
    r.seriesSlots[0].name = "Probe";
    r.seriesSlots[0].units = "cps";
    r.times = data.times;
    r.values[0] = data.values;
    r.lastIndex = zel::graph::MaxLastIndex;
    r.activeSeries = 0;
    store.load(r);
    store.windowToAll();
    const auto rule = zel::graph::BinRule(state.range(0));
    // A typed width of about a twentieth of the readings' deviation.
    const double typed = std::sqrt(double(state.range(1))) / 10 / 20;
    for (auto _ : state) {
        zel::graph::Distribution d = zel::graph::computeDistribution(
            zel::graph::collectWindowValues(store, 0, store.window()), QStringLiteral("cps"), rule,
            typed);
        benchmark::DoNotOptimize(d);
    }
}
BENCHMARK(BM_DistributionOfFullStore)
    ->Args({int(zel::graph::BinRule::FreedmanDiaconis), 100})
    ->Args({int(zel::graph::BinRule::Typed), 100})
    ->Args({int(zel::graph::BinRule::FreedmanDiaconis), 100000000})
    ->Args({int(zel::graph::BinRule::Typed), 100000000})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

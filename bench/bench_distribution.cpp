// The distribution window's work for one picture: the readings of a full
// store (100,001 records) taken from the window, binned, summarized and
// checked for counting statistics, as on line after every new reading.
#include "graph/distribution.h"
#include "graph/graph_store.h"

#include <benchmark/benchmark.h>
#include <random>

namespace {

constexpr double Second = 1.0 / 86400;

struct Full {
    std::vector<double> times, values;
    Full() {
        std::mt19937_64 rng(1);
        std::normal_distribution<double> counts(100, 10);
        for (int i = 0; i <= zel::graph::MaxLastIndex; ++i) {
            times.push_back(46000 + i * 10 * Second);
            values.push_back(i % 97 == 0 ? -1 : std::max(0.0, counts(rng)) / 10);
        }
    }
};

void BM_DistributionOfFullStore(benchmark::State& state) {
    const Full data;
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
    for (auto _ : state) {
        zel::graph::Distribution d = zel::graph::computeDistribution(
            zel::graph::collectWindowValues(store, 0, store.window()), QStringLiteral("cps"), rule,
            0.05);
        benchmark::DoNotOptimize(d);
    }
}
BENCHMARK(BM_DistributionOfFullStore)
    ->Arg(int(zel::graph::BinRule::FreedmanDiaconis))
    ->Arg(int(zel::graph::BinRule::Typed))
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

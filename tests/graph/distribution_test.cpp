// The distribution's figures against samples whose answers are known: the
// counting check on simulated decay, on a stuck and on a noisy counter, on
// hand-worked tables, and against the printed chi-square table.
#include "graph/distribution.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>
#include <random>

namespace zel::graph {
namespace {

// Poisson counts by Knuth's product of uniforms over a generator whose
// sequence the C++ standard fixes, so the sample is the same everywhere.
std::vector<double> poissonSample(double mean, int n, uint64_t seed) {
    std::mt19937_64 rng(seed);
    auto uniform = [&] { return double(rng() >> 11) * 0x1.0p-53; };
    std::vector<double> out;
    const double limit = std::exp(-mean);
    for (int i = 0; i < n; ++i) {
        int k = 0;
        for (double p = uniform(); p > limit; p *= uniform())
            ++k;
        out.push_back(k);
    }
    return out;
}

// Loads one series "Probe" in cps into slot 0, all records taken.
int32_t loadProbe(GraphStore& store, const std::vector<double>& times,
                  const std::vector<double>& values) {
    LoadRequest r;
    r.seriesSlots[0].name = QStringLiteral("Probe");
    r.seriesSlots[0].units = QStringLiteral("cps");
    r.times = times;
    r.values[0] = values;
    r.lastIndex = int32_t(times.size()) - 1;
    r.activeSeries = 0;
    return store.load(r);
}

TEST(DistributionCounting, KnownSamplesGetTheirVerdict) {
    std::vector<double> mixture = poissonSample(50, 200, 7);
    const std::vector<double> high = poissonSample(150, 200, 8);
    mixture.insert(mixture.end(), high.begin(), high.end());
    struct Case {
        const char* name;
        std::vector<double> counts;
        Verdict verdict;
    } cases[] = {
        {"decay at 100 counts", poissonSample(100, 500, 2), Verdict::AsExpected},
        {"decay at 3 counts", poissonSample(3, 300, 11), Verdict::AsExpected},
        {"stuck counter", std::vector<double>(60, 250.0), Verdict::TooLittleScatter},
        {"two sources mixed", mixture, Verdict::TooMuchScatter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto chi = chiSquareOfCounts(c.counts);
        ASSERT_TRUE(chi);
        EXPECT_EQ(chi->verdict, c.verdict) << chi->statistic << " p=" << chi->probability;
        EXPECT_EQ(chi->degrees, int(c.counts.size()) - 1);
    }
}

TEST(DistributionCounting, HandWorkedTablesAndThePrintedChiSquareTable) {
    struct Case {
        std::vector<double> counts;
        double statistic;
        double probability; // upper tail; < 0: only the bound matters
        Verdict verdict;
    } cases[] = {
        // Mean 100; squared deviations 78 and 828.
        {{98, 102, 95, 105, 100, 97, 103, 99, 101, 100}, 0.78, -1, Verdict::TooLittleScatter},
        {{90, 110, 85, 115, 100, 95, 105, 92, 108, 100}, 8.28, -1, Verdict::AsExpected},
        // Mean 10: sum of squares 2 * (1 + 4 + 9 + 16 + 25) = 110.
        {{5, 6, 7, 8, 9, 11, 12, 13, 14, 15}, 11.0, -1, Verdict::AsExpected},
        // Mean 9; (9-4)^2 + (9-14)^2 = 50 over 9: far too much for one degree.
        {{4, 14}, 50.0 / 9, -1, Verdict::TooMuchScatter},
    };
    for (const Case& c : cases) {
        const auto chi = chiSquareOfCounts(c.counts);
        ASSERT_TRUE(chi);
        EXPECT_NEAR(chi->statistic, c.statistic, 1e-9);
        EXPECT_EQ(chi->verdict, c.verdict) << chi->statistic;
    }
    // The printed table of chi-square: 9 degrees of freedom are exceeded
    // with probability 0.95 at 3.325 and 0.05 at 16.919; 19 degrees at
    // 10.117 and 30.144; 1 degree at 0.00393 and 3.841.
    struct Table {
        int degrees;
        double value, upperTail;
    } table[] = {{9, 3.325, 0.95},   {9, 16.919, 0.05},  {19, 10.117, 0.95},
                 {19, 30.144, 0.05}, {1, 0.00393, 0.95}, {1, 3.841, 0.05}};
    for (const Table& t : table) {
        // A table of (degrees + 1) counts with mean 100 whose chi-square is
        // t.value: all at the mean except two placed symmetrically.
        std::vector<double> counts(size_t(t.degrees + 1), 100.0);
        const double d = std::sqrt(t.value * 100 / 2);
        counts[0] -= d;
        counts[1] += d;
        const auto chi = chiSquareOfCounts(counts);
        ASSERT_TRUE(chi);
        EXPECT_NEAR(chi->statistic, t.value, 1e-9);
        EXPECT_NEAR(chi->probability, t.upperTail, 5e-4) << t.degrees << " " << t.value;
    }
}

TEST(DistributionCounting, RatesBecomeCountsAndOtherUnitsAreRefused) {
    // 10 s readings at 10 cps are 100 counts each: the same verdict as the
    // counts themselves, never one on the rates (which would scatter ten
    // times too little for their mean).
    const std::vector<double> counts = poissonSample(100, 300, 5);
    std::vector<double> perSecond, perMinute;
    for (double c : counts) {
        perSecond.push_back(c / 10);
        perMinute.push_back(c / 10 * 60);
    }
    const auto reference = chiSquareOfCounts(counts);
    ASSERT_TRUE(reference);
    struct Case {
        std::vector<double> values;
        const char* units;
        double interval;
        CountingRefusal refusal;
    } cases[] = {
        {perSecond, "cps       ", 10, CountingRefusal::None},
        {perSecond, "CPS", 10, CountingRefusal::None},
        {perMinute, "cpm", 10, CountingRefusal::None},
        {counts, "counts", 10, CountingRefusal::None},
        {counts, "counts", 0, CountingRefusal::None}, // counts need no count time
        {perSecond, "uSv/h     ", 10, CountingRefusal::NotCountRate},
        {perSecond, "mR/h", 10, CountingRefusal::NotCountRate},
        {perSecond, "cps", 0, CountingRefusal::NoInterval},
        {{5}, "cps", 10, CountingRefusal::TooFewReadings},
        {{0, 0, 0}, "cps", 10, CountingRefusal::NoCounts},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.units) + " " + std::to_string(c.interval));
        const CountingTest t = countingTest(c.values, c.units, c.interval);
        EXPECT_EQ(t.refusal, c.refusal);
        if (!t.offered())
            continue;
        EXPECT_NEAR(t.chi.statistic, reference->statistic, 1e-6);
        EXPECT_EQ(t.chi.verdict, reference->verdict);
        EXPECT_NEAR(t.dispersion, reference->statistic / reference->degrees, 1e-9);
        EXPECT_NEAR(t.meanCounts, std::accumulate(counts.begin(), counts.end(), 0.0) / 300, 1e-9);
    }
}

TEST(DistributionSummary, FiguresOfKnownSeries) {
    std::vector<double> hundredOne(101);
    std::iota(hundredOne.begin(), hundredOne.end(), 1.0);
    std::shuffle(hundredOne.begin(), hundredOne.end(), std::mt19937(3));
    struct Case {
        std::vector<double> values;
        double mean, median, p5, p95, q1, q3, minimum, maximum, deviation;
    } cases[] = {
        {hundredOne, 51, 51, 6, 96, 26, 76, 1, 101, std::sqrt(101.0 * 102 / 12)},
        {{4, 1, 3, 2}, 2.5, 2.5, 1.15, 3.85, 1.75, 3.25, 1, 4, std::sqrt(5.0 / 3)},
        {{7}, 7, 7, 7, 7, 7, 7, 7, 7, 0},
    };
    for (Case& c : cases) {
        const Summary s = summarize(c.values, 2);
        EXPECT_EQ(s.count, int(c.values.size()));
        EXPECT_EQ(s.leftOut, 2);
        EXPECT_NEAR(s.mean, c.mean, 1e-9);
        EXPECT_NEAR(s.median, c.median, 1e-9);
        EXPECT_NEAR(s.percentile5, c.p5, 1e-9);
        EXPECT_NEAR(s.percentile95, c.p95, 1e-9);
        EXPECT_NEAR(s.quartile1, c.q1, 1e-9);
        EXPECT_NEAR(s.quartile3, c.q3, 1e-9);
        EXPECT_EQ(s.minimum, c.minimum);
        EXPECT_EQ(s.maximum, c.maximum);
        EXPECT_NEAR(s.deviation, c.deviation, 1e-9);
        EXPECT_NEAR(s.standardError, c.deviation / std::sqrt(double(c.values.size())), 1e-9);
    }
}

TEST(DistributionSummary, WindowTakesItsReadingsAndCountsTheRestOut) {
    constexpr double Day0 = 46000, Second = 1.0 / 86400;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    std::vector<double> times, values{5, -1, 6, nan, 7, inf, 8, 9, 10, 11};
    for (int i = 0; i < 10; ++i)
        times.push_back(Day0 + i * 10 * Second);
    GraphStore store;
    ASSERT_GT(loadProbe(store, times, values), 0);
    struct Case {
        TimeWindow window;
        std::vector<double> values;
        int leftOut;
    } cases[] = {
        {{Day0, Day0 + 90 * Second}, {5, 6, 7, 8, 9, 10, 11}, 3},
        // Records 2 .. 6: two left out, yet the instrument still read every 10 s.
        {{Day0 + 15 * Second, Day0 + 65 * Second}, {6, 7, 8}, 2},
        {{Day0 + 200 * Second, Day0 + 300 * Second}, {}, 0},
    };
    for (const Case& c : cases) {
        const WindowValues w = collectWindowValues(store, 0, c.window);
        EXPECT_EQ(w.values, c.values);
        EXPECT_EQ(w.leftOut, c.leftOut);
        EXPECT_EQ(w.countTimes, std::vector<double>(c.values.size(), 10.0));
    }
    EXPECT_TRUE(collectWindowValues(store, 1, cases[0].window).values.empty());
}

TEST(DistributionHistogram, RulesBinEveryReadingOnce) {
    const std::vector<double> sample = poissonSample(100, 1000, 99);
    struct Case {
        const char* name;
        std::vector<double> values;
        BinRule rule;
        double typed;
        int bins; // 0: not checked
        double width;
    } cases[] = {
        // 1000 readings: ceil(log2 1000) + 1 = 11 bins over the range.
        {"sturges", sample, BinRule::Sturges, 0, 11, 0},
        {"typed", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, BinRule::Typed, 2.5, 4, 2.5},
        {"typed too fine", sample, BinRule::Typed, 1e-9, MaxBins, 0},
        {"typed not a width", {0, 10}, BinRule::Typed, -3, 0, 0},
        // 1 .. 8: quartiles 2.75 and 6.25, so 2 * 3.5 / 2 = 3.5 wide.
        {"freedman-diaconis", {1, 2, 3, 4, 5, 6, 7, 8}, BinRule::FreedmanDiaconis, 0, 2, 3.5},
        // No spread between the quartiles: Sturges over the range.
        {"quartiles equal", {5, 5, 5, 5, 5, 5, 5, 9}, BinRule::FreedmanDiaconis, 0, 4, 1},
        {"all equal", {3, 3, 3}, BinRule::FreedmanDiaconis, 0, 1, 1},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Summary s = summarize(c.values);
        const Histogram h = makeHistogram(c.values, s, c.rule, c.typed, 1);
        if (c.bins) {
            EXPECT_EQ(h.bins(), c.bins);
        }
        if (c.width > 0) {
            EXPECT_NEAR(h.width, c.width, 1e-9);
        }
        EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0), int(c.values.size()));
        for (double v : c.values)
            EXPECT_TRUE(v >= h.binFrom(0) && v <= h.binTo(h.bins() - 1)) << v;
        ASSERT_EQ(h.expectedPoisson.size(), h.counts.size());
        if (s.deviation > 0) {
            ASSERT_EQ(h.expectedNormal.size(), h.counts.size());
        }
    }
    // Over a sample of decay both expectations hold nearly every reading
    // and follow the histogram.
    std::vector<double> copy = sample;
    const Summary s = summarize(copy);
    const Histogram h = makeHistogram(sample, s, BinRule::FreedmanDiaconis, 0, 1);
    const double normal = std::accumulate(h.expectedNormal.begin(), h.expectedNormal.end(), 0.0);
    const double poisson = std::accumulate(h.expectedPoisson.begin(), h.expectedPoisson.end(), 0.0);
    EXPECT_GT(normal, 990);
    EXPECT_GT(poisson, 990);
    const auto peak = std::max_element(h.counts.begin(), h.counts.end()) - h.counts.begin();
    const auto poissonPeak = std::max_element(h.expectedPoisson.begin(), h.expectedPoisson.end()) -
                             h.expectedPoisson.begin();
    EXPECT_LE(std::abs(peak - poissonPeak), 1);
}

// Figures of a copy: summarize reorders what it is given.
Summary summaryOf(std::vector<double> values) {
    return summarize(values);
}

// Count times as the readings' own times tell them: the five steps around
// each reading decide, so a late reply or a pause of the collection is not
// taken for a count time, and a change of interval is followed.
TEST(DistributionCountTimes, EachReadingCountsFromTheRecordBefore) {
    constexpr double Day0 = 46000.5, Second = 1.0 / 86400;
    struct Case {
        const char* name;
        std::vector<double> seconds; // record times after Day0
        std::vector<double> countTimes;
    } cases[] = {
        // Polled at 0.1 s; the working file keeps the milliseconds.
        {"tenths", {0, 0.1, 0.2, 0.3, 0.4, 0.5}, std::vector<double>(6, 0.1)},
        {"10 s, then 60 s",
         {0, 10, 20, 30, 40, 50, 110, 170, 230, 290},
         {10, 10, 10, 10, 10, 10, 60, 60, 60, 60}},
        {"an hour's pause", {0, 10, 20, 30, 3630, 3640, 3650, 3660}, std::vector<double>(8, 10)},
        // Whole-second stamps of 1 s readings: a reply late by a moment.
        {"jitter", {0, 1, 2, 2, 4, 5, 6, 7}, std::vector<double>(8, 1)},
        // 0.5 s readings written without their milliseconds: not to be told.
        {"stamps without milliseconds", {0, 0, 1, 1, 2, 2}, {0, 0, 0, 0, 0, 0}},
        {"one record", {0}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> times, values;
        for (double t : c.seconds) {
            times.push_back(Day0 + t * Second);
            values.push_back(5);
        }
        GraphStore store;
        loadProbe(store, times, values);
        const WindowValues w =
            collectWindowValues(store, 0, TimeWindow{times.front(), times.back()});
        ASSERT_EQ(w.countTimes.size(), c.countTimes.size());
        for (size_t i = 0; i < c.countTimes.size(); ++i)
            EXPECT_NEAR(w.countTimes[i], c.countTimes[i], 1e-9) << i;
    }
}

// Expected figures computed with scipy 1.10 (python3-scipy of Debian 12):
// c = value * f with f = t (cps), t / 60 (cpm) or 1 (counts), r = sum c /
// sum t, statistic sum (c - r t)^2 / (r t), probability chi2.sf(statistic,
// n - 1), mean counts c.mean().
TEST(DistributionCounting, EachReadingCountsOverItsOwnTime) {
    const std::vector<double> tenThenSixty{10, 10, 10, 10, 10, 60, 60, 60, 60, 60};
    struct Case {
        const char* name;
        std::vector<double> values, times;
        const char* units;
        double statistic, probability, meanCounts;
        Verdict verdict;
    } cases[] = {
        {"cps",
         {9.8, 10.5, 9.2, 11.0, 10.1, 590.0 / 60, 615.0 / 60, 604.0 / 60, 588.0 / 60, 622.0 / 60},
         tenThenSixty,
         "cps",
         3.3524822695035463,
         0.94866788748360842,
         352.5,
         Verdict::AsExpected},
        {"cpm",
         {588, 630, 552, 660, 606, 590, 615, 604, 588, 622},
         tenThenSixty,
         "cpm",
         3.3524822695035463,
         0.94866788748360842,
         352.5,
         Verdict::AsExpected},
        {"counts",
         {98, 105, 92, 110, 101, 590, 615, 604, 588, 622},
         tenThenSixty,
         "counts",
         3.3524822695035463,
         0.94866788748360842,
         352.5,
         Verdict::AsExpected},
        // Counted for a tenth of a second each: taken as a whole second they
        // would read 37.9, probability 1.8e-5, "too much scatter".
        {"tenths",
         {40, 60, 50, 30, 70, 50, 40, 60, 50, 80},
         std::vector<double>(10, 0.1),
         "cps",
         3.7924528301886786,
         0.92453396347940164,
         5.3,
         Verdict::AsExpected},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CountingTest t = countingTest(c.values, c.units, c.times);
        ASSERT_TRUE(t.offered());
        EXPECT_NEAR(t.chi.statistic, c.statistic, 1e-9 * c.statistic);
        EXPECT_NEAR(t.chi.probability, c.probability, 1e-9);
        EXPECT_NEAR(t.meanCounts, c.meanCounts, 1e-9 * c.meanCounts);
        EXPECT_EQ(t.chi.degrees, int(c.values.size()) - 1);
        EXPECT_EQ(t.chi.verdict, c.verdict);
        EXPECT_EQ(t.countTimeSeconds, c.times.front());
        EXPECT_EQ(t.longestCountTimeSeconds, c.times.back());
    }
    // Rates whose count times cannot be told get no check; counts are then
    // taken as counted alike.
    const std::vector<double> unknown{10, 10, 0, 10};
    EXPECT_EQ(countingTest(cases[0].values, "cps", unknown).refusal, CountingRefusal::NoInterval);
    EXPECT_EQ(countingTest(cases[2].values, "counts", unknown).refusal, CountingRefusal::None);
}

// Bin counts computed with numpy 1.24: np.histogram(values, bins=edges),
// edges = start + np.arange(bins + 1) * width (start the lowest reading,
// bins = ceil(range / width)): a reading on an edge belongs to the bin above.
TEST(DistributionHistogram, ReadingsOnAnEdgeGoToTheBinAbove) {
    struct Case {
        std::vector<double> values;
        double width;
        std::vector<int32_t> counts;
    } cases[] = {
        // 252 + 15 * 4.4 is 318 exactly, while (318 - 252) / 4.4 is 14.999...
        {{252, 260, 275.5, 300, 318, 318, 330},
         4.4,
         {1, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, 1}},
        // 1.0 + 4 * 0.1 is 1.4 exactly, while (1.4 - 1.0) / 0.1 is 3.999...
        {{1.0, 1.1, 1.25, 1.4, 1.4, 1.7, 2.05}, 0.1, {1, 1, 1, 0, 2, 0, 1, 0, 0, 0, 1}},
    };
    for (Case& c : cases) {
        const Summary s = summaryOf(c.values);
        const Histogram h = makeHistogram(c.values, s, BinRule::Typed, c.width);
        EXPECT_EQ(h.counts, c.counts) << c.width;
    }
}

// Readings expected per bin under Poisson counting, computed with scipy:
// for each count time f readings (n of them, mean counts r f), bin [a, b)
// holds the counts ceil(a f) .. ceil(b f) - 1, the last bin [a, b] the
// counts up to floor(b f): n * (poisson.cdf(hi, r f) - poisson.cdf(lo, r f)).
TEST(DistributionHistogram, PoissonExpectationCountsTheClosedLastBin) {
    // Counts 0 1 0 2 0 1 in bins [0, 1) and [1, 2]: the last bin expects
    // n * (P(1) + P(2)), not n * P(1).
    const std::vector<double> counts{0, 1, 0, 2, 0, 1};
    Summary s = summaryOf(counts);
    Histogram h = makeHistogram(counts, s, BinRule::Typed, 1, 1);
    ASSERT_EQ(h.bins(), 2);
    EXPECT_NEAR(h.expectedPoisson[0], 3.080502714195552, 1e-12);
    EXPECT_NEAR(h.expectedPoisson[1], 2.7382246348404906, 1e-12);

    // Five readings of 10 s and five of 60 s, each expecting its own counts.
    const std::vector<double> rates{9.8,        10.5,       9.2,        11.0,       10.1,
                                    590.0 / 60, 615.0 / 60, 604.0 / 60, 588.0 / 60, 622.0 / 60};
    const CountingTest t =
        countingTest(rates, "cps", std::vector<double>{10, 10, 10, 10, 10, 60, 60, 60, 60, 60});
    ASSERT_EQ(t.groups.size(), 2u);
    s = summaryOf(rates);
    h = makeHistogram(rates, s, BinRule::Typed, 0.5, t.groups);
    const std::array<double, 4> expected{1.6237803742418271, 3.1800716374871056, 2.4997342193303167,
                                         1.1006278486243475};
    ASSERT_EQ(h.expectedPoisson.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_NEAR(h.expectedPoisson[k], expected[k], 1e-9) << k;
}

// Readings and means far beyond what the instruments send must still give
// figures: sums that cannot overflow, and Poisson probabilities at any mean.
TEST(DistributionLimits, HugeReadingsAndMeansGiveFigures) {
    // Mean and deviation computed with numpy on the readings times 2^-520.
    struct Case {
        std::vector<double> values;
        double mean, deviation;
    } cases[] = {
        {{100, 102, 98, 1.3e155}, 3.2500000000000002e+154, 6.5000000000000005e+154},
        {{1e300, 1.5e300, 1.2e300, 0.9e300, 1.7976931348623157e308},
         3.5953863617246315e+307,
         8.0395280530441061e+307},
    };
    for (Case& c : cases) {
        const Summary s = summarize(c.values);
        EXPECT_NEAR(s.mean, c.mean, 1e-14 * c.mean);
        EXPECT_NEAR(s.deviation, c.deviation, 1e-14 * c.deviation);
        const Histogram h = makeHistogram(c.values, s, BinRule::FreedmanDiaconis, 0, 10);
        EXPECT_EQ(std::accumulate(h.counts.begin(), h.counts.end(), 0), int(c.values.size()));
        for (double e : h.expectedNormal)
            EXPECT_TRUE(std::isfinite(e));
        const CountingTest t = countingTest(c.values, "cps", 10.0);
        ASSERT_TRUE(t.offered());
        EXPECT_EQ(t.chi.verdict, Verdict::TooMuchScatter);
    }
    // P(X <= k) for a Poisson mean, from scipy.stats.poisson.cdf.
    struct Cdf {
        double k, mean, probability;
    } cdfs[] = {
        {3, 2.5, 0.75757613313306615},
        {95, 100, 0.3311917340353065},
        {120, 100, 0.97733067092164727},
        {9700, 1e4, 0.0013128567774713174},
        {10250, 1e4, 0.99372534018094472},
        {99700, 1e5, 0.17180710878311053},
        {100000, 1e5, 0.50084104309934008},
        {99980000, 1e8, 0.02275013185818427},
        {100010000, 1e8, 0.84135684399986732},
        {19999850000, 2e10, 0.1444229533538719},
        {20000300000, 2e10, 0.98305254846102275},
        {1000000030000000, 1e15, 0.82860914858216339},
        {999999940000000, 1e15, 0.02888978570082229},
        {-1, 5, 0},
        {1e300, 5, 1},
        {0, 1e300, 0},
    };
    for (const Cdf& c : cdfs)
        EXPECT_NEAR(poissonAtMost(c.k, c.mean), c.probability, 1e-6) << c.k << " " << c.mean;
}

} // namespace
} // namespace zel::graph

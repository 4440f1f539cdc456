#pragma once
// The distribution of the readings of the window on screen: a histogram,
// the summary figures, and for count rates the chi-square test of counting
// statistics (do the readings scatter as radioactive decay does?). Pure
// data: the distribution window shows what this computes.
#include "graph/graph_store.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zel::graph {

// The valid readings of one series in a time window, and how many were left
// out because they were missing (-1) or not finite numbers.
struct WindowValues {
    std::vector<double> values;
    int32_t leftOut = 0;
    // Seconds each reading counted, one per value: the time since the record
    // before it, taken as the median of the five steps around it so that a
    // late reply or a pause of the collection does not stand for a count
    // time. 0 where it cannot be told (a lone record, readings sharing one
    // time stamp). Kept to the millisecond.
    std::vector<double> countTimes;
};

WindowValues collectWindowValues(const GraphStore& store, int slot, const TimeWindow& window);

struct Summary {
    int32_t count = 0;
    int32_t leftOut = 0;
    double mean = 0, median = 0, deviation = 0, standardError = 0;
    double minimum = 0, maximum = 0;
    double percentile5 = 0, percentile95 = 0;
    double quartile1 = 0, quartile3 = 0;
};

// Figures of `values` (valid readings only). Percentiles interpolate
// linearly between the ordered readings. `values` is reordered.
Summary summarize(std::span<double> values, int32_t leftOut = 0);

enum class BinRule { FreedmanDiaconis, Sturges, Typed };

// More bins than this tell nothing on a screen and cost memory: a typed
// width that would need more is widened.
constexpr int32_t MaxBins = 500;

// How a series is counted, taken from its units.
enum class CountUnit { None, PerSecond, PerMinute, Counts };
CountUnit countUnitOf(const QString& units);

struct Histogram {
    double start = 0; // lower edge of the first bin
    double width = 1;
    std::vector<int32_t> counts;
    // Readings expected in each bin for a normal distribution of the
    // window's mean and deviation, and (count rates only) for Poisson
    // counting at that mean; empty when not drawn.
    std::vector<double> expectedNormal;
    std::vector<double> expectedPoisson;
    int32_t bins() const { return int32_t(counts.size()); }
    double binFrom(int32_t k) const { return start + k * width; }
    double binTo(int32_t k) const { return start + (k + 1) * width; }
    int32_t highest() const;
};

// Readings that counted alike for the Poisson expectation: `readings` of
// them, each converted to counts by `countsPerReading`, expecting
// `meanCounts` counts.
struct PoissonGroup {
    double countsPerReading = 0;
    double meanCounts = 0;
    int32_t readings = 0;
};

// Bins `values` with the rule; `typedWidth` is used for BinRule::Typed and
// must be positive (else Freedman-Diaconis). Rules that give no width (all
// readings equal, or no spread between the quartiles) fall back to Sturges,
// then to one bin of width 1 around the value. Bin k holds the readings from
// its lower edge start + k * width up to below the next edge; the last bin
// also holds its upper edge. `poisson` gives the Poisson expectation (empty:
// none).
Histogram makeHistogram(std::span<const double> values, const Summary& summary, BinRule rule,
                        double typedWidth, std::span<const PoissonGroup> poisson);
// The same with one count time for every reading: `countsPerReading`
// converts a reading to counts (0: no Poisson expectation).
Histogram makeHistogram(std::span<const double> values, const Summary& summary, BinRule rule,
                        double typedWidth = 0, double countsPerReading = 0);

// Probability of at most `k` counts when `mean` are expected. Exact up to
// large means, then the Wilson-Hilferty normal approximation, which holds
// there to far better than a reading can be drawn. Never throws.
double poissonAtMost(double k, double mean);

enum class Verdict { AsExpected, TooLittleScatter, TooMuchScatter };

struct ChiSquare {
    double statistic = 0;
    int32_t degrees = 0;
    // Probability that Poisson counting gives this much scatter or more.
    double probability = 0;
    Verdict verdict = Verdict::AsExpected;
};

// Chi-square of a table of counts against Poisson scatter around their mean:
// sum (x - mean)^2 / mean with n - 1 degrees of freedom. Needs at least two
// counts and a positive mean. With `factor`, the counts are factor * x
// (rates times their count time) without a copy being made.
std::optional<ChiSquare> chiSquareOfCounts(std::span<const double> counts, double factor = 1);

// Chi-square of readings that counted over different times: reading i is
// values[i] * factors[i] counts, expected r * factors[i] with the common
// rate r = sum of counts / sum of factors, and the statistic is
// sum (c - r f)^2 / (r f) with n - 1 degrees of freedom. Computed on scaled
// values, so no reading is too large for it.
std::optional<ChiSquare> chiSquareOfCounts(std::span<const double> values,
                                           std::span<const double> factors);

// Why the counting test is not shown.
enum class CountingRefusal { None, NotCountRate, NoInterval, TooFewReadings, NoCounts };

struct CountingTest {
    CountingRefusal refusal = CountingRefusal::NotCountRate;
    CountUnit unit = CountUnit::None;
    // Shortest and longest time a reading counted; equal when all counted
    // alike.
    double countTimeSeconds = 0;
    double longestCountTimeSeconds = 0;
    double meanCounts = 0;
    double dispersion = 0; // chi-square per degree of freedom
    ChiSquare chi;
    // The readings grouped by their count time, for the Poisson expectation.
    std::vector<PoissonGroup> groups;
    bool offered() const { return refusal == CountingRefusal::None; }
};

// The counting test of readings in `units`, reading i counted over
// countTimes[i] seconds: count rates become counts first (cps times seconds,
// cpm times minutes), since the test compares a variance with the mean
// number of counts. Readings in counts need no count time: when a count time
// cannot be told (0) they are taken as counted alike. The values are not
// changed.
CountingTest countingTest(std::span<const double> values, const QString& units,
                          std::span<const double> countTimes);
// The same with one count time for every reading.
CountingTest countingTest(std::span<const double> values, const QString& units,
                          double countTimeSeconds);

// Everything the distribution window shows.
struct Distribution {
    Summary summary;
    Histogram histogram;
    CountingTest counting;
};

Distribution computeDistribution(WindowValues data, const QString& units, BinRule rule,
                                 double typedWidth = 0);

} // namespace zel::graph

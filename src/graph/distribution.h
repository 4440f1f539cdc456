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
    // Typical spacing of the readings (median of the time steps), seconds;
    // 0 when there are fewer than two readings.
    double intervalSeconds = 0;
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

// Bins `values` with the rule; `typedWidth` is used for BinRule::Typed and
// must be positive (else Freedman-Diaconis). Rules that give no width (all
// readings equal, or no spread between the quartiles) fall back to Sturges,
// then to one bin of width 1 around the value. `countsPerReading` converts a
// reading to counts for the Poisson expectation (0: none).
Histogram makeHistogram(std::span<const double> values, const Summary& summary, BinRule rule,
                        double typedWidth = 0, double countsPerReading = 0);

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

// Why the counting test is not shown.
enum class CountingRefusal { None, NotCountRate, NoInterval, TooFewReadings, NoCounts };

struct CountingTest {
    CountingRefusal refusal = CountingRefusal::NotCountRate;
    CountUnit unit = CountUnit::None;
    double countTimeSeconds = 0; // time each reading counted
    double countsPerReading = 0; // factor from a reading to counts
    double meanCounts = 0;
    double dispersion = 0; // variance / mean of the counts
    ChiSquare chi;
    bool offered() const { return refusal == CountingRefusal::None; }
};

// The counting test of readings in `units`, each counted over
// `intervalSeconds`: count rates become counts first (cps times seconds,
// cpm times minutes), since the test compares a variance with the mean
// number of counts. The values are not changed.
CountingTest countingTest(std::span<const double> values, const QString& units,
                          double intervalSeconds);

// Everything the distribution window shows.
struct Distribution {
    Summary summary;
    Histogram histogram;
    CountingTest counting;
    double intervalSeconds = 0;
};

Distribution computeDistribution(WindowValues data, const QString& units, BinRule rule,
                                 double typedWidth = 0);

} // namespace zel::graph

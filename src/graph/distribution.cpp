#include "graph/distribution.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/poisson.hpp>
#include <cmath>
#include <numeric>

namespace zel::graph {

namespace {

constexpr double SecondsPerDay = 86400;
// The usual bounds of the counting check: scatter this unlikely either way
// points at the instrument, not at chance.
constexpr double LowBound = 0.05;
constexpr double HighBound = 0.95;
constexpr int32_t IntervalSamples = 4096;

// Value at fraction `p` of the ordered readings, interpolating between the
// two nearest ranks. Partitions `v` so that later, higher fractions are
// found among fewer readings.
double quantileOf(std::span<double> v, double p, size_t& sortedFrom) {
    const double rank = p * double(v.size() - 1);
    const auto lo = size_t(std::floor(rank));
    const double frac = rank - double(lo);
    auto first = v.begin() + std::ptrdiff_t(std::min(sortedFrom, lo));
    std::nth_element(first, v.begin() + std::ptrdiff_t(lo), v.end());
    sortedFrom = lo;
    const double a = v[lo];
    if (frac == 0 || lo + 1 >= v.size())
        return a;
    // The next rank is the smallest value above position lo.
    const double b = *std::min_element(v.begin() + std::ptrdiff_t(lo + 1), v.end());
    return a + frac * (b - a);
}

} // namespace

WindowValues collectWindowValues(const GraphStore& store, int slot, const TimeWindow& window) {
    WindowValues out;
    if (slot < 0 || slot >= SlotCount || !store.seriesSlots[size_t(slot)].isNamed())
        return out;
    // The instrument's interval shows between all records, also those whose
    // value is missing. A few thousand steps spread over the window give
    // the same median as all of them, at a fraction of the work.
    int32_t first = 0, last = store.lastIndex();
    while (first <= last && store.rawTime(first) < window.start)
        ++first;
    while (last >= first && store.rawTime(last) > window.end)
        --last;
    std::vector<double> steps;
    const int32_t stride = std::max<int32_t>(1, (last - first) / IntervalSamples);
    for (int32_t i = first + 1; i <= last; i += stride) {
        const double step = (store.rawTime(i) - store.rawTime(i - 1)) * SecondsPerDay;
        if (step > 0)
            steps.push_back(step);
    }
    out.values.reserve(size_t(std::max(0, last - first + 1)));
    for (int32_t i = first; i <= last; ++i) {
        const double t = store.rawTime(i);
        if (t < window.start || t > window.end)
            continue;
        const double v = store.rawValue(slot, i);
        if (!isValue(v)) {
            ++out.leftOut;
            continue;
        }
        out.values.push_back(v);
    }
    if (!steps.empty()) {
        const auto mid = steps.begin() + std::ptrdiff_t(steps.size() / 2);
        std::nth_element(steps.begin(), mid, steps.end());
        // Times are kept to the second; rounding takes off the day-count noise.
        out.intervalSeconds = std::max(1.0, std::round(*mid));
    }
    return out;
}

Summary summarize(std::span<double> values, int32_t leftOut) {
    Summary s;
    s.leftOut = leftOut;
    s.count = int32_t(values.size());
    if (values.empty())
        return s;
    // Two passes, the squares taken about the mean: as stable as a running
    // mean for long series and large values, without a division per reading.
    double sum = 0;
    s.minimum = s.maximum = values[0];
    for (double v : values) {
        s.minimum = std::min(s.minimum, v);
        s.maximum = std::max(s.maximum, v);
        sum += v;
    }
    const double mean = sum / double(values.size());
    double m2 = 0;
    for (double v : values)
        m2 += (v - mean) * (v - mean);
    s.mean = mean;
    s.deviation = s.count > 1 ? std::sqrt(std::max(m2, 0.0) / (s.count - 1)) : 0;
    s.standardError = s.deviation / std::sqrt(double(s.count));
    size_t from = 0;
    s.percentile5 = quantileOf(values, 0.05, from);
    s.quartile1 = quantileOf(values, 0.25, from);
    s.median = quantileOf(values, 0.5, from);
    s.quartile3 = quantileOf(values, 0.75, from);
    s.percentile95 = quantileOf(values, 0.95, from);
    return s;
}

CountUnit countUnitOf(const QString& units) {
    QString u = units.trimmed().toLower();
    if (u.size() > 3 && u.startsWith(u'k'))
        u.remove(0, 1); // readings in thousands units arrive already converted
    if (u == QLatin1String("cps") || u == QLatin1String("c/s"))
        return CountUnit::PerSecond;
    if (u == QLatin1String("cpm") || u == QLatin1String("c/min"))
        return CountUnit::PerMinute;
    if (u == QLatin1String("counts") || u == QLatin1String("count") || u == QLatin1String("cts"))
        return CountUnit::Counts;
    return CountUnit::None;
}

int32_t Histogram::highest() const {
    int32_t top = 0;
    for (int32_t c : counts)
        top = std::max(top, c);
    return top;
}

Histogram makeHistogram(std::span<const double> values, const Summary& summary, BinRule rule,
                        double typedWidth, double countsPerReading) {
    Histogram h;
    if (values.empty())
        return h;
    const double n = double(values.size());
    const double range = summary.maximum - summary.minimum;
    double width = 0;
    if (rule == BinRule::Typed && typedWidth > 0 && std::isfinite(typedWidth))
        width = typedWidth;
    else if (rule != BinRule::Sturges)
        width = 2 * (summary.quartile3 - summary.quartile1) / std::cbrt(n);
    if (!(width > 0) && range > 0)
        width = range / (std::ceil(std::log2(n)) + 1);
    if (!(width > 0)) {
        // Every reading is the same: one bin around it.
        h.start = summary.minimum - 0.5;
        h.width = 1;
        h.counts.assign(1, int32_t(values.size()));
    } else {
        width = std::max(width, range / MaxBins);
        // The highest reading closes the last bin rather than opening one
        // of its own.
        const auto bins =
            std::clamp<int64_t>(int64_t(std::ceil(range / width * (1 - 1e-12))), 1, MaxBins);
        h.start = summary.minimum;
        h.width = width;
        h.counts.assign(size_t(bins), 0);
        for (double v : values) {
            const auto k = std::clamp<int64_t>(int64_t((v - h.start) / width), 0, bins - 1);
            ++h.counts[size_t(k)];
        }
    }
    if (summary.deviation > 0) {
        const boost::math::normal normal(summary.mean, summary.deviation);
        h.expectedNormal.resize(h.counts.size());
        for (int32_t k = 0; k < h.bins(); ++k)
            h.expectedNormal[size_t(k)] =
                n * (boost::math::cdf(normal, h.binTo(k)) - boost::math::cdf(normal, h.binFrom(k)));
    }
    const double meanCounts = summary.mean * countsPerReading;
    if (countsPerReading > 0 && meanCounts > 0) {
        // A bin of readings [a, b) holds the whole counts from a*f up to
        // below b*f.
        const boost::math::poisson poisson(meanCounts);
        auto below = [&](double reading) {
            const double c = std::ceil(reading * countsPerReading - 1e-9) - 1;
            return c < 0 ? 0.0 : boost::math::cdf(poisson, c);
        };
        h.expectedPoisson.resize(h.counts.size());
        for (int32_t k = 0; k < h.bins(); ++k)
            h.expectedPoisson[size_t(k)] = n * (below(h.binTo(k)) - below(h.binFrom(k)));
    }
    return h;
}

std::optional<ChiSquare> chiSquareOfCounts(std::span<const double> counts, double factor) {
    if (counts.size() < 2 || !(factor > 0))
        return std::nullopt;
    const double mean = std::accumulate(counts.begin(), counts.end(), 0.0) / double(counts.size());
    if (!(mean * factor > 0))
        return std::nullopt;
    double sum = 0;
    for (double c : counts)
        sum += (c - mean) * (c - mean);
    ChiSquare chi;
    // Of the counts factor * x: factor^2 * sum / (factor * mean).
    chi.statistic = factor * sum / mean;
    chi.degrees = int32_t(counts.size() - 1);
    const boost::math::chi_squared dist(chi.degrees);
    chi.probability = boost::math::cdf(boost::math::complement(dist, chi.statistic));
    if (chi.probability < LowBound)
        chi.verdict = Verdict::TooMuchScatter;
    else if (chi.probability > HighBound)
        chi.verdict = Verdict::TooLittleScatter;
    return chi;
}

CountingTest countingTest(std::span<const double> values, const QString& units,
                          double intervalSeconds) {
    CountingTest test;
    test.unit = countUnitOf(units);
    switch (test.unit) {
    case CountUnit::None:
        test.refusal = CountingRefusal::NotCountRate;
        return test;
    case CountUnit::Counts:
        test.countsPerReading = 1;
        break;
    case CountUnit::PerSecond:
        test.countsPerReading = intervalSeconds;
        break;
    case CountUnit::PerMinute:
        test.countsPerReading = intervalSeconds / 60;
        break;
    }
    test.countTimeSeconds = intervalSeconds;
    if (!(test.countsPerReading > 0)) {
        test.refusal = CountingRefusal::NoInterval;
        return test;
    }
    if (values.size() < 2) {
        test.refusal = CountingRefusal::TooFewReadings;
        return test;
    }
    const std::optional<ChiSquare> chi = chiSquareOfCounts(values, test.countsPerReading);
    if (!chi) {
        test.refusal = CountingRefusal::NoCounts;
        return test;
    }
    test.chi = *chi;
    test.refusal = CountingRefusal::None;
    test.dispersion = chi->statistic / chi->degrees;
    const double mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    test.meanCounts = mean * test.countsPerReading;
    return test;
}

Distribution computeDistribution(WindowValues data, const QString& units, BinRule rule,
                                 double typedWidth) {
    Distribution d;
    d.intervalSeconds = data.intervalSeconds;
    d.counting = countingTest(data.values, units, data.intervalSeconds);
    d.summary = summarize(data.values, data.leftOut);
    d.histogram = makeHistogram(data.values, d.summary, rule, typedWidth,
                                d.counting.offered() ? d.counting.countsPerReading : 0);
    return d;
}

} // namespace zel::graph

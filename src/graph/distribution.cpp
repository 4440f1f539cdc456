#include "graph/distribution.h"

#include <algorithm>
#include <array>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/poisson.hpp>
#include <cmath>
#include <limits>
#include <numeric>

namespace zel::graph {

namespace {

constexpr double SecondsPerDay = 86400;
// The usual bounds of the counting check: scatter this unlikely either way
// points at the instrument, not at chance.
constexpr double LowBound = 0.05;
constexpr double HighBound = 0.95;
// Steps around a reading whose median is its count time: two before and two
// after its own.
constexpr int32_t CountTimeReach = 2;
// Above this mean the Poisson cdf is the Wilson-Hilferty approximation
// (off by less than 1e-6 in probability from here on); below it the exact
// one, which grows slow for large means and gives up on huge ones.
constexpr double ApproximatePoissonFrom = 1e4;
// Probabilities beyond this many standard deviations of a Poisson mean are
// 0 or 1 to double precision: they are not asked of the library.
constexpr double PoissonTailDeviations = 40;

// Errors of the library come back as NaN or infinity, never as exceptions:
// the callers are event handlers.
using NoThrow = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>>;

// Power of two near the largest magnitude of a series: dividing by it is
// exact and keeps sums and squares of any finite readings finite.
double scaleOf(double largest) {
    if (!(largest > 0) || !std::isfinite(largest))
        return 1;
    // largest = m * 2^exponent with m in [0.5, 1): the scaled readings are
    // below 2, and 2^(exponent - 1) is finite even for the largest double.
    int exponent = 0;
    std::frexp(largest, &exponent);
    return std::ldexp(1.0, exponent - 1);
}

// Standard normal cdf; erfc keeps the lower tail exact.
double normalCdf(double z) {
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

// A product of a reading and a factor that should be a whole number of
// counts but came out a few units of the last place beside it.
double snappedCounts(double x) {
    const double whole = std::round(x);
    const double ulp =
        std::nextafter(std::abs(x), std::numeric_limits<double>::infinity()) - std::abs(x);
    return std::abs(x - whole) <= 4 * ulp ? whole : x;
}

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
    int32_t first = 0, last = store.lastIndex();
    while (first <= last && store.rawTime(first) < window.start)
        ++first;
    while (last >= first && store.rawTime(last) > window.end)
        --last;
    if (first > last)
        return out;
    // Steps of records first - reach .. last + reach, each the time from the
    // record before, to the millisecond the working file keeps (the day
    // count's own rounding is far below it). Records whose value is missing
    // count too: the instrument still read then.
    const int32_t from = std::max(1, first - CountTimeReach);
    const int32_t to = std::min(store.lastIndex(), last + CountTimeReach);
    auto stepAt = [&](int32_t i) {
        return std::round((store.rawTime(i) - store.rawTime(i - 1)) * SecondsPerDay * 1000) / 1000;
    };
    auto countTimeOf = [&](int32_t i) {
        // Nearly always the steps on both sides agree with the reading's own.
        if (i - 1 >= from && i + 1 <= to) {
            const double own = stepAt(i);
            if (stepAt(i - 1) == own && stepAt(i + 1) == own)
                return std::max(0.0, own);
        }
        std::array<double, 2 * CountTimeReach + 1> around{};
        size_t n = 0;
        for (int32_t j = std::max(from, i - CountTimeReach); j <= std::min(to, i + CountTimeReach);
             ++j)
            around[n++] = stepAt(j);
        if (n == 0)
            return 0.0;
        // The lower middle of an even number: a reading at the end of the
        // store between a short and a long step takes the short one.
        const auto mid = around.begin() + std::ptrdiff_t((n - 1) / 2);
        std::nth_element(around.begin(), mid, around.begin() + std::ptrdiff_t(n));
        return std::max(0.0, *mid);
    };
    out.values.reserve(size_t(last - first + 1));
    out.countTimes.reserve(size_t(last - first + 1));
    for (int32_t i = first; i <= last; ++i) {
        const double v = store.rawValue(slot, i);
        if (!isValue(v)) {
            ++out.leftOut;
            continue;
        }
        out.values.push_back(v);
        out.countTimes.push_back(countTimeOf(i));
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
    // The sums run on the readings divided by a power of two near the
    // largest, which is exact and keeps a reading of 1e300 from making the
    // sum of squares infinite.
    s.minimum = s.maximum = values[0];
    double largest = 0;
    for (double v : values) {
        s.minimum = std::min(s.minimum, v);
        s.maximum = std::max(s.maximum, v);
        largest = std::max(largest, std::abs(v));
    }
    const double scale = scaleOf(largest);
    double sum = 0;
    for (double v : values)
        sum += v / scale;
    const double mean = sum / double(values.size());
    double m2 = 0;
    for (double v : values) {
        const double d = v / scale - mean;
        m2 += d * d;
    }
    s.mean = mean * scale;
    s.deviation = s.count > 1 ? std::sqrt(std::max(m2, 0.0) / (s.count - 1)) * scale : 0;
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

double poissonAtMost(double k, double mean) {
    k = std::floor(k);
    if (k < 0 || !(mean >= 0))
        return 0;
    if (mean == 0)
        return 1;
    const double spread = PoissonTailDeviations * (std::sqrt(mean) + 1);
    if (k >= mean + spread)
        return 1;
    if (k < mean - spread)
        return 0;
    if (mean <= ApproximatePoissonFrom) {
        const boost::math::poisson_distribution<double, NoThrow> poisson(mean);
        const double p = boost::math::cdf(poisson, k);
        return std::isfinite(p) ? std::clamp(p, 0.0, 1.0) : 0;
    }
    // P(X <= k) = P(Gamma(k + 1) > mean); the cube root of a gamma variable
    // is nearly normal. The difference of the cube root from 1 is taken
    // through log1p and expm1, as it is tiny next to 1 at large means.
    const double a = k + 1;
    const double cubeRootLessOne = std::expm1(std::log1p((mean - a) / a) / 3);
    const double z = 3 * std::sqrt(a) * (cubeRootLessOne + 1 / (9 * a));
    return normalCdf(-z);
}

Histogram makeHistogram(std::span<const double> values, const Summary& summary, BinRule rule,
                        double typedWidth, double countsPerReading) {
    std::vector<PoissonGroup> groups;
    if (countsPerReading > 0)
        groups.push_back(
            {countsPerReading, summary.mean * countsPerReading, int32_t(values.size())});
    return makeHistogram(values, summary, rule, typedWidth, groups);
}

Histogram makeHistogram(std::span<const double> values, const Summary& summary, BinRule rule,
                        double typedWidth, std::span<const PoissonGroup> poisson) {
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
    if (!(width > 0) || !std::isfinite(range)) {
        // Every reading is the same: one bin around it, at least wide
        // enough that its edges differ from the reading at any magnitude.
        const double half = std::max(0.5, std::abs(summary.minimum) * 1e-9);
        h.start = summary.minimum - half;
        h.width = 2 * half;
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
            // The quotient can land a unit of the last place beside a
            // reading that lies on an edge: the edges themselves decide.
            auto k = std::clamp<int64_t>(int64_t(std::floor((v - h.start) / width)), 0, bins - 1);
            if (k > 0 && v < h.binFrom(int32_t(k)))
                --k;
            else if (k < bins - 1 && v >= h.binFrom(int32_t(k + 1)))
                ++k;
            ++h.counts[size_t(k)];
        }
    }
    const int32_t bins = h.bins();
    if (summary.deviation > 0 && std::isfinite(summary.deviation)) {
        h.expectedNormal.resize(size_t(bins));
        double below = normalCdf((h.binFrom(0) - summary.mean) / summary.deviation);
        for (int32_t k = 0; k < bins; ++k) {
            const double next = normalCdf((h.binTo(k) - summary.mean) / summary.deviation);
            h.expectedNormal[size_t(k)] = n * (next - below);
            below = next;
        }
    }
    bool anyPoisson = false;
    for (const PoissonGroup& g : poisson)
        anyPoisson = anyPoisson || (g.countsPerReading > 0 && g.meanCounts > 0 && g.readings > 0);
    if (anyPoisson) {
        h.expectedPoisson.assign(size_t(bins), 0.0);
        std::vector<double> atMost(size_t(bins) + 1);
        for (const PoissonGroup& g : poisson) {
            if (!(g.countsPerReading > 0 && g.meanCounts > 0 && g.readings > 0))
                continue;
            // A bin of readings [a, b) holds the whole counts from a*f up to
            // below b*f: each edge's cdf once, at the last count below it.
            for (int32_t k = 0; k <= bins; ++k) {
                const double edge = snappedCounts(h.binFrom(k) * g.countsPerReading);
                atMost[size_t(k)] = poissonAtMost(std::ceil(edge) - 1, g.meanCounts);
            }
            // The last bin is closed: it holds the counts on its top edge too.
            atMost[size_t(bins)] = poissonAtMost(
                std::floor(snappedCounts(h.binTo(bins - 1) * g.countsPerReading)), g.meanCounts);
            for (int32_t k = 0; k < bins; ++k)
                h.expectedPoisson[size_t(k)] +=
                    g.readings * std::max(0.0, atMost[size_t(k) + 1] - atMost[size_t(k)]);
        }
    }
    return h;
}

namespace {

// The chi-square of reading i being scaledCount(i) * scale counts over
// exposure(i), against the common rate. The counts come divided by `scale`
// (a power of two) so that neither their sum nor their squares overflow;
// the statistic is linear in the counts and is scaled back at the end.
template <typename Count, typename Exposure>
std::optional<ChiSquare> chiSquareOf(size_t n, double scale, Count scaledCount, Exposure exposure) {
    if (n < 2)
        return std::nullopt;
    double counts = 0, exposures = 0;
    for (size_t i = 0; i < n; ++i) {
        const double e = exposure(i);
        if (!(e > 0) || !std::isfinite(e))
            return std::nullopt;
        counts += scaledCount(i);
        exposures += e;
    }
    const double rate = counts / exposures;
    if (!(rate > 0) || !std::isfinite(rate))
        return std::nullopt;
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        const double expected = rate * exposure(i);
        const double d = scaledCount(i) - expected;
        sum += d * d / expected;
    }
    ChiSquare chi;
    chi.statistic = sum * scale;
    chi.degrees = int32_t(n - 1);
    if (std::isfinite(chi.statistic)) {
        const boost::math::chi_squared_distribution<double, NoThrow> dist(chi.degrees);
        chi.probability = boost::math::cdf(boost::math::complement(dist, chi.statistic));
        if (!std::isfinite(chi.probability))
            chi.probability = 0;
    } else {
        // More scatter than a double holds: no chance at all.
        chi.probability = 0;
    }
    if (chi.probability < LowBound)
        chi.verdict = Verdict::TooMuchScatter;
    else if (chi.probability > HighBound)
        chi.verdict = Verdict::TooLittleScatter;
    return chi;
}

double largestOf(std::span<const double> values) {
    double largest = 0;
    for (double v : values)
        largest = std::max(largest, std::abs(v));
    return largest;
}

} // namespace

std::optional<ChiSquare> chiSquareOfCounts(std::span<const double> counts, double factor) {
    if (!(factor > 0) || !std::isfinite(factor))
        return std::nullopt;
    // The readings are scaled before the factor: factor * reading may not fit.
    const double scale = scaleOf(largestOf(counts));
    return chiSquareOf(
        counts.size(), scale, [&](size_t i) { return counts[i] / scale * factor; },
        [&](size_t) { return factor; });
}

std::optional<ChiSquare> chiSquareOfCounts(std::span<const double> values,
                                           std::span<const double> factors) {
    if (values.size() != factors.size())
        return std::nullopt;
    const double scale = scaleOf(largestOf(values));
    return chiSquareOf(
        values.size(), scale, [&](size_t i) { return values[i] / scale * factors[i]; },
        [&](size_t i) { return factors[i]; });
}

CountingTest countingTest(std::span<const double> values, const QString& units,
                          double countTimeSeconds) {
    const std::vector<double> times(values.size(), countTimeSeconds);
    return countingTest(values, units, times);
}

CountingTest countingTest(std::span<const double> values, const QString& units,
                          std::span<const double> countTimes) {
    CountingTest test;
    test.unit = countUnitOf(units);
    if (test.unit == CountUnit::None) {
        test.refusal = CountingRefusal::NotCountRate;
        return test;
    }
    if (values.size() < 2) {
        test.refusal = CountingRefusal::TooFewReadings;
        return test;
    }
    bool timesKnown = countTimes.size() == values.size();
    for (size_t i = 0; timesKnown && i < countTimes.size(); ++i)
        timesKnown = countTimes[i] > 0 && std::isfinite(countTimes[i]);
    // Rates without their count times give no counts. Readings that are
    // counts are then taken as counted alike.
    if (!timesKnown && test.unit != CountUnit::Counts) {
        test.refusal = CountingRefusal::NoInterval;
        return test;
    }
    // Reading i is values[i] * factorOf(i) counts, gathered over
    // exposureOf(i): a cps reading counted t seconds is t times it, a cpm
    // reading t / 60 times it, a count reading is itself.
    const size_t n = values.size();
    auto exposureOf = [&](size_t i) { return timesKnown ? countTimes[i] : 1.0; };
    const double perSecondOfExposure = test.unit == CountUnit::PerSecond   ? 1.0
                                       : test.unit == CountUnit::PerMinute ? 1.0 / 60
                                                                           : 0.0;
    auto factorOf = [&](size_t i) {
        return perSecondOfExposure > 0 ? exposureOf(i) * perSecondOfExposure : 1.0;
    };
    const double scale = scaleOf(largestOf(values));
    const std::optional<ChiSquare> chi = chiSquareOf(
        n, scale, [&](size_t i) { return values[i] / scale * factorOf(i); }, exposureOf);
    if (!chi) {
        test.refusal = CountingRefusal::NoCounts;
        return test;
    }
    test.chi = *chi;
    test.refusal = CountingRefusal::None;
    test.dispersion = chi->statistic / chi->degrees;
    double counts = 0, exposures = 0;
    for (size_t i = 0; i < n; ++i) {
        counts += values[i] / scale * factorOf(i);
        exposures += exposureOf(i);
    }
    test.meanCounts = counts / double(n) * scale;
    if (timesKnown) {
        const auto [shortest, longest] = std::minmax_element(countTimes.begin(), countTimes.end());
        test.countTimeSeconds = *shortest;
        test.longestCountTimeSeconds = *longest;
    }
    // The Poisson expectation per count time: readings that counted alike
    // share one group. Count times that jitter by milliseconds would make a
    // group each: beyond a few dozen, readings of neighbouring count times
    // share their mean one.
    constexpr size_t MostGroups = 32;
    const double rate = counts / exposures; // scaled counts per unit of exposure
    struct Group {
        double exposure = 0, factor = 0;
        int32_t readings = 0;
    };
    std::vector<Group> alike;
    size_t current = 0; // the group of the reading before, most often this one's too
    for (size_t i = 0; i < n && alike.size() <= MostGroups; ++i) {
        const double e = exposureOf(i);
        if (current < alike.size() && alike[current].exposure == e) {
            ++alike[current].readings;
            continue;
        }
        auto g = std::find_if(alike.begin(), alike.end(),
                              [&](const Group& a) { return a.exposure == e; });
        if (g == alike.end()) {
            alike.push_back({e, factorOf(i), 1});
            g = alike.end() - 1;
        } else {
            ++g->readings;
        }
        current = size_t(g - alike.begin());
    }
    if (alike.size() <= MostGroups) {
        for (const Group& g : alike)
            test.groups.push_back({g.factor, rate * g.exposure * scale, g.readings});
    } else {
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t(0));
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return exposureOf(a) < exposureOf(b); });
        const size_t chunk = (n + MostGroups - 1) / MostGroups;
        for (size_t j = 0; j < n; j += chunk) {
            const size_t end = std::min(n, j + chunk);
            double f = 0, e = 0;
            for (size_t m = j; m < end; ++m) {
                f += factorOf(order[m]);
                e += exposureOf(order[m]);
            }
            const double size = double(end - j);
            test.groups.push_back({f / size, rate * (e / size) * scale, int32_t(end - j)});
        }
    }
    return test;
}

Distribution computeDistribution(WindowValues data, const QString& units, BinRule rule,
                                 double typedWidth) {
    Distribution d;
    d.counting = countingTest(data.values, units, data.countTimes);
    d.summary = summarize(data.values, data.leftOut);
    d.histogram =
        makeHistogram(data.values, d.summary, rule, typedWidth,
                      d.counting.offered() ? d.counting.groups : std::vector<PoissonGroup>{});
    return d;
}

} // namespace zel::graph

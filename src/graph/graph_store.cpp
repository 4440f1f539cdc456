#include "graph/graph_store.h"

#include "common/text.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace zel::graph {

QString GraphSlot::legendCaption() const {
    return name + (indicatorCode == 1 ? QStringLiteral("-R") : QStringLiteral("-D"));
}

QString fixedUnits(const QString& units) {
    return units.left(10).leftJustified(10, QLatin1Char(' '));
}

int32_t reductionStep(int32_t records) {
    const double step = roundHalfEven(double(records - 1) / TargetPoints);
    return step < 1 ? 1 : int32_t(step);
}

// ---------------------------------------------------------------- history

void WindowHistory::clear() {
    entries_ = {};
    pos_ = -1;
    top_ = -1;
}

void WindowHistory::add(const TimeWindow& window) {
    if (entries_[size_t(std::max(pos_, 0))] == window)
        return;
    pos_ = std::min(pos_ + 1, HistoryLastPos);
    top_ = std::min(top_ + 1, HistoryLastPos);
    if (entries_[size_t(pos_)].start != 0 && pos_ < HistoryLastPos) {
        // Make room: later windows move up one place and stay reachable with
        // forward; the one at the last position falls off.
        for (int j = HistoryLastPos - 1; j >= pos_; --j)
            entries_[size_t(j + 1)] = entries_[size_t(j)];
    }
    entries_[size_t(pos_)] = window;
    top_ = std::max(top_, pos_);
}

TimeWindow WindowHistory::back() {
    if (pos_ > 0)
        --pos_;
    return entries_[size_t(std::max(pos_, 0))];
}

TimeWindow WindowHistory::forward() {
    if (pos_ < top_)
        ++pos_;
    return entries_[size_t(std::max(pos_, 0))];
}

// ---------------------------------------------------------------- store

GraphStore::GraphStore()
    : rawTimes_(size_t(StoreCapacity), 0.0), displayX_(size_t(StoreCapacity), 0.0) {
    for (int s = 0; s < SlotCount; ++s) {
        rawValues_[size_t(s)].assign(size_t(StoreCapacity), 0.0);
        displayY_[size_t(s)].assign(size_t(StoreCapacity), Missing);
    }
    for (GraphSlot& slot : seriesSlots)
        slot.units = fixedUnits(QString());
}

int32_t GraphStore::load(const LoadRequest& request) {
    if (request.activeSeries >= 0 && request.activeSeries < 65535)
        activeSeries = std::clamp(request.activeSeries, 0, SlotCount - 1);

    // A caller's last index never reaches past what it handed over.
    int32_t last = std::clamp(request.lastIndex, 0, MaxLastIndex);
    if (!request.times.empty())
        last = std::min(last, int32_t(request.times.size()) - 1);

    if (!request.keepSlots) {
        for (int s = 0; s < SlotCount; ++s) {
            seriesSlots[size_t(s)] = request.seriesSlots[size_t(s)];
            seriesSlots[size_t(s)].units = fixedUnits(seriesSlots[size_t(s)].units);
        }
    }
    lastIndex_ = last;
    for (int s = 0; s < SlotCount; ++s) {
        if (!seriesSlots[size_t(s)].isNamed())
            continue;
        const std::span<const double> values = request.values[size_t(s)];
        std::vector<double>& raw = rawValues_[size_t(s)];
        for (int32_t i = 0; i <= last; ++i)
            raw[size_t(i)] = size_t(i) < values.size() ? values[size_t(i)] : Missing;
    }
    for (int32_t i = 0; i <= last; ++i)
        rawTimes_[size_t(i)] = size_t(i) < request.times.size() ? request.times[size_t(i)] : 0;
    loaded_ = !request.times.empty();
    sourceReadings_ = request.sourceReadings;
    sortByTime();

    windowToNewest();
    const int32_t count = reduce(false);
    return count;
}

void GraphStore::sortByTime() {
    // A time that is no number sorts first, so the order stays strict.
    auto key = [](double t) { return std::isnan(t) ? -HUGE_VAL : t; };
    const auto begin = rawTimes_.begin();
    const auto end = begin + lastIndex_ + 1;
    if (std::is_sorted(begin, end, [&](double a, double b) { return key(a) < key(b); }))
        return;
    // Files run newest first after a download, and a clock set back or a
    // download appended to on-line readings mixes them: the window, the
    // reduction and the plot extent all need the records in time order.
    // Stable, so readings of the same time keep the order they came in.
    std::vector<int32_t> order(size_t(lastIndex_) + 1);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        return key(rawTimes_[size_t(a)]) < key(rawTimes_[size_t(b)]);
    });
    std::vector<double> sorted(order.size());
    auto permute = [&](std::vector<double>& column) {
        for (size_t k = 0; k < order.size(); ++k)
            sorted[k] = column[size_t(order[k])];
        std::copy(sorted.begin(), sorted.end(), column.begin());
    };
    permute(rawTimes_);
    for (int s = 0; s < SlotCount; ++s)
        if (seriesSlots[size_t(s)].isNamed())
            permute(rawValues_[size_t(s)]);
}

void GraphStore::windowToNewest() {
    window_.start = rawTimes_[size_t(std::max(lastIndex_ - LastRecordsShown, 0))];
    window_.end = rawTimes_[size_t(lastIndex_)];
}

void GraphStore::windowToAll() {
    window_.start = rawTimes_[0];
    window_.end = rawTimes_[size_t(lastIndex_)];
}

int32_t GraphStore::reduce(bool onlyIfChanged) {
    const int mode = int(reduction);
    if (onlyIfChanged && displayCount_ > 0 && baseTime_ + displayX_[0] == window_.start &&
        baseTime_ + displayX_[size_t(displayCount_)] == window_.end && mode == previousReduction_)
        return 0;
    previousReduction_ = mode;
    if (window_.start > window_.end)
        std::swap(window_.start, window_.end);

    auto inWindow = [this](int32_t i) {
        const double t = rawTimes_[size_t(i)];
        return window_.start <= t && t <= window_.end;
    };
    int32_t records = 0;
    if (loaded_)
        for (int32_t i = 0; i <= lastIndex_; ++i)
            records += inWindow(i) ? 1 : 0;
    if (records < MinWindowRecords) {
        // The picture on screen stays, and so does its window: later
        // commands (Average/Maximum, back) start from what the user sees.
        window_ = shown_;
        return 0;
    }

    const int32_t step = reductionStep(records);
    step_ = step;
    int32_t k = -1;
    for (int32_t i = 0; i <= lastIndex_; i += step) {
        if (!inWindow(i))
            continue;
        ++k;
        if (k == 0)
            baseTime_ = rawTimes_[size_t(i)];
        displayX_[size_t(k)] = rawTimes_[size_t(i)] - baseTime_;
        // A block ends at the last record held: records past it belong to an
        // earlier load and would distort the last point.
        const int32_t blockEnd = std::min(i + step - 1, lastIndex_);
        for (int s = 0; s < SlotCount; ++s) {
            double& y = displayY_[size_t(s)][size_t(k)];
            const std::vector<double>& raw = rawValues_[size_t(s)];
            if (!seriesSlots[size_t(s)].isNamed()) {
                // An unused slot has no readings; it must not decide the time
                // of a maximum either.
                y = Missing;
                continue;
            }
            if (step == 1) {
                y = std::isfinite(raw[size_t(i)]) ? raw[size_t(i)] : Missing;
                continue;
            }
            if (reduction == Reduction::Average) {
                double sum = 0;
                int32_t n = 0;
                for (int32_t j = i; j <= blockEnd; ++j) {
                    if (isValue(raw[size_t(j)])) {
                        sum += raw[size_t(j)];
                        ++n;
                    }
                }
                // A block of huge values can sum to infinity: no value.
                const double mean = n > 0 ? sum / n : Missing;
                y = std::isfinite(mean) ? mean : Missing;
            } else {
                double best = Missing;
                int32_t at = -1;
                for (int32_t j = i; j <= blockEnd; ++j) {
                    if (isValue(raw[size_t(j)]) && raw[size_t(j)] > best) {
                        best = raw[size_t(j)];
                        at = j;
                    }
                }
                y = best;
                if (at >= 0)
                    displayX_[size_t(k)] = rawTimes_[size_t(at)] - baseTime_;
            }
        }
    }
    displayCount_ = k;
    shown_ = window_;
    history_.add({baseTime_ + displayX_[0], baseTime_ + displayX_[size_t(k)]});
    return k;
}

SeriesStats GraphStore::windowStats(int slot) const {
    SeriesStats st;
    if (slot < 0 || slot >= SlotCount || !loaded_)
        return st;
    const std::vector<double>& raw = rawValues_[size_t(slot)];
    // Welford's running mean and squares: stable for long series and large
    // values alike.
    double mean = 0, m2 = 0;
    for (int32_t i = 0; i <= lastIndex_; ++i) {
        const double t = rawTimes_[size_t(i)];
        const double v = raw[size_t(i)];
        if (t < shown_.start || t > shown_.end || !isValue(v))
            continue;
        if (st.count == 0 || v < st.minimum)
            st.minimum = v;
        if (st.count == 0 || v > st.maximum)
            st.maximum = v;
        ++st.count;
        const double delta = v - mean;
        mean += delta / st.count;
        m2 += delta * (v - mean);
    }
    st.mean = mean;
    st.deviation = st.count > 1 ? std::sqrt(std::max(m2, 0.0) / (st.count - 1)) : 0;
    return st;
}

int32_t GraphStore::nearestPoint(double x) const {
    if (displayCount_ <= 0)
        return -1;
    for (int32_t k = 0; k <= displayCount_; ++k) {
        if (displayX_[size_t(k)] >= x) {
            if (k > 0 && x - displayX_[size_t(k - 1)] < displayX_[size_t(k)] - x)
                return k - 1;
            return k;
        }
    }
    return displayCount_;
}

int32_t GraphStore::valuedPointAfter(double x, int slot) const {
    if (slot < 0 || slot >= SlotCount)
        return -1;
    for (int32_t k = 1; k <= displayCount_; ++k)
        if (displayX_[size_t(k)] > x && displayY_[size_t(slot)][size_t(k)] >= 0)
            return k;
    return -1;
}

} // namespace zel::graph

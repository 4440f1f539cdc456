#pragma once
// The graph's own copy of up to five series, the time window the user looks
// at, its reduction to about a thousand display points (average or maximum
// per block) and the history of windows for back and forward. Pure data: the
// graph window draws what this prepares.
#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace zel::graph {

constexpr int SlotCount = 5;
// The raw and display stores hold records 0 .. 100001; at most 100000 is
// ever taken as the last index.
constexpr int32_t StoreCapacity = 100002;
constexpr int32_t MaxLastIndex = 100000;
// About this many display points per series, whatever the window.
constexpr int32_t TargetPoints = 1000;
// Records shown after a load or on line: the last index and 1000 before it.
constexpr int32_t LastRecordsShown = 1000;
// A window with fewer records is not reduced: the old picture stays.
constexpr int32_t MinWindowRecords = 5;
constexpr int HistoryEntries = 22; // positions 0 .. 21, used up to 20
constexpr int HistoryLastPos = 20;
constexpr double Missing = -1.0;

// Whether a stored value is a reading: negative means "no value", and a
// value that is not a finite number cannot be drawn or averaged either.
inline bool isValue(double v) {
    return v >= 0 && v <= 1.7976931348623157e308;
}

struct GraphSlot {
    QString name;  // empty: the slot is unused and its controls are hidden
    QString units; // exactly 10 characters, padded with spaces
    double referenceLevel = 0;
    int16_t indicatorCode = 0; // 1 gives the legend suffix "-R", else "-D"
    int16_t kindCode = 0;

    bool isNamed() const { return !name.isEmpty(); }
    QString legendCaption() const;
};

// Units text cut or padded to exactly 10 characters.
QString fixedUnits(const QString& units);

struct TimeWindow {
    double start = 0; // date-times as day counts
    double end = 0;
    bool operator==(const TimeWindow&) const = default;
};

enum class Reduction : int16_t { Maximum = 0, Average = 1 };

// Windows looked at, for back and forward. The entry at the current position
// is the window on screen; a new window goes after it and pushes later
// entries up, so forward still reaches them.
class WindowHistory {
public:
    void clear();
    // Records a window unless it is the one at the current position.
    void add(const TimeWindow& window);
    bool canGoBack() const { return pos_ > 0; }
    bool canGoForward() const { return pos_ < top_; }
    // Moves one entry back or forward and returns the window there; the
    // caller shows it. Only valid when canGoBack/canGoForward.
    TimeWindow back();
    TimeWindow forward();
    int position() const { return pos_; }
    int top() const { return top_; }
    const TimeWindow& entry(int i) const { return entries_[size_t(i)]; }

private:
    std::array<TimeWindow, HistoryEntries> entries_{};
    int pos_ = -1;
    int top_ = -1;
};

// What the owner hands over on a load.
struct LoadRequest {
    std::array<GraphSlot, SlotCount> seriesSlots;          // taken unless keepSlots
    std::span<const double> times;                         // record times
    std::array<std::span<const double>, SlotCount> values; // per slot
    int32_t lastIndex = 0;                                 // last record to take
    int activeSeries = 65535;                              // taken when below 65535
    bool keepSlots = false; // live readings keep the slot information
    // Readings the records stand for, when they are only the newest of
    // more (the owner's series holds a limited number); 0: as many as given.
    int64_t sourceReadings = 0;
};

struct SeriesStats {
    int32_t count = 0;
    double mean = 0, minimum = 0, maximum = 0, deviation = 0; // sample deviation
};

class GraphStore {
public:
    GraphStore();

    std::array<GraphSlot, SlotCount> seriesSlots;
    int activeSeries = 0;
    Reduction reduction = Reduction::Average;

    // Copies the series (records 0 .. lastIndex of each named slot) into the
    // raw store in time order (records of the same time in the order given)
    // and shows the newest records. Returns the new display count,
    // 0 when nothing could be shown (the previous display stays).
    int32_t load(const LoadRequest& request);

    // Window to the last 1001 records (all of them when there are fewer).
    void windowToNewest();
    // Window to every record held.
    void windowToAll();
    void setWindow(const TimeWindow& window) { window_ = window; }
    const TimeWindow& window() const { return window_; }

    // Rebuilds the display points for the window. With onlyIfChanged, a
    // display that already shows this window in this mode is left alone
    // (returns 0). A window of fewer than five records returns 0, leaves the
    // display as it was and puts the window back to the one on screen.
    // Returns the index of the last display point.
    int32_t reduce(bool onlyIfChanged);
    // Block size of the last reduction: 1 means every record is a point.
    int32_t step() const { return step_; }

    // Display store: point k is at baseTime + displayX[k], with one value per
    // slot (-1 where the block had no value). displayCount is the index of the
    // last point; 0 or less means nothing to show.
    int32_t displayCount() const { return displayCount_; }
    double baseTime() const { return baseTime_; }
    double displayX(int32_t k) const { return displayX_[size_t(k)]; }
    double displayY(int slot, int32_t k) const { return displayY_[size_t(slot)][size_t(k)]; }
    const double* displayXData() const { return displayX_.data(); }
    const double* displayYData(int slot) const { return displayY_[size_t(slot)].data(); }

    int32_t lastIndex() const { return lastIndex_; }
    // Readings the loaded records were the newest of: at least the records
    // held (lastIndex + 1).
    int64_t sourceReadings() const {
        return loaded_ ? std::max<int64_t>(sourceReadings_, int64_t(lastIndex_) + 1) : 0;
    }
    double rawTime(int32_t i) const { return rawTimes_[size_t(i)]; }
    double rawValue(int slot, int32_t i) const { return rawValues_[size_t(slot)][size_t(i)]; }

    WindowHistory& history() { return history_; }
    const WindowHistory& history() const { return history_; }

    // Count, mean, extremes and deviation of the valid raw values of `slot`
    // whose times lie in the window: the exact figures of the period on
    // screen, not of the reduced points.
    SeriesStats windowStats(int slot) const;

    // Display point whose time is nearest `x` (relative days): the first at
    // or after it, or the one before when that one is strictly closer.
    // -1 when there are no points.
    int32_t nearestPoint(double x) const;
    // From point 1 on, the first point after `x` at which `slot` has a
    // value; -1 when there is none.
    int32_t valuedPointAfter(double x, int slot) const;

private:
    void sortByTime();

    std::vector<double> rawTimes_;
    std::array<std::vector<double>, SlotCount> rawValues_;
    int32_t lastIndex_ = 0;
    int64_t sourceReadings_ = 0;
    bool loaded_ = false;

    std::vector<double> displayX_;
    std::array<std::vector<double>, SlotCount> displayY_;
    int32_t displayCount_ = 0;
    double baseTime_ = 0;
    int32_t step_ = 1;
    int previousReduction_ = -1;

    TimeWindow window_;
    TimeWindow shown_; // the window of the display on screen
    WindowHistory history_;
};

// Block size for `records` records in the window: (records - 1) / 1000
// rounded half to even, at least 1.
int32_t reductionStep(int32_t records);

} // namespace zel::graph

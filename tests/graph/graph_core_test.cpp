// The graph's store, reduction, history, scales and value texts.
#include "graph/format_value.h"
#include "graph/graph_scale.h"
#include "graph/graph_store.h"
#include "graph/redraw_pacer.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace zel::graph {
namespace {

constexpr double Day0 = 46000; // some day in 2025
constexpr double Second = 1.0 / 86400;

// Records one second apart in slot 0 (and slot 1 when given).
struct Series {
    std::vector<double> times, values, second;
    explicit Series(std::vector<double> v, std::vector<double> w = {})
        : values(std::move(v)), second(std::move(w)) {
        for (size_t i = 0; i < values.size(); ++i)
            times.push_back(Day0 + double(i) * Second);
    }
    static Series constant(int n, double v) { return Series(std::vector<double>(size_t(n), v)); }
    LoadRequest request(bool keep = false) const {
        LoadRequest r;
        r.seriesSlots[0].name = "Probe";
        r.seriesSlots[0].units = "uSv/h";
        if (!second.empty())
            r.seriesSlots[1].name = "Second";
        r.times = times;
        r.values[0] = values;
        r.values[1] = second;
        r.lastIndex = int32_t(values.size()) - 1;
        r.keepSlots = keep;
        return r;
    }
};

TEST(ReductionStep, RoundsRecordsPerThousandHalfToEven) {
    const std::pair<int32_t, int32_t> cases[] = {{5, 1},    {1000, 1}, {1001, 1}, {1500, 1},
                                                 {2500, 2}, {2501, 2}, {3501, 4}, {100001, 100}};
    for (auto [records, step] : cases)
        EXPECT_EQ(reductionStep(records), step) << records;
}

TEST(GraphStoreLoad, ShowsTheLastThousandAndOneRecords) {
    GraphStore store;
    const Series ten = Series::constant(10, 1);
    EXPECT_EQ(store.load(ten.request()), 9);
    EXPECT_EQ(store.window(), (TimeWindow{ten.times[0], ten.times[9]}));
    EXPECT_EQ(store.step(), 1);
    EXPECT_DOUBLE_EQ(store.baseTime(), ten.times[0]);

    const Series many = Series::constant(2000, 1);
    EXPECT_EQ(store.load(many.request()), 1000);
    EXPECT_EQ(store.window(), (TimeWindow{many.times[999], many.times[1999]}));
    EXPECT_EQ(store.seriesSlots[0].units, "uSv/h     ");
    EXPECT_EQ(store.seriesSlots[0].legendCaption(), "Probe-D");

    // A last index past the records handed over is cut to them.
    LoadRequest r = ten.request();
    r.lastIndex = 5000000;
    store.load(r);
    EXPECT_EQ(store.lastIndex(), 9);
}

// Files that do not run oldest first: a download (newest first), a shuffled
// file, a clock set back mid-file, a download appended after on-line
// readings. The graph shows them in time order, from the earliest to the
// latest time, the newest window reaching the latest reading.
TEST(GraphStoreLoad, RecordsInAnyOrderAreShownInTimeOrder) {
    struct Case {
        const char* what;
        std::vector<int> seconds; // time of record i in seconds after Day0
    };
    std::vector<int> newestFirst, shuffled, setBack, appended;
    for (int i = 0; i < 30; ++i) {
        newestFirst.push_back(29 - i);
        shuffled.push_back((i * 7) % 30);
        setBack.push_back(i < 15 ? 100 + i : i - 15);
    }
    for (int i = 0; i < 1500; ++i) // on-line readings, then an older log newest first
        appended.push_back(i < 1200 ? 1000 + i : 1499 - i);
    const Case cases[] = {{"newest first", newestFirst},
                          {"shuffled", shuffled},
                          {"clock set back", setBack},
                          {"download appended", appended}};
    for (const Case& c : cases) {
        Series d(std::vector<double>(c.seconds.size(), 0));
        for (size_t i = 0; i < c.seconds.size(); ++i) {
            d.times[i] = Day0 + c.seconds[i] * Second;
            d.values[i] = c.seconds[i]; // the value tells the time it belongs to
        }
        GraphStore store;
        const int32_t count = store.load(d.request());
        ASSERT_GT(count, 0) << c.what;
        const auto [earliest, latest] = std::minmax_element(d.times.begin(), d.times.end());
        const int32_t shown = std::min<int32_t>(int32_t(d.times.size()), 1001);
        EXPECT_DOUBLE_EQ(store.baseTime() + store.displayX(count), *latest) << c.what;
        EXPECT_EQ(count, shown - 1) << c.what;
        if (shown == int32_t(d.times.size())) {
            EXPECT_DOUBLE_EQ(store.baseTime(), *earliest) << c.what;
        }
        for (int32_t k = 0; k <= count; ++k) {
            if (k > 0) {
                EXPECT_GT(store.displayX(k), store.displayX(k - 1)) << c.what << " point " << k;
            }
            EXPECT_NEAR(store.displayY(0, k),
                        (store.baseTime() + store.displayX(k) - Day0) / Second, 1e-3)
                << c.what << " point " << k;
        }
    }

    // Equal times keep the order they came in.
    Series same({5, 6, 7, 8, 9, 1});
    same.times = {Day0 + Second,     Day0 + Second,     Day0 + Second,
                  Day0 + 2 * Second, Day0 + 2 * Second, Day0};
    GraphStore store;
    ASSERT_EQ(store.load(same.request()), 5);
    const double order[] = {1, 5, 6, 7, 8, 9};
    for (int32_t k = 0; k <= 5; ++k)
        EXPECT_EQ(store.rawValue(0, k), order[k]);
}

TEST(GraphStoreReduce, AverageAndMaximumPerBlock) {
    // 2501 records give blocks of two, the last record starting one.
    std::vector<double> v(2501, 1.0);
    v[0] = 2, v[1] = 4;   // block 0: mean 3, maximum 4 at record 1
    v[2] = -1, v[3] = -1; // block 1: no value
    v[4] = -1, v[5] = 6;  // block 2: only the valid value counts
    const Series s(v);
    GraphStore store;
    LoadRequest r = s.request();
    store.load(r);
    store.windowToAll();
    EXPECT_GT(store.reduce(false), 0);
    EXPECT_EQ(store.step(), 2);
    EXPECT_DOUBLE_EQ(store.displayY(0, 0), 3);
    EXPECT_DOUBLE_EQ(store.displayY(0, 1), -1);
    EXPECT_DOUBLE_EQ(store.displayY(0, 2), 6);
    EXPECT_EQ(store.reduce(true), 0); // nothing changed

    store.reduction = Reduction::Maximum;
    EXPECT_GT(store.reduce(true), 0); // the mode changed: rebuilt
    EXPECT_DOUBLE_EQ(store.displayY(0, 0), 4);
    EXPECT_DOUBLE_EQ(store.displayY(0, 1), -1);
    EXPECT_NEAR(store.displayX(0), Second, 1e-9); // moved to the maximum
}

TEST(GraphStoreReduce, MaximumTimeFollowsTheHigherSlotOnly) {
    std::vector<double> a(2500, 1.0), b(2500, 1.0);
    a[3] = 9; // block 1 of slot 0: maximum at record 3
    b[2] = 9; // slot 1: maximum at record 2 decides
    a[5] = 9; // block 2: slot 1 is flat, its first record decides
    GraphStore store;
    const Series s(a, b);
    store.load(s.request());
    store.reduction = Reduction::Maximum;
    store.windowToAll();
    store.reduce(false);
    EXPECT_NEAR(store.displayX(1), 2 * Second, 1e-9);
    EXPECT_NEAR(store.displayX(2), 4 * Second, 1e-9);

    // With slot 0 alone, the unused slots do not pull the time back to the
    // block start.
    store.load(Series(a).request());
    store.windowToAll();
    store.reduce(false);
    EXPECT_NEAR(store.displayX(1), 3 * Second, 1e-9);
}

TEST(GraphStoreReduce, LastBlockEndsAtTheLastRecord) {
    // An earlier, longer load leaves 100s behind the new last record.
    GraphStore store;
    store.load(Series::constant(3000, 100).request());
    const Series s = Series::constant(2101, 10); // blocks of 2, the last one short
    store.load(s.request());
    store.windowToAll();
    const int32_t count = store.reduce(false);
    ASSERT_EQ(count, 1050);
    for (int32_t k = 0; k <= count; ++k)
        ASSERT_DOUBLE_EQ(store.displayY(0, k), 10) << k;
}

TEST(GraphStoreReduce, WindowsTooSmallOrReversed) {
    const Series s = Series::constant(100, 1);
    GraphStore store;
    store.load(s.request());
    const TimeWindow shown = store.window();

    // Start after end: swapped.
    store.setWindow({s.times[60], s.times[20]});
    EXPECT_EQ(store.reduce(true), 40);
    EXPECT_EQ(store.window(), (TimeWindow{s.times[20], s.times[60]}));

    // Four records: nothing new; the display and its window stay.
    store.setWindow({s.times[10], s.times[13]});
    EXPECT_EQ(store.reduce(true), 0);
    EXPECT_EQ(store.displayCount(), 40);
    EXPECT_EQ(store.window(), (TimeWindow{s.times[20], s.times[60]}));
    EXPECT_NE(store.window(), shown);
}

TEST(RedrawPacer, AQuietSpellDrawsAtOnceAFasterReadingWaitsForTheInterval) {
    struct Case {
        qint64 lastDraw; // -1: never drawn
        qint64 now;
        qint64 wait;
    } cases[] = {
        {-1, 0, 0},        // the first reading
        {1000, 1100, 400}, // 100 ms after a redraw
        {1000, 1500, 0},   // a whole interval after
        {1000, 9000, 0},   // long quiet
        {1000, 200, 500},  // a clock behind the last redraw never waits longer
    };
    for (const Case& c : cases) {
        graph::RedrawPacer pacer(500);
        if (c.lastDraw >= 0)
            pacer.drew(c.lastDraw);
        EXPECT_EQ(pacer.waitFor(c.now), c.wait) << c.lastDraw << " " << c.now;
    }
}

TEST(WindowHistory, BackAndForward) {
    const Series s = Series::constant(100, 1);
    GraphStore store;
    store.load(s.request());
    const TimeWindow all = store.window();
    const TimeWindow zoom1{s.times[10], s.times[80]}, zoom2{s.times[20], s.times[40]};
    store.setWindow(zoom1);
    store.reduce(true);
    store.setWindow(zoom2);
    store.reduce(true);
    WindowHistory& h = store.history();
    EXPECT_FALSE(h.canGoForward());
    ASSERT_TRUE(h.canGoBack());
    EXPECT_EQ(h.back(), zoom1);
    EXPECT_TRUE(h.canGoForward());
    EXPECT_EQ(h.back(), all);
    EXPECT_FALSE(h.canGoBack());
    EXPECT_EQ(h.forward(), zoom1);

    // The same window again is not recorded twice.
    WindowHistory fresh;
    fresh.add({1, 2});
    fresh.add({1, 2});
    EXPECT_EQ(fresh.top(), 0);
    // Positions stop at 20; the newest entry sits there.
    for (int i = 0; i < 30; ++i)
        fresh.add({double(10 + i), double(20 + i)});
    EXPECT_EQ(fresh.position(), 20);
    EXPECT_EQ(fresh.top(), 20);
    EXPECT_EQ(fresh.entry(20), (TimeWindow{39, 49}));
}

TEST(GraphStore, WindowFiguresAndPointSearch) {
    const Series s({1, 2, -1, 3, 4, 5, -1});
    GraphStore store;
    ASSERT_EQ(store.load(s.request()), 6);
    const SeriesStats st = store.windowStats(0);
    EXPECT_EQ(st.count, 5);
    EXPECT_DOUBLE_EQ(st.mean, 3);
    EXPECT_DOUBLE_EQ(st.minimum, 1);
    EXPECT_DOUBLE_EQ(st.maximum, 5);
    EXPECT_NEAR(st.deviation, std::sqrt(2.5), 1e-9);

    // Nearest: the point at or after, or the one before when strictly closer.
    EXPECT_EQ(store.nearestPoint(2.4 * Second), 2);
    EXPECT_EQ(store.nearestPoint(2.6 * Second), 3);
    EXPECT_EQ(store.nearestPoint(2.5 * Second), 3);
    EXPECT_EQ(store.nearestPoint(99 * Second), 6);
    // After: strictly later and holding a value.
    EXPECT_EQ(store.valuedPointAfter(1.5 * Second, 0), 3);
    EXPECT_EQ(store.valuedPointAfter(-1, 0), 1);
    EXPECT_EQ(store.valuedPointAfter(5 * Second, 0), -1);
}

// ---------------------------------------------------------------- scales

Scales scaleOf(const std::vector<double>& values, ScaleMode mode, double manual = 0,
               double specific = 0) {
    static GraphStore store; // large: one for all cases
    store.load(Series(values).request());
    ScaleRequest r;
    r.mode = mode;
    r.manualTop = manual;
    r.specificTops[0] = specific;
    r.displayed[0] = true;
    Scales sc;
    EXPECT_TRUE(computeScale(store, r, sc));
    return sc;
}

TEST(ComputeScale, Modes) {
    struct Case {
        std::vector<double> values;
        ScaleMode mode;
        double manual, specific, min, max;
    };
    const std::vector<double> tenToTwenty = {15, 10, 12, 20, 14, 11, 18, 13, 16, 17, 19};
    const Case cases[] = {
        {tenToTwenty, ScaleMode::Auto, 0, 0, 8, 22},
        {std::vector<double>(12, 5), ScaleMode::Auto, 0, 0, 4, 6.6},
        // The point at the base time does not count.
        {{100, 10, 20, 10, 20, 10, 20, 10, 20, 10, 20}, ScaleMode::Auto, 0, 0, 8, 22},
        // No reading at all: an upright range from 0.
        {std::vector<double>(12, -1), ScaleMode::Auto, 0, 0, 0, 1.1},
        {tenToTwenty, ScaleMode::Manual, 50, 0, 0, 50},
        {tenToTwenty, ScaleMode::Manual, 0, 0, 0, 1},
        {tenToTwenty, ScaleMode::Range10, 0, 0, 0, 10},
        {tenToTwenty, ScaleMode::Range100, 0, 0, 0, 100},
        {tenToTwenty, ScaleMode::Range1000, 0, 0, 0, 1000},
        {tenToTwenty, ScaleMode::Specific, 0, 0, 0, 1},
        {tenToTwenty, ScaleMode::Specific, 0, 40, 0, 40},
    };
    for (const Case& c : cases) {
        const Scales sc = scaleOf(c.values, c.mode, c.manual, c.specific);
        EXPECT_NEAR(sc.slot[0].min, c.min, 1e-9) << int(c.mode) << " " << c.values[0];
        EXPECT_NEAR(sc.slot[0].max, c.max, 1e-9) << int(c.mode) << " " << c.values[0];
    }
    EXPECT_EQ(scaleOf(tenToTwenty, ScaleMode::Auto).autoTopText[0], "22");
    EXPECT_EQ(scaleOf(std::vector<double>(12, 5), ScaleMode::Auto).autoTopText[0], "6.6");
}

TEST(ComputeScale, LargeScalesLabelInThousandsAndNothingDisplayedKeepsScales) {
    const Scales sc = scaleOf(std::vector<double>(12, 100000), ScaleMode::Auto);
    EXPECT_EQ(sc.slot[0].labelDivisor, 1000);
    EXPECT_EQ(valueLabelText(sc.slot[0], 0, 3), "110-");
    EXPECT_EQ(valueLabelText(sc.slot[0], 2, 3), "80-");
    EXPECT_EQ(scaleOf(std::vector<double>(12, 10), ScaleMode::Auto).slot[0].labelDivisor, 1);

    GraphStore store;
    Scales kept;
    kept.slot[0].max = 77;
    EXPECT_FALSE(computeScale(store, ScaleRequest{}, kept));
    EXPECT_EQ(kept.slot[0].max, 77);
}

TEST(LineRuns, GapsAreBridgedAndTwoMissingTurnTheLineCyan) {
    const double gapOfTwo[] = {0, 5, -1, -1, 7, 8, -1, 9};
    LineRuns r = lineRuns(gapOfTwo, 7);
    EXPECT_TRUE(r.normal.empty());
    EXPECT_EQ(r.warned, (std::vector<int32_t>{1, 4, 5, 7}));

    const double gapOfOne[] = {0, 5, -1, 7, 8};
    r = lineRuns(gapOfOne, 4);
    EXPECT_EQ(r.normal, (std::vector<int32_t>{1, 3, 4}));
    EXPECT_TRUE(r.warned.empty());

    // Point 0 is not drawn.
    const double first[] = {3, 4, 5};
    EXPECT_EQ(lineRuns(first, 2).normal, (std::vector<int32_t>{1, 2}));
}

TEST(FormatValue, PrefixLettersAndDecimals) {
    struct Case {
        double value;
        int decimals;
        const char* units;
        const char* text;
    };
    const Case cases[] = {
        {12345, 1, "uSv/h", "12.3 mSv/h"},  {25000, 1, "uSv/h     ", "25.0 mSv/h"},
        {0.5, 2, "cps", "0.50 cps"},        {20000, 1, "cps", "20000.0 cps"},
        {9999, 1, "uSv/h", "9999.0 uSv/h"}, {2e7, 1, "nSv/h", "20.0 mSv/h"},
        {12345, 99, "uSv/h", "1.23E+04"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatValue(c.value, c.decimals, c.units), c.text) << c.value;
}

} // namespace
} // namespace zel::graph

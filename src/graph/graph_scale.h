#pragma once
// Value scales of the graph: the range of each series for the six scale
// modes, and the texts of the value axis.
#include "graph/graph_store.h"

#include <QString>
#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace zel::graph {

enum class ScaleMode : int16_t {
    Auto = 0,
    Manual = 1,
    Range10 = 2,
    Range100 = 3,
    Range1000 = 4,
    Specific = 5,
};

struct SlotScale {
    double min = 0;
    double max = 1;
    int labelDivisor = 1; // axis labels of a large scale are in thousands
};

struct ScaleRequest {
    ScaleMode mode = ScaleMode::Auto;
    double manualTop = 0;                         // the Manual box
    std::array<double, SlotCount> specificTops{}; // the per-series scale boxes
    std::array<bool, SlotCount> displayed{};      // named and ticked
    // Lowest and highest value slot 0 draws beyond its points (a history
    // range's bars from minimum to maximum), for the Auto scale to hold.
    std::optional<std::pair<double, double>> firstSlotExtremes;
};

struct Scales {
    std::array<SlotScale, SlotCount> slot;
    double first = 0; // plot extent, days after the base time
    double last = 0;
    // Auto mode writes each series' top of scale into its box.
    std::array<QString, SlotCount> autoTopText;
};

// Computes the scales into `scales`. Returns false, leaving them as they
// were, when no series is displayed. The extent runs from the first to the
// last display point.
bool computeScale(const GraphStore& store, const ScaleRequest& request, Scales& scales);

// The plot has something to show: a time extent above zero.
inline bool hasExtent(const Scales& s) {
    return s.last > s.first && s.last > 0;
}

// A series value placed on slot 0's scale, where every series is drawn.
double onFirstScale(const Scales& s, int slot, double value);

// The polylines of one series, as display point indexes. Points 1 .. count
// are drawn; missing values are bridged; once two values have been missing
// every later segment goes into `warned`, so a viewer sees that the line
// joins readings that were not next to each other.
struct LineRuns {
    std::vector<int32_t> normal;
    std::vector<int32_t> warned;
};
LineRuns lineRuns(const double* values, int32_t count);

// Caption of value-axis label `row` of `rows` grid levels, top first.
QString valueLabelText(const SlotScale& scale, int row, int rows);

// Texts for a column of level values, top first, that a reader can tell
// apart: two decimals, or more until neighbouring levels differ and no
// level that is not zero reads "0" (a background of 0.010-0.014 would
// otherwise read 0.01 on every level). `exponent` asks for the form
// "1.25E+12" with as many significant digits as the levels need; values
// plain text cannot hold at all (beyond 1e15 or non-finite) always get it.
std::vector<QString> levelTexts(const std::vector<double>& values, bool exponent = false);

// The axis labels of `rows` grid levels of `scale`, top first: levelTexts of
// the levels divided by the label divisor, each followed by "-".
std::vector<QString> valueLabelTexts(const SlotScale& scale, int rows, bool exponent = false);

// The top of an automatic scale as the series box shows it: one decimal, or
// enough for three significant digits below 1, so it never reads "0".
QString scaleTopText(double top);

// A number rounded to `decimals` places (halves to even) as short text.
QString roundedText(double value, int decimals);

} // namespace zel::graph

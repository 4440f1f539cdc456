#pragma once
// The arithmetic of a printed graph page: one band per displayed series,
// top to bottom, a quarter band free above the first and below the last,
// value levels per band and the time lines. The page painter draws what
// this decides.
#include "graph/graph_scale.h"

#include <QString>
#include <vector>

namespace zel::graph {

// Fraction of the page width left free on each side of the plot: the time
// span plus a tenth of it on either side fills the page.
constexpr double PrintSideMargin = 0.1 / 1.2;
// Vertical time lines: the first time and five equal steps up to the last,
// every one on the page.
constexpr int PrintTimeLines = 6;

struct PrintBand {
    double top = 0; // fractions of the page height
    double bottom = 0;
};

// Band of series number `index` (0 = the first displayed) of `count`.
PrintBand printBand(int index, int count);

// Number of value levels of a band: 10 / count rounded half to even
// (10 for one series, 5 for two, 3 for three, 2 for four or five).
int printLevelCount(int count);

struct PrintLevel {
    double fraction = 0; // 0 at the band's top, 1 at its bottom
    QString label;       // the value: 2 decimals, or more where levels would read alike
};

// The labelled levels of a band drawn on `scale`: the top and the levels
// below it, each (max - min) / (n - 1) apart; the bottom edge is a frame
// line without a label. `exponent`: labels in exponent form, for a strip
// too narrow for the plain ones.
std::vector<PrintLevel> printLevels(const SlotScale& scale, int count, bool exponent = false);

} // namespace zel::graph

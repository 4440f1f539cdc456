#include "graph/graph_feed.h"

namespace zel::graph {

LoadRequest requestFromSeries(const Series& series, bool keepSlots) {
    LoadRequest r;
    GraphSlot& first = r.seriesSlots[0];
    // The title is the instrument id of the file's readings; a file without
    // one still gets a named, visible series.
    first.name = series.titleId.trimmed().isEmpty() ? QStringLiteral("Readings") : series.titleId;
    first.units = series.units;
    for (GraphSlot& s : r.seriesSlots) {
        s.referenceLevel = 0;
        s.indicatorCode = 2;
        s.kindCode = 0;
    }
    const int32_t last = series.lastIndex();
    r.times = series.times();
    r.values[0] = series.values();
    // The newest reading is part of the picture: every entry up to
    // lastIndex() is filled when its reading is taken.
    r.lastIndex = std::max(last, int32_t(0));
    r.activeSeries = 1;
    r.keepSlots = keepSlots;
    r.sourceReadings = series.usableReadings;
    return r;
}

} // namespace zel::graph

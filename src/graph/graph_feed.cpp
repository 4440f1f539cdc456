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
    const int32_t last = std::clamp(series.seriesLast, int32_t(-1), int32_t(Series::Capacity - 1));
    const size_t n = size_t(last + 1);
    r.times = std::span<const double>(series.seriesTimes.data(), n);
    r.values[0] = std::span<const double>(series.seriesValues.data(), n);
    // The newest reading is part of the picture: every entry up to
    // seriesLast is filled when its reading is taken.
    r.lastIndex = std::max(last, int32_t(0));
    r.activeSeries = 1;
    r.keepSlots = keepSlots;
    r.sourceReadings = series.usableReadings;
    return r;
}

} // namespace zel::graph

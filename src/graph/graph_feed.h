#pragma once
// What the main window hands the graph: its one series, slot 0, described
// the same way on the graph command and on every live reading.
#include "data/data_files.h"
#include "graph/graph_store.h"

namespace zel::graph {

// Records 0 .. lastIndex() of the series in slot 0 (the other slots unused),
// reference level 0, indicator code 2, kind code 0. Live readings keep the
// slot information the graph command set.
LoadRequest requestFromSeries(const Series& series, bool keepSlots);

} // namespace zel::graph

#pragma once
// Readings one second apart, as the graph window takes them, for tests that
// only need a graph with something on it.
#include "graph/graph_store.h"

#include <QString>
#include <vector>

namespace zel::test {

struct GraphSeries {
    std::vector<double> times, values;

    // `count` readings from day count `start`, their values cycling through
    // 1 .. `period`.
    explicit GraphSeries(int count, int period = 7, double start = 46000) {
        for (int i = 0; i < count; ++i) {
            times.push_back(start + i / 86400.0);
            values.push_back(1 + i % period);
        }
    }

    // Every reading in slot 0; the series must outlive the request.
    graph::LoadRequest request(const QString& name = QStringLiteral("Probe"),
                               const QString& units = QStringLiteral("uSv/h")) const {
        graph::LoadRequest r;
        r.seriesSlots[0].name = name;
        r.seriesSlots[0].units = units;
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        return r;
    }
};

} // namespace zel::test

// Generated series through the graph's loading, reduction, history and
// scales: no crash, no hang, no index outside the stores, no scale without
// height. The first bytes choose the commands, the rest are the records.
#include "graph/format_value.h"
#include "graph/graph_scale.h"
#include "graph/graph_store.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zel::graph;
    static GraphStore store; // large: one for the whole run, as in the window
    if (size < 8)
        return 0;
    const uint8_t* ops = data;
    data += 8;
    size -= 8;

    // Records: a time step (a signed byte of seconds, so times may run
    // backwards or stand still) and a value (a float, any bits).
    std::vector<double> times, values;
    double t = 46000;
    while (size >= 5) {
        t += int8_t(data[0]) / 86400.0;
        float v;
        std::memcpy(&v, data + 1, 4);
        times.push_back(t);
        values.push_back(double(v));
        data += 5;
        size -= 5;
    }
    // Long flat stretches make the reduction take steps above one.
    const int repeat = 1 + ops[0] % 50;
    std::vector<double> longTimes, longValues;
    for (size_t i = 0; i < times.size(); ++i)
        for (int r = 0; r < repeat; ++r) {
            longTimes.push_back(times[i] + r / 86400.0);
            longValues.push_back(values[i]);
        }

    LoadRequest request;
    request.seriesSlots[0].name = "P";
    request.seriesSlots[0].units = "uSv/h";
    if (ops[1] & 1)
        request.seriesSlots[1].name = "Q";
    request.times = longTimes;
    request.values[0] = longValues;
    request.values[1] = longValues;
    request.lastIndex = int32_t(ops[2]) * 1000 - 5 + int32_t(longTimes.size()) * (ops[2] & 1);
    request.keepSlots = ops[1] & 2;
    store.reduction = (ops[1] & 4) ? Reduction::Maximum : Reduction::Average;
    store.load(request);

    for (int step = 3; step < 8; ++step) {
        const uint8_t op = ops[step];
        switch (op % 5) {
        case 0:
            if (store.lastIndex() > 0) {
                const int32_t a = int32_t(op) * 7919 % (store.lastIndex() + 1);
                const int32_t b = int32_t(op) * 104729 % (store.lastIndex() + 1);
                store.setWindow({store.rawTime(a), store.rawTime(b)});
                store.reduce(true);
            }
            break;
        case 1:
            if (store.history().canGoBack()) {
                store.setWindow(store.history().back());
                store.reduce(true);
            }
            break;
        case 2:
            if (store.history().canGoForward()) {
                store.setWindow(store.history().forward());
                store.reduce(true);
            }
            break;
        case 3:
            store.windowToAll();
            store.reduce(true);
            break;
        case 4:
            store.reduction =
                store.reduction == Reduction::Average ? Reduction::Maximum : Reduction::Average;
            store.reduce(true);
            break;
        }
        const WindowHistory& h = store.history();
        check(h.position() <= h.top() && h.top() <= 20);
    }

    // A load too small to reduce keeps the previous display, which may hold
    // more points than the new load has records.
    const int32_t count = store.displayCount();
    check(count < StoreCapacity);
    for (int s = 0; s < SlotCount; ++s) {
        ScaleRequest sr;
        sr.mode = ScaleMode(ops[s + 3] % 6);
        sr.manualTop = double(ops[s]) - 100;
        sr.specificTops[size_t(s)] = double(ops[7]) - 50;
        sr.displayed[0] = true;
        Scales scales;
        if (computeScale(store, sr, scales)) {
            for (const SlotScale& sc : scales.slot)
                check(sc.max > sc.min);
            (void)valueLabelText(scales.slot[0], ops[4] % 6, 2 + ops[5] % 4);
        }
        if (count > 0) {
            const LineRuns runs = lineRuns(store.displayYData(s), count);
            for (int32_t j : runs.normal)
                check(j >= 1 && j <= count && isValue(store.displayY(s, j)));
            for (int32_t j : runs.warned)
                check(j >= 1 && j <= count && isValue(store.displayY(s, j)));
            const int32_t k = store.nearestPoint(double(int8_t(ops[s])) / 86400.0);
            check(k >= 0 && k <= count);
            const int32_t after = store.valuedPointAfter(double(int8_t(ops[s])) / 86400.0, s);
            check(after == -1 || (after >= 1 && after <= count));
            (void)formatValue(store.displayY(s, k), ops[s] % 8 == 7 ? 99 : ops[s] % 8,
                              QStringLiteral("uSv/h"));
        }
        const SeriesStats st = store.windowStats(s);
        check(st.count >= 0 && st.count <= store.lastIndex() + 1);
    }
    return 0;
}

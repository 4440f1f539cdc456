#pragma once
#include <QtGlobal>
#include <algorithm>

namespace zel::graph {

// Paces the graph's redraws while it follows live readings. Each redraw
// lays out and draws the whole plot, far more than a reading costs, while a
// trend drawn twice a second looks the same to a person as one drawn ten
// times: a reading after a quiet spell is drawn at once, readings that come
// faster are drawn together, never later than one interval after the
// previous redraw.
class RedrawPacer {
public:
    static constexpr qint64 DefaultIntervalMs = 500;
    explicit RedrawPacer(qint64 intervalMs = DefaultIntervalMs) : intervalMs_(intervalMs) {}

    // How long a reading that came at `nowMs` (a monotonic clock) waits
    // before the graph draws it: 0 means now.
    qint64 waitFor(qint64 nowMs) const {
        if (lastDrawMs_ < 0)
            return 0;
        return std::clamp(lastDrawMs_ + intervalMs_ - nowMs, qint64(0), intervalMs_);
    }
    void drew(qint64 nowMs) { lastDrawMs_ = nowMs; }

private:
    qint64 intervalMs_;
    qint64 lastDrawMs_ = -1;
};

} // namespace zel::graph

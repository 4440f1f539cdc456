#include "telemetry/send_order.h"

#include <algorithm>

namespace zel {

std::deque<DiskQueue::Entry>::const_iterator
findReading(const std::deque<DiskQueue::Entry>& readings, quint64 seq) {
    return std::lower_bound(readings.begin(), readings.end(), seq,
                            [](const DiskQueue::Entry& x, quint64 v) { return x.seq < v; });
}

NextSend nextSend(const std::deque<DiskQueue::Entry>& readings,
                  const std::deque<AlarmChange>& alarms, quint64 nextSeq, qsizetype inflight,
                  qsizetype window) {
    const auto unsent = findReading(readings, nextSeq);
    // An alarm waits for the reading that caused it, and for nothing else:
    // a full window holds back readings, never the alarm state.
    if (!alarms.empty() && (unsent == readings.end() || alarms.front().afterSeq < unsent->seq))
        return {NextSend::What::Alarm, -1};
    if (unsent != readings.end() && inflight < window)
        return {NextSend::What::Reading, qsizetype(unsent - readings.begin())};
    return {};
}

} // namespace zel

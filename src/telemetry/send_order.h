#pragma once
// In what order the client thread sends what waits: readings by number, each
// alarm change right after the reading that caused it, and never more than a
// window of readings the broker has not acknowledged. Kept apart from the
// socket so the order can be checked without a broker.
#include "telemetry/disk_queue.h"

#include <QByteArray>
#include <deque>

namespace zel {

// A change of the retained alarm state, waiting to go out.
struct AlarmChange {
    quint64 afterSeq; // published right after this reading
    QByteArray body;
};

struct NextSend {
    enum class What { Nothing, Alarm, Reading };
    What what = What::Nothing;
    qsizetype reading = -1; // index in the readings, for What::Reading
    bool operator==(const NextSend&) const = default;
};

// What goes out next. `readings` wait oldest first, `alarms` in the order
// they changed; `nextSeq` is the lowest number not sent on this connection,
// `inflight` the readings sent and not yet acknowledged.
NextSend nextSend(const std::deque<DiskQueue::Entry>& readings,
                  const std::deque<AlarmChange>& alarms, quint64 nextSeq, qsizetype inflight,
                  qsizetype window);

// Where the reading numbered `seq` is in `readings`, or their end.
std::deque<DiskQueue::Entry>::const_iterator
findReading(const std::deque<DiskQueue::Entry>& readings, quint64 seq);

} // namespace zel

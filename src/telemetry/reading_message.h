#pragma once
// The JSON bodies a station publishes. Subscribers are dashboards and
// archives in other languages: times carry their UTC offset, numbers are
// numbers, and every message says which reading of the station it is.
#include "data/reading.h"
#include "data/record_layout.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace zel {

// "normal", "high1", "high2", "fault"; "lost-contact" for state 3 raised by
// the lost-contact watch.
QString alarmStateText(int16_t state, bool lostContact = false);

// ISO 8601 with milliseconds and the UTC offset ("2026-01-02T03:04:05.000+02:00").
QString isoWithOffset(const QDateTime& moment);

// One reading as filed. `seq` counts the station's published readings, so a
// subscriber sees gaps and repeats; `run` names this start of the program,
// so the pair (run, seq) is never given to two readings even when the queue
// file could not keep the count; `received` is when zel took the reading.
// The reading's own time is its wall time on this computer's clock; in the
// hour a clock change skips the receive time stands in. `fields` says
// whether the family sends its details; its quantities are sent by name, as
// numbers.
QByteArray readingJson(const Reading& reading, int16_t alarmState, const MessageFields& fields,
                       const QDateTime& received, quint64 seq, const QString& run = QString());

// The retained alarm state.
QByteArray alarmJson(int16_t alarmState, bool lostContact, const QDateTime& when);

} // namespace zel

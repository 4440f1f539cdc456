#pragma once
// The JSON bodies a station publishes. Subscribers are dashboards and
// archives in other languages: times carry their UTC offset, numbers are
// numbers, and every message says which reading of the station it is.
#include "data/alarm_level.h"
#include "data/reading.h"
#include "data/record_layout.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace zel {

// The name of an alarm level in messages and journal lines: "normal",
// "high1", "high2", "fault", "lost-contact".
QString alarmLevelName(AlarmLevel level);

// The number a reading's value is filed and shown as: the text the working
// file holds, read back (1.001 Kcpm is filed as 1001 cpm, not as the
// 1000.9999999999999 that multiplying gives). NaN when the reading holds no
// measurement: a value the instrument could not measure, or an error reply.
double filedValue(const Reading& reading);

// When the reading was taken, as a moment: its wall time on this computer's
// clock. A wall time that the clock skipped (the hour of the change to
// summer time) is read with the UTC offset in force just before the change;
// a reading without a time was taken when it was received.
QDateTime readingMoment(const Reading& reading, const QDateTime& received);

// ISO 8601 with milliseconds and the UTC offset ("2026-01-02T03:04:05.000+02:00").
QString isoWithOffset(const QDateTime& moment);
// The same into `text` (room for 40 characters), with or without the
// milliseconds; returns its length.
qsizetype writeIsoWithOffset(const QDateTime& moment, char* text, bool milliseconds);

// One reading as filed. `seq` counts the station's published readings, so a
// subscriber sees gaps and repeats; `run` names this start of the program,
// so the pair (run, seq) is never given to two readings even when the queue
// file could not keep the count; `received` is when zel took the reading.
// The reading's own time is its wall time on this computer's clock; in the
// hour a clock change skips see readingMoment(). Its quantities are sent by
// name, as numbers. An error the instrument replied instead of a reading
// goes out as a null value with its text under "error".
QByteArray readingJson(const Reading& reading, AlarmLevel level, const QDateTime& received,
                       quint64 seq, const QString& run = QString());

// The retained alarm state: its name and level.
QByteArray alarmJson(AlarmLevel level, const QDateTime& when);
// The retained alarm state after a clean stop: "offline", without a level,
// so no dashboard reads the last level of a stopped station as current.
QByteArray offlineAlarmJson(const QDateTime& when);

} // namespace zel

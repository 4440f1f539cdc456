#pragma once
// What a frame is, as its family's codec reads it. The kinds are the same
// for every family, so the station reacts to a kind and never to a family;
// what only one family does with a frame is its conversation's reaction.
#include <QByteArray>
#include <cstdint>

namespace zel {

enum class FrameKind : uint8_t {
    // Failed its check (a checksum, an escape): counted as an error. Where
    // no start byte marks the next frame, the rest of its batch is dropped.
    Damaged,
    // Holds no reading (a count, a confirmation, a reply cut short or not
    // understood): counted as an error, as the instruments have always been.
    NoReading,
    // A reading; while a connection test waits it is the test's answer.
    Reading,
    // A reading the instrument sends by itself: kept only while collecting.
    ReadingWhileCollecting,
    // The instrument announced itself or finished starting: ready and idle.
    Ready,
    // The answer to the connection test: the contact is confirmed.
    Connected,
    // The answer to a set-up command.
    SetupReply,
    // An error the instrument replied instead of a reading: filed as a
    // reading that raises the fault alarm.
    InstrumentError,
    // The calibration record.
    Calibration,
    // The record after the last one of a log download.
    EndOfLog,
};

struct Verdict {
    FrameKind kind = FrameKind::NoReading;
    // The bytes the reaction and the reading parser read: the Tarvo-5 frame
    // un-escaped, the others as received.
    QByteArray bytes;
};

} // namespace zel

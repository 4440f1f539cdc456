#pragma once
// Tarvo-5 codec: frame building and escaping, the XOR check, the meaning of
// each received message and the reading parsers. Pure functions over byte
// arrays; they never read past the frame they are given.
#include "data/reading.h"
#include "protocol/receiver.h"
#include "protocol/verdict.h"
#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

namespace zel {

// The number Zel.ini stores this family under ("InsType").
inline constexpr int16_t Tarvo5 = 1;

namespace tarvo {

// Frames end with 0x03 and start with an 0x02 that never occurs escaped
// inside them.
inline constexpr zel::FrameRules Framing{-1, 0x03, 1, 0x02};

constexpr uint8_t STX = 0x02;
constexpr uint8_t ETX = 0x03;
constexpr uint8_t ESC = 0x1B;

// Message types.
constexpr uint8_t TypeAnnounce = 0x02;
constexpr uint8_t TypeInitialised = 0x05;
constexpr uint8_t TypeClockSet = 0x22;
constexpr uint8_t TypeRecordCount = 0x82;
constexpr uint8_t TypeRecord = 0x84;
constexpr uint8_t TypeOnline = 0x86;
constexpr uint8_t TypeShort = 0x10;

// XOR of the payload bytes.
uint8_t tarvoChecksum(const QByteArray& payload);

// STX, escaped payload, raw checksum, ETX. The ETX index is size() - 1.
QByteArray buildTarvoFrame(const QByteArray& payload);

// The fixed frames.
QByteArray testFrame();                                // 02 04 04 03
QByteArray pollFrame();                                // 02 0F 0F 03
QByteArray startDownloadFrame();                       // 02 81 81 03
QByteArray requestRecordPayload(uint8_t k);            // 83 00 k
QByteArray endDownloadPayload();                       // 80 00 00
QByteArray acknowledgePayload(uint8_t b2, uint8_t b4); // 03 b2 b4 01
QByteArray setClockPayload(const QDateTime& now);      // 20 MM DD YY hh mm ss

// Un-escapes a received frame (index 0 = the byte taken as STX, up to and
// including the ETX). The result keeps index 0 as given and holds the
// un-escaped bytes from index 1: payload at 1 .. m-3, checksum at m-2, ETX at
// m-1, where m = size(). An ESC followed by a byte that is neither ESC nor a
// digit character gives nothing: the frame is dropped as a checksum error.
std::optional<QByteArray> unescapeFrame(const QByteArray& frame);

// XOR of work[1 .. last]; 0 when the frame is valid.
uint8_t xorRange(const QByteArray& work, int last);

// What one valid, un-escaped message says. The conversation acts on it.
struct Message {
    FrameKind kind = FrameKind::NoReading;
    uint8_t type = 0;
    uint8_t probeCode = 0; // announce byte 2
    uint8_t echoByte4 = 0; // announce byte 4
    int recordCount = 0;   // 0x82
    int recordNumber = 0;  // 0x84: byte2 * 255 + byte3
    double shortValue = 0; // 0x10: value of bytes 4..7
    bool tooShort = false; // frame shorter than its type's layout
};

// Checks and interprets an un-escaped frame from unescapeFrame. A bad XOR is
// damaged; a frame too short for its type's layout holds no reading and has
// tooShort set (a communication error, never a read of stale bytes). The
// announce and the end of initialising make the instrument ready; records,
// on-line and short readings are readings; the count and the clock's
// confirmation hold none.
Message interpret(const QByteArray& work);

// A received frame un-escaped and interpreted: its kind, with the un-escaped
// bytes (the frame as received when it could not be un-escaped).
Verdict classify(const QByteArray& frame);

// Text tables.
QString unitsText(int code, bool shortForm, bool large);
QString statusText(int status);
QString detectorText(int code, bool shortForm);

// Parses a reading from an un-escaped frame: a 0x10 frame in the short
// layout, the others in the 0x84/0x86 one; probeCode is the detector of the
// last announce (0x10 readings carry none). Returns nothing when the frame is
// too short for the layout.
std::optional<Reading> parseReading(const QByteArray& work, int probeCode, const QDateTime& now);

} // namespace tarvo
} // namespace zel

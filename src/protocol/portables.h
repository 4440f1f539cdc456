#pragma once
// Portables codec: the fixed 10-byte commands, the reply check, the reading
// parser and the calibration record. Pure functions over byte arrays; they
// never read past the frame they are given.
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
inline constexpr int16_t Portables = 0;

// 01, command, seven parameter characters, 04. Missing parameters are "0";
// parameters beyond the seventh are not sent.
QByteArray buildPortableCommand(uint8_t command, const QByteArray& params = QByteArray());

// Command 9 with the on-line interval: minutes and seconds as two characters
// each (at least two digits, the first two kept), then "000".
QByteArray buildOnlineStartCommand(double minutes, double seconds);

// Command 0x20: month, day, year / 100, year mod 100, hour, minute, second as
// binary bytes.
QByteArray buildSetClockCommand(const QDateTime& now);

// Text tables. Codes outside a table show as their decimal number.
QString portablesUnitsText(int code); // bit value 16 appends "f"
QString portablesDetectorText(int code);
QString portablesStatusText(int code);

// The value of a value code: of its last five decimal digits the first says
// the sign of the exponent (5 = positive), the second the exponent and the
// last three the mantissa. 0xC803 gives 2030, 0x2F1D gives 0.61.
double portablesValue(int code);

// Byte positions of a reading reply.
namespace portables {

// Frames end with 0x04 and are at least 25 bytes long.
inline constexpr zel::FrameRules Framing{-1, 0x04, 25};
constexpr int IdFirst = 1; // 12 characters
constexpr int IdLength = 12;
constexpr int LastReadingByte = 23; // status code
constexpr int LastCalibrationByte = 32;
constexpr char EndOfLog = '*'; // byte 1 of the record after the last one
} // namespace portables

// The calibration record, as the calibration window shows it.
struct PortablesCalibration {
    QString meter;  // instrument number, bytes 1 .. 8
    QString factor; // bytes 9 .. 12 in thousandths, shown as a number ("1250" gives "1.25")
    QString name;   // who calibrated, bytes 13 .. 24
    QString due;    // bytes 25, 26 "/" 27, 28 "/" 29 .. 32
    bool operator==(const PortablesCalibration&) const = default;
};

namespace portables {

// What a reply frame (bytes 0 .. k-1, closing 0x04 included) is: no reading
// when it is shorter than 20 bytes, damaged on a wrong checksum, the
// calibration record when longer than 30 bytes (no reading when cut short),
// the end of the log when its byte 1 is "*", else a reading.
Verdict classify(const QByteArray& frame);

// A reading from a checked reply frame. `logged` takes the date-time the
// instrument stored with the record (a download); otherwise the reading is
// stamped `now`. Nothing when the payload does not reach the status byte.
std::optional<Reading> parseReading(const QByteArray& frame, bool logged, const QDateTime& now);

// Nothing when the payload does not reach byte 32.
std::optional<PortablesCalibration> parseCalibration(const QByteArray& frame);

} // namespace portables
} // namespace zel

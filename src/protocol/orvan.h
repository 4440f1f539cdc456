#pragma once
// Orvan codec: the command frame, the reply check and the reading parser.
// Replies are fixed-column text between STX and ETX; columns count the STX
// as character 1, so character k is byte k - 1 of the frame.
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
inline constexpr int16_t Orvan = 3;

// STX, command text ("G11", "G19"), ETX.
QByteArray buildOrvanCommand(const QByteArray& text);

namespace orvan {

// Frames run from 0x02 to 0x03.
inline constexpr zel::FrameRules Framing{0x02, 0x03, 1};

// A run of characters of a reply, first character and length.
struct Column {
    int first;
    int length;
    int last() const { return first + length - 1; }
};

inline constexpr Column ReplyNumber{3, 2};
// "R11": the units digit (0: sievert, anything else: roentgen).
inline constexpr Column UnitsDigit{29, 1};
// "R19": five characters each.
inline constexpr Column Americium{5, 5};
inline constexpr Column Cesium{10, 5};
inline constexpr Column Cobalt{15, 5};
inline constexpr Column CountRate{25, 5};
inline constexpr Column Neutrons{30, 5};
inline constexpr Column GmRate{38, 5};
// The names of the quantities beside the GM rate, in messages and layouts.
inline constexpr char AmericiumName[] = "americium";
inline constexpr char CesiumName[] = "cesium";
inline constexpr char CobaltName[] = "cobalt";
inline constexpr char CountRateName[] = "cps";
inline constexpr char NeutronsName[] = "neutrons";

// The most a five-character field reports; a field beyond it is over range.
inline constexpr double LargestField = 99999;
// The alarm code of a reading with a field over range (a fault).
inline constexpr int16_t OverRangeAlarm = 1;

inline const QString Roentgen = QStringLiteral("uR/h");
inline const QString Sievert = QStringLiteral("uSv/h");

// The GM rate comes in hundredths of a microsievert or in microroentgen.
// Before the instrument named its unit the number is shown as sent.
double gmFactor(const QString& unitText);

struct Reply {
    FrameKind kind = FrameKind::NoReading;
    char letter = 0; // 'R', 'E', ... (0 for an empty reply)
    int number = -1; // the two-digit reply number; -1 when it is no number
    // "R11" only: "uR/h" or "uSv/h".
    QString unitText;
};

// Reads a reply frame (closing ETX included or not): "R11" answers the test,
// "R19" is a reading, "E00" and "E01" are the instrument's errors, and
// everything else holds no reading, including a known reply that ends before
// the columns it is read from and a reply number that is not two digits.
Reply readReply(const QByteArray& frame);
// The kind of a reply frame, as readReply() reads it.
Verdict classify(const QByteArray& frame);

} // namespace orvan

// How a reading's time is written.
enum class OrvanTimeForm {
    DateTime,             // the general date and time
    Milliseconds,         // ... followed by ":" and the milliseconds, "000"
    SecondsSinceMidnight, // seconds since midnight with their fraction
};

// Readings polled faster than once a second need the finer forms; the
// "TimeFormat" setting picks one (0: milliseconds, otherwise seconds since
// midnight).
OrvanTimeForm orvanTimeForm(double intervalSeconds, int16_t timeFormat);
TimeStyle orvanTimeStyle(OrvanTimeForm form);

namespace orvan {

// The reading of an "R19" reply or an "E00"/"E01" error report; nothing for
// any other frame or one too short for its columns. The GM rate times
// `gmFactor` is the value; americium, neutrons, cesium, cobalt and the count
// rate are its quantities. The unit is the conversation's to set: the
// instrument names it once, in its answer to the test.
std::optional<Reading> parseReading(const QByteArray& frame, double gmFactor, const QDateTime& now,
                                    OrvanTimeForm form);
// The count rate of a reading, rounded to whole counts; error reports carry
// none.
std::optional<double> countRateOf(const Reading& reading);

} // namespace orvan
} // namespace zel

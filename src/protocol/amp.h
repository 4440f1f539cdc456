#pragma once
// Amp + Vessa codec: the 11-byte command, the reply check, reading lines,
// set-up replies with the parameter block, and the number encoding of
// thresholds and background. Pure functions over bytes.
#include "data/reading.h"
#include "protocol/receiver.h"
#include "protocol/verdict.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace zel {

// The number Zel.ini stores this family under ("InsType").
inline constexpr int16_t AmpVessa = 2;

// 0A, command, six parameter characters, 0F 0F 0D. Missing parameters are
// spaces; parameters beyond the sixth are not sent.
QByteArray buildAmpCommand(char command, const QByteArray& params6);

// The meter's settings as its parameter block reports them. Values are in
// the meter's own (small) unit.
struct AmpParams {
    static constexpr int ThresholdCount = 5;
    std::array<double, ThresholdCount> Thresholds{}; // 0: default, 1-4: #1 to #4
    double Background = 0;                           // only meters above type 2 have one
    int16_t MeterType = 0;                           // 0 AmpA, 1 AmpB, 2 AmpC, 3 Vessa-1, 4 Vessa1D
    int32_t Interval = 0;                            // seconds
    QString SerialNumber;
    bool DoseEnabled = false;
    bool Latch = false;
    bool Buzzer = false;
    QString FirmWare;
    int16_t BaudIndex = 0; // 0 = 300, 1 = 4800, 2 = 9600, 3 = 19200 baud

    bool operator==(const AmpParams&) const = default;
};

namespace amp {

// Lines start with a line feed and end with a carriage return.
inline constexpr zel::FrameRules Framing{0x0A, 0x0D, 1};

// What a line (LF, text, CR) is: no reading when the text with its CR is
// shorter than 10 characters, a set-up reply from 26 on, else a reading the
// meter sent by itself when the hex-pair checksum holds, damaged when not.
Verdict classify(const QByteArray& frame);

// What a set-up reply answers (its first character).
enum ReplyCode : int16_t {
    ParametersReply = 0,
    StartedReply = 1,
    StoppedReply = 2,
    IntervalReply = 4,
    ValueReply = 5, // a threshold or the background
    MutedReply = 6,
    OptionsReply = 7,
    SerialReply = 8, // the serial number or the baud rate
    FiveThresholdParametersReply = 9,
};

// A command and the reply that confirms it.
struct Command {
    QByteArray bytes;
    int16_t awaited = 0;
};

Command stopCommand();
Command startCommand();
Command parametersCommand();
Command baudCommand(int baudIndex);
// `encoded`: the five characters of encodeNumber().
Command backgroundCommand(const QByteArray& encoded);
Command thresholdCommand(int index, const QByteArray& encoded);
// `digits`: the four characters of encodeInterval().
Command intervalCommand(const QByteArray& digits);
// `digits`: the six characters of encodeSerialNumber().
Command serialNumberCommand(const QByteArray& digits);
// Type and units codes are raw bytes (30 + the option's index).
Command optionsCommand(bool dose, bool latch, bool buzzer, uint8_t typeCode, uint8_t unitsCode);

// "ConvertUnits" 1: values are shown and typed in the large unit (R/h,
// mSv/h); the meter always counts in the small one.
inline bool largeUnit(int16_t convertUnits) {
    return convertUnits == 1;
}

// "mSv/h", "uSv/h", "R/h" or "mR/h".
QString unitsText(int16_t unitsFlag, int16_t convertUnits);
// Captions of the two unit-scale options: small unit, large unit.
std::array<QString, 2> scaleCaptions(int16_t unitsFlag);

// Why a typed value cannot go into a command.
enum class Refusal { None, Negative, TooLarge, TooSmall };

struct Encoded {
    QByteArray digits; // empty when refused
    Refusal refusal = Refusal::None;
    bool ok() const { return refusal == Refusal::None; }
};

// Threshold or background: four mantissa digits and one exponent digit,
// meaning (mantissa / 1000) x 10^exponent in the meter's unit. `shown` is
// in the unit the user sees. Refused when negative or when the meter's
// value is 10^10 or more (the exponent has one digit), or above 0 but too
// small to leave a mantissa digit.
Encoded encodeNumber(double shown, int16_t convertUnits);
// The smallest value, in the unit the user sees, that encodeNumber refuses.
double numberLimit(int16_t convertUnits);
// The smallest value above 0, in the unit the user sees, that the four
// mantissa digits carry (0.001 of the meter's unit); a value above 0 that
// would round to 0000 is refused as too small rather than sent as 0.
double smallestNumber(int16_t convertUnits);
// Whole seconds, four digits: 0 to 9999.
Encoded encodeInterval(double seconds);
// Six digits: 0 to 999999.
Encoded encodeSerialNumber(double number);
// (mantissa / 1000) x 10^exponent from the five characters at `text[at]`;
// missing or non-digit characters count as 0.
double decodeNumber(QByteArrayView text, qsizetype at);

// Decimals of a reading by its size: 4 below 1, 3 from 1, 2 from 10, 1 from
// 100, 0 from 1000.
int decimalsFor(double value);
// The value rounded to decimalsFor() places: the number the meter shows.
double shownValue(double value);
// The shown value as its shortest text.
QString readingText(double value);

// LF, `text`, the checksum digits the reply check expects for that length,
// CR: a line as the meter sends it.
QByteArray frameWithChecksum(const QByteArray& text);

// A reading line (LF, text, CR) whose checksum was checked, taken `now`, its
// value as the meter shows it. Nothing when the line is too short to hold
// the reading's 21 characters and the checksum.
std::optional<Reading> parseReading(QByteArrayView frame, int16_t convertUnits,
                                    const QDateTime& now);
// The dose a reading line reports, in the unit its value is in.
double readingDose(QByteArrayView frame, int16_t convertUnits);
// The units flag of a reading line: 0 roentgen, else sievert.
int16_t readingUnitsFlag(QByteArrayView frame);
// "O.K.", "OverLoad", ... or "Status = " and characters 8 and 9.
QString statusText(QByteArrayView text);

// The reply code of a set-up reply frame (LF, text, CR); -1 when the first
// character is no digit.
int replyCode(QByteArrayView frame);
// What the main window shows for a confirmation; empty for the others.
QString confirmationText(int code);

struct ParameterBlock {
    AmpParams params;
    int16_t unitsFlag = 0;
    QString meterName; // "AmpA" .. "Vessa1D", or "Unknown"
    bool fiveThresholds = false;
};

// The parameter block of a reply starting "0" or "9". Fields the block does
// not carry (the background below type 3, thresholds #1 to #4 in a "0"
// block) keep their values from `previous`. Nothing when the reply is no
// parameter block or too short for the fields its layout promises.
std::optional<ParameterBlock> parseParameterBlock(QByteArrayView frame, const AmpParams& previous);
// The length of text a parameter block needs, by its code and meter type.
int parameterBlockLength(int code, int meterType);

} // namespace amp
} // namespace zel

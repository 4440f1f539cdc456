#include "protocol/amp.h"

#include "common/text.h"
#include "protocol/checksums.h"

#include <cmath>

namespace zel {

namespace amp {

Verdict classify(const QByteArray& frame) {
    // The text after the LF, closing CR included; positions count from 1.
    const QByteArrayView s = QByteArrayView(frame).sliced(std::min<qsizetype>(1, frame.size()));
    const int len = static_cast<int>(s.size());
    if (len < 10)
        return {FrameKind::NoReading, frame};
    if (len >= 26)
        return {FrameKind::SetupReply, frame};
    int sum = 0;
    for (int p = 1; p <= len - 4; p += 2) {
        const int v = hexPairValue(s, p - 1);
        // Line noise, not a reading: never let it pass as one.
        if (v < 0)
            return {FrameKind::Damaged, frame};
        sum += v;
    }
    const int check = hexPairValue(s, len - 3);
    if (check < 0 || check != (256 - (sum % 256)) % 256)
        return {FrameKind::Damaged, frame};
    // The meter sends its readings by itself, also while it is not collected.
    return {FrameKind::ReadingWhileCollecting, frame};
}

} // namespace amp

QByteArray buildAmpCommand(char command, const QByteArray& params6) {
    QByteArray out;
    out.reserve(11);
    out.append(char(0x0A));
    out.append(command);
    for (int i = 0; i < 6; ++i)
        out.append(i < params6.size() ? params6.at(i) : ' ');
    out.append(char(0x0F));
    out.append(char(0x0F));
    out.append(char(0x0D));
    return out;
}

namespace amp {

namespace {

// The text of a frame: after the LF, without the closing CR.
QByteArrayView textOf(QByteArrayView frame) {
    if (frame.isEmpty())
        return {};
    QByteArrayView s = frame.sliced(1);
    if (!s.isEmpty() && s.back() == '\r')
        s.chop(1);
    return s;
}

// The number at the start of `count` characters from 1-based position
// `from`; characters beyond the text count as missing.
double numberAt(QByteArrayView text, qsizetype from, qsizetype count) {
    const qsizetype at = from - 1;
    if (at < 0 || at >= text.size())
        return 0;
    return leadingNumber(QString::fromLatin1(text.sliced(at, std::min(count, text.size() - at))));
}

int digitAt(QByteArrayView text, qsizetype position) {
    const qsizetype at = position - 1;
    if (at < 0 || at >= text.size() || text[at] < '0' || text[at] > '9')
        return 0;
    return text[at] - '0';
}

QString charactersAt(QByteArrayView text, qsizetype from, qsizetype count) {
    const qsizetype at = from - 1;
    if (at < 0 || at >= text.size())
        return {};
    return QString::fromLatin1(text.sliced(at, std::min(count, text.size() - at)));
}

Encoded refuse(Refusal why) {
    Encoded e;
    e.refusal = why;
    return e;
}

// Whole number with at least `width` digits, refused outside 0 .. max.
Encoded wholeDigits(double value, int width, double max) {
    const double r = roundHalfEven(value);
    if (std::isnan(r) || r < 0)
        return refuse(Refusal::Negative);
    if (r > max)
        return refuse(Refusal::TooLarge);
    Encoded e;
    e.digits = QByteArray::number(qint64(r)).rightJustified(width, '0');
    return e;
}

constexpr double kLargestMeterValue = 9.999e9; // mantissa 9999, exponent 9

} // namespace

Command stopCommand() {
    return {buildAmpCommand('@', {}), StoppedReply};
}

Command startCommand() {
    return {buildAmpCommand('A', {}), StartedReply};
}

Command parametersCommand() {
    return {buildAmpCommand('0', {}), ParametersReply};
}

Command baudCommand(int baudIndex) {
    return {buildAmpCommand('1', QByteArray(1, char('0' + std::clamp(baudIndex, 0, 9)))),
            SerialReply};
}

Command backgroundCommand(const QByteArray& encoded) {
    return {buildAmpCommand('2', encoded.left(5)), ValueReply};
}

Command thresholdCommand(int index, const QByteArray& encoded) {
    QByteArray params = encoded.left(5).leftJustified(5, ' ');
    params.append(char(0x20 + std::clamp(index, 0, AmpParams::ThresholdCount - 1)));
    return {buildAmpCommand('5', params), ValueReply};
}

Command intervalCommand(const QByteArray& digits) {
    return {buildAmpCommand('4', digits.left(4)), IntervalReply};
}

Command serialNumberCommand(const QByteArray& digits) {
    return {buildAmpCommand('8', digits.left(6)), SerialReply};
}

Command optionsCommand(bool dose, bool latch, bool buzzer, uint8_t typeCode, uint8_t unitsCode) {
    QByteArray params;
    params.append(char('0' + int(dose) + 2 * int(latch) + 4 * int(buzzer)));
    params.append(char(typeCode));
    params.append(char(unitsCode));
    return {buildAmpCommand('7', params), OptionsReply};
}

QString unitsText(int16_t unitsFlag, int16_t convertUnits) {
    const bool large = largeUnit(convertUnits);
    if (unitsFlag != 0)
        return large ? QStringLiteral("mSv/h") : QStringLiteral("uSv/h");
    return large ? QStringLiteral("R/h") : QStringLiteral("mR/h");
}

std::array<QString, 2> scaleCaptions(int16_t unitsFlag) {
    if (unitsFlag != 0)
        return {QStringLiteral(" uSv/h"), QStringLiteral(" mSv/h")};
    return {QStringLiteral(" mR/h"), QStringLiteral(" R/h")};
}

Encoded encodeNumber(double shown, int16_t convertUnits) {
    double v = largeUnit(convertUnits) ? shown * 1000 : shown;
    if (std::isnan(v) || v < 0)
        return refuse(Refusal::Negative);
    int exponent = 0;
    while (v >= 10 && exponent < 11) {
        v /= 10;
        ++exponent;
    }
    double mantissa = std::floor(v * 1000 + 0.5);
    // 9.9995 and up round to 10.000: that is 1.000 times the next power.
    if (mantissa >= 10000) {
        mantissa = 1000;
        ++exponent;
    }
    if (exponent > 9 || !std::isfinite(v))
        return refuse(Refusal::TooLarge);
    if (mantissa == 0 && v > 0)
        return refuse(Refusal::TooSmall);
    Encoded e;
    e.digits = QByteArray::number(qint64(mantissa)).rightJustified(4, '0');
    e.digits.append(char('0' + exponent));
    return e;
}

double numberLimit(int16_t convertUnits) {
    return largeUnit(convertUnits) ? kLargestMeterValue / 1000 : kLargestMeterValue;
}

double smallestNumber(int16_t convertUnits) {
    constexpr double smallestMeterValue = 0.001;
    return largeUnit(convertUnits) ? smallestMeterValue / 1000 : smallestMeterValue;
}

Encoded encodeInterval(double seconds) {
    return wholeDigits(seconds, 4, 9999);
}

Encoded encodeSerialNumber(double number) {
    return wholeDigits(number, 6, 999999);
}

double decodeNumber(QByteArrayView text, qsizetype at) {
    return numberAt(text, at + 1, 4) / 1000 * std::pow(10.0, digitAt(text, at + 5));
}

int decimalsFor(double value) {
    if (value < 1)
        return 4;
    if (value < 10)
        return 3;
    if (value < 100)
        return 2;
    if (value < 1000)
        return 1;
    return 0;
}

double shownValue(double value) {
    const double scale = std::pow(10.0, decimalsFor(value));
    return roundHalfEven(value * scale) / scale;
}

QString readingText(double value) {
    return shortestText(shownValue(value));
}

QString statusText(QByteArrayView text) {
    const char c = text.size() >= 7 ? text[6] : '\0';
    switch (c) {
    case '0':
        return QStringLiteral("O.K.");
    case '1':
        return QStringLiteral("OverLoad");
    case '2':
        return QStringLiteral("Thr.Alarm");
    case '3':
        return QStringLiteral("No Ex. Power");
    case '4':
        return QStringLiteral("Low Battery");
    case '8':
        return QStringLiteral("Det.Fail");
    default:
        return QStringLiteral("Status = ") + charactersAt(text, 8, 2);
    }
}

QByteArray frameWithChecksum(const QByteArray& text) {
    // With the checksum and the CR the line is L = size + 3 characters long;
    // the summed pairs start at characters 1, 3, ... up to L - 4.
    const qsizetype last = text.size() + 3 - 4;
    int sum = 0;
    for (qsizetype p = 1; p <= last && p < text.size(); p += 2)
        sum += std::max(0, hexPairValue(text, p - 1));
    QByteArray out("\n");
    out += text;
    out += QByteArray::number((256 - sum % 256) % 256, 16).toUpper().rightJustified(2, '0');
    out += '\r';
    return out;
}

std::optional<Reading> parseReading(QByteArrayView frame, int16_t convertUnits,
                                    const QDateTime& now) {
    const QByteArrayView text = textOf(frame);
    // 21 characters of reading, then the two checksum digits.
    if (text.size() < 23)
        return std::nullopt;
    Reading r;
    r.instrumentId = charactersAt(text, 1, 6);
    r.setTaken(now);
    double value = numberAt(text, 17, 3) / 100 * std::pow(10.0, digitAt(text, 20)) +
                   digitAt(text, 21) / 1000.0;
    if (largeUnit(convertUnits))
        value /= 1000;
    r.value = shownValue(value);
    r.status = statusText(text);
    r.alarmCode = int16_t(uint8_t(text[6]));
    r.unit = unitsText(readingUnitsFlag(frame), convertUnits);
    return r;
}

double readingDose(QByteArrayView frame, int16_t convertUnits) {
    const double dose = numberAt(textOf(frame), 9, 7) / 10;
    return largeUnit(convertUnits) ? dose / 1000 : dose;
}

int16_t readingUnitsFlag(QByteArrayView frame) {
    return int16_t(digitAt(textOf(frame), 16));
}

int replyCode(QByteArrayView frame) {
    const QByteArrayView text = textOf(frame);
    if (text.isEmpty() || text[0] < '0' || text[0] > '9')
        return -1;
    return text[0] - '0';
}

QString confirmationText(int code) {
    switch (code) {
    case StartedReply:
        return QStringLiteral("Automatic send started");
    case StoppedReply:
        return QStringLiteral("Automatic send stoped");
    case IntervalReply:
        return QStringLiteral("Time Interval setted to:");
    case ValueReply:
        return QStringLiteral("Time Threshold setted to:");
    case MutedReply:
        return QStringLiteral("Speaker Muted");
    case OptionsReply:
        return QStringLiteral("Dose state setted to:");
    case SerialReply:
        return QStringLiteral("Serial number setted to:");
    default:
        return {};
    }
}

int parameterBlockLength(int code, int meterType) {
    if (code == FiveThresholdParametersReply)
        return 53;
    return meterType > 2 ? 33 : 26;
}

std::optional<ParameterBlock> parseParameterBlock(QByteArrayView frame, const AmpParams& previous) {
    const int code = replyCode(frame);
    if (code != ParametersReply && code != FiveThresholdParametersReply)
        return std::nullopt;
    const QByteArrayView text = textOf(frame);
    const int meterType = digitAt(text, 2);
    const bool knownType = text.size() >= 2 && text[1] >= '0' && text[1] <= '4';
    // A block cut short would show zeros that the user could send back to
    // the meter as its thresholds: take it whole or not at all.
    if (text.size() < parameterBlockLength(code, meterType))
        return std::nullopt;

    static const char* const names[] = {"AmpA", "AmpB", "AmpC", "Vessa-1", "Vessa1D"};
    ParameterBlock b;
    AmpParams& p = b.params;
    p = previous;
    p.MeterType = int16_t(meterType);
    b.meterName = knownType ? QString::fromLatin1(names[meterType]) : QStringLiteral("Unknown");
    b.unitsFlag = int16_t(digitAt(text, 3));
    p.SerialNumber = charactersAt(text, 4, 6);
    p.Thresholds[0] = decodeNumber(text, 9);
    p.BaudIndex = int16_t(digitAt(text, 15));
    p.Interval = int32_t(numberAt(text, 16, 4));
    const int options = digitAt(text, 20);
    p.DoseEnabled = options & 1;
    p.Latch = options & 2;
    p.Buzzer = options & 4;
    p.FirmWare = charactersAt(text, 21, 6);
    if (meterType > 2)
        p.Background = decodeNumber(text, 28);
    b.fiveThresholds = code == FiveThresholdParametersReply;
    if (b.fiveThresholds)
        for (int i = 1; i < AmpParams::ThresholdCount; ++i)
            p.Thresholds[size_t(i)] = decodeNumber(text, 33 + 5 * (i - 1));
    return b;
}

} // namespace amp
} // namespace zel

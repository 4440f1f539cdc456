#include "sim/sim_amp.h"

#include <algorithm>
#include <cmath>

namespace zel::sim {

namespace {

constexpr char LF = 0x0A;
constexpr char CR = 0x0D;
constexpr int CommandLength = 11; // LF, command, six parameters, 0F 0F, CR

QByteArray encoded(double value) {
    const amp::Encoded e = amp::encodeNumber(std::clamp(value, 0.0, 9.999e9), 0);
    return e.ok() ? e.digits : QByteArray("00000");
}

// Three mantissa digits in hundredths, an exponent digit, and a digit in
// thousandths that only values below 10 use.
QByteArray valueDigits(double v) {
    v = std::clamp(v, 0.0, 9.99e9);
    int exponent = 0;
    int mantissa = 0;
    int extra = 0;
    if (v < 10) {
        mantissa = int(std::floor(v * 100));
        extra = std::clamp(int(std::lround((v * 100 - mantissa) * 10)), 0, 9);
    } else {
        exponent = int(std::floor(std::log10(v)));
        mantissa = int(std::lround(v / std::pow(10.0, exponent) * 100));
        if (mantissa > 999) {
            mantissa = 100;
            ++exponent;
        }
        exponent = std::min(exponent, 9);
    }
    return QByteArray::number(std::min(mantissa, 999)).rightJustified(3, '0') +
           QByteArray::number(exponent) + QByteArray::number(extra);
}

} // namespace

SimAmp::SimAmp(AmpOptions options) : options_(options) {
    params_.MeterType = int16_t(std::clamp(options_.meterType, 0, 9));
    params_.Interval = std::clamp(options_.intervalSeconds, 1, 9999);
    params_.SerialNumber = QStringLiteral("001234");
    params_.FirmWare = QStringLiteral("SIM1.0");
    params_.BaudIndex = 2;
    params_.DoseEnabled = true;
    params_.Thresholds = {2.5, 1, 5, 10, 50};
    params_.Background = 0.08;
}

QByteArray SimAmp::confirmation(char code, const QByteArray& echo) {
    // Set-up replies are told apart from readings by their length.
    return LF + (QByteArray(1, code) + echo).leftJustified(25, ' ') + CR;
}

QByteArray SimAmp::parameterBlock() const {
    const bool five = params_.MeterType > 2;
    QByteArray t;
    t += five ? '9' : '0';
    t += char('0' + std::clamp(int(params_.MeterType), 0, 9));
    t += options_.sievert ? '1' : '0';
    t += params_.SerialNumber.toLatin1().leftJustified(6, '0', true);
    t += encoded(params_.Thresholds[0]);
    t += char('0' + std::clamp(int(params_.BaudIndex), 0, 9));
    t += QByteArray::number(std::clamp(params_.Interval, 0, 9999)).rightJustified(4, '0');
    t += char('0' + int(params_.DoseEnabled) + 2 * int(params_.Latch) + 4 * int(params_.Buzzer));
    t += params_.FirmWare.toLatin1().leftJustified(6, ' ', true);
    if (five) {
        t += "  ";
        t += encoded(params_.Background);
        for (int i = 1; i < AmpParams::ThresholdCount; ++i)
            t += encoded(params_.Thresholds[size_t(i)]);
    }
    return LF + t + CR;
}

QByteArray SimAmp::readingLine() const {
    QByteArray t = params_.SerialNumber.toLatin1().leftJustified(6, '0', true);
    t += char('0' + std::clamp(options_.status, 0, 9));
    t += '0';
    t += QByteArray::number(std::min<qint64>(9999999, std::llround(dose_ * 10)))
             .rightJustified(7, '0');
    t += options_.sievert ? '1' : '0';
    t += valueDigits(options_.value);
    return amp::frameWithChecksum(t);
}

QByteArray SimAmp::receive(const QByteArray& bytes) {
    QByteArray out;
    for (char b : bytes) {
        if (b == LF)
            buffer_.clear();
        buffer_.append(b);
        if (buffer_.size() > 64)
            buffer_.clear();
        if (b != CR)
            continue;
        const QByteArray command = buffer_;
        buffer_.clear();
        if (command.size() != CommandLength || command.at(0) != LF) {
            log(QStringLiteral("rx unusable %1").arg(hexBytes(command)));
            continue;
        }
        ++recognised_;
        heard_.append(command.at(1));
        log(QStringLiteral("rx %1").arg(hexBytes(command)));
        if (options_.silent) {
            log(QStringLiteral("silent: no answer"));
            continue;
        }
        const QByteArray reply = answer(command);
        if (!reply.isEmpty())
            log(QStringLiteral("tx %1").arg(hexBytes(reply)));
        out += reply;
    }
    return out;
}

QByteArray SimAmp::answer(const QByteArray& command) {
    const QByteArray p = command.mid(2, 6);
    switch (command.at(1)) {
    case '@':
        sending_ = false;
        return confirmation('2', {});
    case 'A':
        sending_ = true;
        ticks_ = 0;
        return confirmation('1', {});
    case '0':
        return parameterBlock();
    case '1':
        params_.BaudIndex = int16_t(p.at(0) >= '0' && p.at(0) <= '9' ? p.at(0) - '0' : 0);
        return confirmation('8', p);
    case '2':
        params_.Background = amp::decodeNumber(p, 0);
        return confirmation('5', p);
    case '4':
        params_.Interval = std::clamp(p.left(4).toInt(), 1, 9999);
        return confirmation('4', p);
    case '5': {
        const int index = p.at(5) - 0x20;
        if (index < 0 || index >= AmpParams::ThresholdCount)
            return {};
        params_.Thresholds[size_t(index)] = amp::decodeNumber(p, 0);
        return confirmation('5', p);
    }
    case '7': {
        const int bits = std::clamp(p.at(0) - '0', 0, 7);
        params_.DoseEnabled = bits & 1;
        params_.Latch = bits & 2;
        params_.Buzzer = bits & 4;
        return confirmation('7', p.left(1));
    }
    case '8':
        params_.SerialNumber = QString::fromLatin1(p);
        return confirmation('8', p);
    default:
        log(QStringLiteral("unknown command, no answer"));
        return {};
    }
}

QByteArray SimAmp::onTimer() {
    if (!sending_ || options_.silent)
        return {};
    if (++ticks_ * TickMs < params_.Interval * 1000)
        return {};
    ticks_ = 0;
    dose_ += std::max(0.0, options_.value) * params_.Interval / 3600;
    QByteArray line = readingLine();
    ++readings_;
    if (options_.corruptEvery > 0 && readings_ % options_.corruptEvery == 0) {
        line[line.size() - 2] = line.at(line.size() - 2) == '0' ? '1' : '0';
        log(QStringLiteral("corrupting the checksum of reading %1").arg(readings_));
    }
    log(QStringLiteral("tx %1 (reading)").arg(hexBytes(line)));
    return line;
}

// --- command line ------------------------------------------------------------

namespace {

QList<QCommandLineOption> ampCommandLineOptions() {
    return {
        {QStringLiteral("meter-type"),
         QStringLiteral("Amp: meter type 0-4 (AmpA, AmpB, AmpC, Vessa-1, Vessa1D; default 3). "
                        "Types 3 and 4 have a background and five thresholds."),
         QStringLiteral("N"), QStringLiteral("3")},
        {QStringLiteral("roentgen"), QStringLiteral("Amp: count in mR/h instead of uSv/h.")},
        {QStringLiteral("interval"),
         QStringLiteral("Amp: seconds between readings once started (default 1)."),
         QStringLiteral("SECONDS"), QStringLiteral("1")},
    };
}

// The shared --value and --status are the meter's own only when given: its
// value is never below zero, its status a single digit.
AmpOptions readAmpOptions(SimOptionReader& read) {
    AmpOptions a;
    a.meterType = read.whole(QStringLiteral("meter-type"), 0, 4, a.meterType);
    a.sievert = !read.isSet(QStringLiteral("roentgen"));
    a.intervalSeconds = read.whole(QStringLiteral("interval"), 1, 9999, a.intervalSeconds);
    if (read.isSet(QStringLiteral("value")))
        a.value = std::max(0.0, read.real(QStringLiteral("value"), -1e30, a.value));
    a.status = std::clamp(read.whole(QStringLiteral("status"), 0, 255, 0), 0, 9);
    a.silent = read.isSet(QStringLiteral("silent"));
    a.corruptEvery = read.whole(QStringLiteral("corrupt-every"), 0, 1000000, 0);
    return a;
}

} // namespace

SimFamily ampSimulator() {
    return simFamily<SimAmp, readAmpOptions>("amp", ampCommandLineOptions);
}

} // namespace zel::sim

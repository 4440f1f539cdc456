#include "sim/sim_portables.h"

#include "protocol/checksums.h"

#include <algorithm>
#include <cmath>

namespace zel::sim {

namespace {

constexpr char SOH = 0x01;
constexpr char EOT = 0x04;
constexpr int CommandLength = 10;

// The station takes a reply as a frame at the first 0x04 once 26 bytes are
// stored: from index 25 on, only the closing byte may be 0x04.
constexpr int FirstIndexCut = 25;

} // namespace

int portablesValueCode(double value) {
    if (!std::isfinite(value) || value <= 0)
        return 10000;
    value = std::min(value, 999e9);
    if (std::lround(value) < 1000) {
        // Negative exponent: the most digits that still fit the mantissa.
        for (int e = 9; e >= 0; --e) {
            const long m = std::lround(value * std::pow(10.0, e));
            if (m <= 999)
                return 10000 + e * 1000 + int(m);
        }
    }
    for (int e = 0; e <= 9; ++e) {
        const long m = std::lround(value / std::pow(10.0, e));
        if (m <= 999)
            return 50000 + e * 1000 + int(m);
    }
    return 59999;
}

SimPortables::SimPortables(PortablesOptions options, const Clock* clock)
    : options_(std::move(options)), clock_(clock) {
    if (!clock_) {
        ownClock_ = std::make_unique<SystemClock>();
        clock_ = ownClock_.get();
    }
    options_.id = options_.id.leftJustified(12, ' ', true);
    options_.calibration = options_.calibration.leftJustified(32, ' ', true);
    started_ = clock_->now();
    // The log ends at start-up, one record a minute.
    QDateTime minute = started_;
    minute.setTime(QTime(minute.time().hour(), minute.time().minute()));
    logStart_ = minute.addSecs(-60LL * std::max(options_.records, 0));
}

QDateTime SimPortables::instrumentNow() const {
    return clock_->now().addSecs(clockOffsetSecs_);
}

double SimPortables::currentValue() const {
    if (options_.steady)
        return options_.value;
    const double t = started_.msecsTo(clock_->now()) / 1000.0;
    return options_.value * (1.0 + 0.3 * std::sin(t / 20.0));
}

double SimPortables::recordValue(int k) const {
    if (!options_.logValues.isEmpty())
        return options_.logValues.at(k % options_.logValues.size());
    if (options_.steady)
        return options_.value;
    return options_.value * (1.0 + 0.3 * std::sin(k / 3.0));
}

QDateTime SimPortables::recordTime(int k) const {
    return logStart_.addSecs(60LL * k);
}

QByteArray SimPortables::readingPayload(const QDateTime& time, double value) const {
    QByteArray p = options_.id;
    const QDate d = time.date();
    p.append(char(d.month())).append(char(d.day()));
    p.append(char(d.year() / 100)).append(char(d.year() % 100));
    p.append(char(time.time().hour())).append(char(time.time().minute()));
    const int code = portablesValueCode(value);
    p.append(char(code >> 8)).append(char(code & 0xFF));
    p.append(char(options_.units)).append(char(options_.detector)).append(char(options_.status));
    return p;
}

QByteArray SimPortables::recordPayload(int k) const {
    return readingPayload(recordTime(k), recordValue(k));
}

QByteArray SimPortables::endOfLogPayload() {
    return QByteArray("*") + QByteArray(22, ' ');
}

QByteArray SimPortables::calibrationPayload() const {
    QByteArray p = options_.calibration;
    // A checksum of 0x04 would end the frame one byte early: a spare byte
    // after the record moves it.
    if (twosComplementSum(p) == uint8_t(EOT))
        p.append(' ');
    return p;
}

QByteArray SimPortables::frameOf(const QByteArray& payload) {
    QByteArray f(1, char(0x02));
    f += payload;
    f.append(char(twosComplementSum(payload)));
    f.append(EOT);
    return f;
}

bool SimPortables::quiet() const {
    return options_.silent || (options_.stopAfter >= 0 && heard_ >= options_.stopAfter);
}

QByteArray SimPortables::reply(const QByteArray& payload, bool damage) {
    QByteArray f = frameOf(payload);
    ++sent_;
    if (damage || (options_.corruptEvery > 0 && sent_ % options_.corruptEvery == 0)) {
        const int at = int(f.size()) - 2;
        uint8_t c = uint8_t(f[at]) ^ 0x40;
        if (c == uint8_t(EOT) && at >= FirstIndexCut)
            c ^= 0xC0; // still wrong, but it must not end the frame
        f[at] = char(c);
        log(QStringLiteral("corrupting the checksum of reply %1").arg(sent_));
    }
    log(QStringLiteral("tx %1").arg(hexBytes(f)));
    return f;
}

QByteArray SimPortables::receive(const QByteArray& bytes) {
    pending_ += bytes;
    QByteArray out;
    for (;;) {
        const qsizetype start = pending_.indexOf(SOH);
        if (start < 0) {
            pending_.clear();
            break;
        }
        pending_.remove(0, start);
        if (pending_.size() < CommandLength)
            break;
        if (pending_.at(CommandLength - 1) != EOT) {
            // Not a command after all: look for the next start.
            log(QStringLiteral("rx stray byte 01 (ignored)"));
            pending_.remove(0, 1);
            continue;
        }
        const QByteArray command = pending_.left(CommandLength);
        pending_.remove(0, CommandLength);
        ++recognised_;
        log(QStringLiteral("rx %1").arg(hexBytes(command)));
        const bool mute = quiet();
        ++heard_;
        if (mute) {
            log(QStringLiteral("quiet: no answer"));
            continue;
        }
        out += answer(command);
    }
    return out;
}

QByteArray SimPortables::answer(const QByteArray& c) {
    const auto digits = [&c](int at) { return c.mid(at, 2).toInt(); };
    switch (uint8_t(c.at(1))) {
    case 4: // start of a download
        nextRecord_ = 0;
        [[fallthrough]];
    case 5: { // next record
        if (nextRecord_ < 0 || nextRecord_ >= options_.records) {
            nextRecord_ = -1;
            return reply(endOfLogPayload());
        }
        if (options_.stopAfterRecord >= 0 && recordsServed_ == options_.stopAfterRecord &&
            !requestDropped_) {
            requestDropped_ = true;
            log(QStringLiteral("leaving this request unanswered"));
            return {};
        }
        ++recordsServed_;
        const int k = nextRecord_++;
        return reply(recordPayload(k), options_.damagedRecords.contains(k));
    }
    case 6: // test: the reading of the moment
        return reply(readingPayload(instrumentNow(), currentValue()));
    case 8:
        return reply(calibrationPayload());
    case 9: { // on-line sending at mm:ss; zeros stop it
        const int seconds = digits(2) * 60 + digits(4);
        onlineMs_ = seconds * 1000;
        log(seconds > 0 ? QStringLiteral("sending a reading every %1 s").arg(seconds)
                        : QStringLiteral("on-line sending stopped"));
        return {};
    }
    case 0x20: { // clock: month, day, year / 100, year mod 100, hour, minute, second
        const auto b = [&c](int i) { return int(uint8_t(c.at(i))); };
        const QDateTime set(QDate(b(4) * 100 + b(5), b(2), b(3)), QTime(b(6), b(7), b(8)));
        if (set.isValid())
            clockOffsetSecs_ = clock_->now().secsTo(set);
        else
            log(QStringLiteral("clock command with an impossible date kept the clock"));
        return {};
    }
    default:
        log(QStringLiteral("unknown command, no answer"));
        return {};
    }
}

QByteArray SimPortables::onTimer() {
    if (quiet() || onlineMs_ <= 0)
        return {};
    ++readingsSent_;
    return reply(readingPayload(instrumentNow(), currentValue()));
}

// --- command line ------------------------------------------------------------

namespace {

QList<QCommandLineOption> portablesCommandLineOptions() {
    return {
        {QStringLiteral("id"),
         QStringLiteral("Portables: instrument identification, 12 characters (default \"QUORIN "
                        "00042\")."),
         QStringLiteral("TEXT")},
        {QStringLiteral("log-values"),
         QStringLiteral("Portables: values of the logged records in turn, comma-separated."),
         QStringLiteral("LIST")},
    };
}

// The portable instrument shares the fault options with Tarvo-5; its reading
// is given in the unit it shows (12 mR/h by default), so --value is its own
// only when it runs.
PortablesOptions readPortablesOptions(SimOptionReader& read) {
    PortablesOptions p;
    p.detector = read.whole(QStringLiteral("detector"), 0, 255, p.detector);
    if (read.family() == QLatin1String("portables"))
        p.value = read.real(QStringLiteral("value"), 0, p.value);
    p.units = read.whole(QStringLiteral("units"), 0, 255, p.units);
    p.status = read.whole(QStringLiteral("status"), 0, 255, p.status);
    p.records = read.whole(QStringLiteral("records"), 0, 255 * 255 + 254, p.records);
    p.steady = read.isSet(QStringLiteral("steady"));
    p.silent = read.isSet(QStringLiteral("silent"));
    p.corruptEvery = read.whole(QStringLiteral("corrupt-every"), 0, 1000000, 0);
    p.stopAfter = read.whole(QStringLiteral("stop-after"), 0, 1000000000, -1);
    p.stopAfterRecord = read.whole(QStringLiteral("stop-after-record"), 0, 1000000000, -1);
    if (read.isSet(QStringLiteral("id")))
        p.id = read.value(QStringLiteral("id")).toLatin1();
    if (read.isSet(QStringLiteral("log-values"))) {
        for (const QString& v : read.value(QStringLiteral("log-values")).split(QLatin1Char(','))) {
            bool ok = false;
            const double x = v.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(x) || x < 0) {
                read.refuse(
                    QStringLiteral("--log-values wants numbers of 0 and up, not '%1'").arg(v));
                break;
            }
            p.logValues << x;
        }
    }
    return p;
}

} // namespace

SimFamily portablesSimulator() {
    return simFamily<SimPortables, readPortablesOptions>("portables", portablesCommandLineOptions);
}

} // namespace zel::sim

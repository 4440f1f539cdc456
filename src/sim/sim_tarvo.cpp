#include "sim/sim_tarvo.h"
#include "protocol/tarvo.h"
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zel::sim {

namespace {

using zel::tarvo::ESC;
using zel::tarvo::ETX;
using zel::tarvo::STX;

bool frameByte(uint8_t b) {
    return b == STX || b == ETX || b == ESC;
}

// Month, day, year - 2000, hour, minute: the date block of records and readings.
void putDateTime(QByteArray& p, int at, const QDateTime& t) {
    const QDate d = t.date();
    const QTime tm = t.time();
    p[at] = char(d.month());
    p[at + 1] = char(d.day());
    p[at + 2] = char(std::clamp(d.year() - 2000, 0, 255));
    p[at + 3] = char(tm.hour());
    p[at + 4] = char(tm.minute());
}

void putFloatBigEndian(QByteArray& p, int at, double v) {
    const float f = float(v);
    uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    qToBigEndian(bits, p.data() + at);
}

} // namespace

QString hexBytes(const QByteArray& bytes) {
    QString s;
    for (int i = 0; i < bytes.size(); ++i) {
        if (i)
            s += QLatin1Char(' ');
        s += QStringLiteral("%1").arg(uint8_t(bytes[i]), 2, 16, QLatin1Char('0')).toUpper();
    }
    return s;
}

void padTarvoChecksum(QByteArray& payload, int padIndex) {
    if (padIndex < 0 || padIndex >= payload.size())
        return;
    payload[padIndex] = 0;
    const uint8_t c = zel::tarvo::tarvoChecksum(payload);
    if (!frameByte(c))
        return;
    for (int p = 1; p < 256; ++p) {
        if (!frameByte(uint8_t(p)) && !frameByte(uint8_t(c ^ p))) {
            payload[padIndex] = char(p);
            return;
        }
    }
}

// --- TarvoFrameCutter ------------------------------------------------------

std::vector<TarvoFrameCutter::Frame> TarvoFrameCutter::feed(const QByteArray& bytes) {
    std::vector<Frame> out;
    for (char c : bytes)
        feedByte(uint8_t(c), out);
    return out;
}

void TarvoFrameCutter::startFrame() {
    state_ = State::Body;
    body_.clear();
    xor_ = 0;
}

void TarvoFrameCutter::append(uint8_t b) {
    body_.append(char(b));
    xor_ ^= b;
}

void TarvoFrameCutter::finish(std::vector<Frame>& out, bool ok) {
    // A valid frame holds at least a type byte and its checksum.
    ok = ok && body_.size() >= 2 && xor_ == 0;
    if (!body_.isEmpty())
        out.push_back({body_.left(body_.size() - 1), ok});
    body_.clear();
    xor_ = 0;
    state_ = State::Idle;
}

void TarvoFrameCutter::feedByte(uint8_t b, std::vector<Frame>& out) {
    switch (state_) {
    case State::Idle:
        if (b == STX)
            startFrame();
        return;
    case State::Body:
        if (b == ESC) {
            state_ = State::Escape;
        } else if (b == ETX) {
            if (body_.size() >= 2 && xor_ == 0) {
                finish(out, true);
            } else if (!body_.isEmpty() && xor_ == ETX) {
                // The payload XORs to 03: this 03 is the raw checksum and the
                // ETX is still to come.
                append(ETX);
                state_ = State::ChecksumEtx;
            } else {
                finish(out, false);
            }
        } else if (b == STX) {
            // Either a raw checksum 02 (then ETX follows) or the start of a
            // new frame after a broken one.
            state_ = State::RawStx;
        } else {
            append(b);
        }
        break;
    case State::Escape:
        if (b == ESC) {
            append(ESC);
            state_ = State::Body;
        } else if (b >= '0' && b <= '9') {
            append(b - '0');
            state_ = State::Body;
        } else if (b == ETX) {
            // No escape is followed by 03: the ESC was the raw checksum.
            append(ESC);
            finish(out, true);
        } else {
            finish(out, false);
            if (b == STX)
                startFrame();
        }
        break;
    case State::RawStx:
        if (b == ETX) {
            append(STX);
            finish(out, true);
        } else {
            finish(out, false);
            startFrame();
            feedByte(b, out);
        }
        return;
    case State::ChecksumEtx:
        if (b == ETX) {
            finish(out, true);
        } else {
            finish(out, false);
            if (b == STX)
                startFrame();
        }
        return;
    }
    if ((state_ == State::Body || state_ == State::Escape) && body_.size() > MaxBody)
        finish(out, false);
}

// --- SimTarvo --------------------------------------------------------------

SimTarvo::SimTarvo(TarvoOptions options, const Clock* clock) : options_(options), clock_(clock) {
    if (!clock_) {
        ownClock_ = std::make_unique<SystemClock>();
        clock_ = ownClock_.get();
    }
    started_ = clock_->now();
    // The log ends at start-up, one record a minute.
    QDateTime minute = started_;
    minute.setTime(QTime(minute.time().hour(), minute.time().minute()));
    logStart_ = minute.addSecs(-60LL * std::max(options_.records, 0));
}

QDateTime SimTarvo::instrumentNow() const {
    return clock_->now().addSecs(clockOffsetSecs_);
}

double SimTarvo::currentValue() const {
    if (options_.steady)
        return options_.value;
    const double t = started_.msecsTo(clock_->now()) / 1000.0;
    return options_.value * (1.0 + 0.3 * std::sin(t / 20.0));
}

double SimTarvo::recordValue(int k) const {
    if (options_.steady)
        return options_.value;
    return options_.value * (1.0 + 0.3 * std::sin(k / 3.0));
}

QDateTime SimTarvo::recordTime(int k) const {
    return logStart_.addSecs(60LL * k);
}

QByteArray SimTarvo::announcePayload() const {
    // Type, detector, 00, the byte the station echoes, firmware version,
    // a spare byte that keeps the checksum clear of frame bytes.
    QByteArray p(6, '\0');
    p[0] = char(zel::tarvo::TypeAnnounce);
    p[1] = char(options_.detector);
    p[3] = char(AnnounceByte4);
    p[4] = char(0x05);
    if (options_.padChecksum)
        padTarvoChecksum(p, 5);
    return p;
}

QByteArray SimTarvo::onlinePayload() const {
    // Record number byte 2 = 0xFF: an on-line reading, not a logged record.
    return readingPayload(zel::tarvo::TypeOnline, 0xFF, 0, instrumentNow(), currentValue());
}

QByteArray SimTarvo::recordPayload(int k) const {
    return readingPayload(zel::tarvo::TypeRecord, uint8_t(k / 255), uint8_t(k % 255), recordTime(k),
                          recordValue(k));
}

QByteArray SimTarvo::readingPayload(uint8_t type, uint8_t b2, uint8_t b3, const QDateTime& time,
                                    double value) const {
    // Bytes 1..27 of the message; payload index = byte number - 1.
    QByteArray p(27, '\0');
    p[0] = char(type);
    p[1] = char(b2);
    p[2] = char(b3);
    putDateTime(p, 15, time);
    putFloatBigEndian(p, 20, value);
    p[24] = char(options_.units);
    p[25] = char(options_.detector);
    p[26] = char(options_.status);
    if (options_.padChecksum)
        padTarvoChecksum(p, 14);
    return p;
}

QByteArray SimTarvo::shortPayload() const {
    // Type, two spare bytes, value at 4..7, status 8, units 9.
    QByteArray p(9, '\0');
    p[0] = char(zel::tarvo::TypeShort);
    putFloatBigEndian(p, 3, currentValue());
    p[7] = char(options_.status);
    p[8] = char(options_.units);
    if (options_.padChecksum)
        padTarvoChecksum(p, 2);
    return p;
}

QByteArray SimTarvo::countPayload(int count) {
    count = std::clamp(count, 0, 255 * 255 + 254);
    QByteArray p(3, '\0');
    p[0] = char(zel::tarvo::TypeRecordCount);
    p[1] = char(count / 255);
    p[2] = char(count % 255);
    // The station reads bytes 2 and 3 only; a fourth byte keeps the checksum
    // clear (a count of 129 would otherwise give the checksum 03).
    p.append('\0');
    padTarvoChecksum(p, 3);
    if (p[3] == '\0')
        p.chop(1);
    return p;
}

bool SimTarvo::quiet() const {
    return options_.silent || (options_.stopAfter >= 0 && heard_ >= options_.stopAfter);
}

QByteArray SimTarvo::frame(QByteArray payload, bool damage) {
    QByteArray f = zel::tarvo::buildTarvoFrame(payload);
    ++sent_;
    if ((damage || (options_.corruptEvery > 0 && sent_ % options_.corruptEvery == 0)) &&
        f.size() >= 2) {
        const int at = f.size() - 2;
        uint8_t c = uint8_t(f[at]) ^ 0x40;
        if (frameByte(c))
            c ^= 0xC0; // still wrong, but no frame byte
        f[at] = char(c);
        log(QStringLiteral("corrupting the checksum of frame %1").arg(sent_));
    }
    return f;
}

QByteArray SimTarvo::receive(const QByteArray& bytes) {
    QByteArray out;
    for (const TarvoFrameCutter::Frame& f : cutter_.feed(bytes)) {
        if (!f.checksumOk) {
            log(QStringLiteral("rx bad frame %1 (ignored)").arg(hexBytes(f.payload)));
            continue;
        }
        ++recognised_;
        log(QStringLiteral("rx %1").arg(hexBytes(f.payload)));
        // Checked before counting: with a limit of n the first n messages
        // are answered, and from then on the instrument says nothing at all.
        const bool mute = quiet();
        ++heard_;
        if (mute) {
            log(QStringLiteral("quiet: no answer"));
            continue;
        }
        damageReply_ = false;
        const QByteArray reply = answer(f.payload);
        if (reply.isEmpty())
            continue;
        log(QStringLiteral("tx %1").arg(hexBytes(reply)));
        out += frame(reply, damageReply_);
    }
    return out;
}

QByteArray SimTarvo::answer(const QByteArray& p) {
    const auto byte = [&p](int i) { return i < p.size() ? uint8_t(p[i]) : uint8_t(0); };
    switch (byte(0)) {
    case 0x04: // test
        return announcePayload();
    case 0x03: // acknowledge of our announce: 03 detector byte4 01
        if (p.size() < 4 || byte(1) != uint8_t(options_.detector) || byte(2) != AnnounceByte4) {
            log(QStringLiteral("acknowledge does not echo the announce: no answer"));
            return {};
        }
        if (options_.announceOnly)
            return {};
        return QByteArray(1, char(zel::tarvo::TypeInitialised));
    case 0x0F: // poll
        ++readingsSent_;
        return options_.shortReadings ? shortPayload() : onlinePayload();
    case 0x81: // start download
        damageReply_ = countRepliesSent_++ < options_.damagedCountReplies;
        return countPayload(options_.records);
    case 0x83: // request record k
        if (p.size() < 3)
            return {};
        if (options_.stopAfterRecord >= 0 && recordsServed_ == options_.stopAfterRecord &&
            !requestDropped_) {
            requestDropped_ = true;
            log(QStringLiteral("leaving this request unanswered"));
            return {};
        }
        ++recordsServed_;
        damageReply_ = options_.damagedRecords.contains(byte(1) * 255 + byte(2));
        return recordPayload(byte(1) * 255 + byte(2));
    case 0x80: // end of download
        damageReply_ = countRepliesSent_++ < options_.damagedCountReplies;
        return countPayload(0);
    case 0x20: { // set clock: MM DD YY hh mm ss
        if (p.size() >= 7) {
            const QDateTime set(QDate(2000 + byte(3), byte(1), byte(2)),
                                QTime(byte(4), byte(5), byte(6)));
            if (set.isValid())
                clockOffsetSecs_ = clock_->now().secsTo(set);
            else
                log(QStringLiteral("clock message with an impossible date kept the clock"));
        }
        return QByteArray(1, char(zel::tarvo::TypeClockSet));
    }
    default:
        log(QStringLiteral("unknown message type, no answer"));
        return {};
    }
}

int SimTarvo::timerIntervalMs() const {
    if (options_.pushEverySeconds <= 0)
        return 0;
    return std::max(1, int(std::lround(options_.pushEverySeconds * 1000.0)));
}

QByteArray SimTarvo::onTimer() {
    if (quiet())
        return {};
    const QByteArray p = onlinePayload();
    ++readingsSent_;
    log(QStringLiteral("tx %1 (unasked)").arg(hexBytes(p)));
    return frame(p);
}

// --- command line ------------------------------------------------------------

namespace {

QList<QCommandLineOption> tarvoCommandLineOptions() {
    return {
        {QStringLiteral("detector"), QStringLiteral("Tarvo-5 detector code (default 161)."),
         QStringLiteral("CODE"), QStringLiteral("161")},
        {QStringLiteral("value"),
         QStringLiteral("Base value in the instrument's unit (default 0.012, shown as 12 mR/h)."),
         QStringLiteral("X"), QStringLiteral("0.012")},
        {QStringLiteral("units"),
         QStringLiteral("Units code (default 1); Orvan: units digit, 0 sievert (default), other "
                        "roentgen."),
         QStringLiteral("CODE"), QStringLiteral("1")},
        {QStringLiteral("status"), QStringLiteral("Status byte (default 0)."), QStringLiteral("S"),
         QStringLiteral("0")},
        {QStringLiteral("short"), QStringLiteral("Answer polls with short (0x10) readings.")},
        {QStringLiteral("records"), QStringLiteral("Logged records to download (default 20)."),
         QStringLiteral("N"), QStringLiteral("20")},
        {QStringLiteral("push-every"),
         QStringLiteral("Send a reading unasked every SECONDS (fractions allowed; 0 = never, "
                        "default)."),
         QStringLiteral("SECONDS"), QStringLiteral("0")},
        {QStringLiteral("steady"),
         QStringLiteral("Keep the value at the base value instead of letting it drift slowly.")},
        {QStringLiteral("silent"), QStringLiteral("Never answer.")},
        {QStringLiteral("announce-only"),
         QStringLiteral("Answer the test with the announce, never confirm initialisation.")},
        {QStringLiteral("corrupt-every"),
         QStringLiteral("Give every N-th frame sent a wrong checksum."), QStringLiteral("N")},
        {QStringLiteral("stop-after"), QStringLiteral("Fall silent after N received messages."),
         QStringLiteral("N")},
        {QStringLiteral("any-checksum"),
         QStringLiteral("Do not steer the checksum away from the bytes 02, 03 and 1B.")},
        {QStringLiteral("stop-after-record"),
         QStringLiteral("During a download, leave the request that follows the K-th record "
                        "unanswered (once)."),
         QStringLiteral("K")},
    };
}

TarvoOptions readTarvoOptions(SimOptionReader& read) {
    TarvoOptions t;
    t.detector = read.whole(QStringLiteral("detector"), 0, 255, t.detector);
    t.value = read.real(QStringLiteral("value"), -1e30, t.value);
    t.units = read.whole(QStringLiteral("units"), 0, 255, t.units);
    t.status = read.whole(QStringLiteral("status"), 0, 255, t.status);
    t.shortReadings = read.isSet(QStringLiteral("short"));
    t.records = read.whole(QStringLiteral("records"), 0, 255 * 255 + 254, t.records);
    // Longer than a day is no use, and keeps the milliseconds in an int.
    t.pushEverySeconds = read.real(QStringLiteral("push-every"), 0, t.pushEverySeconds);
    if (t.pushEverySeconds > 86400)
        read.refuse(QStringLiteral("--push-every wants at most 86400 seconds"));
    t.steady = read.isSet(QStringLiteral("steady"));
    t.silent = read.isSet(QStringLiteral("silent"));
    t.announceOnly = read.isSet(QStringLiteral("announce-only"));
    t.corruptEvery = read.whole(QStringLiteral("corrupt-every"), 0, 1000000, 0);
    t.stopAfter = read.whole(QStringLiteral("stop-after"), 0, 1000000000, -1);
    t.padChecksum = !read.isSet(QStringLiteral("any-checksum"));
    t.stopAfterRecord = read.whole(QStringLiteral("stop-after-record"), 0, 1000000000, -1);
    return t;
}

} // namespace

SimFamily tarvoSimulator() {
    return simFamily<SimTarvo, readTarvoOptions>("tarvo5", tarvoCommandLineOptions);
}

} // namespace zel::sim

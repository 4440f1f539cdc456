#pragma once
// Simulated Tarvo-5: answers the station's test, acknowledge, poll, download
// and clock messages in the Tarvo-5 frame, and can push readings unasked.
#include "sim/sim_family.h"
#include "sim/sim_instrument.h"
#include "station/clock.h"
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <cstdint>
#include <memory>
#include <vector>

namespace zel::sim {

struct TarvoOptions {
    int detector = 161;          // announce byte 2 and reading byte 26
    double value = 0.012;        // base value in the instrument's unit (0.012 R/h = 12 mR/h)
    int units = 1;               // units code
    int status = 0;              // status byte
    bool shortReadings = false;  // answer polls with 0x10 instead of 0x86
    int records = 20;            // logged records offered for download
    double pushEverySeconds = 0; // 0 = never speak unasked
    bool steady = false;         // keep the value at the base instead of letting it drift
    bool silent = false;         // never answer
    bool announceOnly = false;   // answer the test, never confirm initialisation
    int corruptEvery = 0;        // every n-th frame sent gets a wrong checksum; 0 = never
    int stopAfter = -1;          // go quiet after this many messages; -1 = never
    int stopAfterRecord = -1;    // leave the request after the k-th record unanswered, once
    // A raw checksum byte of 03 or 1B right before the closing ETX cannot be
    // told apart from the ETX or an escape by a simple receiver, so the
    // instrument normally adjusts an unused byte to keep the checksum clear of
    // 02, 03 and 1B. Switch this off to send whatever checksum falls out.
    bool padChecksum = true;
    QList<int> damagedRecords;   // these records always go out with a wrong checksum
    int damagedCountReplies = 0; // the first n record-count replies go out damaged
};

// Cuts the station's byte stream into Tarvo-5 messages. Resynchronises on
// STX, un-escapes as it goes and also accepts the frames whose raw checksum is
// 02, 03 or 1B (the station's builder does not avoid them: a request for
// record 152 carries the checksum 1B, for record 128 the checksum 03).
class TarvoFrameCutter {
public:
    struct Frame {
        QByteArray payload; // un-escaped, type first; checksum removed
        bool checksumOk = false;
    };

    static constexpr int MaxBody = 100; // un-escaped bytes before the frame is given up

    std::vector<Frame> feed(const QByteArray& bytes);

private:
    enum class State { Idle, Body, Escape, RawStx, ChecksumEtx };
    void feedByte(uint8_t b, std::vector<Frame>& out);
    void append(uint8_t b);
    void finish(std::vector<Frame>& out, bool ok);
    void startFrame();

    State state_ = State::Idle;
    QByteArray body_; // payload followed by the checksum
    uint8_t xor_ = 0;
};

class SimTarvo final : public SimInstrument {
public:
    // Without a clock the system clock is used.
    explicit SimTarvo(TarvoOptions options = {}, const Clock* clock = nullptr);

    QString family() const override { return QStringLiteral("tarvo5"); }
    QByteArray receive(const QByteArray& bytes) override;
    int timerIntervalMs() const override;
    QByteArray onTimer() override;
    int framesRecognised() const override { return recognised_; }
    qint64 readingsSent() const override { return readingsSent_; }

    const TarvoOptions& options() const { return options_; }

    // Payloads as this instrument builds them (before framing).
    static constexpr uint8_t AnnounceByte4 = 0x01;
    QByteArray announcePayload() const;
    QByteArray onlinePayload() const;
    QByteArray shortPayload() const;
    QByteArray recordPayload(int k) const;
    QByteArray readingPayload(uint8_t type, uint8_t b2, uint8_t b3, const QDateTime& time,
                              double value) const;
    static QByteArray countPayload(int count);

    // The value the instrument measures now / logged as record k.
    double currentValue() const;
    double recordValue(int k) const;
    QDateTime recordTime(int k) const;
    // The instrument's own clock (the station may set it).
    QDateTime instrumentNow() const;

    int messagesHeard() const { return heard_; }
    int framesSent() const { return sent_; }

private:
    QByteArray answer(const QByteArray& payload);
    QByteArray frame(QByteArray payload, bool damage = false);
    bool quiet() const;

    TarvoOptions options_;
    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    QDateTime started_;
    QDateTime logStart_;
    qint64 clockOffsetSecs_ = 0;
    TarvoFrameCutter cutter_;
    int recognised_ = 0;
    qint64 readingsSent_ = 0;
    int heard_ = 0;
    int sent_ = 0;
    int recordsServed_ = 0;
    bool requestDropped_ = false;
    int countRepliesSent_ = 0;
    bool damageReply_ = false; // the answer being built goes out damaged
};

// Keeps the XOR of `payload` clear of 02, 03 and 1B by changing the byte at
// `padIndex`, which the reader of that message does not interpret.
void padTarvoChecksum(QByteArray& payload, int padIndex);

// zel-sim's "tarvo5": the options every simulator of this kind shares
// (detector, value, units, status, the fault options) and Tarvo-5's own.
SimFamily tarvoSimulator();

} // namespace zel::sim

#pragma once
// Simulated Amp + Vessa meter: answers every set-up command with its
// confirmation, reports its parameter block, and once started sends a
// reading line at its interval.
#include "protocol/amp.h"
#include "sim/sim_family.h"
#include "sim/sim_instrument.h"
#include <QByteArray>

namespace zel::sim {

struct AmpOptions {
    int meterType = 3;       // 0 AmpA, 1 AmpB, 2 AmpC, 3 Vessa-1, 4 Vessa1D
    bool sievert = true;     // units flag 1 (uSv/h); false: mR/h
    int intervalSeconds = 1; // sending interval until the station sets one
    double value = 0.15;     // the reading, in the meter's unit
    int status = 0;          // status digit of the readings
    bool silent = false;     // never answer, never send
    int corruptEvery = 0;    // every n-th reading gets a wrong checksum; 0 = never
};

class SimAmp final : public SimInstrument {
public:
    static constexpr int TickMs = 100;

    explicit SimAmp(AmpOptions options = {});

    QString family() const override { return QStringLiteral("amp"); }
    QByteArray receive(const QByteArray& bytes) override;
    // Ticks at a tenth of a second; a reading goes out every interval.
    int timerIntervalMs() const override { return TickMs; }
    QByteArray onTimer() override;
    int framesRecognised() const override { return recognised_; }

    // What the meter holds now, as the station may have changed it.
    const AmpParams& params() const { return params_; }
    bool sending() const { return sending_; }
    qint64 readingsSent() const override { return readings_; }
    // Commands heard (the command character of each), in order.
    const QByteArray& commandsHeard() const { return heard_; }

    // Lines as this meter builds them.
    QByteArray parameterBlock() const;
    QByteArray readingLine() const;
    static QByteArray confirmation(char code, const QByteArray& echo);

private:
    QByteArray answer(const QByteArray& command);

    AmpOptions options_;
    AmpParams params_;
    QByteArray buffer_;
    QByteArray heard_;
    bool sending_ = false;
    int ticks_ = 0;
    int recognised_ = 0;
    qint64 readings_ = 0;
    double dose_ = 12.3; // accumulated since the meter was reset, in its unit times hours
};

// zel-sim's "amp": its own meter type, units and interval, and the shared
// options that mean the same for it.
SimFamily ampSimulator();

} // namespace zel::sim

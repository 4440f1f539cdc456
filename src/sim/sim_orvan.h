#pragma once
// Simulated Orvan: answers "G11" with its "R11" line (the units digit) and
// "G19" with an "R19" reading, fixed columns between STX and ETX. It can
// answer with error reports, fall silent or send garbage instead.
#include "sim/sim_family.h"
#include "sim/sim_instrument.h"
#include "station/clock.h"
#include <QByteArray>
#include <QList>
#include <memory>

namespace zel::sim {

struct OrvanOptions {
    int unitsDigit = 0; // character 29 of "R11": 0 sievert, anything else roentgen
    // The numbers of a reading as the instrument sends them; the GM rate in
    // hundredths of a microsievert (or in microroentgen) per hour.
    double gm = 15;
    double countRate = 42;
    double americium = 3;
    double cesium = 12;
    double cobalt = 5;
    double neutrons = 2;
    bool steady = false;  // keep the GM and count rates instead of letting them drift
    bool silent = false;  // never answer
    int stopAfter = -1;   // fall silent after this many commands; -1 = never
    int errorEvery = 0;   // answer every n-th "G19" with "E01"; 0 = never
    int garbageEvery = 0; // send garbage instead of every n-th answer; 0 = never
};

// Cuts the station's byte stream into command texts: STX starts one, ETX
// ends it; bytes outside a frame are ignored, an over-long frame is dropped.
class OrvanCommandCutter {
public:
    static constexpr int MaxText = 32;
    QList<QByteArray> feed(const QByteArray& bytes);

private:
    bool inFrame_ = false;
    QByteArray text_;
};

class SimOrvan final : public SimInstrument {
public:
    // Without a clock the system clock is used.
    explicit SimOrvan(OrvanOptions options = {}, const Clock* clock = nullptr);

    QString family() const override { return QStringLiteral("orvan"); }
    QByteArray receive(const QByteArray& bytes) override;
    int framesRecognised() const override { return recognised_; }

    const OrvanOptions& options() const { return options_; }

    // Replies as this instrument frames them.
    QByteArray identificationReply() const;
    QByteArray readingReply() const;
    static QByteArray errorReply(int number);
    // The k-th kind of garbage: a reading cut short, a reply letter nobody
    // knows, bytes without a start byte.
    static QByteArray garbageReply(int k);

    int commandsHeard() const { return heard_; }

private:
    QByteArray answer(const QByteArray& text);
    double drift(double base, double period) const;

    OrvanOptions options_;
    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    QDateTime started_;
    OrvanCommandCutter cutter_;
    int recognised_ = 0;
    int heard_ = 0;
    int polls_ = 0;
    int answers_ = 0;
    int garbageSent_ = 0;
};

// zel-sim's "orvan": its rates and fault options, and its units digit.
SimFamily orvanSimulator();

} // namespace zel::sim

#pragma once
// Simulated portable instrument: answers the station's 10-byte commands with
// reading and calibration replies in the Portables frame, sends on-line
// readings at the interval of command 9, and serves its log record by record.
#include "sim/sim_family.h"
#include "sim/sim_instrument.h"
#include "station/clock.h"
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <memory>

namespace zel::sim {

struct PortablesOptions {
    QByteArray id = "QUORIN 00042"; // 12 characters, bytes 1 .. 12 of every reading
    int detector = 255;             // detector code (255 = QUORIN)
    double value = 12;              // base value in the unit of `units`
    int units = 1;                  // units code (1 = mR/h; bit value 16 is the "f" flag)
    int status = 0;                 // status code
    int records = 20;               // logged records offered for download
    QList<double> logValues;        // values of the logged records in turn; empty = around `value`
    bool steady = false;            // keep the value at the base instead of letting it drift
    bool silent = false;            // never answer
    int corruptEvery = 0;           // every n-th reply gets a wrong checksum; 0 = never
    int stopAfter = -1;             // go quiet after this many commands; -1 = never
    int stopAfterRecord = -1;       // leave the request after the k-th record unanswered, once
    QList<int> damagedRecords;      // these logged records go out with a wrong checksum
    QByteArray calibration = "00471123"     // instrument number (8)
                             "1250"         // factor in thousandths (4)
                             "D. Levin    " // calibrated by (12)
                             "15092026";    // due date, day month year (8)
};

// The value code that shows `value`: five decimal digits, the first 5 for a
// positive exponent or 1 for a negative one, then the exponent and a
// three-digit mantissa. Values are held between 0 and 999 x 10^9.
int portablesValueCode(double value);

class SimPortables final : public SimInstrument {
public:
    // Without a clock the system clock is used.
    explicit SimPortables(PortablesOptions options = {}, const Clock* clock = nullptr);

    QString family() const override { return QStringLiteral("portables"); }
    QByteArray receive(const QByteArray& bytes) override;
    // The on-line interval of the last command 9; 0 while stopped.
    int timerIntervalMs() const override { return onlineMs_; }
    QByteArray onTimer() override;
    int framesRecognised() const override { return recognised_; }
    // Readings sent at the on-line interval.
    qint64 readingsSent() const override { return readingsSent_; }

    // Payloads (bytes 1 .. before the checksum) as this instrument builds them.
    QByteArray readingPayload(const QDateTime& time, double value) const;
    QByteArray recordPayload(int k) const;
    static QByteArray endOfLogPayload();
    QByteArray calibrationPayload() const;
    // Byte 0, payload, checksum, 0x04.
    static QByteArray frameOf(const QByteArray& payload);

    double currentValue() const;
    double recordValue(int k) const;
    QDateTime recordTime(int k) const;
    QDateTime instrumentNow() const;

    int commandsHeard() const { return heard_; }
    int repliesSent() const { return sent_; }

private:
    QByteArray answer(const QByteArray& command);
    QByteArray reply(const QByteArray& payload, bool damage = false);
    bool quiet() const;

    PortablesOptions options_;
    std::unique_ptr<Clock> ownClock_;
    const Clock* clock_;
    QDateTime started_;
    QDateTime logStart_;
    qint64 clockOffsetSecs_ = 0;
    QByteArray pending_;    // command bytes not yet a whole command
    int nextRecord_ = -1;   // the record command 5 sends next; -1 = no download
    int recordsServed_ = 0; // records sent in this run
    bool requestDropped_ = false;
    int onlineMs_ = 0;
    int recognised_ = 0;
    qint64 readingsSent_ = 0;
    int heard_ = 0;
    int sent_ = 0;
};

// zel-sim's "portables": reads the options it shares with Tarvo-5 and adds
// --id and --log-values.
SimFamily portablesSimulator();

} // namespace zel::sim

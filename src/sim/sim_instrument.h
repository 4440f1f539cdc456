#pragma once
// A simulated instrument is a byte-stream peer: bytes from the station come
// in, the reply bytes go out. It owns no port and no timer, so tests drive it
// in memory and the pseudo-terminal host (SimPty) only moves bytes.
#include <QByteArray>
#include <QString>
#include <functional>

namespace zel::sim {

class SimInstrument {
public:
    virtual ~SimInstrument() = default;

    // The word the command line uses for this family ("tarvo5", ...).
    virtual QString family() const = 0;

    // Takes a batch of bytes as they arrived on the line (any cut: half a
    // frame, several frames) and returns what the instrument sends back.
    virtual QByteArray receive(const QByteArray& bytes) = 0;

    // Interval of the unasked sending in milliseconds; 0 = the instrument
    // never speaks unasked. The host calls onTimer() at this interval.
    virtual int timerIntervalMs() const { return 0; }
    virtual QByteArray onTimer() { return {}; }

    // Number of well-formed frames of this family heard so far. A mode that
    // answers whichever family speaks picks the instrument that counts one
    // first.
    virtual int framesRecognised() const = 0;

    // On-line readings sent so far (asked for or pushed), for soak runs that
    // compare them with what the station filed; -1 when not counted.
    virtual qint64 readingsSent() const { return -1; }

    // Receives one human-readable line per event when set (verbose mode).
    void setLogger(std::function<void(const QString&)> log) { log_ = std::move(log); }

protected:
    void log(const QString& line) const {
        if (log_)
            log_(line);
    }

private:
    std::function<void(const QString&)> log_;
};

// Upper-case hex bytes separated by blanks, for traffic logs.
QString hexBytes(const QByteArray& bytes);

} // namespace zel::sim

#pragma once
// Puts a simulated instrument on a pseudo-terminal: the station opens the
// slave device (/dev/pts/N) as if it were a serial port.
#include "sim/sim_instrument.h"
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QCoreApplication;
class QSocketNotifier;

namespace zel::sim {

class SimPty : public QObject {
public:
    explicit SimPty(SimInstrument& instrument, QObject* parent = nullptr);
    ~SimPty() override;

    // Opens the master side, puts the line in raw mode and starts serving
    // the instrument. False with errorString() set on failure.
    bool open();
    QString slaveName() const { return slaveName_; }
    QString errorString() const { return error_; }

    // Points the symbolic link `path` at the slave device. An old symbolic
    // link there is replaced; any other kind of file is left alone and the
    // call fails.
    bool createLink(const QString& path);
    // Removes the link made by createLink, unless it no longer points at our
    // device (then it belongs to someone else now).
    void removeLink();

    // Raw line traffic, one line per batch (verbose mode).
    void setLogger(std::function<void(const QString&)> log) { log_ = std::move(log); }

    // Holds every reply this long before it goes out, as a slow instrument
    // would; readings sent unasked are not held.
    void setReplyDelay(int ms) { replyDelayMs_ = ms; }

    // Writes bytes to the line as the instrument would (also used by tests).
    void send(const QByteArray& bytes);
    qint64 bytesDropped() const { return dropped_; }

private:
    void readMaster();
    void flush();
    void discardUnread();
    // Follows the instrument's sending interval, which a command may change.
    void syncTimer();
    void log(const QString& line) const {
        if (log_)
            log_(line);
    }

    SimInstrument& instrument_;
    int master_ = -1;
    // Held open so the master never sees a hang-up while the station closes
    // and re-opens the port between commands.
    int slave_ = -1;
    QString slaveName_;
    QString link_;
    QString error_;
    QSocketNotifier* readNotifier_ = nullptr;
    QSocketNotifier* writeNotifier_ = nullptr;
    QTimer timer_;
    QByteArray pending_;
    qint64 dropped_ = 0;
    // Unread bytes on the line and since when nobody took any.
    static constexpr int kUnreadForMs = 3000;
    int unreadBytes_ = 0;
    QElapsedTimer unreadSince_;
    int replyDelayMs_ = 0;
    std::function<void(const QString&)> log_;
};

// Makes SIGINT, SIGTERM and SIGHUP end the event loop of `app` normally, so
// that the caller's clean-up after exec() runs. Call once.
bool quitOnTerminationSignals(QCoreApplication& app);

} // namespace zel::sim

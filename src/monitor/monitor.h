#pragma once
// Unattended monitoring: the Station without a window. It reads the same
// settings files as the window, collects on-line readings from one
// instrument, files each in the working file, applies the thresholds and
// writes one line per event to an output stream (standard output under
// systemd), re-opening a lost port until it is back.
#include "common/datetime.h"
#include "station/clock.h"
#include "station/session.h"
#include "station/station.h"
#include "station/station_view.h"
#include "station/transport.h"

#include <QHash>
#include <QObject>
#include <QTextStream>
#include <QTimer>
#include <functional>
#include <memory>

namespace zel {

class MetricsExporter;

class Monitor final : public QObject, public StationView {
    Q_OBJECT
public:
    struct Options {
        QString programFolder; // dax.ini, ZelTemp.csv
        QString settingsFile;  // Zel.ini
        int reopenIntervalMs = 5000;
        int supervisionIntervalMs = 500;
        int drainMs = 300;
        int healthIntervalMs = 60000; // the retained MQTT "health" message
        // Lines for the journal: "<N>" priority prefixes that journald reads.
        bool journalPriorities = false;
    };

    // `transport` and `clock` are the caller's; `out` receives the event lines.
    Monitor(const Options& options, Transport& transport, const Clock& clock, QTextStream& out,
            QObject* parent = nullptr);
    // Writes out the journal lines held back.
    ~Monitor() override;

    // Reads the settings and starts. False (with a line saying why) when the
    // settings cannot be used; the caller exits with a non-zero code.
    bool start();
    // Stops collection (the instrument is told to stop sending), takes in
    // what is still on its way, closes the port and calls `done`; every
    // reading taken is in the file by then.
    void stop(const std::function<void()>& done);

    Station& station() { return session_.station(); }
    const DataStore& data() const { return session_.data(); }
    // Since this start: readings the instrument gave, and those of them that
    // are in the working file (the rest wait for the disk).
    qint64 readingsTaken() const { return readingsTaken_; }
    qint64 readingsFiled() const;

    // StationView
    void setStatus(const QString& text, StatusKind kind) override;
    void setConnected(bool connected) override;
    void setAlarmLevel(AlarmLevel level) override;
    void showReading(const ShownReading& reading) override;
    void setValueText(const QString&) override {}
    void setReadingDetails(const QString&, const QString&, const QString&) override {}
    void setCount(qint32) override {}
    void setProgress(const QString&) override {}
    void enableCommand(Command, bool) override {}
    void showOnline(bool running) override;
    void refreshControls() override {}
    Answer ask(const QString& text, const QString& title, bool withCancel) override;
    void critical(const QString& text, const QString& title, const QString& detail) override;
    void information(const QString& text, const QString& title) override;
    bool showAll() const override { return false; }
    void debugLine(const QString&) override {}
    void showErrorCounters(quint32, quint32) override {}
    void startAlarmSound() override {}

public slots:
    // Starts collection once the instrument is ready; re-opens a lost port.
    void supervise();

private:
    enum class Level { Info, Warning, Error };
    void logEvent(Level level, const QString& kind, const QString& text = QString());
    bool tryOpenPort();
    // The settings-error line of a problem; false, for `return settingsError(...)`.
    bool settingsError(const SettingsProblem& problem);
    // Counters and port state for the control room, when publishing.
    void publishHealth();
    // [Metrics]: serves the station to Prometheus when configured. False
    // (after a settings-error line) when the address cannot be used.
    bool startMetrics();
    // The health the exporter reads from the Monitor and the Station.
    void refreshMetrics();

    Options options_;
    Transport& transport_;
    const Clock& clock_;
    QTextStream& out_;

    Session session_;
    std::unique_ptr<MetricsExporter> metrics_; // null when not serving metrics

    QTimer supervisor_;
    QTimer healthTimer_;
    // Ordinary reading lines go out together, a few times a second; any
    // other line takes them along at once.
    QTimer journalFlush_;
    QDateTime lastReadingAt_; // null before the first
    qint64 lastReopenAttempt_ = 0;
    bool portWasLost_ = false;
    bool connected_ = false;
    bool stopping_ = false;
    AlarmLevel lastAlarm_ = AlarmLevel::Normal; // as the journal last told it
    QString lastStatus_;
    QHash<QString, qint64> toldStatuses_; // status -> when last written out
    qint64 readingsTaken_ = 0;
};

// A value of an event line: bare when it is one plain word, else quoted.
QString eventValue(const QString& value);
// The time stamp of an event line: ISO 8601 with the UTC offset.
QString eventTime(const QDateTime& moment);

} // namespace zel

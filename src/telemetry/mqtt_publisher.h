#pragma once
// Publishes a station's readings and alarm state to an MQTT broker, for a
// control room that watches many stations. The working file stays the
// station's own record; this is a copy for others.
//
// The receive path never waits for the network: a reading is written to the
// queue file (in batches a few tens of milliseconds apart) and then handed
// to a client thread, which alone talks to libmosquitto
// (connects, publishes with QoS 1, reconnects with a growing pause) and hands
// acknowledgements and problems back through the event loop. A reading
// leaves the queue file only when the broker has acknowledged it.
#include "common/ini_file.h"
#include "data/alarm_level.h"
#include "data/reading.h"
#include "telemetry/disk_queue.h"
#include "telemetry/mqtt_settings.h"
#include "telemetry/send_order.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace zel {

struct MqttShared;

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    // `now` tells the time messages are stamped with (the station's clock).
    explicit MqttPublisher(std::function<QDateTime()> now, QObject* parent = nullptr);
    // Stops the client thread first: no thread outlives its objects.
    ~MqttPublisher() override;

    // Reads section [MQTT] of `ini`, opens the queue file in `queueFolder`
    // and starts the client thread. False when publishing is off (no Host)
    // or the settings cannot be used; then one message says why.
    bool start(const IniFile& ini, const QString& queueFolder, const QString& defaultStation);
    bool running() const { return thread_.joinable(); }
    // Gives the broker up to `flushMs` to take what waits, publishes
    // "offline", disconnects and joins the thread. What is not acknowledged
    // by then stays in the queue file for the next start.
    void stop(int flushMs = 2000);

    // A reading that is in the working file; `filedAs` says which line of it
    // (not known: a reading from elsewhere).
    void publishReading(const Reading& reading, AlarmLevel level,
                        const DiskQueue::Identity& filedAs = {});
    // Queues the readings of the working file `workingPath` filed after the
    // last one the queue took (a kill between the two, or a queue that could
    // not be used): the working file is the first copy of a reading. Their
    // messages carry "recovered": true and an alarm told by `alarmOf`. A
    // queue that never took a reading notes where the file ends instead.
    // Returns the number queued.
    qsizetype catchUp(const QString& workingPath, const RecordLayout& layout,
                      const std::function<AlarmLevel(const Reading&)>& alarmOf);
    // The lost-contact watch (or a lost port) raised the alarm.
    void publishLostContact();

    // The retained "health" message: replaces the one before, and goes out
    // again after every reconnect.
    void publishHealth(const QByteArray& body);

    // Readings the broker has not acknowledged yet.
    qsizetype waiting() const;
    // Since this start: readings the broker acknowledged, and readings a
    // full queue dropped unsent.
    qint64 published() const { return published_; }
    // Since this start: readings put in the queue.
    qint64 queued() const { return queued_; }
    qint64 dropped() const { return dropped_; }
    // Times the broker was seen closing sessions soon after their login
    // three times in a row (another client with the same id, most likely).
    qint64 takeovers() const { return takeovers_; }
    // Times another live client was seen on this station's topics (another
    // station with the same Station name).
    qint64 nameShared() const { return nameShared_; }
    bool connected() const { return connected_; }
    const MqttSettings& settings() const { return settings_; }

    static QString queueFileName() { return QStringLiteral("ZelMqttQueue.txt"); }

signals:
    // For the status line and the debug log; `problem` for failures.
    void message(const QString& text, bool problem);

private:
    void say(const QString& text, bool problem);
    void drainEvents();
    void setAlarm(const QString& text, const QByteArray& body);
    void wake();
    void reportQueueFile();
    void reportOpenedQueue(const DiskQueue::Opened& opened);
    void enqueue(const Reading& reading, AlarmLevel level, const DiskQueue::Identity& filedAs,
                 bool recovered);
    // The queue file is written in batches: a line per reading the broker
    // has not taken by then, and the marks.
    void writeQueueSoon();
    void writeQueueNow();
    // True when something was handed over.
    bool handOver();
    void shareAlarm(AlarmChange change);

    std::function<QDateTime()> now_;
    MqttSettings settings_;
    std::unique_ptr<DiskQueue> queue_;
    std::shared_ptr<MqttShared> shared_;
    std::thread thread_;
    QTimer queueWriteTimer_;
    // Queued since the last batch was written, not yet the client thread's.
    std::deque<DiskQueue::Entry> unsent_;
    std::vector<AlarmChange> unsentAlarms_;
    int wakeFd_ = -1;
    bool connected_ = false;
    bool fullReported_ = false;
    bool writingQueue_ = false; // in writeQueueNow()
    qint64 published_ = 0;
    qint64 queued_ = 0;
    qint64 dropped_ = 0;
    qint64 takeovers_ = 0;
    qint64 nameShared_ = 0;
    qint64 droppedBefore_ = 0; // at the end of the last overflow
    bool diskReported_ = false;
    bool seqExhaustedReported_ = false;
    QString lastProblem_;
    QString lastAlarm_;
    QString run_; // new at every start
};

// The Station name when Zel.ini sets none: $ZEL_DEFAULT_STATION (the
// template unit sets it to host and instance, so two instances on one host
// do not share a name), else the machine's name.
QString defaultStationName();

} // namespace zel

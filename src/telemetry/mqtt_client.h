#pragma once
// The client thread of the MQTT publisher: every libmosquitto call happens
// there. It connects, sends what waits in order with QoS 1, reconnects with
// a growing pause, and hands acknowledgements and problems back to the
// publisher's thread through the event loop.
#include "telemetry/disk_queue.h"
#include "telemetry/mqtt_settings.h"
#include "telemetry/send_order.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace zel {

// What the publisher's thread and the client thread share, under one lock.
struct MqttShared {
    enum class Kind { Connected, Problem, Lost, TakenOver, Acked, NameShared };
    struct Event {
        Kind kind;
        quint64 seq = 0;
        QString text;
    };

    std::mutex mutex;
    std::deque<DiskQueue::Entry> readings; // not yet acknowledged, oldest first
    std::deque<AlarmChange> alarms;        // changes not yet published, oldest first
    QByteArray latestAlarm;
    QByteArray health; // the latest, retained
    bool healthChanged = false;
    QByteArray goodbyeAlarm; // the retained alarm state a clean stop leaves
    bool stop = false;
    std::chrono::steady_clock::time_point flushUntil;
    std::vector<Event> events; // for the publisher's thread
    // The publisher's thread takes the events up within a batch interval
    // without being woken (its queue-write timer runs).
    bool drainComing = false;
};

struct MqttClientConfig {
    MqttSettings settings;
    QByteArray password;
    int wakeFd = -1; // an event descriptor the publisher writes to on news
    QObject* owner = nullptr;
    std::function<void()> drain; // run in `owner`'s thread after events were posted
};

// The body of the client thread; returns once `shared->stop` is set and
// the goodbye is said (or the flush time is up).
void runMqttClient(MqttClientConfig config, std::shared_ptr<MqttShared> shared);

} // namespace zel

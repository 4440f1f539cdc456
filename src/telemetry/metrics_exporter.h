#pragma once
// The station as Prometheus metrics: the last reading in a base unit, the
// alarm level and thresholds, and counters of what the station did, served
// at /metrics by prometheus-cpp's own HTTP server (its threads only read
// the values; everything is set from the event loop).
//
// Every name starts with "zel_"; every series carries the labels station,
// family and port. Nothing secret is a label or a value: the exporter is
// only ever given numbers, unit texts and the three names.
#include "common/failure.h"
#include "data/base_unit.h"
#include "telemetry/metrics_settings.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace prometheus {
class Exposer;
class Registry;
class Gauge;
class Counter;
template <typename T> class Family;
} // namespace prometheus

namespace zel {

// The six quantities of an Orvan reading; NaN where the instrument sent none.
struct OrvanQuantities {
    double gmRate; // in the reading's unit
    double americium;
    double cesium;
    double cobalt;
    double countRate; // counts per second
    double neutrons;
};

// Whether an IPv6 address can be listened on: Debian 12's civetweb, the HTTP
// server of prometheus-cpp, is built without IPv6.
bool servesIpv6();

// One reading, as the exporter needs it.
struct MetricsReading {
    double value = 0;    // as filed; NaN when the reading holds no measurement
    QString unit;        // as filed: the instrument's unit, thousands written out
    int alarmLevel = 0;  // the station's AlarmLevel
    double unixTime = 0; // when zel took it, seconds since 1970
    // The thresholds in the reading's unit; NaN when there are none.
    double threshold1 = 0;
    double threshold2 = 0;
    std::optional<OrvanQuantities> orvan;
};

// Alarm level 4: the lost-contact watch (or a lost port) raised the alarm.
inline constexpr int AlarmLevelLostContact = 4;

class MetricsExporter {
public:
    struct Identity {
        QString station;
        QString family; // "Portables", "Tarvo-5", "Amp + Vessa", "Orvan"
        QString port;   // the device
        QString version;
    };
    explicit MetricsExporter(const Identity& identity);
    ~MetricsExporter();
    MetricsExporter(const MetricsExporter&) = delete;
    MetricsExporter& operator=(const MetricsExporter&) = delete;

    // Serves /metrics at the address. A failure, its text naming the key,
    // when it cannot listen there (the port is taken, the address is not one
    // of this machine's).
    Expected<void> listen(const ListenAddress& address);
    bool listening() const { return exposer_ != nullptr; }

    void takeReading(const MetricsReading& reading);
    // The readings in the working file since the start (they may lag the
    // readings received while the disk is full).
    void setReadingsFiled(qint64 total);
    void countWriteFailure();
    void countDamagedFrame();
    // Lost contact, and a closed port, take the reading's series away until
    // the next reading: nothing stale is served as current.
    void raiseLostContact();
    void setPortOpen(bool open);
    void setIntervalSeconds(double seconds);
    // Since the start: readings handed to the MQTT queue, and acknowledged
    // by the broker. Only called when publishing.
    void setMqtt(qint64 queued, qint64 delivered);

    // What a scrape gets, in the text format.
    std::string text() const;

private:
    prometheus::Gauge& gauge(const std::string& name, const std::string& help,
                             const std::map<std::string, std::string>& labels = {});
    prometheus::Counter& counter(const std::string& name, const std::string& help);
    // Points `slot` at the series `name`{labels}, removing the one it held.
    struct Slot {
        prometheus::Family<prometheus::Gauge>* family = nullptr;
        prometheus::Gauge* gauge = nullptr;
    };
    void setSlot(Slot& slot, const std::string& name, const std::string& help,
                 const std::map<std::string, std::string>& labels, double value);
    void clearSlot(Slot& slot);
    void notePace(double unixTime);
    void withdrawReading();
    static void advance(prometheus::Counter& c, qint64 total);
    void setAlarmLevel(int level);

    std::map<std::string, std::string> common_;
    std::shared_ptr<prometheus::Registry> registry_;
    std::unique_ptr<prometheus::Exposer> exposer_;
    std::map<std::string, prometheus::Family<prometheus::Gauge>*> gauges_;
    std::map<std::string, prometheus::Family<prometheus::Counter>*> counters_;

    prometheus::Counter* received_ = nullptr;
    prometheus::Counter* filed_ = nullptr;
    prometheus::Counter* writeFailures_ = nullptr;
    prometheus::Counter* damagedFrames_ = nullptr;
    prometheus::Counter* lostContacts_ = nullptr;
    prometheus::Counter* mqttQueued_ = nullptr;
    prometheus::Counter* mqttDelivered_ = nullptr;
    prometheus::Gauge* alarmLevel_ = nullptr;
    prometheus::Gauge* lastReading_ = nullptr;
    prometheus::Gauge* portOpen_ = nullptr;
    prometheus::Gauge* interval_ = nullptr;
    prometheus::Gauge* pace_ = nullptr;
    double lastReadingTime_ = 0;
    std::deque<double> pauses_; // the last pauses between readings, in seconds
    Slot reading_;
    Slot unitInfo_;
    Slot thresholds_[2];
    Slot orvan_[6];
};

} // namespace zel

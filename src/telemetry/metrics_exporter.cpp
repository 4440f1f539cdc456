#include "telemetry/metrics_exporter.h"

#include <prometheus/counter.h>
#include <prometheus/exposer.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

#include <civetweb.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <netdb.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace zel {

namespace {

constexpr int ServerWorkers = 16;
constexpr int RequestTimeoutMs = 1000;

const char* const OrvanNames[6][2] = {
    {"zel_orvan_gm_rate", "The Orvan GM rate of the last reading"},
    {"zel_orvan_americium", "The Orvan americium value of the last reading"},
    {"zel_orvan_cesium", "The Orvan cesium value of the last reading"},
    {"zel_orvan_cobalt", "The Orvan cobalt value of the last reading"},
    {"zel_orvan_counts_per_second", "The Orvan count rate of the last reading"},
    {"zel_orvan_neutrons", "The Orvan neutron value of the last reading"},
};

std::string utf8(const QString& text) {
    return text.toStdString();
}

// Binds and listens at the address for a moment, for the system's own
// reason when that fails: the HTTP server only says that it could not start.
Expected<void> tryBind(const ListenAddress& a) {
    addrinfo hints{};
    hints.ai_family = a.ipv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(a.numeric.toUtf8().constData(), QByteArray::number(a.port).constData(),
                      &hints, &found) != 0 ||
        !found)
        return fail(Failure::Kind::Settings, QStringLiteral("the address cannot be used"));
    int error = 0;
    const int s = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        error = errno;
    } else {
        const int on = 1;
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(s, found->ai_addr, found->ai_addrlen) != 0 || ::listen(s, 1) != 0)
            error = errno;
        ::close(s);
    }
    ::freeaddrinfo(found);
    if (error != 0)
        return fail(failureKindOf(error), QString::fromLocal8Bit(std::strerror(error)));
    return {};
}

} // namespace

bool servesIpv6() {
    // Feature bit 8 of civetweb: IPv6 listening ports.
    return mg_check_feature(8) != 0;
}

MetricsExporter::MetricsExporter(const Identity& id)
    : common_{{"station", utf8(id.station)}, {"family", utf8(id.family)}, {"port", utf8(id.port)}},
      registry_(std::make_shared<prometheus::Registry>()) {
    // Like every series, with station, family and port beside the version.
    gauge("zel_build_info", "The program that serves these metrics; the value is always 1",
          {{"version", utf8(id.version)}})
        .Set(1);
    received_ = &counter("zel_readings_received_total", "Readings the instrument gave since start");
    filed_ = &counter("zel_readings_filed_total",
                      "Readings written to the working file ZelTemp.csv since start");
    writeFailures_ =
        &counter("zel_write_failures_total", "Failed attempts to write a reading to ZelTemp.csv");
    damagedFrames_ =
        &counter("zel_damaged_frames_total", "Frames from the instrument that failed their check");
    lostContacts_ = &counter("zel_lost_contact_episodes_total",
                             "Times contact with the instrument or its port was lost");
    lastReading_ = &gauge("zel_last_reading_timestamp_seconds",
                          "When zel took the last reading, as a Unix time");
    portOpen_ = &gauge("zel_port_open", "1 while the serial port is open");
}

MetricsExporter::~MetricsExporter() = default;

prometheus::Gauge& MetricsExporter::gauge(const std::string& name, const std::string& help,
                                          const std::map<std::string, std::string>& labels) {
    auto& family = gauges_[name];
    if (!family)
        family =
            &prometheus::BuildGauge().Name(name).Help(help).Labels(common_).Register(*registry_);
    return family->Add(labels);
}

prometheus::Counter& MetricsExporter::counter(const std::string& name, const std::string& help) {
    auto& family = counters_[name];
    if (!family)
        family =
            &prometheus::BuildCounter().Name(name).Help(help).Labels(common_).Register(*registry_);
    return family->Add({});
}

void MetricsExporter::setSlot(Slot& slot, const std::string& name, const std::string& help,
                              const std::map<std::string, std::string>& labels, double value) {
    prometheus::Gauge& g = gauge(name, help, labels);
    // A new unit is a new series; the old one would stay at its last value
    // for as long as the program runs.
    if (slot.gauge && slot.gauge != &g)
        slot.family->Remove(slot.gauge);
    slot.family = gauges_[name];
    slot.gauge = &g;
    slot.gauge->Set(value);
}

Expected<void> MetricsExporter::listen(const ListenAddress& address) {
    const QString shown = QStringLiteral("Listen \"%1\" in [Metrics]").arg(address.serverForm());
    if (address.ipv6 && !servesIpv6())
        return fail(Failure::Kind::Settings,
                    shown + QStringLiteral(": the HTTP server library of this system (civetweb) "
                                           "was built without IPv6; use an IPv4 address"));
    // The system's reason first: the server itself only says it failed.
    if (const Expected<void> bound = tryBind(address); !bound)
        return fail(bound.error().kind,
                    shown + QStringLiteral(": cannot listen there: ") + bound.error().text);
    try {
        // Enough workers that slow or idle clients (ten at once) leave some
        // for the scrape, and a short time-out that drops a client which
        // sends its request a byte at a time: the server's defaults (two
        // workers, 30 s) let two such clients hold every scrape for half a
        // minute, long enough for Prometheus to mark the station down.
        exposer_ = std::make_unique<prometheus::Exposer>(std::vector<std::string>{
            "listening_ports", utf8(address.serverForm()), "num_threads",
            std::to_string(ServerWorkers), "request_timeout_ms", std::to_string(RequestTimeoutMs)});
    } catch (const std::exception& e) {
        return fail(Failure::Kind::Other, shown + QStringLiteral(": cannot listen there: ") +
                                              QString::fromUtf8(e.what()));
    }
    exposer_->RegisterCollectable(registry_);
    return {};
}

void MetricsExporter::setAlarmLevel(int level) {
    // Absent until the first reading: before it, "normal" would be a guess.
    if (!alarmLevel_)
        alarmLevel_ = &gauge("zel_alarm_level", "0 normal, 1 above the first threshold, 2 above "
                                                "the second, 3 instrument fault, 4 lost contact");
    alarmLevel_->Set(level);
}

void MetricsExporter::clearSlot(Slot& slot) {
    if (slot.gauge)
        slot.family->Remove(slot.gauge);
    slot = Slot();
}

void MetricsExporter::withdrawReading() {
    // No reading is current: a gauge left at its last value would draw on
    // as a flat, plausible line.
    clearSlot(reading_);
    for (Slot& slot : orvan_)
        clearSlot(slot);
}

void MetricsExporter::notePace(double unixTime) {
    // The usual pause between readings, for the stale rule: an instrument
    // that sends on its own (an Amp + Vessa) keeps a pace of its own,
    // whatever the interval in Zel.ini says. The median of the last pauses
    // is not moved by one long outage.
    if (lastReadingTime_ > 0 && unixTime > lastReadingTime_) {
        pauses_.push_back(unixTime - lastReadingTime_);
        if (pauses_.size() > 9)
            pauses_.pop_front();
        std::vector<double> sorted(pauses_.begin(), pauses_.end());
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                         sorted.end());
        if (!pace_)
            pace_ = &gauge("zel_reading_pace_seconds",
                           "The usual pause between readings: the median of the last nine");
        pace_->Set(sorted[sorted.size() / 2]);
    }
    lastReadingTime_ = unixTime;
}

void MetricsExporter::takeReading(const MetricsReading& r) {
    received_->Increment();
    setAlarmLevel(r.alarmLevel);
    lastReading_->Set(r.unixTime);
    notePace(r.unixTime);
    // The unit as the instrument writes it is a series of its own: as a
    // label of the reading, a change of range (mR/h to R/h) would split one
    // quantity into two series.
    setSlot(unitInfo_, "zel_reading_unit_info",
            "The unit the instrument writes its last reading in; the value is always 1",
            {{"unit", utf8(r.unit.trimmed())}}, 1);
    const std::optional<BaseUnit> base = baseUnit(r.unit);
    if (!std::isfinite(r.value))
        clearSlot(reading_); // an error reply or a value the instrument could not measure
    else if (base)
        setSlot(reading_, std::string("zel_reading_") + base->name,
                "The last reading, in its base unit", {}, r.value * base->factor);
    else
        setSlot(reading_, "zel_reading_value",
                "The last reading, in a unit without an exact base unit (see "
                "zel_reading_unit_info)",
                {}, r.value);
    const double thresholds[2] = {r.threshold1, r.threshold2};
    for (int i = 0; i < 2; ++i) {
        const std::map<std::string, std::string> labels{{"level", std::to_string(i + 1)}};
        if (base)
            setSlot(thresholds_[i], std::string("zel_alarm_threshold_") + base->name,
                    "An alarm threshold, in the base unit of the last reading", labels,
                    thresholds[i] * base->factor);
        else
            setSlot(thresholds_[i], "zel_alarm_threshold",
                    "An alarm threshold, in the unit of the last reading", labels, thresholds[i]);
    }
    if (!std::isfinite(r.value)) {
        withdrawReading(); // no quantity of a reading without a measurement is current
    } else if (r.orvan) {
        const OrvanQuantities& q = *r.orvan;
        const double values[6] = {q.gmRate, q.americium, q.cesium,
                                  q.cobalt, q.countRate, q.neutrons};
        for (int i = 0; i < 6; ++i) {
            std::string name = OrvanNames[i][0];
            double value = values[i];
            // The GM rate is in the reading's unit, and converted like it.
            if (i == 0) {
                if (base) {
                    name += std::string("_") + base->name;
                    value *= base->factor;
                }
            }
            setSlot(orvan_[i], name, OrvanNames[i][1], {}, value);
        }
    }
}

void MetricsExporter::advance(prometheus::Counter& c, qint64 total) {
    const double step = double(total) - c.Value();
    if (step > 0)
        c.Increment(step);
}

void MetricsExporter::setReadingsFiled(qint64 total) {
    advance(*filed_, total);
}

void MetricsExporter::countWriteFailure() {
    writeFailures_->Increment();
}

void MetricsExporter::countDamagedFrame() {
    damagedFrames_->Increment();
}

void MetricsExporter::raiseLostContact() {
    lostContacts_->Increment();
    setAlarmLevel(AlarmLevelLostContact);
    withdrawReading();
}

void MetricsExporter::setPortOpen(bool open) {
    portOpen_->Set(open ? 1 : 0);
    if (!open)
        withdrawReading();
}

void MetricsExporter::setIntervalSeconds(double seconds) {
    if (!interval_)
        interval_ = &gauge("zel_reading_interval_seconds", "The on-line interval between readings");
    interval_->Set(seconds);
}

void MetricsExporter::setMqtt(qint64 queued, qint64 delivered) {
    if (!mqttQueued_) {
        mqttQueued_ = &counter("zel_mqtt_messages_queued_total",
                               "Readings put in the MQTT queue since start");
        mqttDelivered_ = &counter("zel_mqtt_messages_delivered_total",
                                  "Readings the MQTT broker acknowledged since start");
    }
    advance(*mqttQueued_, queued);
    advance(*mqttDelivered_, delivered);
}

std::string MetricsExporter::text() const {
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, registry_->Collect());
    return out.str();
}

} // namespace zel

// The Prometheus exporter's pure parts and its HTTP server: units brought to
// base units, [Metrics] Listen taken apart, the series a reading leaves, and
// /metrics served on loopback.
#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/tarvo.h"
#include "support/mqtt_broker.h"
#include "telemetry/metrics_exporter.h"
#include "telemetry/metrics_settings.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace zel {
namespace {

TEST(MetricsUnits, ExactConversionsGoToBaseUnitsAndOthersKeepTheirOwn) {
    struct Case {
        const char* unit;
        double value;
        const char* base; // nullptr: no exact base unit
        double expected;
    };
    const Case cases[] = {
        {"uSv/h", 2.5, "sieverts_per_hour", 2.5e-6},
        {"\u00b5Sv/h", 2.5, "sieverts_per_hour", 2.5e-6},
        {"\u03bcSv/h", 2.5, "sieverts_per_hour", 2.5e-6},
        {"mSv/h", 3, "sieverts_per_hour", 3e-3},
        {"Sv/h", 3, "sieverts_per_hour", 3},
        {" uSv/h ", 1, "sieverts_per_hour", 1e-6},
        {"uSv", 7, "sieverts", 7e-6},
        {"mSv", 7, "sieverts", 7e-3},
        {"uR/h", 40, "roentgens_per_hour", 40e-6},
        {"\u00b5R/h", 40, "roentgens_per_hour", 40e-6},
        {"mR/h", 12, "roentgens_per_hour", 0.012},
        {"R/h", 1.5, "roentgens_per_hour", 1.5},
        {"mR", 12, "roentgens", 0.012},
        {"R", 2, "roentgens", 2},
        {"cps", 30, "counts_per_second", 30},
        {"cpm", 120, "counts_per_second", 2},
        {"Kcpm", 1.2, "counts_per_second", 20},
        {"Kps", 1.5, "counts_per_second", 1500},
        {"ps", 1500, "counts_per_second", 1500}, // "Kps" as the working file writes it
        {"counts", 9, "counts", 9},
        {"Kcounts", 9, "counts", 9000},
        {"count", 9, "counts", 9},
        {"Bq", 5, "becquerels", 5},
        {"dpm", 60, "becquerels", 1},
        {"uCi", 1, "becquerels", 37000},
        {"USv/h", 1, nullptr, 0},
        {"MSv/h", 1, nullptr, 0}, // mega, not milli
        {"mR/h L", 1, nullptr, 0},
        {"Shield", 1, nullptr, 0},
        {"17", 1, nullptr, 0},
        {"", 1, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        const std::optional<BaseUnit> b = baseUnit(QString::fromUtf8(c.unit));
        ASSERT_EQ(b.has_value(), c.base != nullptr);
        if (!b)
            continue;
        EXPECT_STREQ(b->name, c.base);
        EXPECT_NEAR(c.value * b->factor, c.expected, std::abs(c.expected) * 1e-12);
    }
}

// Every rate and dose unit an instrument family writes has its base unit;
// the rest are the few without one.
TEST(MetricsUnits, EveryUnitTheFamiliesWriteIsKnown) {
    QSet<QString> written{orvan::Roentgen, orvan::Sievert};
    for (int code = 0; code < 256; ++code) {
        for (bool shortForm : {false, true})
            for (bool large : {false, true})
                written.insert(tarvo::unitsText(code, shortForm, large));
        written.insert(portablesUnitsText(code));
    }
    for (int16_t flag : {0, 1})
        for (int16_t convert : {0, 1})
            written.insert(amp::unitsText(flag, convert));
    for (const QString& unit : written) {
        SCOPED_TRACE(unit.toStdString());
        bool number = false;
        unit.trimmed().toInt(&number);
        const bool withoutBase = number || unit.endsWith(QLatin1String(" L")) ||
                                 unit.contains(QLatin1String("Shield")) || unit.endsWith('f');
        EXPECT_EQ(baseUnit(unit).has_value(), !withoutBase);
    }
}

TEST(MetricsSettings, ListenIsTakenApartAndBadValuesNameTheKey) {
    struct Case {
        const char* listen;
        const char* numeric; // nullptr: a problem, which `problem` is part of
        const char* problem;
        int port;
    };
    const Case cases[] = {
        {"127.0.0.1:9464", "127.0.0.1", "", 9464},
        {"[::1]:9464", "::1", "", 9464},
        {"0.0.0.0:1", "0.0.0.0", "", 1},
        {"localhost:65535", "", "", 65535}, // from the hosts file
        {"127.0.0.1", nullptr, "has no port", 0},
        {"127.0.0.1:", nullptr, "is not a port number", 0},
        {"127.0.0.1:0", nullptr, "is not a port number", 0},
        {"127.0.0.1:65536", nullptr, "is not a port number", 0},
        {"127.0.0.1:+80", nullptr, "is not a port number", 0},
        {"127.0.0.1:080x", nullptr, "is not a port number", 0},
        {"127.0.0.1:80,8080", nullptr, "is not a port number", 0},
        {":9464", nullptr, "has no host", 0},
        {"::1:9464", nullptr, "written in brackets", 0},
        {"[::1]", nullptr, "no port after the bracket", 0},
        {"[::1]9464", nullptr, "no port after the bracket", 0},
        {"[::1:9464", nullptr, "no closing bracket", 0},
        {"[127.0.0.1]:9464", nullptr, "is not an IPv6 address", 0},
        {"[localhost]:9464", nullptr, "is not an IPv6 address", 0},
        {"host name:9464", nullptr, "is not a host name", 0},
        {"a,b:9464", nullptr, "is not a host name", 0},
        {"h\x01:9464", nullptr, "\"h?\" is not a host name", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.listen);
        const Expected<ListenAddress> resolved = resolveListen(QString::fromUtf8(c.listen));
        const QString problem = resolved ? QString() : resolved.error().text;
        if (!c.numeric) {
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.problem))) << problem.toStdString();
            EXPECT_TRUE(problem.startsWith("Listen \"")) << problem.toStdString();
            EXPECT_TRUE(problem.contains("[Metrics]"));
            continue;
        }
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        const ListenAddress& a = *resolved;
        EXPECT_EQ(a.port, c.port);
        if (*c.numeric) {
            EXPECT_EQ(a.numeric, QString::fromUtf8(c.numeric));
        }
        EXPECT_EQ(a.serverForm(), a.ipv6 ? "[" + a.numeric + "]:" + QString::number(c.port)
                                         : a.numeric + ":" + QString::number(c.port));
    }
}

TEST(MetricsSettings, TheStationComesFromMetricsThenMqttThenTheMachine) {
    QTemporaryDir dir;
    const auto read = [&](const QByteArray& ini) {
        QFile f(dir.filePath("Zel.ini"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(ini);
        f.close();
        return readMetricsSettings(IniFile(f.fileName()), "machine");
    };
    EXPECT_FALSE(read("[COMMON]\r\nInsType=1\r\n").enabled());
    EXPECT_EQ(read("[Metrics]\r\nListen=127.0.0.1:9464\r\n").station, "machine");
    EXPECT_EQ(read("[MQTT]\r\nStation=north\r\n[Metrics]\r\nListen=x:1\r\n").station, "north");
    const MetricsSettings s =
        read("[MQTT]\r\nStation=north\r\n[Metrics]\r\nListen=127.0.0.1:9464  \r\nStation=n2\r\n");
    EXPECT_EQ(s.station, "n2");
    EXPECT_EQ(s.listen, "127.0.0.1:9464");
}

// "name{labels}" -> value, from the text format.
std::map<std::string, double> samples(const std::string& text) {
    std::map<std::string, double> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const size_t space = line.rfind(' ');
        out[line.substr(0, space)] = std::stod(line.substr(space + 1));
    }
    return out;
}

const std::string Labels = "family=\"Tarvo-5\",port=\"/dev/ttyUSB0\",station=\"north\"";

std::string series(const std::string& name, const std::string& extra = {}) {
    return name + "{" + Labels + (extra.empty() ? "" : "," + extra) + "}";
}

MetricsExporter::Identity north() {
    return {"north", "Tarvo-5", "/dev/ttyUSB0", "4.4.1"};
}

MetricsReading reading(double value, const char* unit, int alarm) {
    MetricsReading r;
    r.value = value;
    r.unit = QString::fromUtf8(unit);
    r.alarmLevel = alarm;
    r.unixTime = 1700000000.5;
    r.threshold1 = 5;
    r.threshold2 = 50;
    return r;
}

TEST(MetricsExporter, AReadingLeavesItsValueLevelThresholdsAndCounts) {
    MetricsExporter e(north());
    e.setPortOpen(true);
    e.setIntervalSeconds(0.5);
    EXPECT_EQ(samples(e.text()).count(series("zel_alarm_level")), 0u)
        << "no level before a reading";
    EXPECT_EQ(samples(e.text())[series("zel_last_reading_timestamp_seconds")], 0);
    e.takeReading(reading(12, "mR/h", 1));
    e.setReadingsFiled(1);
    auto s = samples(e.text());
    EXPECT_DOUBLE_EQ(s[series("zel_reading_roentgens_per_hour")], 0.012);
    EXPECT_EQ(s[series("zel_reading_unit_info", "unit=\"mR/h\"")], 1);
    EXPECT_DOUBLE_EQ(s[series("zel_alarm_threshold_roentgens_per_hour", "level=\"1\"")], 0.005);
    EXPECT_DOUBLE_EQ(s[series("zel_alarm_threshold_roentgens_per_hour", "level=\"2\"")], 0.05);
    EXPECT_EQ(s[series("zel_alarm_level")], 1);
    EXPECT_EQ(s[series("zel_readings_received_total")], 1);
    EXPECT_EQ(s[series("zel_readings_filed_total")], 1);
    EXPECT_DOUBLE_EQ(s[series("zel_last_reading_timestamp_seconds")], 1700000000.5);
    EXPECT_EQ(s[series("zel_port_open")], 1);
    EXPECT_EQ(s[series("zel_reading_interval_seconds")], 0.5);
    EXPECT_EQ(s[series("zel_build_info", "version=\"4.4.1\"")], 1);
    EXPECT_EQ(s.count(series("zel_mqtt_messages_queued_total")), 0u) << "not publishing";

    // A change of range stays one series: the unit written is its own.
    e.takeReading(reading(2, "R/h", 2));
    s = samples(e.text());
    EXPECT_DOUBLE_EQ(s[series("zel_reading_roentgens_per_hour")], 2);
    EXPECT_EQ(s.count(series("zel_reading_unit_info", "unit=\"mR/h\"")), 0u);
    EXPECT_EQ(s[series("zel_reading_unit_info", "unit=\"R/h\"")], 1);
    // A unit without a base unit is another series; the old one does not
    // linger.
    e.takeReading(reading(3, "Shield", 0));
    e.takeReading(reading(4, "Shield", 2));
    s = samples(e.text());
    EXPECT_EQ(s.count(series("zel_reading_roentgens_per_hour")), 0u);
    EXPECT_EQ(s.count(series("zel_alarm_threshold_roentgens_per_hour", "level=\"2\"")), 0u);
    EXPECT_EQ(s[series("zel_reading_value")], 4);
    EXPECT_EQ(s[series("zel_alarm_threshold", "level=\"2\"")], 50);
    EXPECT_EQ(s[series("zel_alarm_level")], 2);
    EXPECT_EQ(s[series("zel_readings_received_total")], 4);
    for (const auto& [name, value] : s)
        EXPECT_EQ(name.rfind("zel_", 0), 0u) << name;
}

TEST(MetricsExporter, CountersOnlyCountUpAndLostContactIsLevelFour) {
    MetricsExporter e(north());
    e.takeReading(reading(12, "mR/h", 3));
    EXPECT_EQ(samples(e.text())[series("zel_alarm_level")], 3);
    e.setReadingsFiled(5);
    e.setReadingsFiled(3); // a restart of the count never runs a counter back
    e.countWriteFailure();
    e.countWriteFailure();
    e.countDamagedFrame();
    e.raiseLostContact();
    e.setMqtt(7, 4);
    e.setMqtt(7, 6);
    e.setPortOpen(false);
    auto s = samples(e.text());
    EXPECT_EQ(s[series("zel_readings_filed_total")], 5);
    EXPECT_EQ(s[series("zel_write_failures_total")], 2);
    EXPECT_EQ(s[series("zel_damaged_frames_total")], 1);
    EXPECT_EQ(s[series("zel_lost_contact_episodes_total")], 1);
    EXPECT_EQ(s[series("zel_alarm_level")], AlarmLevelLostContact);
    EXPECT_EQ(s[series("zel_mqtt_messages_queued_total")], 7);
    EXPECT_EQ(s[series("zel_mqtt_messages_delivered_total")], 6);
    EXPECT_EQ(s[series("zel_port_open")], 0);
    // The next reading brings the level back.
    e.takeReading(reading(1, "mR/h", 0));
    EXPECT_EQ(samples(e.text())[series("zel_alarm_level")], 0);
}

// Nothing stale is served as current: lost contact and a closed port take
// the reading's series away until the next reading; a reading that holds no
// number (an error reply, over range) has none.
TEST(MetricsExporter, NoReadingIsServedWhileContactIsLost) {
    const std::string dose = series("zel_reading_roentgens_per_hour");
    const double none = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::function<void(MetricsExporter&)> event;
        double level;
    };
    const Case cases[] = {
        {"lost contact", [](MetricsExporter& e) { e.raiseLostContact(); }, 4},
        {"port closed", [](MetricsExporter& e) { e.setPortOpen(false); }, 1},
        {"an error reply", [&](MetricsExporter& e) { e.takeReading(reading(none, "mR/h", 3)); }, 3},
    };
    for (const Case& c : cases) {
        MetricsExporter e(north());
        MetricsReading orvanLike = reading(12, "mR/h", 1);
        orvanLike.orvan = OrvanQuantities{12, 1, 2, 3, 4, 5};
        e.takeReading(orvanLike);
        ASSERT_EQ(samples(e.text()).count(dose), 1u) << c.what;
        c.event(e);
        const auto s = samples(e.text());
        EXPECT_EQ(s.count(dose), 0u) << c.what;
        EXPECT_EQ(s.count(series("zel_orvan_americium")), 0u) << c.what;
        EXPECT_EQ(s.at(series("zel_alarm_level")), c.level) << c.what;
        e.setPortOpen(true);
        e.takeReading(reading(13, "mR/h", 1));
        EXPECT_DOUBLE_EQ(samples(e.text()).at(dose), 0.013) << c.what << ": back with a reading";
    }
}

// The usual pause between readings, for the stale rule: the median of the
// last ones, so one long outage does not move it.
TEST(MetricsExporter, ThePaceIsTheUsualPause) {
    MetricsExporter e(north());
    const double pauses[] = {30, 30, 3600, 30, 29, 31};
    double t = 1700000000;
    MetricsReading r = reading(1, "mR/h", 0);
    r.unixTime = t;
    e.takeReading(r);
    EXPECT_EQ(samples(e.text()).count(series("zel_reading_pace_seconds")), 0u);
    for (const double p : pauses) {
        r.unixTime = t += p;
        e.takeReading(r);
    }
    EXPECT_EQ(samples(e.text()).at(series("zel_reading_pace_seconds")), 30);
}

TEST(MetricsExporter, AnOrvanReadingGivesEachQuantityItsSeries) {
    MetricsExporter e({"north", "Orvan", "/dev/ttyUSB0", "4.4.1"});
    MetricsReading r = reading(0.25, "uSv/h", 0);
    const double none = std::numeric_limits<double>::quiet_NaN();
    r.orvan = OrvanQuantities{0.25, 11, 12, none, 40, 2};
    e.takeReading(r);
    auto s = samples(e.text());
    const auto orvan = [](const std::string& name, const std::string& extra = {}) {
        return name + "{family=\"Orvan\",port=\"/dev/ttyUSB0\",station=\"north\"" +
               (extra.empty() ? "" : "," + extra) + "}";
    };
    EXPECT_DOUBLE_EQ(s[orvan("zel_reading_sieverts_per_hour")], 0.25e-6);
    EXPECT_DOUBLE_EQ(s[orvan("zel_orvan_gm_rate_sieverts_per_hour")], 0.25e-6);
    EXPECT_EQ(s[orvan("zel_orvan_americium")], 11);
    EXPECT_EQ(s[orvan("zel_orvan_cesium")], 12);
    EXPECT_TRUE(std::isnan(s[orvan("zel_orvan_cobalt")]));
    EXPECT_EQ(s[orvan("zel_orvan_counts_per_second")], 40);
    EXPECT_EQ(s[orvan("zel_orvan_neutrons")], 2);
}

// What a GET of `path` on loopback answers, headers and body.
std::string httpGet(int port, bool ipv6, const std::string& path) {
    const int s = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_storage storage{};
    socklen_t len = 0;
    if (ipv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        a->sin6_port = htons(uint16_t(port));
        len = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&storage);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a->sin_port = htons(uint16_t(port));
        len = sizeof *a;
    }
    std::string got;
    if (::connect(s, reinterpret_cast<sockaddr*>(&storage), len) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: x\r\n\r\n";
        if (::write(s, request.data(), request.size()) == ssize_t(request.size())) {
            char buffer[4096];
            ssize_t n;
            while ((n = ::read(s, buffer, sizeof buffer)) > 0)
                got.append(buffer, size_t(n));
        }
    }
    ::close(s);
    return got;
}

// Ten clients that connect and then say nothing (or a byte now and then)
// cannot keep a scrape waiting: the server has workers to spare and drops a
// client that is too slow.
TEST(MetricsExporter, IdleClientsDoNotStarveAScrape) {
    const int port = test::freeLoopbackPort();
    MetricsExporter e(north());
    const Expected<void> listening =
        e.listen(resolveListen(QStringLiteral("127.0.0.1:%1").arg(port)).value());
    ASSERT_TRUE(listening) << listening.error().text.toStdString();
    e.takeReading(reading(12, "mR/h", 1));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    std::vector<int> idle;
    for (int i = 0; i < 10; ++i) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        // Half a request line, as a slow client sends it.
        ASSERT_EQ(::write(s, "GET /met", 8), 8);
        idle.push_back(s);
    }
    // The scrape, while all ten are still connected: it is answered before
    // any of them gives up on its own.
    const int scrape = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(scrape, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    const std::string request = "GET /metrics HTTP/1.0\r\nHost: x\r\n\r\n";
    ASSERT_EQ(::write(scrape, request.data(), request.size()), ssize_t(request.size()));
    std::string got;
    pollfd p{scrape, POLLIN, 0};
    // Ten seconds is far beyond a healthy answer and far below the 30 s a
    // starved server keeps a slow client.
    while (::poll(&p, 1, 10000) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(scrape, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, size_t(n));
    }
    ::close(scrape);
    EXPECT_NE(got.find(series("zel_reading_roentgens_per_hour") + " 0.012"), std::string::npos)
        << got;
    for (const int s : idle)
        ::close(s);
}

TEST(MetricsExporter, ServesMetricsOnLoopbackAndRefusesATakenPort) {
    struct Case {
        const char* listen;
        bool ipv6;
    };
    for (const Case& c : {Case{"127.0.0.1:%1", false}, Case{"[::1]:%1", true}}) {
        SCOPED_TRACE(c.listen);
        const int port = test::freeLoopbackPort();
        const Expected<ListenAddress> resolved =
            resolveListen(QString::fromLatin1(c.listen).arg(port));
        ASSERT_TRUE(resolved) << resolved.error().text.toStdString();
        const ListenAddress& address = *resolved;
        MetricsExporter e(north());
        if (c.ipv6 && !servesIpv6()) {
            // Said as such, instead of the server's "possible problem binding".
            const Expected<void> listening = e.listen(address);
            const QString problem = listening ? QString() : listening.error().text;
            EXPECT_FALSE(listening);
            EXPECT_TRUE(problem.contains("built without IPv6")) << problem.toStdString();
            continue;
        }
        const Expected<void> listening = e.listen(address);
        ASSERT_TRUE(listening) << listening.error().text.toStdString();
        e.takeReading(reading(12, "mR/h", 1));
        const std::string got = httpGet(port, c.ipv6, "/metrics");
        EXPECT_EQ(got.rfind("HTTP/1.1 200", 0), 0u) << got;
        EXPECT_NE(got.find(series("zel_reading_roentgens_per_hour") + " 0.012"), std::string::npos)
            << got;
        EXPECT_EQ(httpGet(port, c.ipv6, "/").find(" 200 "), std::string::npos)
            << "only /metrics is served";

        MetricsExporter second(north());
        const Expected<void> secondListening = second.listen(address);
        EXPECT_FALSE(secondListening);
        const QString problem = secondListening ? QString() : secondListening.error().text;
        EXPECT_FALSE(second.listening());
        EXPECT_TRUE(problem.contains("Listen \"" + address.serverForm() + "\" in [Metrics]"))
            << problem.toStdString();
        EXPECT_TRUE(problem.contains("in use")) << problem.toStdString();
    }
    // An address that is not this machine's (TEST-NET-1): nothing is sent.
    MetricsExporter e(north());
    const auto listenAt = [&e](const char* listen) {
        return resolveListen(QString::fromLatin1(listen)).and_then([&e](const ListenAddress& a) {
            return e.listen(a);
        });
    };
    Expected<void> listening = listenAt("192.0.2.1:9464");
    EXPECT_FALSE(listening);
    QString problem = listening ? QString() : listening.error().text;
    EXPECT_TRUE(problem.contains("Cannot assign requested address")) << problem.toStdString();
    listening = listenAt("127.0.0.1:0");
    EXPECT_FALSE(listening);
    problem = listening ? QString() : listening.error().text;
    EXPECT_TRUE(problem.contains("not a port number")) << problem.toStdString();
}

} // namespace
} // namespace zel

#pragma once
// Section [Metrics] of "Zel.ini": where zel-monitor serves its readings and
// health to Prometheus. Without "Listen" nothing is served. The address is
// checked and resolved before anything listens, so a typing error is one
// message at start instead of a station nobody can scrape.
#include "common/failure.h"
#include "common/ini_file.h"
#include <QString>

namespace zel {

struct MetricsSettings {
    QString listen;  // "Listen": host:port, an IPv6 literal in brackets; empty: off
    QString station; // "Station": the station label; [MQTT] Station, else the machine's name

    bool enabled() const { return !listen.isEmpty(); }
};

// Reads the section; `defaultStation` stands in for a missing "Station" in
// both [Metrics] and [MQTT].
MetricsSettings readMetricsSettings(const IniFile& ini, const QString& defaultStation);

// "Listen" taken apart and resolved.
struct ListenAddress {
    QString host;    // as written, without the brackets of an IPv6 literal
    int port = 0;    // 1 to 65535
    QString numeric; // the address the host stands for ("127.0.0.1", "::1")
    bool ipv6 = false;

    // The address in the form the HTTP server takes: "127.0.0.1:9464",
    // "[::1]:9464".
    QString serverForm() const;
};

// Takes "Listen" apart and resolves its host name (the first address the
// resolver gives). A failure says what is wrong, in words for a person,
// naming the key. A name is looked up through the system's resolver, so it
// may be slow when the name server is.
Expected<ListenAddress> resolveListen(const QString& listen);

} // namespace zel

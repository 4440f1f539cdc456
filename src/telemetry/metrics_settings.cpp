#include "telemetry/metrics_settings.h"

#include "common/text.h"

#include <netdb.h>
#include <sys/socket.h>

namespace zel {

namespace {

const QString Section = QStringLiteral("Metrics");

bool allDigits(const QString& text) {
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !text.isEmpty();
}

// Letters, digits, dots and hyphens: a host name or an IPv4 literal. Anything
// else (a comma, a blank) would reach the HTTP server's own option syntax.
bool hostCharacters(const QString& host) {
    for (QChar c : host)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') &&
            c != QLatin1Char('-'))
            return false;
    return true;
}

tl::unexpected<Failure> failed(const QString& problem) {
    return fail(Failure::Kind::Settings, problem);
}

} // namespace

MetricsSettings readMetricsSettings(const IniFile& ini, const QString& defaultStation) {
    MetricsSettings s;
    s.listen = ini.read(Section, QStringLiteral("Listen"), QString(), 1024).trimmed();
    const QString mqttStation =
        ini.read(QStringLiteral("MQTT"), QStringLiteral("Station"), QString(), 1024).trimmed();
    s.station = ini.read(Section, QStringLiteral("Station"), QString(), 1024).trimmed();
    if (s.station.isEmpty())
        s.station = mqttStation.isEmpty() ? defaultStation : mqttStation;
    return s;
}

QString ListenAddress::serverForm() const {
    const QString port = QString::number(this->port);
    return ipv6 ? QLatin1Char('[') + numeric + QStringLiteral("]:") + port
                : numeric + QLatin1Char(':') + port;
}

Expected<ListenAddress> resolveListen(const QString& listen) {
    ListenAddress a;
    const QString shown = QStringLiteral("Listen \"%1\" in [Metrics]").arg(printableText(listen));
    QString portText;
    bool bracketed = false;
    if (listen.startsWith(QLatin1Char('['))) {
        const qsizetype close = listen.indexOf(QLatin1Char(']'));
        if (close < 0)
            return failed(shown + QStringLiteral(" has no closing bracket ([::1]:9464)"));
        if (close + 1 >= listen.size() || listen.at(close + 1) != QLatin1Char(':'))
            return failed(shown + QStringLiteral(" has no port after the bracket ([::1]:9464)"));
        a.host = listen.mid(1, close - 1);
        portText = listen.mid(close + 2);
        bracketed = true;
    } else {
        const qsizetype colon = listen.lastIndexOf(QLatin1Char(':'));
        if (colon < 0)
            return failed(shown + QStringLiteral(" has no port (host:port, for instance "
                                                 "127.0.0.1:9464)"));
        a.host = listen.left(colon);
        portText = listen.mid(colon + 1);
        if (a.host.contains(QLatin1Char(':')))
            return failed(shown + QStringLiteral(": an IPv6 address is written in brackets "
                                                 "([::1]:9464)"));
    }
    bool ok = false;
    a.port = portText.toInt(&ok);
    if (!allDigits(portText) || portText.size() > 5 || !ok || a.port < 1 || a.port > 65535)
        return failed(shown + QStringLiteral(": \"%1\" is not a port number (1 to 65535)")
                                  .arg(printableText(portText)));
    if (a.host.isEmpty())
        return failed(shown + QStringLiteral(" has no host (127.0.0.1 for this machine only, "
                                             "0.0.0.0 for every IPv4 address)"));

    addrinfo hints{};
    hints.ai_family = bracketed ? AF_INET6 : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    if (bracketed) {
        // Brackets hold an address, never a name to look up.
        hints.ai_flags = AI_NUMERICHOST;
    } else if (!hostCharacters(a.host)) {
        return failed(
            shown +
            QStringLiteral(": \"%1\" is not a host name or address").arg(printableText(a.host)));
    }
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(a.host.toUtf8().constData(), nullptr, &hints, &found);
    if (rc != 0 || !found) {
        if (found)
            ::freeaddrinfo(found);
        if (bracketed)
            return failed(
                shown +
                QStringLiteral(": \"%1\" is not an IPv6 address").arg(printableText(a.host)));
        return failed(shown + QStringLiteral(": the name %1 does not resolve (%2)")
                                  .arg(a.host, QString::fromLocal8Bit(::gai_strerror(rc))));
    }
    char text[NI_MAXHOST] = {};
    const int named = ::getnameinfo(found->ai_addr, found->ai_addrlen, text, sizeof text, nullptr,
                                    0, NI_NUMERICHOST);
    a.ipv6 = found->ai_family == AF_INET6;
    ::freeaddrinfo(found);
    if (named != 0)
        return failed(shown + QStringLiteral(": the name %1 does not resolve (%2)")
                                  .arg(a.host, QString::fromLocal8Bit(::gai_strerror(named))));
    a.numeric = QString::fromLatin1(text);
    return a;
}

} // namespace zel

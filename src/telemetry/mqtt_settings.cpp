#include "telemetry/mqtt_settings.h"

#include <QFile>
#include <QFileInfo>

namespace zel {

namespace {

const QString Section = QStringLiteral("MQTT");

QString key(const IniFile& ini, const char* name, const QString& fallback = QString()) {
    return ini.read(Section, QString::fromLatin1(name), fallback, 1024).trimmed();
}

// A topic level may not hold the wildcards, and the station name is one level.
QString levelProblem(const QString& what, const QString& text, bool slashAllowed) {
    if (text.contains(QLatin1Char('+')) || text.contains(QLatin1Char('#')) ||
        (!slashAllowed && text.contains(QLatin1Char('/'))))
        return QStringLiteral("%1 \"%2\" may not contain %3")
            .arg(what, text, slashAllowed ? QStringLiteral("+ or #") : QStringLiteral("+, # or /"));
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("%1 may not contain control characters").arg(what);
    return {};
}

} // namespace

QString MqttSettings::topic(const QString& leaf) const {
    QString t;
    if (!prefix.isEmpty())
        t = prefix + QLatin1Char('/');
    return t + station + QLatin1Char('/') + leaf;
}

MqttSettings readMqttSettings(const IniFile& ini, const QString& defaultStation) {
    MqttSettings s;
    s.host = key(ini, "Host");
    s.station = key(ini, "Station", defaultStation);
    s.prefix = key(ini, "TopicPrefix", QStringLiteral("zel"));
    s.user = key(ini, "User");
    s.passwordFile = key(ini, "PasswordFile");
    s.caFile = key(ini, "CAFile");
    s.portText = key(ini, "Port");
    if (s.portText.isEmpty()) {
        s.port = s.caFile.isEmpty() ? 1883 : 8883;
    } else {
        bool ok = false;
        s.port = s.portText.toInt(&ok);
        if (!ok)
            s.port = -1;
    }
    const QString limit = key(ini, "QueueLimit");
    bool ok = false;
    s.queueLimit = limit.toInt(&ok);
    if (!ok || s.queueLimit < 1)
        s.queueLimit = DefaultQueueLimit;
    return s;
}

QString mqttSettingsProblem(const MqttSettings& s) {
    if (!s.enabled())
        return {};
    for (QChar c : s.host)
        if (c.isSpace() || c.unicode() < 0x20)
            return QStringLiteral("Host \"%1\" is not a host name").arg(s.host);
    if (s.port < 1 || s.port > 65535)
        return QStringLiteral("Port \"%1\" is not a port number (1 to 65535)").arg(s.portText);
    if (s.station.isEmpty())
        return QStringLiteral("Station is empty");
    if (QString p = levelProblem(QStringLiteral("Station"), s.station, false); !p.isEmpty())
        return p;
    if (s.station.toUtf8().size() > 256)
        return QStringLiteral("Station is longer than 256 bytes");
    if (QString p = levelProblem(QStringLiteral("TopicPrefix"), s.prefix, true); !p.isEmpty())
        return p;
    if (s.prefix.startsWith(QLatin1Char('$')))
        return QStringLiteral("TopicPrefix \"%1\" may not begin with $ (the broker's own topics)")
            .arg(s.prefix);
    if (s.prefix.startsWith(QLatin1Char('/')) || s.prefix.endsWith(QLatin1Char('/')) ||
        s.prefix.contains(QLatin1String("//")))
        return QStringLiteral("TopicPrefix \"%1\" has an empty level").arg(s.prefix);
    if (!s.passwordFile.isEmpty()) {
        if (s.user.isEmpty())
            return QStringLiteral("PasswordFile is set but User is empty");
        if (!QFileInfo(s.passwordFile).isReadable())
            return QStringLiteral("PasswordFile %1 cannot be read").arg(s.passwordFile);
    }
    if (!s.caFile.isEmpty() && !QFileInfo(s.caFile).isReadable())
        return QStringLiteral("CAFile %1 cannot be read").arg(s.caFile);
    return {};
}

QByteArray readPasswordFile(const QString& path, bool* ok) {
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    if (!*ok)
        return {};
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace zel

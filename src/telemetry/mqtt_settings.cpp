#include "telemetry/mqtt_settings.h"

#include "common/text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <utility>

namespace zel {

namespace {

const QString Section = QStringLiteral("MQTT");

QString key(const IniFile& ini, const char* name, const QString& fallback = QString()) {
    return ini.read(Section, QString::fromLatin1(name), fallback, 1024).trimmed();
}

// Control characters (C0, DEL and C1: a Windows-1252 dash read as Latin-1 is
// U+0096), non-characters and halves of surrogate pairs: the broker refuses
// them, and libmosquitto's client refuses such a client id.
QString characterProblem(const QString& what, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t code = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, text.at(i + 1));
            ++i;
        } else if (c.isSurrogate()) {
            return QStringLiteral("%1 \"%2\" holds a broken character at position %3")
                .arg(what, text)
                .arg(i + 1);
        }
        if (QChar::category(code) == QChar::Other_Control || QChar::isNonCharacter(code))
            return QStringLiteral("%1 \"%2\" may not contain the control character U+%3 "
                                  "(position %4)")
                .arg(what, printableText(text),
                     QString::number(uint(code), 16).toUpper().rightJustified(4, QLatin1Char('0')))
                .arg(i + 1);
    }
    return {};
}

// A topic level may not hold the wildcards, and the station name is one level.
QString levelProblem(const QString& what, const QString& text, bool slashAllowed) {
    if (text.contains(QLatin1Char('+')) || text.contains(QLatin1Char('#')) ||
        (!slashAllowed && text.contains(QLatin1Char('/'))))
        return QStringLiteral("%1 \"%2\" may not contain %3")
            .arg(what, text, slashAllowed ? QStringLiteral("+ or #") : QStringLiteral("+, # or /"));
    if (const QString p = characterProblem(what, text); !p.isEmpty())
        return p;
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
    s.certFile = key(ini, "CertFile");
    s.keyFile = key(ini, "KeyFile");
    s.portText = key(ini, "Port");
    if (s.portText.isEmpty()) {
        s.port = s.caFile.isEmpty() ? 1883 : 8883;
    } else {
        bool ok = false;
        s.port = s.portText.toInt(&ok);
        if (!ok)
            s.port = -1;
    }
    s.queueLimitText = key(ini, "QueueLimit");
    if (s.queueLimitText.isEmpty()) {
        s.queueLimit = DefaultQueueLimit;
    } else {
        bool ok = false;
        s.queueLimit = s.queueLimitText.toInt(&ok);
        if (!ok)
            s.queueLimit = -1;
    }
    s.clientId = key(ini, "ClientId");
    return s;
}

QString defaultClientId(const QString& station, const QString& programFolder) {
    const QString folder = QFileInfo(programFolder).canonicalFilePath();
    const QByteArray hash =
        QCryptographicHash::hash((folder.isEmpty() ? programFolder : folder).toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(8);
    return QStringLiteral("zel-") + station + QLatin1Char('-') + QString::fromLatin1(hash);
}

namespace {

QString settingsProblem(const MqttSettings& s) {
    if (!s.enabled())
        return {};
    for (QChar c : s.host)
        if (c.isSpace() || c.category() == QChar::Other_Control)
            return QStringLiteral("Host \"%1\" is not a host name").arg(printableText(s.host));
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
    if (s.prefix.isEmpty() && s.station.startsWith(QLatin1Char('$')))
        return QStringLiteral("Station \"%1\" may not begin with $ when TopicPrefix is empty "
                              "(the broker's own topics)")
            .arg(s.station);
    if (s.prefix.startsWith(QLatin1Char('/')) || s.prefix.endsWith(QLatin1Char('/')) ||
        s.prefix.contains(QLatin1String("//")))
        return QStringLiteral("TopicPrefix \"%1\" has an empty level").arg(s.prefix);
    if (s.queueLimit < 1)
        return QStringLiteral("QueueLimit \"%1\" is not a number of readings (1 or more)")
            .arg(s.queueLimitText);
    if (QString p = characterProblem(QStringLiteral("ClientId"), s.clientId); !p.isEmpty())
        return p;
    if (s.clientId.toUtf8().size() > 1024)
        return QStringLiteral("ClientId is longer than 1024 bytes");
    if (!s.passwordFile.isEmpty()) {
        if (s.user.isEmpty())
            return QStringLiteral("PasswordFile is set but User is empty");
        if (!QFileInfo(s.passwordFile).isReadable())
            return QStringLiteral("PasswordFile %1 cannot be read").arg(s.passwordFile);
    }
    if (!s.caFile.isEmpty() && !QFileInfo(s.caFile).isReadable())
        return QStringLiteral("CAFile %1 cannot be read").arg(s.caFile);
    if (s.certFile.isEmpty() != s.keyFile.isEmpty())
        return s.certFile.isEmpty() ? QStringLiteral("KeyFile is set but CertFile is empty")
                                    : QStringLiteral("CertFile is set but KeyFile is empty");
    if (!s.certFile.isEmpty() && s.caFile.isEmpty())
        return QStringLiteral("CertFile is set but CAFile is empty (a client certificate "
                              "needs TLS)");
    for (const auto& [name, path] : {std::pair{"CertFile", s.certFile}, {"KeyFile", s.keyFile}})
        if (!path.isEmpty() && !QFileInfo(path).isReadable())
            return QStringLiteral("%1 %2 cannot be read").arg(QLatin1String(name), path);
    return {};
}

} // namespace

Expected<void> checkMqttSettings(const MqttSettings& s) {
    if (QString problem = settingsProblem(s); !problem.isEmpty())
        return fail(Failure::Kind::Settings, std::move(problem));
    return {};
}

QString passwordFileWarning(const QString& path) {
    if (path.isEmpty() || !(QFile::permissions(path) & QFileDevice::ReadOther))
        return {};
    return QStringLiteral("MQTT: PasswordFile %1 can be read by every user of this machine; "
                          "chmod o-r it")
        .arg(path);
}

Expected<QByteArray> readPasswordFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(Failure::Kind::NotFound,
                    QStringLiteral("PasswordFile %1 cannot be read").arg(path));
    QByteArray line = f.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace zel

#pragma once
// Section [MQTT] of "Zel.ini": where a station publishes its readings. With
// no "Host" nothing is published. The settings are checked as a whole before
// anything connects, so one bad key gives one message instead of a stream of
// failed connections.
#include "common/failure.h"
#include "common/ini_file.h"
#include <QByteArray>
#include <QString>

namespace zel {

struct MqttSettings {
    QString host;           // "Host"; empty: publishing is off
    int port = 0;           // "Port"; 1883, or 8883 with a CA file
    QString portText;       // as written, to report a bad one
    QString station;        // "Station"; the machine's name when missing
    QString prefix;         // "TopicPrefix"; "zel" when missing
    QString user;           // "User"
    QString passwordFile;   // "PasswordFile": first line is the password
    QString caFile;         // "CAFile": TLS with this certificate authority
    QString certFile;       // "CertFile": the station's own certificate (with KeyFile)
    QString keyFile;        // "KeyFile": its private key, unencrypted
    int queueLimit = 0;     // "QueueLimit": readings kept while the broker is away
    QString queueLimitText; // as written, to report a bad one
    // "ClientId"; when missing, one of its own for each program folder, so
    // two stations of one host never take over each other's session.
    QString clientId;

    bool enabled() const { return !host.isEmpty(); }
    // "<prefix>/<station>/<leaf>"
    QString topic(const QString& leaf) const;
    QString endpoint() const { return host + QLatin1Char(':') + QString::number(port); }
};

inline constexpr int DefaultQueueLimit = 50000;

// Reads the section; `defaultStation` stands in for a missing "Station".
MqttSettings readMqttSettings(const IniFile& ini, const QString& defaultStation);

// "zel-<station>-<8 hex digits of the program folder's path>".
QString defaultClientId(const QString& station, const QString& programFolder);

// Whether the settings can be used; the failure says what is wrong in words
// for a person. Files named in them are checked for being readable.
Expected<void> checkMqttSettings(const MqttSettings& s);

// A warning when the password file can be read by every user of the
// machine; empty otherwise.
QString passwordFileWarning(const QString& path);

// The password: the first line of the file, without its line end. Never put
// it in a message.
Expected<QByteArray> readPasswordFile(const QString& path);

} // namespace zel

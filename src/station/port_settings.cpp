#include "station/port_settings.h"

#include "common/text.h"

namespace zel {

namespace {
const QString kSection = QStringLiteral("Communication");
const QString kPort = QStringLiteral("Port");
const QString kBaudRate = QStringLiteral("BaudRate");
constexpr int kValueBuffer = 10;
constexpr int kDeviceBuffer = 4096;
} // namespace

QString settingsText(int32_t baudRate) {
    return QString::number(baudRate) + QStringLiteral(",N,8,1");
}

PortSettingsFile::PortSettingsFile(const QString& path) : ini_(path) {}

bool PortSettingsFile::readPort(PortSettings& s, int16_t defaultPort) {
    bool gotAny = false;
    const QString v =
        ini_.read(kSection, kPort, QString::number(defaultPort), kValueBuffer, &gotAny);
    // With a non-empty default, nothing back means the key is there but blank.
    if (!gotAny || v.isEmpty())
        return false;
    s.Port = leadingInt16(v);
    return true;
}

void PortSettingsFile::readBaudRate(PortSettings& s) {
    bool gotAny = false;
    const QString v = ini_.read(kSection, kBaudRate, QStringLiteral("9600"), kValueBuffer, &gotAny);
    if (gotAny)
        s.BaudRate = toInt32(leadingNumber(v));
}

bool PortSettingsFile::write(int16_t port, int32_t baudRate) {
    const bool portOk = ini_.write(kSection, kPort, QString::number(port));
    const bool baudOk = ini_.write(kSection, kBaudRate, QString::number(baudRate));
    return portOk && baudOk;
}

QString PortSettingsFile::mappedDevice(int16_t port) const {
    return ini_
        .read(QStringLiteral("Devices"), QStringLiteral("COM%1").arg(port), QString(),
              kDeviceBuffer)
        .trimmed();
}

bool PortSettingsFile::writeDevice(int16_t port, const QString& device) {
    return ini_.write(QStringLiteral("Devices"), QStringLiteral("COM%1").arg(port), device);
}

QString PortSettingsFile::deviceFor(int16_t port) const {
    const QString mapped = mappedDevice(port);
    if (!mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(int(port) - 1);
}

} // namespace zel

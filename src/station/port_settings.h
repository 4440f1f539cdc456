#pragma once
// Which serial port and line speed are used, stored in "dax.ini" (section
// "Communication"), shared by zel and tarvoset. Port number n opens the
// device named by key "COMn" of section "Devices", else /dev/ttyS<n-1>.
#include "common/ini_file.h"
#include <QString>
#include <cstdint>

namespace zel {

struct PortSettings {
    int16_t Port = 6;
    int32_t BaudRate = 9600;
    int16_t OpenPort = 0; // 0: no port open
};

// "9600" -> "9600,N,8,1".
QString settingsText(int32_t baudRate);

class PortSettingsFile {
public:
    explicit PortSettingsFile(const QString& path);

    // Reads "Port" (default `defaultPort`). Returns false when the key is
    // there but empty: the caller reports it and reads nothing further.
    bool readPort(PortSettings& s, int16_t defaultPort = 6);
    // Reads "BaudRate" (default 9600).
    void readBaudRate(PortSettings& s);
    // Writes "Port" then "BaudRate".
    bool write(int16_t port, int32_t baudRate);

    // Device path of port number n.
    QString deviceFor(int16_t port) const;
    // The device that key "COMn" of section "Devices" names; "" when none.
    QString mappedDevice(int16_t port) const;
    // Writes "COMn" of section "Devices": port n opens `device` from now on.
    bool writeDevice(int16_t port, const QString& device);

private:
    IniFile ini_;
};

} // namespace zel

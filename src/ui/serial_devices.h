#pragma once
// The serial devices of this machine, for the port dialog: built-in ports
// and USB adapters, with the name under /dev/serial/by-id that survives
// re-plugging, and whether this user may open them.
#include <QList>
#include <QString>

namespace zel {

struct SerialDevice {
    QString path;       // /dev/ttyUSB0
    QString stableName; // /dev/serial/by-id/usb-FTDI_...; empty when there is none
    QString description;
    QString manufacturer;
    QString serialNumber;
    bool mayOpen = true; // read and write permission for this user

    // The name to store for the port: the stable one when there is one.
    QString preferredName() const { return stableName.isEmpty() ? path : stableName; }
};

// Every serial device Qt finds, sorted by path. `byIdFolder` is where the
// stable names live.
QList<SerialDevice> findSerialDevices(const QString& byIdFolder = "/dev/serial/by-id");

} // namespace zel

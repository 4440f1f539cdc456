#include "ui/serial_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <algorithm>
#include <unistd.h>

namespace zel {

QList<SerialDevice> findSerialDevices(const QString& byIdFolder) {
    // Stable names are links to the device nodes: map each target to its link.
    QList<QPair<QString, QString>> links; // target, link
    const QDir byId(byIdFolder);
    for (const QFileInfo& link : byId.entryInfoList(QDir::Files | QDir::System))
        links.append({link.canonicalFilePath(), link.absoluteFilePath()});

    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice d;
        d.path = info.systemLocation();
        d.description = info.description();
        d.manufacturer = info.manufacturer();
        d.serialNumber = info.serialNumber();
        const QString target = QFileInfo(d.path).canonicalFilePath();
        for (const auto& [linkTarget, link] : links)
            if (!target.isEmpty() && linkTarget == target)
                d.stableName = link;
        d.mayOpen = ::access(QFile::encodeName(d.path).constData(), R_OK | W_OK) == 0;
        devices.append(d);
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice& a, const SerialDevice& b) { return a.path < b.path; });
    return devices;
}

} // namespace zel

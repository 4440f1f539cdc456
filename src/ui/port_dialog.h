#pragma once
// The port dialog "Set Port", shared by zel and tarvoset. It keeps pending
// values and only touches the port on OK. Besides the Com numbers it lists
// the serial devices of the machine: picking one maps the chosen Com number
// to it in dax.ini, so a USB adapter is reachable under a Windows-style
// port number.
#include "common/failure.h"
#include "station/port_settings.h"
#include "ui/serial_devices.h"
#include <QDialog>
#include <functional>

class QButtonGroup;
class QLabel;
class QListWidget;
class QRadioButton;

namespace zel {

struct PortDialogVariant {
    int portCount = 15; // "Com&1" .. "Com&<n>"
    QList<int32_t> baudRates{300, 4800, 9600, 19200, 115200};
    // The devices to offer; findSerialDevices() when empty. Tests give a
    // fixed list.
    std::function<QList<SerialDevice>()> findDevices;
};

PortDialogVariant zelPortDialogVariant();
PortDialogVariant tarvosetPortDialogVariant(); // Com1..Com4, no 115200

// Closes whatever port is open and opens (port, baud); a failure says why
// (device path, system error, permission hint).
using PortReopener = std::function<Expected<void>(int16_t port, int32_t baud)>;

class PortDialog : public QDialog {
    Q_OBJECT
public:
    PortDialog(PortSettings& settings, PortSettingsFile& file, PortReopener reopen,
               PortDialogVariant variant, QWidget* parent = nullptr);

    int16_t pendingPort() const { return pendingPort_; }
    int32_t pendingBaud() const { return pendingBaud_; }
    // The device picked for the pending port; "" when none was picked.
    QString pendingDevice() const { return pendingDevice_; }

public slots:
    void choosePort(int index);
    void chooseBaud(int index);
    // Row `row` of the device list: maps the pending port to that device.
    void chooseDevice(int row);
    void applyChoice();
    void cancelChoice();
    // Escape and the window's close button act as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectPendingButtons();
    void listDevices();
    void showDeviceChoice();

    PortSettings& settings_;
    PortSettingsFile& file_;
    PortReopener reopen_;
    PortDialogVariant variant_;
    int16_t pendingPort_;
    int32_t pendingBaud_;
    QButtonGroup* portButtons_ = nullptr;
    QButtonGroup* baudButtons_ = nullptr;
    QRadioButton* rateInUseButton_ = nullptr;
    QListWidget* deviceList_ = nullptr;
    QLabel* deviceStatus_ = nullptr;
    QString pendingDevice_;
};

} // namespace zel

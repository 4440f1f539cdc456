#include "ui/port_dialog.h"

#include "common/text.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "widgets/accelerators.h"
#include "widgets/spoken_text.h"
#include "widgets/window_arrangement.h"

namespace zel {

PortDialogVariant zelPortDialogVariant() {
    return PortDialogVariant{};
}

PortDialogVariant tarvosetPortDialogVariant() {
    PortDialogVariant v;
    v.portCount = 4;
    v.baudRates = {300, 4800, 9600, 19200};
    return v;
}

namespace {
// Port buttons are laid out in columns of this many, so fifteen ports make
// a compact 5 x 3 block and the setup tool's four ports one column.
constexpr int kPortsPerColumn = 5;
} // namespace

PortDialog::PortDialog(PortSettings& settings, PortSettingsFile& file, PortReopener reopen,
                       PortDialogVariant variant, QWidget* parent)
    : QDialog(parent), settings_(settings), file_(file), reopen_(std::move(reopen)),
      variant_(std::move(variant)), pendingPort_(settings.Port), pendingBaud_(settings.BaudRate) {
    setObjectName("SetSerPort");
    setWindowTitle(tr("Set Port"));

    auto* portFrame = new QGroupBox(tr("Communication Port"), this);
    portFrame->setObjectName("frPort");
    auto* portGrid = new QGridLayout(portFrame);
    portButtons_ = new QButtonGroup(this);
    for (int i = 0; i < variant_.portCount; ++i) {
        auto* b = new QRadioButton(QString("Com&%1").arg(i + 1), portFrame);
        b->setObjectName(QString("chkPort_%1").arg(i));
        b->setAccessibleName(QString("Com%1").arg(i + 1));
        portButtons_->addButton(b, i);
        portGrid->addWidget(b, i % kPortsPerColumn, i / kPortsPerColumn);
    }

    auto* baudFrame = new QGroupBox(tr("Baud Rate"), this);
    baudFrame->setObjectName("frmBaud");
    auto* baudBox = new QVBoxLayout(baudFrame);
    baudButtons_ = new QButtonGroup(this);
    for (int i = 0; i < variant_.baudRates.size(); ++i) {
        const QString text = QString::number(variant_.baudRates[i]);
        auto* b = new QRadioButton(text, baudFrame);
        b->setObjectName(QString("chkBaud_%1").arg(i));
        b->setAccessibleName(text);
        baudButtons_->addButton(b, i);
        baudBox->addWidget(b);
    }
    // A stored rate that has no button of its own (2400, or 115200 in
    // tarvoset) is the rate in use: it gets a button while it is stored.
    rateInUseButton_ = new QRadioButton(baudFrame);
    rateInUseButton_->setObjectName("chkBaud_inUse");
    rateInUseButton_->hide();
    baudButtons_->addButton(rateInUseButton_, int(variant_.baudRates.size()));
    baudBox->addWidget(rateInUseButton_);
    baudBox->addStretch();

    auto* deviceFrame = new QGroupBox(tr("Serial devices"), this);
    deviceFrame->setObjectName("frDevices");
    auto* deviceBox = new QVBoxLayout(deviceFrame);
    deviceList_ = new QListWidget(deviceFrame);
    deviceList_->setObjectName("lstDevices");
    deviceList_->setAccessibleName(tr("Serial devices"));
    deviceList_->setWordWrap(true);
    deviceList_->setSpacing(2);
    deviceList_->setAlternatingRowColors(true);
    // Device paths read left to right in every language.
    deviceList_->setLayoutDirection(Qt::LeftToRight);
    deviceList_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(52, QChar('x'))));
    deviceList_->setMaximumHeight(fontMetrics().height() * 9);
    deviceStatus_ = new QLabel(deviceFrame);
    deviceStatus_->setObjectName("lblDevices");
    deviceStatus_->setWordWrap(true);
    speakText(deviceStatus_, tr("Device choice"));
    deviceBox->addWidget(deviceList_);
    deviceBox->addWidget(deviceStatus_);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName("OK");
    ok->setAccessibleName(tr("OK"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName("CANCEL");
    cancel->setAccessibleName(tr("Cancel"));

    auto* frames = new QHBoxLayout;
    frames->addWidget(portFrame);
    frames->addWidget(baudFrame);
    // The device list below is wider; the buttons keep their own width.
    frames->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(frames);
    top->addWidget(deviceFrame);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    // The checked state decides, so a screen reader's toggle chooses as a
    // click does; selectPendingButtons() selects from code without it.
    connect(portButtons_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            choosePort(i);
    });
    connect(baudButtons_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            chooseBaud(i);
    });
    connect(deviceList_, &QListWidget::currentRowChanged, this, &PortDialog::chooseDevice);
    connect(ok, &QPushButton::clicked, this, &PortDialog::applyChoice);
    connect(cancel, &QPushButton::clicked, this, &PortDialog::cancelChoice);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

void PortDialog::choosePort(int index) {
    if (index >= 0 && index < variant_.portCount)
        pendingPort_ = static_cast<int16_t>(index + 1);
    showDeviceChoice();
}

void PortDialog::chooseDevice(int row) {
    const QListWidgetItem* item = deviceList_->item(row);
    pendingDevice_ = item ? item->data(Qt::UserRole).toString() : QString();
    showDeviceChoice();
}

void PortDialog::listDevices() {
    const QSignalBlocker quiet(deviceList_);
    deviceList_->clear();
    pendingDevice_.clear();
    const QList<SerialDevice> devices =
        variant_.findDevices ? variant_.findDevices() : findSerialDevices();
    for (const SerialDevice& d : devices) {
        QStringList details;
        for (const QString& part : {d.description, d.manufacturer})
            if (!part.isEmpty())
                details << part;
        if (!d.serialNumber.isEmpty())
            details << tr("S/N %1").arg(d.serialNumber);
        if (d.preferredName() != d.path)
            details << d.path;
        QString text = d.preferredName();
        if (!details.isEmpty())
            text += "\n" + details.join(", ");
        if (!d.mayOpen)
            text += "\n" + tr("You may not open it: add your user to the \"dialout\" group "
                              "(sudo adduser $USER dialout) and log in again.");
        auto* item = new QListWidgetItem(text, deviceList_);
        item->setData(Qt::UserRole, d.preferredName());
        item->setToolTip(d.path);
    }
    if (devices.isEmpty()) {
        auto* item = new QListWidgetItem(tr("No serial devices found"), deviceList_);
        item->setFlags(Qt::ItemIsEnabled);
    }
    deviceList_->setCurrentRow(-1);
    showDeviceChoice();
}

void PortDialog::showDeviceChoice() {
    QString text;
    if (!pendingDevice_.isEmpty())
        text = tr("Com%1 will use %2").arg(pendingPort_).arg(leftToRight(pendingDevice_));
    else if (deviceList_->count() > 0 && deviceList_->item(0)->flags() & Qt::ItemIsSelectable)
        text = tr("Pick a device to use it for the chosen Com port.");
    if (text == deviceStatus_->text())
        return;
    deviceStatus_->setText(text);
    announceText(deviceStatus_);
}

void PortDialog::chooseBaud(int index) {
    if (index >= 0 && index < variant_.baudRates.size())
        pendingBaud_ = variant_.baudRates[index];
    else if (index == variant_.baudRates.size())
        pendingBaud_ = settings_.BaudRate;
}

void PortDialog::applyChoice() {
    // A picked device is mapped before the port opens, since opening reads
    // the mapping; a failed open puts the old mapping back.
    const bool mapping = !pendingDevice_.isEmpty();
    const QString oldMapping = mapping ? file_.mappedDevice(pendingPort_) : QString();
    if (mapping)
        file_.writeDevice(pendingPort_, pendingDevice_);
    const Expected<void> opened =
        reopen_ ? reopen_(pendingPort_, pendingBaud_)
                : fail(Failure::Kind::NotFound, QString()); // nothing to open the port with
    if (!opened) {
        if (mapping)
            file_.writeDevice(pendingPort_, oldMapping);
        deviceList_->setCurrentRow(-1);
        // The old port was closed by the attempt, so none is open now.
        settings_.OpenPort = 0;
        pendingPort_ = settings_.Port;
        pendingBaud_ = settings_.BaudRate;
        selectPendingButtons();
        QMessageBox box(QMessageBox::Critical, tr("Error in Communication"),
                        tr("Error in opening Communication port"), QMessageBox::Ok, this);
        if (!opened.error().text.isEmpty())
            box.setDetailedText(opened.error().text);
        box.exec();
        return;
    }
    settings_.OpenPort = pendingPort_;
    settings_.Port = pendingPort_;
    settings_.BaudRate = pendingBaud_;
    if (!file_.write(settings_.Port, settings_.BaudRate)) {
        // The port works now, but the next start would silently use the old
        // one: say so instead of pretending the choice was kept.
        QMessageBox::warning(
            this, tr("Set Port"),
            tr("The port is open, but the setting could not be saved in dax.ini."));
    }
    accept();
}

void PortDialog::cancelChoice() {
    reject();
}

void PortDialog::reject() {
    // Closing the window or pressing Escape is the same as Cancel: the
    // choices are dropped and the port is not touched.
    pendingPort_ = settings_.Port;
    pendingBaud_ = settings_.BaudRate;
    QDialog::reject();
}

void PortDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        // Each showing starts from the stored values, as a freshly loaded
        // dialog would; a restore from minimised keeps the user's clicks.
        pendingPort_ = settings_.Port;
        pendingBaud_ = settings_.BaudRate;
        for (int i = 0; i < variant_.portCount; ++i)
            portButtons_->button(i)->setToolTip(file_.deviceFor(static_cast<int16_t>(i + 1)));
        selectPendingButtons();
        listDevices();
    }
    QDialog::showEvent(event);
}

void PortDialog::selectPendingButtons() {
    const QSignalBlocker quietPorts(portButtons_);
    const QSignalBlocker quietBauds(baudButtons_);
    // A port outside the buttons' range cannot be shown: no port button is
    // checked then, and OK keeps the stored number.
    const int portIndex = pendingPort_ - 1;
    if (portIndex >= 0 && portIndex < variant_.portCount) {
        portButtons_->button(portIndex)->setChecked(true);
    } else {
        portButtons_->setExclusive(false);
        for (QAbstractButton* b : portButtons_->buttons())
            b->setChecked(false);
        portButtons_->setExclusive(true);
    }
    // The stored rate is shown checked, with a button of its own when the
    // list has none for it.
    const bool listed = variant_.baudRates.contains(settings_.BaudRate);
    const QString inUse = QString::number(settings_.BaudRate);
    rateInUseButton_->setText(inUse);
    rateInUseButton_->setAccessibleName(inUse);
    rateInUseButton_->setVisible(!listed && settings_.BaudRate > 0);
    int baudIndex = variant_.baudRates.indexOf(pendingBaud_);
    if (baudIndex < 0 && pendingBaud_ == settings_.BaudRate && rateInUseButton_->isVisibleTo(this))
        baudIndex = int(variant_.baudRates.size());
    if (QAbstractButton* b = baudButtons_->button(baudIndex < 0 ? 0 : baudIndex))
        b->setChecked(true);
}

} // namespace zel

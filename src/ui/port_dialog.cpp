#include "ui/port_dialog.h"

#include "common/strings.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

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
    setWindowTitle(tr3("Set Port", "Port einstellen", "הגדרת יציאה"));

    auto* portFrame = new QGroupBox(
        tr3("Communication Port", "Kommunikationsschnittstelle", "יציאת תקשורת"), this);
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

    auto* baudFrame = new QGroupBox(tr3("Baud Rate", "Baudrate", "קצב תקשורת"), this);
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
    baudBox->addStretch();

    auto* ok = new QPushButton(tr3("OK", "OK", "אישור"), this);
    ok->setObjectName("OK");
    ok->setAccessibleName(tr3("OK", "OK", "אישור"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr3("&Cancel", "&Abbrechen", "&ביטול"), this);
    cancel->setObjectName("CANCEL");
    cancel->setAccessibleName(tr3("Cancel", "Abbrechen", "ביטול"));

    auto* frames = new QHBoxLayout;
    frames->addWidget(portFrame);
    frames->addWidget(baudFrame);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(frames);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    // idClicked, not toggled: selecting a button from code (on show) must
    // not change the pending values.
    connect(portButtons_, &QButtonGroup::idClicked, this, &PortDialog::choosePort);
    connect(baudButtons_, &QButtonGroup::idClicked, this, &PortDialog::chooseBaud);
    connect(ok, &QPushButton::clicked, this, &PortDialog::applyChoice);
    connect(cancel, &QPushButton::clicked, this, &PortDialog::cancelChoice);
}

void PortDialog::choosePort(int index) {
    if (index >= 0 && index < variant_.portCount)
        pendingPort_ = static_cast<int16_t>(index + 1);
}

void PortDialog::chooseBaud(int index) {
    if (index >= 0 && index < variant_.baudRates.size())
        pendingBaud_ = variant_.baudRates[index];
}

void PortDialog::applyChoice() {
    QString detail;
    const bool opened = reopen_ && reopen_(pendingPort_, pendingBaud_, &detail);
    if (!opened) {
        // The old port was closed by the attempt, so none is open now.
        settings_.OpenPort = 0;
        pendingPort_ = settings_.Port;
        pendingBaud_ = settings_.BaudRate;
        selectPendingButtons();
        QMessageBox box(QMessageBox::Critical,
                        tr3("Error in Communication", "Kommunikationsfehler", "שגיאת תקשורת"),
                        tr3("Error in opening Communication port",
                            "Fehler beim Öffnen der Kommunikationsschnittstelle",
                            "שגיאה בפתיחת יציאת התקשורת"),
                        QMessageBox::Ok, this);
        if (!detail.isEmpty())
            box.setDetailedText(detail);
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
            this, tr3("Set Port", "Port einstellen", "הגדרת יציאה"),
            tr3("The port is open, but the setting could not be saved in dax.ini.",
                "Die Schnittstelle ist geöffnet, aber die Einstellung konnte nicht in dax.ini "
                "gespeichert werden.",
                "היציאה פתוחה, אך לא ניתן היה לשמור את ההגדרה בקובץ dax.ini."));
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
    }
    QDialog::showEvent(event);
}

void PortDialog::selectPendingButtons() {
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
    // A baud rate that has no button shows the first one on screen; the
    // pending value stays what it was.
    int baudIndex = variant_.baudRates.indexOf(pendingBaud_);
    if (baudIndex < 0)
        baudIndex = 0;
    if (QAbstractButton* b = baudButtons_->button(baudIndex))
        b->setChecked(true);
}

} // namespace zel

#include "graph/data_handle_dialog.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace zel {

DataHandleDialog::DataHandleDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("FrmDataHandle");
    setWindowTitle(tr("Data Handle"));

    auto* frame = new QGroupBox(tr("Scale"), this);
    frame->setObjectName("frScale");
    auto* box = new QVBoxLayout(frame);
    scaleButtons_ = new QButtonGroup(this);
    const QString captions[5] = {tr("Auto"), tr("Manual"), "0-10", "0-100", "0-1000"};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QRadioButton(captions[i], frame);
        b->setObjectName(QString("chkScale_%1").arg(i));
        b->setAccessibleName(captions[i]);
        scaleButtons_->addButton(b, i);
        box->addWidget(b);
    }
    scaleButtons_->button(Auto)->setChecked(true);

    onlineButton_ = new QPushButton(this);
    onlineButton_->setObjectName("btOnline");

    auto* top = new QVBoxLayout(this);
    top->addWidget(frame);
    top->addWidget(onlineButton_);
    top->setSizeConstraint(QLayout::SetFixedSize);
    updateOnlineButton();

    // The scale follows the checked option, so a screen reader's toggle
    // chooses as a click does.
    connect(scaleButtons_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            chooseScale(i);
    });
    connect(onlineButton_, &QPushButton::clicked, this, &DataHandleDialog::toggleOnline);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

void DataHandleDialog::setOnline(bool value) {
    const bool changed = value != online_;
    online_ = value;
    updateOnlineButton();
    if (changed)
        emit onlineChanged(value);
}

void DataHandleDialog::setScale(int mode) {
    // Showing the graph's scale is not choosing one.
    const QSignalBlocker quiet(scaleButtons_);
    if (QAbstractButton* b = scaleButtons_->button(mode))
        b->setChecked(true);
}

int DataHandleDialog::scale() const {
    return scaleButtons_->checkedId();
}

void DataHandleDialog::toggleOnline() {
    // The button offers the other mode: going on line has the working file
    // read again first, through the owner.
    setOnline(!online_);
}

void DataHandleDialog::chooseScale(int index) {
    emit scaleChosen(index);
}

void DataHandleDialog::showEvent(QShowEvent* event) {
    updateOnlineButton();
    QDialog::showEvent(event);
}

void DataHandleDialog::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateOnlineButton();
    QDialog::changeEvent(event);
}

void DataHandleDialog::updateOnlineButton() {
    // The caption names the action the button offers.
    onlineButton_->setText(online_ ? tr("OffLine") : tr("Online"));
    refreshAccelerators(*this);
    onlineButton_->setAccessibleName(onlineButton_->text());
}

} // namespace zel

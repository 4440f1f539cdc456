#include "ui/calibration_dialog.h"

#include "common/strings.h"
#include "protocol/portables.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel {

CalibrationDialog::CalibrationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmCalibration");
    setWindowTitle(tr("Calibration Info"));

    auto* form = new QFormLayout;
    auto addBox = [&](const char* name, const QString& caption, const QString& accessible) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        // The record is the instrument's: shown, selectable, not edited.
        e->setReadOnly(true);
        e->setAccessibleName(accessible);
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QString(20, QChar('0'))));
        auto* label = new QLabel(caption, this);
        label->setBuddy(e);
        form->addRow(label, e);
        return e;
    };
    meterField_ = addBox("edMeter", tr("Instrument  Number:"), tr("Instrument Number"));
    dueField_ = addBox("edTime", tr("Calibration Due:"), tr("Calibration Due"));
    nameField_ = addBox("edName", tr("Calibrated by:"), tr("Calibrated by"));
    factorField_ = addBox("edFactor", tr("Factor:"), tr("Factor"));

    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName("btOk");
    okButton->setAccessibleName(tr("OK"));
    okButton->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(okButton, &QPushButton::clicked, this, &CalibrationDialog::dismiss);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

void CalibrationDialog::setRecord(const QString& meter, const QString& time, const QString& name,
                                  const QString& factor) {
    meterField_->setText(meter);
    dueField_->setText(time);
    nameField_->setText(name);
    factorField_->setText(factor);
}

CalibrationDialog* CalibrationDialog::showRecord(QWidget* owner, const PortablesCalibration& r) {
    auto* dialog = owner
                       ? owner->findChild<CalibrationDialog*>(QString(), Qt::FindDirectChildrenOnly)
                       : nullptr;
    if (!dialog)
        dialog = new CalibrationDialog(owner);
    dialog->setRecord(r.meter, r.due, r.name, r.factor);
    dialog->show();
    dialog->raise();
    return dialog;
}

void CalibrationDialog::dismiss() {
    hide();
}

} // namespace zel

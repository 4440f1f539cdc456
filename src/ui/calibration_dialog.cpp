#include "ui/calibration_dialog.h"

#include "common/strings.h"
#include "protocol/portables.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel {

CalibrationDialog::CalibrationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmCalibration");
    setWindowTitle(tr3("Calibration Info", "Kalibrierdaten", "נתוני כיול"));

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
    edMeter_ = addBox("edMeter", tr3("Instrument  Number:", "Gerätenummer:", "מספר מכשיר:"),
                      tr3("Instrument Number", "Gerätenummer", "מספר מכשיר"));
    edTime_ = addBox("edTime", tr3("Calibration Due:", "Kalibrierung fällig:", "מועד הכיול הבא:"),
                     tr3("Calibration Due", "Kalibrierung fällig", "מועד הכיול הבא"));
    edName_ = addBox("edName", tr3("Calibrated by:", "Kalibriert von:", "כויל על ידי:"),
                     tr3("Calibrated by", "Kalibriert von", "כויל על ידי"));
    edFactor_ =
        addBox("edFactor", tr3("Factor:", "Faktor:", "מקדם:"), tr3("Factor", "Faktor", "מקדם"));

    auto* btOk = new QPushButton(tr3("OK", "OK", "אישור"), this);
    btOk->setObjectName("btOk");
    btOk->setAccessibleName(tr3("OK", "OK", "אישור"));
    btOk->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(btOk, &QPushButton::clicked, this, &CalibrationDialog::btOk_Click);
}

void CalibrationDialog::setRecord(const QString& meter, const QString& time, const QString& name,
                                  const QString& factor) {
    edMeter_->setText(meter);
    edTime_->setText(time);
    edName_->setText(name);
    edFactor_->setText(factor);
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

void CalibrationDialog::btOk_Click() {
    hide();
}

} // namespace zel

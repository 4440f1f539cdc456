#include "ui/legend_dialog.h"

#include "common/datetime.h"
#include "data/settings.h"
#include "ui/settings_written.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

#include <QDate>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace zel {

LegendDialog::LegendDialog(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store) {
    setObjectName("frmLegend");
    setWindowTitle(tr("Legend"));

    legend_ = store_.readLegend(formatShortDate(QDate::currentDate()));

    auto* form = new QFormLayout;
    auto addBox = [&](const char* name, const QString& caption, const QString& accessible) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setAccessibleName(accessible);
        e->setMinimumWidth(e->fontMetrics().horizontalAdvance(QString(24, QChar('M'))));
        auto* label = new QLabel(caption, this);
        label->setBuddy(e);
        form->addRow(label, e);
        return e;
    };
    departmentEdit_ = addBox("edDepartment", tr("Department:"), tr("Department"));
    dateEdit_ = addBox("edDate", tr("Date:"), tr("Date"));
    detectorEdit_ = addBox("edDetector", tr("Instrument Type:"), tr("Instrument Type"));
    locationEdit_ = addBox("edLocation", tr("Survey location:"), tr("Survey location"));
    personnelEdit_ = addBox("edPersonnel", tr("Surveyor:"), tr("Surveyor"));
    // Zel.ini gives back 19 characters of each stored text: typing stops
    // there, so no run uses a text the next one cuts. The date is not stored.
    for (QLineEdit* e : {departmentEdit_, detectorEdit_, locationEdit_, personnelEdit_})
        e->setMaxLength(19);

    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName("btOk");
    okButton->setAccessibleName(tr("OK"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(tr("&Cancel"), this);
    cancelButton->setObjectName("btCalcel");
    cancelButton->setAccessibleName(tr("Cancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(okButton, &QPushButton::clicked, this, &LegendDialog::acceptLegend);
    connect(cancelButton, &QPushButton::clicked, this, &LegendDialog::cancelLegend);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

void LegendDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        departmentEdit_->setText(legend_.Department);
        dateEdit_->setText(legend_.Date);
        detectorEdit_->setText(legend_.Detector);
        locationEdit_->setText(legend_.Location);
        personnelEdit_->setText(legend_.Personnel);
    }
    QDialog::showEvent(event);
}

std::optional<Expected<void>> LegendDialog::choose() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return written_;
}

void LegendDialog::acceptLegend() {
    legend_.Department = departmentEdit_->text();
    legend_.Date = dateEdit_->text();
    legend_.Detector = detectorEdit_->text();
    legend_.Location = locationEdit_->text();
    legend_.Personnel = personnelEdit_->text();
    written_ = settingsWritten(store_.writeLegend(legend_), store_);
    accept();
}

void LegendDialog::cancelLegend() {
    reject();
}

} // namespace zel

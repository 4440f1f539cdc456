#include "ui/legend_dialog.h"

#include "common/datetime.h"
#include "common/strings.h"
#include "data/settings.h"

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
    setWindowTitle(tr3("Legend", "Legende", "מקרא"));

    const Legend stored = store_.readLegend(formatShortDate(QDate::currentDate()));
    Department = stored.Department;
    Date = stored.Date;
    Detector = stored.Detector;
    Location = stored.Location;
    Personnel = stored.Personnel;

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
    edDepartment_ = addBox("edDepartment", tr3("Department:", "Abteilung:", "מחלקה:"),
                           tr3("Department", "Abteilung", "מחלקה"));
    edDate_ = addBox("edDate", tr3("Date:", "Datum:", "תאריך:"), tr3("Date", "Datum", "תאריך"));
    edDetector_ = addBox("edDetector", tr3("Instrument Type:", "Gerätetyp:", "סוג המכשיר:"),
                         tr3("Instrument Type", "Gerätetyp", "סוג המכשיר"));
    edLocation_ = addBox("edLocation", tr3("Survey location:", "Messort:", "מיקום הסקר:"),
                         tr3("Survey location", "Messort", "מיקום הסקר"));
    edPersonnel_ = addBox("edPersonnel", tr3("Surveyor:", "Prüfer:", "סוקר:"),
                          tr3("Surveyor", "Prüfer", "סוקר"));

    auto* btOk = new QPushButton(tr3("OK", "OK", "אישור"), this);
    btOk->setObjectName("btOk");
    btOk->setAccessibleName(tr3("OK", "OK", "אישור"));
    btOk->setDefault(true);
    auto* btCalcel = new QPushButton(tr3("&Cancel", "&Abbrechen", "&ביטול"), this);
    btCalcel->setObjectName("btCalcel");
    btCalcel->setAccessibleName(tr3("Cancel", "Abbrechen", "ביטול"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCalcel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(btOk, &QPushButton::clicked, this, &LegendDialog::btOk_Click);
    connect(btCalcel, &QPushButton::clicked, this, &LegendDialog::btCalcel_Click);
}

void LegendDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        edDepartment_->setText(Department);
        edDate_->setText(Date);
        edDetector_->setText(Detector);
        edLocation_->setText(Location);
        edPersonnel_->setText(Personnel);
    }
    QDialog::showEvent(event);
}

void LegendDialog::btOk_Click() {
    Department = edDepartment_->text();
    Date = edDate_->text();
    Detector = edDetector_->text();
    Location = edLocation_->text();
    Personnel = edPersonnel_->text();
    Legend legend;
    legend.Department = Department;
    legend.Date = Date;
    legend.Detector = Detector;
    legend.Location = Location;
    legend.Personnel = Personnel;
    store_.writeLegend(legend);
    accept();
}

void LegendDialog::btCalcel_Click() {
    reject();
}

} // namespace zel

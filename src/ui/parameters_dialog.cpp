#include "ui/parameters_dialog.h"

#include "common/strings.h"
#include "common/text.h"
#include "data/settings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace zel {

namespace {

QString withoutColon(QString text) {
    text = text.trimmed();
    while (text.endsWith(':'))
        text.chop(1);
    return text.trimmed();
}

QLineEdit* numberBox(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(9); // the settings file keeps 9 characters
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance("0000000000000"));
    return e;
}

// A time box followed by its unit.
QWidget* withUnit(QLineEdit* box, const QString& unit, QWidget* parent) {
    auto* w = new QWidget(parent);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(box);
    h->addWidget(new QLabel(unit, w));
    h->addStretch();
    return w;
}

} // namespace

ParametersDialog::ParametersDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSetThresholds");
    setWindowTitle(tr("Set Parameters"));

    threshold1Edit_ = numberBox("edThreshold1", this);
    threshold2Edit_ = numberBox("edThreshold2", this);
    lostContactEdit_ = numberBox("edLostContact", this);
    backTimeEdit_ = numberBox("edBackTime", this);
    measureTimeEdit_ = numberBox("edMeasureTime", this);

    auto* form = new QFormLayout;
    auto addRow = [&](const QString& caption, QLineEdit* box, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        box->setAccessibleName(withoutColon(caption));
        form->addRow(label, field ? field : box);
        return label;
    };
    addRow(tr("Threshold 1:"), threshold1Edit_, nullptr);
    addRow(tr("Threshold 2:"), threshold2Edit_, nullptr);
    // Readings that the instrument ranges up are compared in the lower unit,
    // so the thresholds always mean the same dose.
    auto* unitNote = new QLabel(tr("Thresholds are in mR/h, uSv/h, cpm or cps. A reading "
                                   "shown in R/h, mSv/h or Kcpm is compared after conversion: "
                                   "2 R/h counts as 2000 mR/h."),
                                this);
    unitNote->setObjectName("lblThresholdUnits");
    unitNote->setWordWrap(true);
    unitNote->setMaximumWidth(unitNote->fontMetrics().horizontalAdvance(QString(40, u'0')));
    form->addRow(unitNote);
    addRow(tr("Lost Contact Interval:"), lostContactEdit_, nullptr);
    backTimeLabel_ = addRow(str(4004), backTimeEdit_, withUnit(backTimeEdit_, tr("Sec."), this));
    backTimeLabel_->setObjectName("lblBackTime");
    measureTimeLabel_ =
        addRow(str(4005), measureTimeEdit_, withUnit(measureTimeEdit_, tr("Sec."), this));
    measureTimeLabel_->setObjectName("lblMeasureTime");

    auto* timeFrame = new QGroupBox(tr("Time Format"), this);
    timeFrame->setObjectName("frTimeFormat");
    auto* timeBox = new QHBoxLayout(timeFrame);
    timeFormatButtons_ = new QButtonGroup(this);
    const QString timeCaptions[2] = {tr("Time"), tr("Mili Sec.")};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(timeCaptions[i], timeFrame);
        b->setObjectName(QString("optTime_%1").arg(i));
        b->setAccessibleName(timeCaptions[i]);
        timeFormatButtons_->addButton(b, i);
        timeBox->addWidget(b);
    }
    timeBox->addStretch();

    audioBox_ = new QCheckBox(tr("Audio Alarm"), this);
    audioBox_->setObjectName("chkAudio");
    audioBox_->setAccessibleName(audioBox_->text());
    autoArrangeBox_ = new QCheckBox(tr("Auto Arrange forms"), this);
    autoArrangeBox_->setObjectName("chkAutoArrange");
    autoArrangeBox_->setAccessibleName(autoArrangeBox_->text());

    okButton_ = new QPushButton(this);
    okButton_->setObjectName("OKButton");
    okButton_->setDefault(true);
    cancelButton_ = new QPushButton(this);
    cancelButton_->setObjectName("CancelButton");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(timeFrame);
    top->addWidget(audioBox_);
    top->addWidget(autoArrangeBox_);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(okButton_, &QPushButton::clicked, this, &ParametersDialog::acceptParameters);
    connect(cancelButton_, &QPushButton::clicked, this, &ParametersDialog::cancelParameters);
}

void ParametersDialog::takeFrom(const Settings& s) {
    threshold1 = s.Threshold1;
    threshold2 = s.Threshold2;
    lostContact = s.LostContactInterval;
    backTime = s.BackTime;
    measureTime = s.MeasureTime;
    audioAlarm = s.AudioAlarm;
    autoArrange = s.AutoArrange;
    timeFormat = s.TimeFormat;
}

void ParametersDialog::giveTo(Settings& s) const {
    s.Threshold1 = threshold1;
    s.Threshold2 = threshold2;
    s.LostContactInterval = toInt16(lostContact);
    s.BackTime = backTime;
    s.MeasureTime = measureTime;
    s.AudioAlarm = audioAlarm;
    s.AutoArrange = autoArrange;
    s.TimeFormat = timeFormat;
}

void ParametersDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        threshold1Edit_->setText(plainNumber(threshold1));
        threshold2Edit_->setText(plainNumber(threshold2));
        lostContactEdit_->setText(plainNumber(lostContact));
        backTimeEdit_->setText(QString::number(backTime));
        measureTimeEdit_->setText(QString::number(measureTime));
        // Any stored value other than 1 shows as "Time", which OK then keeps.
        timeFormatButtons_->button(timeFormat == 1 ? 1 : 0)->setChecked(true);
        audioBox_->setChecked(audioAlarm != 0);
        autoArrangeBox_->setChecked(autoArrange != 0);
        // The string-table texts follow the language, which may have been
        // set after the dialog was built.
        backTimeLabel_->setText(str(4004));
        measureTimeLabel_->setText(str(4005));
        backTimeEdit_->setAccessibleName(withoutColon(str(4004)));
        measureTimeEdit_->setAccessibleName(withoutColon(str(4005)));
        okButton_->setText(str(1));
        okButton_->setAccessibleName(str(1));
        cancelButton_->setText(str(2));
        cancelButton_->setAccessibleName(str(2));
    }
    QDialog::showEvent(event);
}

void ParametersDialog::acceptParameters() {
    outcome = 1;
    threshold1 = leadingNumber(threshold1Edit_->text());
    threshold2 = leadingNumber(threshold2Edit_->text());
    lostContact = leadingNumber(lostContactEdit_->text());
    // Rounded halves to even and held within 16 bits: a huge typed number
    // must not wrap round into a negative time.
    backTime = toInt16(leadingNumber(backTimeEdit_->text()));
    measureTime = toInt16(leadingNumber(measureTimeEdit_->text()));
    audioAlarm = audioBox_->isChecked() ? 1 : 0;
    autoArrange = autoArrangeBox_->isChecked() ? 1 : 0;
    timeFormat = timeFormatButtons_->checkedId() == 1 ? 1 : 0;
    accept();
}

void ParametersDialog::cancelParameters() {
    reject();
}

void ParametersDialog::reject() {
    outcome = 2;
    QDialog::reject();
}

} // namespace zel

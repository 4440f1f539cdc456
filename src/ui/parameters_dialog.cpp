#include "ui/parameters_dialog.h"

#include "common/strings.h"
#include "common/text.h"
#include "data/settings.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <cmath>
#include <tuple>

namespace zel {

namespace {

QString withoutColon(QString text) {
    text = text.trimmed();
    while (text.endsWith(':'))
        text.chop(1);
    return text.trimmed();
}

// A stored value is shown whole, however long its text: a box that cut it
// would hand a different number back on OK.
QLineEdit* numberBox(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMinimumWidth(e->fontMetrics().horizontalAdvance("0000000000000"));
    return e;
}

// The number a box holds: the whole text must be one.
bool numberIn(const QLineEdit* box, double& out) {
    bool ok = false;
    out = box->text().trimmed().toDouble(&ok);
    return ok && std::isfinite(out);
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
                                   "2 R/h counts as 2000 mR/h. An amplifier's readings are "
                                   "compared in the unit chosen in Setup Device."),
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
    makeRoomForTitle(*this);
    keepAccelerators(*this);
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
        shownThreshold1_ = settingNumberText(threshold1);
        shownThreshold2_ = settingNumberText(threshold2);
        threshold1Edit_->setText(shownThreshold1_);
        threshold2Edit_->setText(shownThreshold2_);
        lostContactEdit_->setText(plainNumber(lostContact));
        backTimeEdit_->setText(plainNumber(backTime));
        measureTimeEdit_->setText(plainNumber(measureTime));
        threshold1Edit_->setCursorPosition(0);
        threshold2Edit_->setCursorPosition(0);
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

// What OK takes from a box: the stored value itself while the box shows it
// unedited, so that opening and closing the dialog changes nothing.
bool ParametersDialog::takeNumber(const QLineEdit* box, const QString& shown, double stored,
                                  double& out) const {
    if (box->text() == shown) {
        out = stored;
        return true;
    }
    return numberIn(box, out);
}

void ParametersDialog::acceptParameters() {
    const auto refuse = [this](QLineEdit* box, const QString& text) {
        QMessageBox::warning(this, windowTitle(), text);
        box->setFocus();
    };
    const auto nameOf = [](const QLineEdit* box) { return box->accessibleName(); };
    double t1 = 0, t2 = 0;
    for (auto [box, shown, stored, out] :
         {std::tuple{threshold1Edit_, shownThreshold1_, threshold1, &t1},
          std::tuple{threshold2Edit_, shownThreshold2_, threshold2, &t2}}) {
        if (!takeNumber(box, shown, stored, *out) || *out < 0) {
            refuse(box, tr("%1: give a number of 0 or more.").arg(nameOf(box)));
            return;
        }
    }
    if (t2 < t1) {
        refuse(threshold2Edit_, tr("Threshold 2 must not be below Threshold 1."));
        return;
    }
    // Whole seconds that fit the 16-bit settings: a cut or rounded value
    // would be used without a word.
    double times[3] = {};
    const struct {
        QLineEdit* box;
        double stored;
        int low;
    } wholes[3] = {{lostContactEdit_, lostContact, 1},
                   {backTimeEdit_, double(backTime), 0},
                   {measureTimeEdit_, double(measureTime), 1}};
    for (int i = 0; i < 3; ++i) {
        const auto& w = wholes[i];
        double v = 0;
        const bool unedited = w.box->text() == plainNumber(w.stored);
        if (unedited)
            v = w.stored;
        else if (!numberIn(w.box, v) || v != std::floor(v) || v < w.low || v > 32767) {
            refuse(w.box, tr("%1: give a whole number from %2 to %3.")
                              .arg(nameOf(w.box))
                              .arg(w.low)
                              .arg(32767));
            return;
        }
        times[i] = v;
    }
    threshold1 = t1;
    threshold2 = t2;
    lostContact = times[0];
    backTime = toInt16(times[1]);
    measureTime = toInt16(times[2]);
    audioAlarm = audioBox_->isChecked() ? 1 : 0;
    autoArrange = autoArrangeBox_->isChecked() ? 1 : 0;
    timeFormat = timeFormatButtons_->checkedId() == 1 ? 1 : 0;
    accept();
}

void ParametersDialog::cancelParameters() {
    reject();
}

bool ParametersDialog::edit(Settings& s) {
    takeFrom(s);
    if (exec() != QDialog::Accepted)
        return false;
    giveTo(s);
    return true;
}

} // namespace zel

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
QWidget* withSeconds(QLineEdit* box, QWidget* parent) {
    auto* w = new QWidget(parent);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(box);
    h->addWidget(new QLabel(tr3("Sec.", "Sek.", "שנ'"), w));
    h->addStretch();
    return w;
}

} // namespace

ParametersDialog::ParametersDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSetThresholds");
    setWindowTitle(tr3("Set Parameters", "Parameter einstellen", "הגדרת פרמטרים"));

    edThreshold1_ = numberBox("edThreshold1", this);
    edThreshold2_ = numberBox("edThreshold2", this);
    edLostContact_ = numberBox("edLostContact", this);
    edBackTime_ = numberBox("edBackTime", this);
    edMeasureTime_ = numberBox("edMeasureTime", this);

    auto* form = new QFormLayout;
    auto addRow = [&](const QString& caption, QLineEdit* box, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        box->setAccessibleName(withoutColon(caption));
        form->addRow(label, field ? field : box);
        return label;
    };
    addRow(tr3("Threshold 1:", "Schwelle 1:", "סף 1:"), edThreshold1_, nullptr);
    addRow(tr3("Threshold 2:", "Schwelle 2:", "סף 2:"), edThreshold2_, nullptr);
    addRow(tr3("Lost Contact Interval:", "Intervall Kontaktverlust:", "מרווח אובדן קשר:"),
           edLostContact_, nullptr);
    lblBackTime_ = addRow(str(4004), edBackTime_, withSeconds(edBackTime_, this));
    lblBackTime_->setObjectName("lblBackTime");
    lblMeasureTime_ = addRow(str(4005), edMeasureTime_, withSeconds(edMeasureTime_, this));
    lblMeasureTime_->setObjectName("lblMeasureTime");

    auto* timeFrame = new QGroupBox(tr3("Time Format", "Zeitformat", "תבנית זמן"), this);
    timeFrame->setObjectName("frTimeFormat");
    auto* timeBox = new QHBoxLayout(timeFrame);
    optTime_ = new QButtonGroup(this);
    const QString timeCaptions[2] = {tr3("Time", "Zeit", "שעה"),
                                     tr3("Mili Sec.", "Millisek.", "אלפיות שנייה")};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QRadioButton(timeCaptions[i], timeFrame);
        b->setObjectName(QString("optTime_%1").arg(i));
        b->setAccessibleName(timeCaptions[i]);
        optTime_->addButton(b, i);
        timeBox->addWidget(b);
    }
    timeBox->addStretch();

    chkAudio_ = new QCheckBox(tr3("Audio Alarm", "Akustischer Alarm", "התראה קולית"), this);
    chkAudio_->setObjectName("chkAudio");
    chkAudio_->setAccessibleName(chkAudio_->text());
    chkAutoArrange_ = new QCheckBox(
        tr3("Auto Arrange forms", "Fenster automatisch anordnen", "סידור חלונות אוטומטי"), this);
    chkAutoArrange_->setObjectName("chkAutoArrange");
    chkAutoArrange_->setAccessibleName(chkAutoArrange_->text());

    OKButton_ = new QPushButton(this);
    OKButton_->setObjectName("OKButton");
    OKButton_->setDefault(true);
    CancelButton_ = new QPushButton(this);
    CancelButton_->setObjectName("CancelButton");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton_);
    buttons->addWidget(CancelButton_);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(timeFrame);
    top->addWidget(chkAudio_);
    top->addWidget(chkAutoArrange_);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(OKButton_, &QPushButton::clicked, this, &ParametersDialog::OKButton_Click);
    connect(CancelButton_, &QPushButton::clicked, this, &ParametersDialog::CancelButton_Click);
}

void ParametersDialog::takeFrom(const Settings& s) {
    Threshold1 = s.Threshold1;
    Threshold2 = s.Threshold2;
    LostContact = s.LostContactInterval;
    BackTime = s.BackTime;
    MeasureTime = s.MeasureTime;
    AudioAlarm = s.AudioAlarm;
    AutoArrange = s.AutoArrange;
    TimeFormat = s.TimeFormat;
}

void ParametersDialog::giveTo(Settings& s) const {
    s.Threshold1 = Threshold1;
    s.Threshold2 = Threshold2;
    s.LostContactInterval = toInt16(LostContact);
    s.BackTime = BackTime;
    s.MeasureTime = MeasureTime;
    s.AudioAlarm = AudioAlarm;
    s.AutoArrange = AutoArrange;
    s.TimeFormat = TimeFormat;
}

void ParametersDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        edThreshold1_->setText(plainNumber(Threshold1));
        edThreshold2_->setText(plainNumber(Threshold2));
        edLostContact_->setText(plainNumber(LostContact));
        edBackTime_->setText(QString::number(BackTime));
        edMeasureTime_->setText(QString::number(MeasureTime));
        // Any stored value other than 1 shows as "Time", which OK then keeps.
        optTime_->button(TimeFormat == 1 ? 1 : 0)->setChecked(true);
        chkAudio_->setChecked(AudioAlarm != 0);
        chkAutoArrange_->setChecked(AutoArrange != 0);
        // The string-table texts follow the language, which may have been
        // set after the dialog was built.
        lblBackTime_->setText(str(4004));
        lblMeasureTime_->setText(str(4005));
        edBackTime_->setAccessibleName(withoutColon(str(4004)));
        edMeasureTime_->setAccessibleName(withoutColon(str(4005)));
        OKButton_->setText(str(1));
        OKButton_->setAccessibleName(str(1));
        CancelButton_->setText(str(2));
        CancelButton_->setAccessibleName(str(2));
    }
    QDialog::showEvent(event);
}

void ParametersDialog::OKButton_Click() {
    Result = 1;
    Threshold1 = leadingNumber(edThreshold1_->text());
    Threshold2 = leadingNumber(edThreshold2_->text());
    LostContact = leadingNumber(edLostContact_->text());
    // Rounded halves to even and held within 16 bits: a huge typed number
    // must not wrap round into a negative time.
    BackTime = toInt16(leadingNumber(edBackTime_->text()));
    MeasureTime = toInt16(leadingNumber(edMeasureTime_->text()));
    AudioAlarm = chkAudio_->isChecked() ? 1 : 0;
    AutoArrange = chkAutoArrange_->isChecked() ? 1 : 0;
    TimeFormat = optTime_->checkedId() == 1 ? 1 : 0;
    accept();
}

void ParametersDialog::CancelButton_Click() {
    reject();
}

void ParametersDialog::reject() {
    Result = 2;
    QDialog::reject();
}

} // namespace zel

#include "ui/amp_setup_dialog.h"

#include "common/text.h"
#include "widgets/accelerators.h"
#include "widgets/prompts.h"
#include "widgets/window_arrangement.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace zel {

namespace {

constexpr int NormalWidth = pixelsFromTwips(8040);
constexpr int DiagnosticWidth = pixelsFromTwips(9480);
// The lone default-threshold row stands in from the left until the
// five-threshold layout moves it to the edge.
constexpr int DefaultRowIndent = pixelsFromTwips(3600 - 240);

QPushButton* button(const QString& name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* numberEdit(const QString& name, const QString& accessible, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setAccessibleName(accessible);
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")));
    return e;
}

QLabel* label(const QString& name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

AmpSetupDialog::AmpSetupDialog(AmpConversation& amp, bool diagnostic, QWidget* parent)
    : QDialog(parent), amp_(amp), prompts_(&dialogPrompts()), diagnostic_(diagnostic) {
    setObjectName(QStringLiteral("frmSetupAmp"));
    setWindowTitle(tr("Setup Device"));
    buildUi();
    amp_.setListener(this);
    if (amp_.fiveThresholds())
        useFiveThresholdLayout();
    keepAccelerators(*this);
}

AmpSetupDialog::~AmpSetupDialog() {
    amp_.setListener(nullptr);
}

void AmpSetupDialog::buildUi() {
    auto* root = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    root->addLayout(columns);
    auto* main = new QVBoxLayout;
    columns->addLayout(main, 1);

    // Thresholds: the default row, and four more on meters that have them.
    thresholdGrid_ = new QGridLayout;
    defaultRowIndent_ = new QSpacerItem(DefaultRowIndent, 0, QSizePolicy::Fixed);
    thresholdGrid_->addItem(defaultRowIndent_, 0, 0);
    for (int i = 0; i < AmpParams::ThresholdCount; ++i) {
        const QString caption = i == 0 ? tr("Def. Threshold") : tr("Threshold #%1").arg(i);
        thresholdCaptions_[size_t(i)] = label(QStringLiteral("Label1_%1").arg(i), caption, this);
        thresholdEdits_[size_t(i)] =
            numberEdit(QStringLiteral("edThreshold_%1").arg(i), caption, this);
        thresholdCaptions_[size_t(i)]->setBuddy(thresholdEdits_[size_t(i)]);
        thresholdUnits_[size_t(i)] = label(QStringLiteral("lblUnits_%1").arg(i), QString(), this);
        thresholdSends_[size_t(i)] =
            button(QStringLiteral("btSendThreshold_%1").arg(i), tr("Send"), this);
        thresholdSends_[size_t(i)]->setAccessibleName(tr("Send %1").arg(caption));
        thresholdGrid_->addWidget(thresholdCaptions_[size_t(i)], i, 1);
        thresholdGrid_->addWidget(thresholdEdits_[size_t(i)], i, 2);
        thresholdGrid_->addWidget(thresholdUnits_[size_t(i)], i, 3);
        thresholdGrid_->addWidget(thresholdSends_[size_t(i)], i, 4);
        connect(thresholdSends_[size_t(i)], &QPushButton::clicked, this,
                [this, i] { sendThreshold(i); });
        if (i > 0)
            for (QWidget* w : {static_cast<QWidget*>(thresholdCaptions_[size_t(i)]),
                               static_cast<QWidget*>(thresholdEdits_[size_t(i)]),
                               static_cast<QWidget*>(thresholdUnits_[size_t(i)]),
                               static_cast<QWidget*>(thresholdSends_[size_t(i)])})
                w->hide();
    }
    thresholdGrid_->setColumnStretch(5, 1);
    main->addLayout(thresholdGrid_);

    backgroundFrame_ = new QGroupBox(tr("BackGround"), this);
    backgroundFrame_->setObjectName(QStringLiteral("frBack"));
    auto* back = new QHBoxLayout(backgroundFrame_);
    backgroundEdit_ = numberEdit(QStringLiteral("edBackground"), tr("BackGround"), this);
    backgroundUnits_ = label(QStringLiteral("lblUnitsb"), QString(), this);
    auto* sendBack = button(QStringLiteral("btSendBackground"), tr("Send"), this);
    sendBack->setAccessibleName(tr("Send %1").arg(tr("BackGround")));
    back->addWidget(backgroundEdit_);
    back->addWidget(backgroundUnits_);
    back->addWidget(sendBack);
    back->addStretch();
    connect(sendBack, &QPushButton::clicked, this, &AmpSetupDialog::sendBackground);
    main->addWidget(backgroundFrame_);

    auto* fields = new QGridLayout;
    auto* intervalCaption = label(QStringLiteral("Label2"), tr("Interval"), this);
    intervalEdit_ = numberEdit(QStringLiteral("edInterval"), tr("Interval"), this);
    intervalCaption->setBuddy(intervalEdit_);
    auto* sendInterval = button(QStringLiteral("btSendInterval"), tr("Send"), this);
    sendInterval->setAccessibleName(tr("Send %1").arg(tr("Interval")));
    fields->addWidget(intervalCaption, 0, 0);
    fields->addWidget(intervalEdit_, 0, 1);
    fields->addWidget(label(QStringLiteral("Label5"), tr("Sec."), this), 0, 2);
    fields->addWidget(sendInterval, 0, 3);
    auto* serialCaption = label(QStringLiteral("Label3"), tr("Serial Number"), this);
    serialEdit_ = numberEdit(QStringLiteral("edSerialNumber"), tr("Serial Number"), this);
    serialCaption->setBuddy(serialEdit_);
    auto* sendSerial = button(QStringLiteral("btSendSerialNumber"), tr("Send"), this);
    sendSerial->setAccessibleName(tr("Send %1").arg(tr("Serial Number")));
    fields->addWidget(serialCaption, 1, 0);
    fields->addWidget(serialEdit_, 1, 1);
    fields->addWidget(sendSerial, 1, 3);
    fields->setColumnStretch(4, 1);
    connect(sendInterval, &QPushButton::clicked, this, &AmpSetupDialog::sendInterval);
    connect(sendSerial, &QPushButton::clicked, this, &AmpSetupDialog::sendSerialNumber);
    main->addLayout(fields);

    auto* choices = new QHBoxLayout;
    auto* baudFrame = new QGroupBox(tr("Baud"), this);
    baudFrame->setObjectName(QStringLiteral("Frame2"));
    auto* baud = new QGridLayout(baudFrame);
    baudGroup_ = new QButtonGroup(this);
    const char* rates[] = {"300", "4800", "9600", "19200"};
    for (int i = 0; i < 4; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(rates[i]), baudFrame);
        r->setObjectName(QStringLiteral("optBaud_%1").arg(i));
        baudGroup_->addButton(r, i);
        baud->addWidget(r, i % 2, i / 2);
    }
    // Options follow their checked state, so a screen reader's toggle does
    // what a click does; the option that was unchecked has nothing to do.
    connect(baudGroup_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            baudIndex_ = i;
    });
    auto* sendBaud = button(QStringLiteral("btSendBaud"), tr("Send"), baudFrame);
    sendBaud->setAccessibleName(tr("Send %1").arg(tr("Baud")));
    baud->addWidget(sendBaud, 2, 0, 1, 2);
    connect(sendBaud, &QPushButton::clicked, this, &AmpSetupDialog::sendBaud);
    choices->addWidget(baudFrame);

    auto* scaleFrame = new QGroupBox(tr("Units"), this);
    scaleFrame->setObjectName(QStringLiteral("Frame1"));
    auto* scale = new QVBoxLayout(scaleFrame);
    scaleGroup_ = new QButtonGroup(this);
    const char* scales[] = {"mR/h", "R/h"};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(scales[i]), scaleFrame);
        r->setObjectName(QStringLiteral("chkConvert_%1").arg(i));
        scaleGroup_->addButton(r, i);
        scale->addWidget(r);
    }
    scale->addStretch();
    connect(scaleGroup_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            chooseScale(i);
    });
    choices->addWidget(scaleFrame);

    auto* options = new QVBoxLayout;
    doseBox_ = new QCheckBox(tr("Dose"), this);
    doseBox_->setObjectName(QStringLiteral("chkEnableDose"));
    latchBox_ = new QCheckBox(tr("Latch"), this);
    latchBox_->setObjectName(QStringLiteral("chkLatch"));
    buzzerBox_ = new QCheckBox(tr("Buzzer"), this);
    buzzerBox_->setObjectName(QStringLiteral("chkBuzzer"));
    // A change by the user sends, by click, key or screen reader alike;
    // showing the meter's state (showOption) is silent, so it never answers
    // the meter with a new options command.
    for (QCheckBox* box : {doseBox_, latchBox_, buzzerBox_}) {
        box->setAutoFillBackground(true);
        options->addWidget(box);
        connect(box, &QCheckBox::toggled, this, &AmpSetupDialog::optionClicked);
    }
    options->addStretch();
    choices->addLayout(options);
    choices->addStretch();
    main->addLayout(choices);
    main->addStretch();

    // Diagnostic frames: the meter type and units the options command
    // carries.
    auto* diagnostics = new QVBoxLayout;
    columns->addLayout(diagnostics);
    typeFrame_ = new QGroupBox(tr("Set Type"), this);
    typeFrame_->setObjectName(QStringLiteral("frmSetType"));
    auto* type = new QVBoxLayout(typeFrame_);
    typeGroup_ = new QButtonGroup(this);
    const char* types[] = {"AmpA", "AmpB", "AmpC"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(types[i]), typeFrame_);
        r->setObjectName(QStringLiteral("optType_%1").arg(i));
        typeGroup_->addButton(r, i);
        type->addWidget(r);
    }
    connect(typeGroup_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            typeCode_ = 30 + i;
    });
    diagnostics->addWidget(typeFrame_);
    unitsFrame_ = new QGroupBox(tr("Units"), this);
    unitsFrame_->setObjectName(QStringLiteral("frmUnits"));
    auto* units = new QVBoxLayout(unitsFrame_);
    unitsGroup_ = new QButtonGroup(this);
    const char* meterUnits[] = {"mR/h", "uSv/h"};
    for (int i = 0; i < 2; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(meterUnits[i]), unitsFrame_);
        r->setObjectName(QStringLiteral("optUnits_%1").arg(i));
        unitsGroup_->addButton(r, i);
        units->addWidget(r);
    }
    connect(unitsGroup_, &QButtonGroup::idToggled, this, [this](int i, bool on) {
        if (on)
            unitsCode_ = 30 + i;
    });
    diagnostics->addWidget(unitsFrame_);
    diagnostics->addStretch();

    statusLine_ = new QLineEdit(this);
    statusLine_->setObjectName(QStringLiteral("edStatus"));
    statusLine_->setAccessibleName(tr("Status"));
    statusLine_->setReadOnly(true);
    root->addWidget(statusLine_);

    auto* bottom = new QHBoxLayout;
    auto* firmwareCaption = label(QStringLiteral("Label6"), tr("FirmWare Version:"), this);
    firmwareLabel_ = label(QStringLiteral("lblFirmWare"), QString(), this);
    firmwareLabel_->setAccessibleName(tr("FirmWare Version:"));
    firmwareLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bottom->addWidget(firmwareCaption);
    bottom->addWidget(firmwareLabel_);
    bottom->addStretch();
    auto* get = button(QStringLiteral("btGetParams"), tr("Get"), this);
    get->setToolTip(tr("Get Meter parameters"));
    get->setAccessibleName(tr("Get Meter parameters"));
    auto* ok = button(QStringLiteral("btOk"), tr("Done"), this);
    ok->setDefault(true);
    bottom->addWidget(get);
    bottom->addWidget(ok);
    connect(get, &QPushButton::clicked, this, &AmpSetupDialog::getParameters);
    // Return in a field sends that field, never "Done": a user who typed a
    // value and pressed Return must not see the dialog close unsent.
    for (int i = 0; i < AmpParams::ThresholdCount; ++i)
        fieldSends_.push_back({thresholdEdits_[size_t(i)], [this, i] { sendThreshold(i); }});
    fieldSends_.push_back({backgroundEdit_, [this] { this->sendBackground(); }});
    fieldSends_.push_back({intervalEdit_, [this] { this->sendInterval(); }});
    fieldSends_.push_back({serialEdit_, [this] { this->sendSerialNumber(); }});
    fieldSends_.push_back({statusLine_, {}});
    for (const FieldSend& f : fieldSends_)
        f.edit->installEventFilter(this);
    connect(ok, &QPushButton::clicked, this, &AmpSetupDialog::finish);
    root->addLayout(bottom);
}

// ---------------------------------------------------------------- showing

void AmpSetupDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        startSent_ = false;
        showUnits();
        showParameters(true);
        {
            const QSignalBlocker quietType(typeGroup_);
            const QSignalBlocker quietUnits(unitsGroup_);
            typeGroup_->button(0)->setChecked(true);
            unitsGroup_->button(0)->setChecked(true);
        }
        typeCode_ = 30;
        unitsCode_ = 30;
        for (QWidget* w : {static_cast<QWidget*>(typeFrame_), static_cast<QWidget*>(unitsFrame_),
                           static_cast<QWidget*>(statusLine_)})
            w->setVisible(diagnostic_);
        layout()->activate();
        adjustSize();
        resize(std::max(width(), diagnostic_ ? DiagnosticWidth : NormalWidth), height());
        const int scale = amp::largeUnit(amp_.convertUnits()) ? 1 : 0;
        {
            const QSignalBlocker quiet(scaleGroup_);
            scaleGroup_->button(scale)->setChecked(true);
        }
        chooseScale(scale);
    }
    QDialog::showEvent(event);
}

void AmpSetupDialog::showUnits() {
    const QString units = amp_.unitsText();
    for (QLabel* l : thresholdUnits_)
        l->setText(units);
    backgroundUnits_->setText(units);
    const std::array<QString, 2> captions = amp::scaleCaptions(amp_.unitsFlag());
    for (int i = 0; i < 2; ++i)
        scaleGroup_->button(i)->setText(captions[size_t(i)]);
}

bool AmpSetupDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            for (const FieldSend& f : fieldSends_)
                if (f.edit == watched) {
                    if (f.send)
                        f.send();
                    return true;
                }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void AmpSetupDialog::showParameters(bool takeBaud) {
    const AmpParams& p = amp_.params();
    backgroundFrame_->setVisible(p.MeterType >= 3);
    const double scale = amp::largeUnit(amp_.convertUnits()) ? 1000 : 1;
    for (int i = 0; i < AmpParams::ThresholdCount; ++i)
        thresholdEdits_[size_t(i)]->setText(shortestText(p.Thresholds[size_t(i)] / scale));
    backgroundEdit_->setText(shortestText(p.Background / scale));
    showUnits();
    intervalEdit_->setText(QString::number(p.Interval));
    serialEdit_->setText(p.SerialNumber);
    firmwareLabel_->setText(p.FirmWare);
    // The user's baud choice stands until the meter reports its rate again:
    // a unit-scale click only shows the values in the other unit.
    if (takeBaud) {
        baudIndex_ = p.BaudIndex;
        const QSignalBlocker quiet(baudGroup_);
        // A rate the dialog does not offer selects none.
        baudGroup_->setExclusive(false);
        for (QAbstractButton* b : baudGroup_->buttons())
            b->setChecked(baudGroup_->id(b) == p.BaudIndex);
        baudGroup_->setExclusive(true);
    }
    showOption(doseBox_, p.DoseEnabled);
    showOption(latchBox_, p.Latch);
    showOption(buzzerBox_, p.Buzzer);
}

void AmpSetupDialog::showOption(QCheckBox* box, bool on) {
    {
        const QSignalBlocker quiet(box);
        box->setChecked(on);
    }
    box->setStyleSheet(on ? QStringLiteral("QCheckBox { background-color: #00ff00; }")
                          : QStringLiteral("QCheckBox { background-color: #ff8080; }"));
}

void AmpSetupDialog::useFiveThresholdLayout() {
    fiveThresholds_ = true;
    defaultRowIndent_->changeSize(0, 0, QSizePolicy::Fixed);
    for (int i = 1; i < AmpParams::ThresholdCount; ++i) {
        thresholdCaptions_[size_t(i)]->show();
        thresholdEdits_[size_t(i)]->show();
        thresholdUnits_[size_t(i)]->show();
        thresholdSends_[size_t(i)]->show();
    }
    thresholdGrid_->invalidate();
}

void AmpSetupDialog::parametersArrived(bool fiveThresholds) {
    // The five-threshold layout stays once a meter asked for it.
    if (fiveThresholds && !fiveThresholds_)
        useFiveThresholdLayout();
    showParameters(true);
}

void AmpSetupDialog::setupStatus(const QString& text) {
    statusLine_->setText(text);
}

// ---------------------------------------------------------------- commands

void AmpSetupDialog::getParameters() {
    for (QLineEdit* e : thresholdEdits_)
        e->clear();
    intervalEdit_->clear();
    serialEdit_->clear();
    backgroundEdit_->clear();
    doseBox_->setStyleSheet(QString());
    amp_.requestParameters();
}

void AmpSetupDialog::refused(amp::Refusal refusal, const QString& text) {
    if (refusal == amp::Refusal::None)
        return;
    prompts_->warning(this, text, windowTitle());
}

QString AmpSetupDialog::smallValueText() const {
    return tr("The smallest value above 0 the meter takes is %1 %2.")
        .arg(shortestText(amp::smallestNumber(amp_.convertUnits())), amp_.unitsText());
}

void AmpSetupDialog::sendThreshold(int index) {
    const amp::Refusal r = amp_.sendThreshold(index, thresholdEdits_[size_t(index)]->text());
    refused(r,
            r == amp::Refusal::TooSmall
                ? smallValueText()
                : tr("The meter takes thresholds from 0 to %1 %2.")
                      .arg(shortestText(amp::numberLimit(amp_.convertUnits())), amp_.unitsText()));
}

void AmpSetupDialog::sendBackground() {
    const amp::Refusal r = amp_.sendBackground(backgroundEdit_->text());
    refused(r,
            r == amp::Refusal::TooSmall
                ? smallValueText()
                : tr("The meter takes a background from 0 to %1 %2.")
                      .arg(shortestText(amp::numberLimit(amp_.convertUnits())), amp_.unitsText()));
}

void AmpSetupDialog::sendInterval() {
    refused(amp_.sendInterval(intervalEdit_->text()),
            tr("The meter takes an interval from 0 to 9999 seconds."));
}

void AmpSetupDialog::sendSerialNumber() {
    refused(amp_.sendSerialNumber(serialEdit_->text()),
            tr("The meter takes a serial number from 0 to 999999."));
}

void AmpSetupDialog::sendBaud() {
    amp_.sendBaud(baudIndex_);
}

void AmpSetupDialog::optionClicked() {
    amp_.sendOptions(doseBox_->isChecked(), latchBox_->isChecked(), buzzerBox_->isChecked(),
                     uint8_t(typeCode_), uint8_t(unitsCode_));
    getParameters();
}

void AmpSetupDialog::chooseScale(int index) {
    convertIndex_ = index;
    amp_.setConvertUnits(int16_t(index));
    showUnits();
    showParameters(false);
}

void AmpSetupDialog::finish() {
    amp_.setConvertUnits(int16_t(convertIndex_));
    accept();
}

void AmpSetupDialog::done(int result) {
    if (!startSent_) {
        startSent_ = true;
        amp_.sendStart();
    }
    QDialog::done(result);
}

} // namespace zel

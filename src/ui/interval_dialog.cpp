#include "ui/interval_dialog.h"

#include "common/text.h"
#include "data/settings.h"
#include "ui/settings_written.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zel {

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent) {
    setObjectName("UpDown1");
    setAccessibleName(tr("Change value"));
    up_ = new QToolButton(this);
    up_->setObjectName("UpDown1_up");
    up_->setArrowType(Qt::UpArrow);
    up_->setAccessibleName(tr("Increase"));
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setObjectName("UpDown1_down");
    down_->setArrowType(Qt::DownArrow);
    down_->setAccessibleName(tr("Decrease"));
    down_->setAutoRepeat(true);
    for (QToolButton* b : {up_, down_})
        b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(up_);
    box->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, &UpDownControl::stepUp);
    connect(down_, &QToolButton::clicked, this, &UpDownControl::stepDown);
}

void UpDownControl::setMinimum(int minimum) {
    min_ = minimum;
    max_ = std::max(max_, min_);
    setValue(value_);
}

void UpDownControl::setMaximum(int maximum) {
    max_ = maximum;
    min_ = std::min(min_, max_);
    setValue(value_);
}

void UpDownControl::setValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_)
        return;
    value_ = value;
    emit valueChanged(value_);
}

namespace {
// A stored value as the box shows it: whole numbers with two digits, as
// always, anything else whole, so that what is stored is what is seen.
QString boxText(double value) {
    if (value == std::floor(value) && std::abs(value) < 1e9)
        return formatPicture(value, "##00");
    return plainNumber(value);
}

// The number a box holds; an empty box is 0, anything else must be a
// number throughout.
bool boxNumber(const QLineEdit* box, double& out) {
    const QString t = box->text().trimmed();
    if (t.isEmpty()) {
        out = 0;
        return true;
    }
    bool ok = false;
    out = t.toDouble(&ok);
    return ok && std::isfinite(out);
}

// The number a box holds, as the spin control can take it.
int spinValueOf(const QLineEdit* box) {
    const double n = roundHalfEven(leadingNumber(box->text()));
    return static_cast<int>(std::clamp(n, -1.0e6, 1.0e6));
}
} // namespace

IntervalDialog::IntervalDialog(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
    setObjectName("frmRealTime");
    setWindowTitle(tr("Set Real time "));

    interval_ = store_.readInterval();

    minutesEdit_ = new QLineEdit(this);
    minutesEdit_->setObjectName("edMinutes");
    minutesEdit_->setAccessibleName(tr("Minutes"));
    secondsEdit_ = new QLineEdit(this);
    secondsEdit_->setObjectName("edSeconds");
    secondsEdit_->setAccessibleName(tr("Seconds"));
    for (QLineEdit* e : {minutesEdit_, secondsEdit_}) {
        e->setMaxLength(9); // the settings file keeps 9 characters
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance("00000000"));
        e->installEventFilter(this);
    }
    spin_ = new UpDownControl(this);
    spin_->setMinimum(0);
    spin_->setMaximum(59);

    auto* minutesUnit = new QLabel(tr("Min"), this);
    minutesUnit->setObjectName("lblMin");
    minutesUnit->setBuddy(minutesEdit_);
    secondsUnit_ = new QLabel(this);
    secondsUnit_->setObjectName("lblSec");
    secondsUnit_->setBuddy(secondsEdit_);

    tenthsBox_ = new QCheckBox(tr("100 mSec"), this);
    tenthsBox_->setObjectName("chkSec");
    tenthsBox_->setAccessibleName(tenthsBox_->text());
    tenthsBox_->setToolTip(tr("Set 100 mSec interval"));

    auto* okButton = new QPushButton(tr("OK"), this);
    okButton->setObjectName("btOk");
    okButton->setAccessibleName(tr("OK"));
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(tr("&Cancel"), this);
    cancelButton->setObjectName("btCancel");
    cancelButton->setAccessibleName(tr("Cancel"));

    auto* grid = new QGridLayout;
    grid->addWidget(minutesEdit_, 0, 0);
    grid->addWidget(minutesUnit, 0, 2);
    grid->addWidget(secondsEdit_, 1, 0);
    grid->addWidget(spin_, 1, 1);
    grid->addWidget(secondsUnit_, 1, 2);
    grid->addWidget(tenthsBox_, 2, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(minutesEdit_, secondsEdit_);
    setTabOrder(secondsEdit_, tenthsBox_);
    setTabOrder(tenthsBox_, okButton);
    setTabOrder(okButton, cancelButton);

    connect(spin_, &UpDownControl::valueChanged, this, &IntervalDialog::writeSpinValue);
    connect(tenthsBox_, &QCheckBox::toggled, this, &IntervalDialog::tenthsToggled);
    connect(okButton, &QPushButton::clicked, this, &IntervalDialog::acceptInterval);
    connect(cancelButton, &QPushButton::clicked, this, &IntervalDialog::cancelInterval);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

void IntervalDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        minutesEdit_->setText(boxText(interval_.Minutes));
        if (interval_.Seconds < 1) {
            secondsEdit_->setText(boxText(interval_.Seconds * 10));
            tenthsBox_->setChecked(true);
        } else {
            secondsEdit_->setText(boxText(interval_.Seconds));
            tenthsBox_->setChecked(false);
        }
        attachSpin(secondsEdit_);
        updateSecLabel();
    }
    QDialog::showEvent(event);
}

bool IntervalDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == minutesEdit_ || box == secondsEdit_)) {
        if (event->type() == QEvent::FocusIn) {
            attachSpin(box);
        } else if (event->type() == QEvent::KeyPress) {
            // The arrow keys step the box as the spin arrows do, so the
            // interval can be set from the keyboard alone.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                attachSpin(box);
                if (key == Qt::Key_Up)
                    spin_->stepUp();
                else
                    spin_->stepDown();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void IntervalDialog::attachSpin(QLineEdit* box) {
    // Set the tag before the value: a value change writes into the box the
    // tag names, and that must be the box just attached.
    spin_->setTag(box == minutesEdit_ ? "Minutes" : "Seconds");
    spin_->setMinimum(0);
    const QSignalBlocker quiet(spin_);
    spin_->setValue(spinValueOf(box));
}

void IntervalDialog::writeSpinValue() {
    QLineEdit* box = spin_->tag() == "Minutes" ? minutesEdit_ : secondsEdit_;
    box->setText(formatPicture(spin_->value(), "##00"));
}

void IntervalDialog::tenthsToggled() {
    updateSecLabel();
}

void IntervalDialog::updateSecLabel() {
    secondsUnit_->setText(tenthsBox_->isChecked() ? tr("Sec/10") : tr("Sec"));
}

void IntervalDialog::acceptInterval() {
    double m = 0;
    double sec = 0;
    const bool numbers = boxNumber(minutesEdit_, m) && boxNumber(secondsEdit_, sec);
    if (tenthsBox_->isChecked())
        sec /= 10;
    // An interval the timers cannot keep would poll flat out: the dialog
    // stays open with what was typed.
    if (!numbers || !intervalUsable(Interval{m, sec})) {
        QMessageBox::warning(this, windowTitle(),
                             tr("The interval must be at least 0.1 seconds, with minutes from 0 "
                                "to 1440 and seconds from 0 to 3600."));
        return;
    }
    interval_ = Interval{m, sec};
    written_ = settingsWritten(store_.writeInterval(plainNumber(m), plainNumber(sec)), store_);
    accept();
}

std::optional<Expected<void>> IntervalDialog::choose() {
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return written_;
}

void IntervalDialog::cancelInterval() {
    reject();
}

} // namespace zel

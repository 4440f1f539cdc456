#include "ui/interval_dialog.h"

#include "common/strings.h"
#include "common/text.h"
#include "data/settings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace zel {

UpDownControl::UpDownControl(QWidget* parent) : QWidget(parent) {
    setObjectName("UpDown1");
    setAccessibleName(tr3("Change value", "Wert ändern", "שינוי ערך"));
    up_ = new QToolButton(this);
    up_->setObjectName("UpDown1_up");
    up_->setArrowType(Qt::UpArrow);
    up_->setAccessibleName(tr3("Increase", "Erhöhen", "הגדלה"));
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setObjectName("UpDown1_down");
    down_->setArrowType(Qt::DownArrow);
    down_->setAccessibleName(tr3("Decrease", "Verringern", "הקטנה"));
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
// The number a box holds, as the spin control can take it.
int spinValueOf(const QLineEdit* box) {
    const double n = roundHalfEven(leadingNumber(box->text()));
    return static_cast<int>(std::clamp(n, -1.0e6, 1.0e6));
}
} // namespace

IntervalDialog::IntervalDialog(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store) {
    setObjectName("frmRealTime");
    setWindowTitle(tr3("Set Real time ", "Echtzeit einstellen ", "הגדרת זמן אמת "));

    const Interval stored = store_.readInterval();
    Minutes = stored.Minutes;
    Seconds = stored.Seconds;

    edMinutes_ = new QLineEdit(this);
    edMinutes_->setObjectName("edMinutes");
    edMinutes_->setAccessibleName(tr3("Minutes", "Minuten", "דקות"));
    edSeconds_ = new QLineEdit(this);
    edSeconds_->setObjectName("edSeconds");
    edSeconds_->setAccessibleName(tr3("Seconds", "Sekunden", "שניות"));
    for (QLineEdit* e : {edMinutes_, edSeconds_}) {
        e->setMaxLength(9); // the settings file keeps 9 characters
        e->setAlignment(Qt::AlignRight);
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance("00000000"));
        e->installEventFilter(this);
    }
    UpDown1_ = new UpDownControl(this);
    UpDown1_->setMinimum(0);
    UpDown1_->setMaximum(59);

    auto* lblMin = new QLabel(tr3("Min", "Min", "דק'"), this);
    lblMin->setObjectName("lblMin");
    lblMin->setBuddy(edMinutes_);
    lblSec_ = new QLabel(this);
    lblSec_->setObjectName("lblSec");
    lblSec_->setBuddy(edSeconds_);

    chkSec_ = new QCheckBox(tr3("100 mSec", "100 mSec", "100 אלפיות שנייה"), this);
    chkSec_->setObjectName("chkSec");
    chkSec_->setAccessibleName(chkSec_->text());
    chkSec_->setToolTip(tr3("Set 100 mSec interval", "Intervall von 100 ms einstellen",
                            "הגדרת מרווח של 100 מילישניות"));

    auto* btOk = new QPushButton(tr3("OK", "OK", "אישור"), this);
    btOk->setObjectName("btOk");
    btOk->setAccessibleName(tr3("OK", "OK", "אישור"));
    btOk->setDefault(true);
    auto* btCancel = new QPushButton(tr3("&Cancel", "&Abbrechen", "&ביטול"), this);
    btCancel->setObjectName("btCancel");
    btCancel->setAccessibleName(tr3("Cancel", "Abbrechen", "ביטול"));

    auto* grid = new QGridLayout;
    grid->addWidget(edMinutes_, 0, 0);
    grid->addWidget(lblMin, 0, 2);
    grid->addWidget(edSeconds_, 1, 0);
    grid->addWidget(UpDown1_, 1, 1);
    grid->addWidget(lblSec_, 1, 2);
    grid->addWidget(chkSec_, 2, 0, 1, 3);
    grid->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOk);
    buttons->addWidget(btCancel);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(edMinutes_, edSeconds_);
    setTabOrder(edSeconds_, chkSec_);
    setTabOrder(chkSec_, btOk);
    setTabOrder(btOk, btCancel);

    connect(UpDown1_, &UpDownControl::valueChanged, this, &IntervalDialog::UpDown1_Change);
    connect(chkSec_, &QCheckBox::clicked, this, &IntervalDialog::chkSec_Click);
    connect(btOk, &QPushButton::clicked, this, &IntervalDialog::btOk_Click);
    connect(btCancel, &QPushButton::clicked, this, &IntervalDialog::btCancel_Click);
}

void IntervalDialog::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        edMinutes_->setText(formatPicture(Minutes, "##00"));
        if (Seconds < 1) {
            edSeconds_->setText(formatPicture(Seconds * 10, "##00"));
            chkSec_->setChecked(true);
        } else {
            edSeconds_->setText(formatPicture(Seconds, "##00"));
            chkSec_->setChecked(false);
        }
        attachSpin(edSeconds_);
        updateSecLabel();
    }
    QDialog::showEvent(event);
}

bool IntervalDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box && (box == edMinutes_ || box == edSeconds_)) {
        if (event->type() == QEvent::FocusIn) {
            attachSpin(box);
        } else if (event->type() == QEvent::KeyPress) {
            // The arrow keys step the box as the spin arrows do, so the
            // interval can be set from the keyboard alone.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Up || key == Qt::Key_Down) {
                attachSpin(box);
                if (key == Qt::Key_Up)
                    UpDown1_->stepUp();
                else
                    UpDown1_->stepDown();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void IntervalDialog::attachSpin(QLineEdit* box) {
    // Set the tag before the value: a value change writes into the box the
    // tag names, and that must be the box just attached.
    UpDown1_->setTag(box == edMinutes_ ? "Minutes" : "Seconds");
    UpDown1_->setMinimum(0);
    const QSignalBlocker quiet(UpDown1_);
    UpDown1_->setValue(spinValueOf(box));
}

void IntervalDialog::UpDown1_Change() {
    QLineEdit* box = UpDown1_->tag() == "Minutes" ? edMinutes_ : edSeconds_;
    box->setText(formatPicture(UpDown1_->value(), "##00"));
}

void IntervalDialog::chkSec_Click() {
    updateSecLabel();
}

void IntervalDialog::updateSecLabel() {
    lblSec_->setText(chkSec_->isChecked() ? tr3("Sec/10", "Sek/10", "שנ'/10")
                                          : tr3("Sec", "Sek", "שנ'"));
}

void IntervalDialog::btOk_Click() {
    Result = 1;
    Minutes = leadingNumber(edMinutes_->text());
    Seconds = leadingNumber(edSeconds_->text());
    if (chkSec_->isChecked())
        Seconds /= 10;
    store_.writeInterval(plainNumber(Minutes), plainNumber(Seconds));
    accept();
}

void IntervalDialog::btCancel_Click() {
    reject();
}

void IntervalDialog::reject() {
    Result = 2;
    QDialog::reject();
}

} // namespace zel

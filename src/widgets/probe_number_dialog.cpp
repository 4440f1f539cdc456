#include "widgets/probe_number_dialog.h"
#include "widgets/accelerators.h"
#include "widgets/window_arrangement.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel {

ProbeNumberDialog::ProbeNumberDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDetNumber");
    setWindowTitle(tr("Automatic"));

    // The German caption ends in a line break: the label takes two lines.
    auto* probeLabel = new QLabel(tr("Probe Number"), this);
    probeLabel->setObjectName("lblDetNum");
    probeEdit_ = new QLineEdit(this);
    probeEdit_->setObjectName("edDetNumber");
    probeEdit_->setAccessibleName(probeLabel->text().trimmed());
    probeEdit_->setMinimumWidth(probeEdit_->fontMetrics().horizontalAdvance(QString(20, '0')));
    probeLabel->setBuddy(probeEdit_);

    backgroundBox_ = new QCheckBox(tr("Background Measurment"), this);
    backgroundBox_->setObjectName("chkBack");
    backgroundBox_->setAccessibleName(backgroundBox_->text());

    auto* readyLabel = new QLabel(tr("Detector Inserted? "), this);
    readyLabel->setObjectName("lblReady");
    QFont bold = readyLabel->font();
    bold.setBold(true);
    readyLabel->setFont(bold);

    okButton_ = new QPushButton(tr("OK"), this);
    okButton_->setObjectName("btOK");
    okButton_->setAccessibleName(okButton_->text());
    okButton_->setDefault(true);
    okButton_->setEnabled(false);
    auto* cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName("btCancel");
    cancelButton->setAccessibleName(cancelButton->text());

    auto* form = new QGridLayout;
    form->addWidget(probeLabel, 0, 0);
    form->addWidget(probeEdit_, 0, 1);
    form->addWidget(backgroundBox_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(readyLabel);
    buttons->addStretch();
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton);
    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(probeEdit_, &QLineEdit::textChanged, this, &ProbeNumberDialog::updateOkButton);
    connect(backgroundBox_, &QCheckBox::toggled, this, &ProbeNumberDialog::updateOkButton);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    makeRoomForTitle(*this);
    keepAccelerators(*this);
}

QString ProbeNumberDialog::probeNumber() const {
    return probeEdit_->text();
}

bool ProbeNumberDialog::background() const {
    return backgroundBox_->isChecked();
}

void ProbeNumberDialog::updateOkButton() {
    okButton_->setEnabled(!probeEdit_->text().isEmpty() || backgroundBox_->isChecked());
}

} // namespace zel

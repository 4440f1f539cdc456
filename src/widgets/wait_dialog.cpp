#include "widgets/wait_dialog.h"
#include "widgets/accelerators.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel {

WaitDialog::WaitDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmBWait");
    setWindowTitle(tr("Please wait"));

    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar1");
    progress_->setAccessibleName(tr("Progress"));
    progress_->setMinimumWidth(progress_->fontMetrics().horizontalAdvance(QString(40, QChar('0'))));

    auto* stopButton = new QPushButton(tr("Stop"), this);
    stopButton->setObjectName("btStop");
    stopButton->setAccessibleName(stopButton->text());
    stopButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(stopButton);
    buttons->addStretch();
    auto* top = new QVBoxLayout(this);
    top->addWidget(progress_);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(stopButton, &QPushButton::clicked, this, &WaitDialog::stopAndHide);
    keepAccelerators(*this);
}

void WaitDialog::reset() {
    stopped_ = false;
    progress_->reset();
}

void WaitDialog::requestStop() {
    // One request per filling, however the window was closed.
    if (stopped_)
        return;
    stopped_ = true;
    emit stopRequested();
}

void WaitDialog::stopAndHide() {
    requestStop();
    hide();
}

void WaitDialog::reject() {
    requestStop();
    QDialog::reject();
}

void WaitDialog::closeEvent(QCloseEvent* event) {
    requestStop();
    QDialog::closeEvent(event);
}

} // namespace zel

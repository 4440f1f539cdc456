#include "ui/wait_dialog.h"

#include "common/strings.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel {

WaitDialog::WaitDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("frmBWait");
    setWindowTitle(tr3("Please wait", "Bitte warten", "נא להמתין"));

    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName("ProgressBar1");
    ProgressBar1_->setAccessibleName(tr3("Progress", "Fortschritt", "התקדמות"));
    ProgressBar1_->setMinimumWidth(
        ProgressBar1_->fontMetrics().horizontalAdvance(QString(40, QChar('0'))));

    auto* btStop = new QPushButton(tr3("Stop", "Stopp", "עצור"), this);
    btStop->setObjectName("btStop");
    btStop->setAccessibleName(btStop->text());
    btStop->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btStop);
    buttons->addStretch();
    auto* top = new QVBoxLayout(this);
    top->addWidget(ProgressBar1_);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(btStop, &QPushButton::clicked, this, &WaitDialog::btStop_Click);
}

void WaitDialog::reset() {
    stopped_ = false;
    ProgressBar1_->reset();
}

void WaitDialog::requestStop() {
    // One request per filling, however the window was closed.
    if (stopped_)
        return;
    stopped_ = true;
    emit stopRequested();
}

void WaitDialog::btStop_Click() {
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

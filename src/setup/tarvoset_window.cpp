#include "setup/tarvoset_window.h"

#include "ui/set_ser_port_dialog.h"
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel {

namespace {
QColor colourOf(StatusColour colour, const QPalette& palette) {
    switch (colour) {
    case StatusColour::Blue:
        return QColor(0, 0, 255);
    case StatusColour::Red:
        return QColor(255, 0, 0);
    case StatusColour::Default:
        break;
    }
    return palette.color(QPalette::Active, QPalette::Text);
}
} // namespace

TarvosetWindow::TarvosetWindow(TarvosetController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller) {
    setObjectName("frmTarvoSet");
    setWindowTitle(tarvoset::Caption);

    Text1_ = new QLineEdit(this);
    Text1_->setObjectName("Text1");
    Text1_->setAccessibleName("Status");
    Text1_->setReadOnly(true);
    Text1_->setFocusPolicy(Qt::NoFocus);
    Text1_->setAlignment(Qt::AlignCenter);
    QFont statusFont = Text1_->font();
    statusFont.setBold(true);
    Text1_->setFont(statusFont);
    // Room for the longest message, in the bold face it is shown in, plus the
    // frame and text margins of the line.
    const QFontMetrics fm(statusFont);
    Text1_->setMinimumWidth(fm.horizontalAdvance(tarvoset::NotConnectedText) +
                            6 * fm.averageCharWidth());

    Label1_ = new QLabel(this);
    Label1_->setObjectName("Label1");
    Label1_->setAccessibleName("Hint");
    Label1_->setAlignment(Qt::AlignCenter);
    // Keep the line's height when it is empty, so the window does not jump.
    Label1_->setMinimumHeight(Label1_->fontMetrics().height());

    btStop_ = new QPushButton("Initialize", this);
    btStop_->setObjectName("btStop");
    btStop_->setAccessibleName("Initialize");
    btSetPort_ = new QPushButton("Set Port ", this);
    btSetPort_->setObjectName("btSetPort");
    btSetPort_->setAccessibleName("Set Port");
    btOk_ = new QPushButton("OK", this);
    btOk_->setObjectName("btOk");
    btOk_->setAccessibleName("OK");
    btOk_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btStop_);
    buttons->addWidget(btSetPort_);
    buttons->addStretch();
    buttons->addWidget(btOk_);

    auto* top = new QVBoxLayout(this);
    top->addWidget(Text1_);
    top->addWidget(Label1_);
    top->addSpacing(6);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(btStop_, &QPushButton::clicked, this, &TarvosetWindow::btStop_Click);
    connect(btSetPort_, &QPushButton::clicked, this, &TarvosetWindow::btSetPort_Click);
    connect(btOk_, &QPushButton::clicked, this, &TarvosetWindow::btOk_Click);

    controller_.setView(this);
}

TarvosetWindow::~TarvosetWindow() {
    controller_.setView(nullptr);
}

void TarvosetWindow::showStatus(const QString& text, StatusColour colour) {
    QPalette p = Text1_->palette();
    const QColor c = colourOf(colour, palette());
    p.setColor(QPalette::Active, QPalette::Text, c);
    p.setColor(QPalette::Inactive, QPalette::Text, c);
    Text1_->setPalette(p);
    Text1_->setText(text);
}

void TarvosetWindow::showHint(const QString& text) {
    Label1_->setText(text);
}

void TarvosetWindow::setInitializeEnabled(bool enabled) {
    btStop_->setEnabled(enabled);
}

void TarvosetWindow::setSetPortEnabled(bool enabled) {
    btSetPort_->setEnabled(enabled);
}

void TarvosetWindow::btStop_Click() {
    controller_.btStop_Click();
}

void TarvosetWindow::btSetPort_Click() {
    controller_.beginSetPort();
    PortSettingsFile& file = controller_.portSettingsFile();
    SetSerPortDialog dialog(
        controller_.settings(), file,
        [this](int16_t port, int32_t baud, QString* detail) {
            return controller_.reopenPort(port, baud, detail);
        },
        tarvosetPortDialogVariant(), this);
    dialog.exec();
    // OK or Cancel: a new attempt on whatever port is now open.
    controller_.btStop_Click();
}

void TarvosetWindow::btOk_Click() {
    close();
}

void TarvosetWindow::closeEvent(QCloseEvent* event) {
    controller_.shutdown();
    QWidget::closeEvent(event);
}

} // namespace zel

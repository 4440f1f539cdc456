#include "setup/tarvoset_window.h"

#include "ui/port_dialog.h"
#include "widgets/spoken_text.h"
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
    exposeAsWindow(this);

    statusLine_ = new QLineEdit(this);
    statusLine_->setObjectName("Text1");
    statusLine_->setAccessibleDescription("Status");
    statusLine_->setAccessibleName("Status");
    statusLine_->setReadOnly(true);
    statusLine_->setFocusPolicy(Qt::NoFocus);
    statusLine_->setAlignment(Qt::AlignCenter);
    QFont statusFont = statusLine_->font();
    statusFont.setBold(true);
    statusLine_->setFont(statusFont);
    // Room for the longest message, in the bold face it is shown in, plus the
    // frame and text margins of the line.
    const QFontMetrics fm(statusFont);
    statusLine_->setMinimumWidth(fm.horizontalAdvance(tarvoset::NotConnectedText) +
                                 6 * fm.averageCharWidth());

    hintLabel_ = new QLabel(this);
    hintLabel_->setObjectName("Label1");
    speakText(hintLabel_, "Hint");
    hintLabel_->setAlignment(Qt::AlignCenter);
    // Keep the line's height when it is empty, so the window does not jump.
    hintLabel_->setMinimumHeight(hintLabel_->fontMetrics().height());

    initializeButton_ = new QPushButton("Initialize", this);
    initializeButton_->setObjectName("btStop");
    initializeButton_->setAccessibleName("Initialize");
    portButton_ = new QPushButton("Set Port ", this);
    portButton_->setObjectName("btSetPort");
    portButton_->setAccessibleName("Set Port");
    okButton_ = new QPushButton("OK", this);
    okButton_->setObjectName("btOk");
    okButton_->setAccessibleName("OK");
    okButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(initializeButton_);
    buttons->addWidget(portButton_);
    buttons->addStretch();
    buttons->addWidget(okButton_);

    auto* top = new QVBoxLayout(this);
    top->addWidget(statusLine_);
    top->addWidget(hintLabel_);
    top->addSpacing(6);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(initializeButton_, &QPushButton::clicked, this, &TarvosetWindow::initialize);
    connect(portButton_, &QPushButton::clicked, this, &TarvosetWindow::choosePort);
    connect(okButton_, &QPushButton::clicked, this, &TarvosetWindow::closeWindow);

    controller_.setView(this);
}

TarvosetWindow::~TarvosetWindow() {
    controller_.setView(nullptr);
}

void TarvosetWindow::showStatus(const QString& text, StatusColour colour) {
    QPalette p = statusLine_->palette();
    const QColor c = colourOf(colour, palette());
    p.setColor(QPalette::Active, QPalette::Text, c);
    p.setColor(QPalette::Inactive, QPalette::Text, c);
    statusLine_->setPalette(p);
    setSpokenLine(statusLine_, text);
}

void TarvosetWindow::showHint(const QString& text) {
    hintLabel_->setText(text);
}

void TarvosetWindow::setInitializeEnabled(bool enabled) {
    initializeButton_->setEnabled(enabled);
}

void TarvosetWindow::setSetPortEnabled(bool enabled) {
    portButton_->setEnabled(enabled);
}

void TarvosetWindow::initialize() {
    controller_.initialize();
}

void TarvosetWindow::choosePort() {
    controller_.beginSetPort();
    PortSettingsFile& file = controller_.portSettingsFile();
    PortDialog dialog(
        controller_.settings(), file,
        [this](int16_t port, int32_t baud) { return controller_.reopenPort(port, baud); },
        tarvosetPortDialogVariant(), this);
    dialog.exec();
    // OK or Cancel: a new attempt on whatever port is now open.
    controller_.initialize();
}

void TarvosetWindow::closeWindow() {
    close();
}

void TarvosetWindow::closeEvent(QCloseEvent* event) {
    controller_.shutdown();
    QWidget::closeEvent(event);
}

} // namespace zel

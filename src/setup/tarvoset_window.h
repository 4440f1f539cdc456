#pragma once
// The one window of tarvoset, "Set for TARVO-5": a status line, the hint,
// and the buttons "Initialize", "Set Port " and "OK". It shows what the
// controller tells it and forwards the clicks.
#include "setup/tarvoset_controller.h"
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zel {

class TarvosetWindow : public QWidget, public TarvosetView {
    Q_OBJECT
public:
    explicit TarvosetWindow(TarvosetController& controller, QWidget* parent = nullptr);
    ~TarvosetWindow() override;

    // TarvosetView
    void showStatus(const QString& text, StatusColour colour) override;
    void showHint(const QString& text) override;
    void setInitializeEnabled(bool enabled) override;
    void setSetPortEnabled(bool enabled) override;

public slots:
    void initialize();
    void choosePort();
    void closeWindow();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TarvosetController& controller_;
    QLineEdit* statusLine_ = nullptr;
    QLabel* hintLabel_ = nullptr;
    QPushButton* initializeButton_ = nullptr;
    QPushButton* portButton_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

} // namespace zel

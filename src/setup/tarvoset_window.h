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
    void btStop_Click();
    void btSetPort_Click();
    void btOk_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TarvosetController& controller_;
    QLineEdit* Text1_ = nullptr;
    QLabel* Label1_ = nullptr;
    QPushButton* btStop_ = nullptr;
    QPushButton* btSetPort_ = nullptr;
    QPushButton* btOk_ = nullptr;
};

} // namespace zel

#pragma once
// "Setup Device": reads and changes an amplifier meter's thresholds,
// background, interval, serial number, baud rate and options, and chooses
// the unit scale values are shown and typed in. It shows what the
// amplifier conversation holds and forwards each command to it; closing it
// (by "Done" or the close box) starts the meter's sending again.
#include "station/amp_conversation.h"
#include <QDialog>
#include <array>
#include <functional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;

namespace zel {

class Prompts;

class AmpSetupDialog : public QDialog, public AmpSetupListener {
    Q_OBJECT
public:
    // `diagnostic`: the command line was exactly "dbg"; shows the meter-type
    // and units frames and the status line.
    AmpSetupDialog(AmpConversation& amp, bool diagnostic, QWidget* parent = nullptr);
    ~AmpSetupDialog() override;

    // Where refusals are told: the dialogs unless set. `prompts` must
    // outlive the dialog.
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }

    // AmpSetupListener
    void parametersArrived(bool fiveThresholds) override;
    void setupStatus(const QString& text) override;

    bool fiveThresholdLayout() const { return fiveThresholds_; }

public slots:
    void getParameters();
    void sendThreshold(int index);
    void sendBackground();
    void sendInterval();
    void sendSerialNumber();
    void sendBaud();
    void chooseScale(int index);
    void finish();
    // Unloading by any road starts the meter again.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUi();
    // `takeBaud`: the meter's rate replaces the user's choice (a new block,
    // the dialog opening); a unit-scale change keeps the choice.
    void showParameters(bool takeBaud);
    void showUnits();
    void showOption(QCheckBox* box, bool on);
    void useFiveThresholdLayout();
    void optionClicked();
    void refused(amp::Refusal refusal, const QString& text);
    QString smallValueText() const;

    // The Send each field's Return runs (none for the status line).
    struct FieldSend {
        QLineEdit* edit;
        std::function<void()> send;
    };
    std::vector<FieldSend> fieldSends_;

    AmpConversation& amp_;
    Prompts* prompts_;
    bool diagnostic_;
    bool fiveThresholds_ = false;
    bool startSent_ = false;
    int typeCode_ = 30;
    int unitsCode_ = 30;
    int convertIndex_ = 0;
    int baudIndex_ = 0;

    std::array<QLabel*, AmpParams::ThresholdCount> thresholdCaptions_{};
    std::array<QLineEdit*, AmpParams::ThresholdCount> thresholdEdits_{};
    std::array<QPushButton*, AmpParams::ThresholdCount> thresholdSends_{};
    std::array<QLabel*, AmpParams::ThresholdCount> thresholdUnits_{};
    QSpacerItem* defaultRowIndent_ = nullptr;
    QGridLayout* thresholdGrid_ = nullptr;
    QGroupBox* backgroundFrame_ = nullptr;
    QLineEdit* backgroundEdit_ = nullptr;
    QLabel* backgroundUnits_ = nullptr;
    QLineEdit* intervalEdit_ = nullptr;
    QLineEdit* serialEdit_ = nullptr;
    QButtonGroup* baudGroup_ = nullptr;
    QButtonGroup* scaleGroup_ = nullptr;
    QButtonGroup* typeGroup_ = nullptr;
    QButtonGroup* unitsGroup_ = nullptr;
    QGroupBox* typeFrame_ = nullptr;
    QGroupBox* unitsFrame_ = nullptr;
    QCheckBox* doseBox_ = nullptr;
    QCheckBox* latchBox_ = nullptr;
    QCheckBox* buzzerBox_ = nullptr;
    QLineEdit* statusLine_ = nullptr;
    QLabel* firmwareLabel_ = nullptr;
};

} // namespace zel

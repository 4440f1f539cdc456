#pragma once
// "Set Parameters": alarm thresholds, lost-contact limit, measurement times,
// time format and two flags. The owner fills the fields before showing it
// and, after OK, takes them back and writes them to the settings file.
#include <QDialog>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zel {

struct Settings;

class ParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParametersDialog(QWidget* parent = nullptr);

    double Threshold1 = 0;
    double Threshold2 = 0;
    double LostContact = 0; // seconds; the owner rounds it into its 16-bit setting
    int16_t BackTime = 0;
    int16_t MeasureTime = 0;
    int16_t AudioAlarm = 0;
    int16_t AutoArrange = 0;
    int16_t TimeFormat = 0;
    int Result = 0; // 1 OK, 2 Cancel

    // Conveniences for the owner: copy the eight values from and to the
    // settings record.
    void takeFrom(const Settings& s);
    void giveTo(Settings& s) const;

public slots:
    void OKButton_Click();
    void CancelButton_Click();
    // Escape and the window's close button act as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* edThreshold1_;
    QLineEdit* edThreshold2_;
    QLineEdit* edLostContact_;
    QLineEdit* edBackTime_;
    QLineEdit* edMeasureTime_;
    QLabel* lblBackTime_;
    QLabel* lblMeasureTime_;
    QButtonGroup* optTime_;
    QCheckBox* chkAudio_;
    QCheckBox* chkAutoArrange_;
    QPushButton* OKButton_;
    QPushButton* CancelButton_;
};

} // namespace zel

#pragma once
// "Calibration Info": the calibration record a portable instrument sent.
#include <QDialog>

class QLineEdit;

namespace zel {

struct PortablesCalibration;

class CalibrationDialog : public QDialog {
    Q_OBJECT
public:
    explicit CalibrationDialog(QWidget* parent = nullptr);

    // Fills the four boxes from the instrument's calibration reply.
    void setRecord(const QString& meter, const QString& time, const QString& name,
                   const QString& factor);

    // Fills the window of `owner` (made at its first use) with `record` and
    // shows it; the window stays until OK hides it.
    static CalibrationDialog* showRecord(QWidget* owner, const PortablesCalibration& record);

    QLineEdit* edMeter() const { return edMeter_; }
    QLineEdit* edTime() const { return edTime_; }
    QLineEdit* edName() const { return edName_; }
    QLineEdit* edFactor() const { return edFactor_; }

public slots:
    void btOk_Click();

private:
    QLineEdit* edMeter_;
    QLineEdit* edTime_;
    QLineEdit* edName_;
    QLineEdit* edFactor_;
};

} // namespace zel

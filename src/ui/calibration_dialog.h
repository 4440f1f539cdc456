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

    QLineEdit* meterField() const { return meterField_; }
    QLineEdit* dueField() const { return dueField_; }
    QLineEdit* nameField() const { return nameField_; }
    QLineEdit* factorField() const { return factorField_; }

public slots:
    void dismiss();

private:
    QLineEdit* meterField_;
    QLineEdit* dueField_;
    QLineEdit* nameField_;
    QLineEdit* factorField_;
};

} // namespace zel

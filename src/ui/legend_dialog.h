#pragma once
// "Legend": the five texts that head every data file. Four are kept in the
// settings file; the date is today's at first use and is never stored.
#include <QDialog>
#include <QString>

class QLineEdit;

namespace zel {

class SettingsStore;

class LegendDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the four stored keys once and sets Date to today's short date.
    explicit LegendDialog(SettingsStore& store, QWidget* parent = nullptr);

    QString Department;
    QString Date;
    QString Detector;
    QString Location;
    QString Personnel;

public slots:
    void btOk_Click();
    void btCalcel_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsStore& store_;
    QLineEdit* edDepartment_;
    QLineEdit* edDate_;
    QLineEdit* edDetector_;
    QLineEdit* edLocation_;
    QLineEdit* edPersonnel_;
};

} // namespace zel

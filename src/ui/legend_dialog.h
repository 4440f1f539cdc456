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
    // Reads the four stored keys once and sets date to today's short date.
    explicit LegendDialog(SettingsStore& store, QWidget* parent = nullptr);

    QString department;
    QString date;
    QString detector;
    QString location;
    QString personnel;
    // After OK: whether Zel.ini took the legend, and why not.
    bool saved = true;
    QString saveError;

public slots:
    void acceptLegend();
    void cancelLegend();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsStore& store_;
    QLineEdit* departmentEdit_;
    QLineEdit* dateEdit_;
    QLineEdit* detectorEdit_;
    QLineEdit* locationEdit_;
    QLineEdit* personnelEdit_;
};

} // namespace zel

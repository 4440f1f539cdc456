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

    double threshold1 = 0;
    double threshold2 = 0;
    double lostContact = 0; // seconds; the owner rounds it into its 16-bit setting
    int16_t backTime = 0;
    int16_t measureTime = 0;
    int16_t audioAlarm = 0;
    int16_t autoArrange = 0;
    int16_t timeFormat = 0;

    // Conveniences for the owner: copy the eight values from and to the
    // settings record.
    void takeFrom(const Settings& s);
    void giveTo(Settings& s) const;
    // Shows `s` modally and, after OK, gives the values typed back to it.
    // Whether OK was pressed.
    bool edit(Settings& s);

public slots:
    void acceptParameters();
    void cancelParameters();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool takeNumber(const QLineEdit* box, const QString& shown, double stored, double& out) const;

    QString shownThreshold1_;
    QString shownThreshold2_;
    QLineEdit* threshold1Edit_;
    QLineEdit* threshold2Edit_;
    QLineEdit* lostContactEdit_;
    QLineEdit* backTimeEdit_;
    QLineEdit* measureTimeEdit_;
    QLabel* backTimeLabel_;
    QLabel* measureTimeLabel_;
    QButtonGroup* timeFormatButtons_;
    QCheckBox* audioBox_;
    QCheckBox* autoArrangeBox_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
};

} // namespace zel

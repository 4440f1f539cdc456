#pragma once
// "Set Real time ": the on-line interval as minutes and seconds. A seconds
// value below 1 means tenths of a second were chosen ("100 mSec").
#include <QDialog>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace zel {

class SettingsStore;

// Up and down arrows without a text of their own: they step the number of
// whichever box they serve.
class UpDownControl : public QWidget {
    Q_OBJECT
public:
    explicit UpDownControl(QWidget* parent = nullptr);

    int value() const { return value_; }
    int minimum() const { return min_; }
    int maximum() const { return max_; }
    void setMinimum(int minimum);
    void setMaximum(int maximum);
    // Clamped into the range; emits valueChanged only on a change.
    void setValue(int value);
    // The box the control serves: "Minutes" or "Seconds".
    QString tag() const { return tag_; }
    void setTag(const QString& tag) { tag_ = tag; }

public slots:
    void stepUp() { setValue(value_ + 1); }
    void stepDown() { setValue(value_ - 1); }

signals:
    void valueChanged(int value);

private:
    int value_ = 0;
    int min_ = 0;
    int max_ = 59;
    QString tag_;
    QToolButton* up_;
    QToolButton* down_;
};

class IntervalDialog : public QDialog {
    Q_OBJECT
public:
    // Reads "MinInt" and "SecInt" once; the values then live as long as
    // the dialog, which the owner keeps for the whole run.
    explicit IntervalDialog(SettingsStore& store, QWidget* parent = nullptr);

    double minutes = 0;
    double seconds = 0;
    int outcome = 0; // 1 OK, 2 Cancel
    // After OK: whether Zel.ini took the interval, and why not.
    bool saved = true;
    QString saveError;

public slots:
    void acceptInterval();
    void cancelInterval();
    void tenthsToggled();
    void writeSpinValue();
    // Escape and the window's close button act as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attachSpin(QLineEdit* box);
    void updateSecLabel();

    SettingsStore& store_;
    QLineEdit* minutesEdit_;
    QLineEdit* secondsEdit_;
    UpDownControl* spin_;
    QCheckBox* tenthsBox_;
    QLabel* secondsUnit_;
};

} // namespace zel

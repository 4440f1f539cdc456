#pragma once
// "Set Real time ": the on-line interval as minutes and seconds. A seconds
// value below 1 means tenths of a second were chosen ("100 mSec").
#include "common/failure.h"
#include "data/settings.h"

#include <QDialog>
#include <QWidget>
#include <optional>

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

    // Shows the dialog modally. Nothing when cancelled; after OK, whether
    // Zel.ini took the interval, and why not.
    std::optional<Expected<void>> choose();
    // The interval, kept between openings: the last one confirmed.
    const Interval& interval() const { return interval_; }
    void setInterval(const Interval& interval) { interval_ = interval; }

public slots:
    void acceptInterval();
    void cancelInterval();
    void tenthsToggled();
    void writeSpinValue();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void attachSpin(QLineEdit* box);
    void updateSecLabel();

    SettingsStore& store_;
    Interval interval_;
    Expected<void> written_;
    QLineEdit* minutesEdit_;
    QLineEdit* secondsEdit_;
    UpDownControl* spin_;
    QCheckBox* tenthsBox_;
    QLabel* secondsUnit_;
};

} // namespace zel

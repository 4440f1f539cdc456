#pragma once
// "Legend": the five texts that head every data file. Four are kept in the
// settings file; the date is today's at first use and is never stored.
#include "common/failure.h"
#include "data/settings.h"

#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;

namespace zel {

class SettingsStore;

class LegendDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the four stored keys once and sets date to today's short date.
    explicit LegendDialog(SettingsStore& store, QWidget* parent = nullptr);

    // Shows the dialog modally. Nothing when cancelled; after OK, whether
    // Zel.ini took the legend, and why not.
    std::optional<Expected<void>> choose();
    // The five texts, kept between openings: the last ones confirmed.
    const Legend& legend() const { return legend_; }

public slots:
    void acceptLegend();
    void cancelLegend();

protected:
    void showEvent(QShowEvent* event) override;

private:
    SettingsStore& store_;
    Legend legend_;
    Expected<void> written_;
    QLineEdit* departmentEdit_;
    QLineEdit* dateEdit_;
    QLineEdit* detectorEdit_;
    QLineEdit* locationEdit_;
    QLineEdit* personnelEdit_;
};

} // namespace zel

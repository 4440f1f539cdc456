#pragma once
// Asks for the probe of the next automatic measurement: its number, or a
// background measurement. OK needs one of the two.
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace zel {

class ProbeNumberDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProbeNumberDialog(QWidget* parent = nullptr);

    QString probeNumber() const;
    bool background() const;

private:
    void updateOkButton();

    QLineEdit* probeEdit_;
    QCheckBox* backgroundBox_;
    QPushButton* okButton_;
};

} // namespace zel

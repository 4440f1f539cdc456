#pragma once
// "Data Handle": the graph's panel for the scale choice and for following
// live readings.
#include <QDialog>

class QButtonGroup;
class QPushButton;

namespace zel {

class DataHandleDialog : public QDialog {
    Q_OBJECT
public:
    // Scale options, in the order of their buttons.
    enum Scale { Auto = 0, Manual = 1, Range10 = 2, Range100 = 3, Range1000 = 4 };

    explicit DataHandleDialog(QWidget* parent = nullptr);

    bool isOnline() const { return online_; }
    // Sets the state; true asks the owner (onlineChanged) to read the working
    // file into the series again.
    void setOnline(bool value);
    // Shows the graph's present scale mode without announcing a choice.
    void setScale(int mode);
    int scale() const;

public slots:
    void toggleOnline();
    void chooseScale(int index);

signals:
    void scaleChosen(int mode);
    void onlineChanged(bool online);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateOnlineButton();

    QButtonGroup* scaleButtons_;
    QPushButton* onlineButton_;
    bool online_ = false;
};

} // namespace zel

#pragma once
// The wait window: a progress bar and a "Stop" button while the graph fills
// its data list. Stopping, or closing the window any other way, asks the
// filling to end.
#include <QDialog>

class QProgressBar;

namespace zel {

class WaitDialog : public QDialog {
    Q_OBJECT
public:
    explicit WaitDialog(QWidget* parent = nullptr);

    QProgressBar* progressBar() const { return progress_; }
    bool stopped() const { return stopped_; }
    // Ready for the next filling.
    void reset();

public slots:
    void stopAndHide();
    void reject() override;

signals:
    void stopRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void requestStop();

    QProgressBar* progress_;
    bool stopped_ = false;
};

} // namespace zel

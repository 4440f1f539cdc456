#pragma once
// Long work done in slices on the event loop, so that windows repaint and a
// Stop is seen between slices while the work goes on. Each turn of the loop
// runs slices for a few milliseconds, then reports how far the work is.
#include <QObject>
#include <QTimer>
#include <functional>

namespace zel {

class SlicedJob : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Done, Cancelled };

    // `slice` does a little more of the work and returns false when there
    // is none left; `progress` says how much is done, of `total`.
    SlicedJob(std::function<bool()> slice, std::function<int()> progress, int total,
              QObject* parent = nullptr);

    int total() const { return total_; }
    bool running() const { return running_; }
    // How long (milliseconds) slices run before the event loop gets its
    // turn; at least one slice runs per turn, so 0 runs one.
    void setTurnLength(qint64 ms) { turnMs_ = ms; }

    // Runs the first slices at the next turn of the event loop.
    void start();
    // No slice runs after this; finished(Cancelled) follows at once.
    void cancel();

signals:
    void progressed(int done, int total);
    void finished(zel::SlicedJob::Outcome outcome);

private:
    void runSlices();
    void end(Outcome outcome);

    std::function<bool()> slice_;
    std::function<int()> progress_;
    int total_;
    qint64 turnMs_;
    bool running_ = false;
    QTimer turn_;
};

} // namespace zel

#include "common/sliced_job.h"

#include <QElapsedTimer>

namespace zel {

namespace {
// Slices run for about this long (milliseconds) before the event loop gets
// its turn: short enough for Stop and repainting to answer at once.
constexpr qint64 TurnMs = 10;
} // namespace

SlicedJob::SlicedJob(std::function<bool()> slice, std::function<int()> progress, int total,
                     QObject* parent)
    : QObject(parent), slice_(std::move(slice)), progress_(std::move(progress)), total_(total),
      turnMs_(TurnMs) {
    turn_.setSingleShot(true);
    turn_.setInterval(0);
    connect(&turn_, &QTimer::timeout, this, &SlicedJob::runSlices);
}

void SlicedJob::start() {
    if (running_)
        return;
    running_ = true;
    turn_.start();
}

void SlicedJob::cancel() {
    if (running_)
        end(Outcome::Cancelled);
}

void SlicedJob::runSlices() {
    QElapsedTimer clock;
    clock.start();
    bool more = true;
    do
        more = slice_();
    while (more && running_ && clock.elapsed() < turnMs_);
    // A slice may have cancelled the job.
    if (!running_)
        return;
    emit progressed(progress_(), total_);
    if (!running_)
        return;
    if (more)
        turn_.start();
    else
        end(Outcome::Done);
}

void SlicedJob::end(Outcome outcome) {
    running_ = false;
    turn_.stop();
    emit finished(outcome);
}

} // namespace zel

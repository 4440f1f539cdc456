// Work in slices on the event loop: every slice runs until the work is
// done, progress is reported between turns, and a cancel stops it at once,
// from outside or from inside a slice, before or after it started.
#include "common/sliced_job.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <gtest/gtest.h>

namespace zel {
namespace {

struct JobRun {
    int slicesRun = 0;
    QList<int> progress;
    QList<SlicedJob::Outcome> outcomes;
};

// Work of `slices` slices, one slice per turn of the event loop.
// `cancelAfterReport` cancels from the progress report of that number (1 is
// the first), `cancelInSlice` from inside that slice, `cancelFirst` before
// the first turn; 0 never.
JobRun runJob(int slices, int cancelAfterReport, int cancelInSlice, bool cancelFirst) {
    JobRun run;
    SlicedJob* self = nullptr;
    SlicedJob job(
        [&] {
            ++run.slicesRun;
            if (run.slicesRun == cancelInSlice)
                self->cancel();
            return run.slicesRun < slices;
        },
        [&] { return run.slicesRun; }, slices);
    self = &job;
    job.setTurnLength(0);
    QEventLoop loop;
    QObject::connect(&job, &SlicedJob::progressed, [&](int done, int total) {
        EXPECT_EQ(total, slices);
        run.progress << done;
        if (run.progress.size() == cancelAfterReport)
            job.cancel();
    });
    QObject::connect(&job, &SlicedJob::finished, [&](SlicedJob::Outcome outcome) {
        run.outcomes << outcome;
        loop.quit();
    });
    job.start();
    EXPECT_TRUE(job.running());
    if (cancelFirst)
        job.cancel();
    else
        loop.exec();
    // Nothing more arrives once it has finished.
    QCoreApplication::processEvents();
    EXPECT_FALSE(job.running());
    return run;
}

TEST(SlicedJob, RunsToTheEndOrStopsWhereCancelled) {
    using O = SlicedJob::Outcome;
    struct Case {
        const char* what;
        int slices, cancelAfterReport, cancelInSlice;
        bool cancelFirst;
        int slicesRun;
        QList<int> progress;
        O outcome;
    };
    const Case cases[] = {
        {"to the end", 4, 0, 0, false, 4, {1, 2, 3, 4}, O::Done},
        {"a single slice", 1, 0, 0, false, 1, {1}, O::Done},
        {"cancelled after the second report", 5, 2, 0, false, 2, {1, 2}, O::Cancelled},
        {"cancelled inside the third slice", 5, 0, 3, false, 3, {1, 2}, O::Cancelled},
        {"cancelled in its last slice", 3, 0, 3, false, 3, {1, 2}, O::Cancelled},
        {"cancelled before it ran", 5, 0, 0, true, 0, {}, O::Cancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const JobRun run = runJob(c.slices, c.cancelAfterReport, c.cancelInSlice, c.cancelFirst);
        EXPECT_EQ(run.slicesRun, c.slicesRun);
        EXPECT_EQ(run.progress, c.progress);
        EXPECT_EQ(run.outcomes, QList<O>{c.outcome}) << "finished exactly once";
    }
}

} // namespace
} // namespace zel

#pragma once
// The working file with the counters and the series that go with it: the
// file sequences of the main window without any question to the user. The
// owner asks, shows messages and clears the list. The data-file format, its
// reader and the working file itself live in their own headers, included
// here for the callers that use all of them.
#include "common/failure.h"
#include "data/data_file_reader.h"
#include "data/data_format.h"
#include "data/working_file.h"
#include <QByteArray>
#include <QString>
#include <functional>

namespace zel {

class DataStore {
public:
    explicit DataStore(QString workingPath);

    WorkingFile& workingFile() { return working_; }
    const WorkingFile& workingFile() const { return working_; }

    // What the graph of the working file draws: the newest readings taken.
    const Series& series() const { return series_; }
    // Readings in the working file (read back at start) and taken since.
    int32_t readingCount() const { return readingCount_; }
    bool unsaved = false;

    // The header a missing working file is created with (current legend,
    // probe number and family). Without it an empty-legend "Portables"
    // header is used.
    std::function<QByteArray()> headerProvider;

    // A new working file: startNew, an empty series, readingCount 0. The
    // caller clears the list and hides the graph.
    Expected<void> openNewTempFile(const QByteArray& header);

    // Closes the channel, reads `path` (the working file when empty) into
    // the series, sets readingCount, then reopens the working file for
    // appending (creating it with its header when it is missing). A file
    // that cannot be opened leaves the series and readingCount as they were.
    // Gives the readings counted in the file.
    Expected<int32_t> readDb(const QString& path = {});

    // A reading taken into the list at `dayCount` with the value shown:
    // counted, and added to the series (the oldest entry makes room once it
    // is full), so the graph never sees an unfilled slot; the working file
    // now holds something unsaved. appendReading does not count: the intake
    // calls both, this one at the list step.
    void takeReading(double dayCount, double value);

    // Writes one reading line to the working file and flushes it. Reopens a
    // closed channel first.
    Expected<void> appendReading(const MeasurementRecord& r);

    // Copies the working file to `path` and to the common file. Only when
    // both copies are complete is the working file restarted with
    // `freshHeader` and unsaved cleared; otherwise the working file is left
    // untouched, reopened for appending, and the failure says why. A target
    // that is the working file itself is refused. The list, readingCount and
    // the series are not changed.
    Expected<void> saveToFile(const QString& path, const QString& commonFilePath,
                              const QByteArray& freshHeader);

    // At start-up: a missing working file (or one too short to hold its
    // header) is created with its header, so later reads do not take
    // readings for header lines. Leaves the channel open for appending.
    Expected<void> ensureWorkingFile();
    // True when the working file has a line after its eight header lines.
    bool workingFileHoldsReadings() const;

    Expected<void> reopenAppend();
    // Reopens the working file for appending only when its column line (the
    // eighth) is the one `header` has, so readings never land under another
    // family's or another unit's columns. Otherwise the old file is kept
    // whole under a new name (noticeHandler says which) and a new working
    // file begins with `header`. While that cannot be done (a full disk),
    // nothing is appended: appendReading fails until it can.
    Expected<void> reopenAppendUnder(const QByteArray& header);
    // The working file's column line, without its line end; empty when the
    // file has no complete eighth line or cannot be read.
    QByteArray workingColumnLine() const;

    // Told what the user should hear of once: a torn last line moved aside,
    // an old working file kept under a new name.
    std::function<void(const QString&)> noticeHandler;

private:
    QByteArray currentHeader() const;
    void passOnNotice();
    // Keeps the working file under a new free name and begins a new one.
    Expected<void> beginAnewUnder(const QByteArray& header);
    // No reading yet: an empty series and a count of 0.
    void forgetReadings();

    WorkingFile working_;
    Series series_;
    int32_t readingCount_ = 0;
    // The header a new working file must begin with before anything is
    // appended; empty when appending may go on.
    QByteArray pendingHeader_;
};

} // namespace zel

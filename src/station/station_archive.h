#pragma once
// The station's record kept beside the working file: every reading the
// Station files goes to the archive too, and what makes a gap in the
// readings (collection stopped, contact or the port lost, the disk full) is
// recorded as an event. zel and zel-monitor both get it through the
// Session, so the two programs archive alike.
//
// The archive is written on a thread of its own (ArchiveWriter); here a
// reading is only copied into its queue. The working file stays the first
// copy and is never held back: when the archive cannot write it waits and
// catches up.
#include "archive/archive_writer.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace zel {

class Station;
enum class AlarmLevel : int16_t;
struct Reading;

class StationArchive : public QObject {
    Q_OBJECT
public:
    // What the archive says for a person: `problem` while it waits (a full
    // disk, a damaged file set aside), false when it writes again.
    using Report = std::function<void(const QString& text, bool problem)>;

    // Opens (or begins) `archivePath` on the writer's thread, catches up
    // from `workingFilePath` whatever was filed before this start and not
    // archived, and follows the Station from now on.
    StationArchive(Station& station, const QString& archivePath, const QString& workingFilePath,
                   int keepDays, Report report);
    // Writes what is queued and records the program's clean stop.
    ~StationArchive() override;

    ArchiveWriter& writer() { return *writer_; }

private:
    void fileReading(const Reading& reading, AlarmLevel level);
    void noteWriteFailed(const QString& reason);

    Station& station_;
    Report report_;
    std::unique_ptr<ArchiveWriter> writer_;
    // The working file could not take a reading: recorded once, and its
    // end recorded with the next reading filed.
    bool workingFileFull_ = false;
};

} // namespace zel

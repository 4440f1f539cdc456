#pragma once
// Writes the station's record on a thread of its own, so the window's and
// the intake's thread never waits for the disk. Readings and events are
// handed over (a copy into a queue under a mutex, nothing more) and written
// together about once a second, in one transaction.
//
// The working file stays the first copy. When the archive cannot write (a
// full disk, another program holding the lock) the writer keeps what it was
// given and says so, tries again every few seconds, and when it has held
// too much for too long it lets the queue go and catches up from the
// working file instead, which is idempotent.
#include "archive/archive.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>

namespace zel {

class IniFile;

// "[Archive] KeepDays=" of Zel.ini: the days raw readings are kept; 0 (the
// default, and for anything that is not a whole number above 0) keeps them
// all.
int keepDaysSetting(const IniFile& settings);

struct ArchiveWriterOptions {
    QString archivePath;
    std::chrono::milliseconds batchInterval{1000};
    std::chrono::milliseconds retryInterval{2000};
    // Raw readings older than this many days are thinned to the per-minute
    // summaries ("[Archive] KeepDays=" in Zel.ini); 0 keeps everything.
    int keepDays = 0;
    // Records "program started" when it opens (and "program ended without
    // stopping" for a run that never recorded its stop) and "program stopped"
    // when it is destroyed.
    bool recordProgramLife = true;
    // Readings held while the archive cannot write; beyond this the queue is
    // let go and the working file is caught up again once writing works.
    size_t maxQueued = 1'000'000;
};

class ArchiveWriter {
public:
    explicit ArchiveWriter(ArchiveWriterOptions options);
    // Writes what is queued (one try), records the clean stop, ends the thread.
    ~ArchiveWriter();
    ArchiveWriter(const ArchiveWriter&) = delete;
    ArchiveWriter& operator=(const ArchiveWriter&) = delete;

    // From any thread; they only queue.
    void file(const FiledReading& reading);
    void file(const ArchivedReading& reading);
    void record(const ArchiveEvent& event);
    void record(ArchiveEventKind kind, const QString& detail = {});
    // Archives whatever of the working file is not archived yet: the file as
    // far as it is written at this call (its size is taken now); readings
    // filed after the call come through file(). `family` is the caption of
    // the family that files into it, so its lines are recognised as the
    // readings file() handed over (empty when not known).
    void catchUp(const QString& workingFilePath, const QString& family = {});

    // Waits until everything handed over before the call is written, or a
    // write tried after the call failed, or the time is up. True when written.
    // For a clean stop and for tests; the intake never calls it.
    bool flush(std::chrono::milliseconds timeout = std::chrono::seconds(30));

    struct Status {
        bool open = false;
        bool waitingForDisk = false; // the last write failed; it is tried again
        qint64 archived = 0;         // readings added since the start
        qint64 alreadyThere = 0;     // readings that were archived before
        qint64 queued = 0;           // readings waiting to be written
        QString message;             // the last thing it had to say
    };
    Status status() const;

    // Called on the writer's thread with each message for a person (a damaged
    // archive kept aside, the disk full, writing again). The owner forwards it
    // to its thread (a queued signal, a monitor line).
    void setMessageHandler(std::function<void(const QString&)> handler);

private:
    struct CatchUp {
        QString path;
        qint64 bytes = 0;
        // The file as it was at the call, kept open: a new working file
        // begun before the writer gets to it must not hide the old one's
        // readings. Null when it could not be opened (then `path` is read).
        std::shared_ptr<const int> descriptor;
        QString family;
    };
    using Item = std::variant<FiledReading, ArchivedReading, ArchiveEvent, CatchUp>;

    void run();
    bool openArchive();
    bool writeItems(std::deque<Item>& items);
    void say(const QString& message);
    void thinIfDue();
    void recordStop();

    ArchiveWriterOptions options_;
    Archive archive_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Item> queue_;
    bool stopping_ = false;
    quint64 handedOver_ = 0; // items queued since the start
    quint64 finished_ = 0;   // items written (or let go to a catch-up)
    quint64 failedWrites_ = 0;
    Status status_;
    QString workingFile_; // the last file caught up from
    QString workingFamily_;
    std::function<void(const QString&)> onMessage_;

    std::chrono::steady_clock::time_point nextThin_{};
    std::thread thread_;
};

} // namespace zel

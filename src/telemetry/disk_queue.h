#pragma once
// Readings that the broker has not acknowledged yet, in a file, so a restart
// or a long outage of the broker loses none of them. The queue is bounded:
// when full, the oldest reading makes room.
//
// File: two mark lines of a fixed width, "N ..." and its copy "M ...", then
// one line per reading, "P <seq> @<end>:<fingerprint> <payload>" while it
// waits and "D ..." once the broker has it. A mark holds the number the next
// reading gets, and which line of the working file the newest reading safely
// queued (on disk here, or delivered) was: its end offset and fingerprint,
// and the fingerprint of the one before. Marks and flags are overwritten in
// place, which needs no new space, so a full disk still keeps the
// high-water mark: a number once given is never given again. Each mark ends
// with a checksum; a torn one is recovered from the other copy. Payloads are
// single-line JSON objects; numbers stay below 2^53, what a JSON number holds
// exactly.
//
// Space: once every reading is delivered the file is cut back to its marks;
// while others still wait, the delivered lines before them are given back by
// moving the waiting lines forward in the same file (no second copy needed)
// as soon as they take more room than the waiting ones.
//
// A line that could not be appended (a full disk) is cut off again and the
// reading waits in memory; the waiting lines are appended, in order, as soon
// as the disk takes them. Opening rewrites the file with only the waiting
// lines; a rewrite that fails leaves the file in use as it was. A file that
// cannot be read, is not a regular file, is a symbolic link, or whose both
// marks are damaged is never replaced: the queue refuses it and says why.
#include "common/failure.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

namespace zel {

// Which line of the working file a reading is: where the line ends and a
// fingerprint of its text; `prevFp` is the reading filed before it.
struct FiledIdentity {
    qint64 end = -1; // -1: not known
    quint64 fp = 0;
    quint64 prevFp = 0;
    bool known() const { return end >= 0; }
    bool operator==(const FiledIdentity&) const = default;
};

class DiskQueue {
public:
    // The largest number a reading gets: what a JSON number holds exactly.
    static constexpr quint64 MaxSeq = (quint64(1) << 53) - 1;

    struct Entry {
        quint64 seq = 0;
        QByteArray payload;
    };
    using Identity = FiledIdentity;
    struct Pushed {
        quint64 seq = 0;                // 0: refused, the numbers are used up
        std::optional<quint64> dropped; // the oldest, dropped to make room
    };
    struct Opened {
        std::vector<Entry> waiting; // oldest first
        Identity lastQueued;        // the newest reading the queue took
        qint64 droppedByLimit = 0;  // waiting readings beyond the capacity
        qint64 damagedReadings = 0; // "P" lines without a usable payload
        qint64 damagedLines = 0;    // other lines that are no line of a queue
        QString markNote;           // how a damaged mark was recovered
        int leftoversRemoved = 0;   // temporary files of a rewrite cut short
    };

    // `retryMs`: how long a queue without a usable file waits before it tries
    // to make a new one.
    DiskQueue(QString path, qsizetype capacity, int retryMs = 2000);
    ~DiskQueue();

    // Opens the file (creating it) and says what waits in it; more than the
    // capacity keeps the newest. When the file is usable but cannot be
    // written now, the queue lives in memory until it can. A failure when
    // the file is refused (and kept as it is), saying why.
    Expected<Opened> open();
    // True while the file takes what the queue holds.
    bool onDisk() const { return fd_ >= 0 && notOnDisk_ == 0; }

    // The number the next pushed reading gets.
    quint64 nextSeq() const { return nextSeq_; }
    // Takes the reading; writes its line at once unless writes are deferred.
    Pushed push(const QByteArray& payload, const Identity& filedAs = {});
    // Deferred: push() and markDone() only change the memory, and
    // writePending() writes a whole batch: the flags of the lines the
    // broker took (or the cut back to the marks when none waits any more),
    // then the new lines in one write and the marks in another. A kill
    // before it loses no reading: the marks never name one that is not on
    // disk or delivered, and the readings after them are taken again from
    // the working file at the next start, under the same numbers: so a
    // reading pushed since the last batch must not be sent before
    // writePending(). A delivered line whose flag was not written yet is
    // sent once more after a kill, under its own number. Destroying the
    // queue writes what is pending.
    void setDeferredWrites(bool deferred) { deferWrites_ = deferred; }
    void writePending();
    // The newest reading taken without a push (the one the working file
    // ended with when the queue was new); kept in the marks.
    void setLastQueued(const Identity& filedAs);
    const Identity& lastQueued() const { return lastPushed_; }
    // The broker has the reading; unknown numbers are ignored.
    void markDone(quint64 seq);
    qsizetype size() const { return qsizetype(entries_.size()); }
    qsizetype capacity() const { return capacity_; }
    const QString& path() const { return path_; }
    // Why waiting readings are not all in the file; none when they are.
    const std::optional<Failure>& writeFailure() const { return writeFailure_; }
    // Bytes the file takes now (0 without a file).
    qint64 fileBytes() const { return fd_ >= 0 ? fileEnd_ : 0; }

private:
    struct Slot {
        quint64 seq;
        qint64 offset; // of the flag byte; -1 while the line is not on disk
        QByteArray payload;
        Identity id;
    };
    bool rewrite();
    bool adoptInPlace(const std::vector<qint64>& offsets, const std::vector<qint64>& dropped,
                      qint64 complete);
    bool writeMark();
    void appendWaiting();
    void retryIfDue();
    void giveSpaceBack();
    void fail(int error, bool closeFile);
    void closeFile();
    void noteSafe(const Slot& s);
    void writeDeliveries();

    QString path_;
    qsizetype capacity_;
    int retryMs_;
    int fd_ = -1;
    qint64 fileEnd_ = 0;
    std::deque<Slot> entries_;
    qsizetype notOnDisk_ = 0; // the last ones of entries_
    quint64 nextSeq_ = 1;
    Identity lastPushed_;
    // The newest reading that is safe (its line on disk, or delivered) and
    // its number: what the marks say.
    Identity safe_;
    quint64 safeSeq_ = 0;
    std::optional<Failure> writeFailure_;
    QElapsedTimer sinceFailure_;
    bool deferWrites_ = false;
    bool marksBehind_ = false; // deferred: a delivery moved what the marks should say
    // Deferred: lines in the file the broker took since the last batch,
    // by the offset of their flag.
    std::vector<qint64> deliveredLines_;
    bool deliveredSinceWrite_ = false;
};

} // namespace zel

#pragma once
// Readings that the broker has not acknowledged yet, in a file, so a restart
// or a long outage of the broker loses none of them. The queue is bounded:
// when full, the oldest reading makes room.
//
// File: a first line "N <next seq>" with the number written at a fixed width
// of 20 digits, then one line per reading, "P <seq> <payload>" while it
// waits and "D <seq> <payload>" once the broker has it. Both the number and
// the flag are overwritten in place, which needs no new space, so a full disk
// still keeps the high-water mark: a number once given is never given again.
// Payloads are single-line JSON.
//
// A line that could not be appended (a full disk) is cut off again and the
// reading waits in memory; the waiting lines are appended, in order, as soon
// as the disk takes them. Opening rewrites the file with only the waiting
// lines, which also drops a line cut short by a crash; so does the queue when
// done lines outnumber the waiting ones. A rewrite that fails leaves the file
// in use as it was.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <deque>
#include <optional>
#include <vector>

namespace zel {

class DiskQueue {
public:
    struct Entry {
        quint64 seq = 0;
        QByteArray payload;
    };
    struct Pushed {
        quint64 seq = 0;
        std::optional<quint64> dropped; // the oldest, dropped to make room
    };

    // `retryMs`: how long a queue without a usable file waits before it tries
    // to make a new one.
    DiskQueue(QString path, qsizetype capacity, int retryMs = 2000);
    ~DiskQueue();

    // Opens the file (creating it) and returns the readings that wait in it,
    // oldest first; more than the capacity keeps the newest. False when the
    // file cannot be used: the queue then lives in memory until it can.
    bool open(std::vector<Entry>* waiting);

    // The number the next pushed reading gets.
    quint64 nextSeq() const { return nextSeq_; }
    Pushed push(const QByteArray& payload);
    // The broker has the reading; unknown numbers are ignored.
    void markDone(quint64 seq);
    qsizetype size() const { return qsizetype(entries_.size()); }
    qsizetype capacity() const { return capacity_; }
    const QString& path() const { return path_; }
    // Why waiting readings are not all in the file; empty when they are.
    const QString& lastError() const { return lastError_; }

private:
    struct Slot {
        quint64 seq;
        qint64 offset; // of the flag byte; -1 while the line is not on disk
        QByteArray payload;
    };
    bool rewrite();
    bool adoptOld(bool fixedMark);
    bool writeMark();
    void appendWaiting();
    void retryIfDue();
    void compactIfWorthIt();
    void fail(const QString& what, bool closeFile);

    QString path_;
    qsizetype capacity_;
    int retryMs_;
    QFile file_;
    bool markInPlace_ = false; // the first line has the fixed width
    std::deque<Slot> entries_;
    qsizetype notOnDisk_ = 0; // the last ones of entries_
    quint64 nextSeq_ = 1;
    qint64 doneLines_ = 0;
    QString lastError_;
    QElapsedTimer sinceFailure_;
};

} // namespace zel

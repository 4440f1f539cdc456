#pragma once
// Readings that the broker has not acknowledged yet, in a file, so a restart
// or a long outage of the broker loses none of them. The queue is bounded:
// when full, the oldest reading makes room.
//
// File: one line per reading, "P <seq> <payload>" while it waits and
// "D <seq> <payload>" once the broker has it (one byte overwritten in
// place), after a first line "N <next seq>". Payloads are single-line JSON.
// Opening rewrites the file with only the waiting lines, which also drops a
// line cut short by a crash; so does the queue when it runs empty or when
// done lines outnumber the waiting ones.
#include <QByteArray>
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

    DiskQueue(QString path, qsizetype capacity);
    ~DiskQueue();

    // Opens the file (creating it) and returns the readings that wait in it,
    // oldest first; more than the capacity keeps the newest. False when the
    // file cannot be used: the queue then lives in memory only.
    bool open(std::vector<Entry>* waiting);

    // The number the next pushed reading gets.
    quint64 nextSeq() const { return nextSeq_; }
    Pushed push(const QByteArray& payload);
    // The broker has the reading; unknown numbers are ignored.
    void markDone(quint64 seq);
    qsizetype size() const { return qsizetype(entries_.size()); }
    qsizetype capacity() const { return capacity_; }
    // The last failure to write the file, for one message.
    const QString& lastError() const { return lastError_; }

private:
    struct Slot {
        quint64 seq;
        qint64 offset; // of the flag byte; -1 when the line is not on disk
    };
    bool rewrite(const std::vector<Entry>& waiting);
    void compactIfWorthIt();
    void fail(const QString& what);

    QString path_;
    qsizetype capacity_;
    QFile file_;
    std::deque<Slot> entries_;
    quint64 nextSeq_ = 1;
    qint64 doneLines_ = 0;
    QString lastError_;
};

} // namespace zel

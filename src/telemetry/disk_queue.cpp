#include "telemetry/disk_queue.h"

#include "common/safe_file.h"

#include <algorithm>

namespace zel {

namespace {

constexpr int MarkDigits = 20; // every quint64
constexpr qint64 MarkBytes = 2 + MarkDigits + 1;

QByteArray markLine(quint64 next) {
    return "N " + QByteArray::number(next).rightJustified(MarkDigits, '0') + '\n';
}

struct ParsedFile {
    std::vector<DiskQueue::Entry> waiting; // in file order
    std::vector<qint64> offsets;           // of each waiting line's flag byte
    qint64 complete = 0;                   // bytes up to the last line end
    bool fixedMark = false;
};

// Readings still waiting in the file's text, in file order.
ParsedFile parse(const QByteArray& text, quint64* nextSeq) {
    ParsedFile f;
    f.fixedMark =
        text.startsWith("N ") && text.size() >= MarkBytes && text.at(MarkBytes - 1) == '\n';
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            break; // cut short by a crash: never acknowledged, never complete
        const QByteArray line = text.mid(start, end - start);
        const qsizetype lineStart = start;
        start = end + 1;
        f.complete = start;
        if (line.size() < 3 || line.at(1) != ' ')
            continue;
        const qsizetype space = line.indexOf(' ', 2);
        bool ok = false;
        const quint64 seq = line.mid(2, (space < 0 ? line.size() : space) - 2).toULongLong(&ok);
        if (!ok)
            continue;
        if (line.at(0) == 'N') {
            *nextSeq = std::max(*nextSeq, seq);
        } else if (line.at(0) == 'P' || line.at(0) == 'D') {
            *nextSeq = std::max(*nextSeq, seq + 1);
            if (line.at(0) == 'P' && space > 0) {
                f.waiting.push_back({seq, line.mid(space + 1)});
                f.offsets.push_back(lineStart);
            }
        }
    }
    return f;
}

QByteArray lineOf(char flag, quint64 seq, const QByteArray& payload) {
    return flag + (' ' + QByteArray::number(seq)) + ' ' + payload + '\n';
}

} // namespace

DiskQueue::DiskQueue(QString path, qsizetype capacity, int retryMs)
    : path_(std::move(path)), capacity_(std::max<qsizetype>(capacity, 1)), retryMs_(retryMs) {}

DiskQueue::~DiskQueue() = default;

bool DiskQueue::open(std::vector<Entry>* waiting) {
    waiting->clear();
    QByteArray text;
    {
        QFile old(path_);
        if (old.exists() && old.open(QIODevice::ReadOnly))
            text = old.read(256LL << 20);
    }
    ParsedFile parsed = parse(text, &nextSeq_);
    std::vector<size_t> order(parsed.waiting.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return parsed.waiting[a].seq < parsed.waiting[b].seq;
    });
    const size_t keepFrom = order.size() > size_t(capacity_) ? order.size() - size_t(capacity_) : 0;
    entries_.clear();
    for (size_t i = keepFrom; i < order.size(); ++i) {
        const Entry& e = parsed.waiting[order[i]];
        waiting->push_back(e);
        entries_.push_back({e.seq, -1, e.payload});
    }
    notOnDisk_ = qsizetype(entries_.size());
    if (rewrite())
        return true;
    // No room for a new file: the old one, as it is, still says what waits.
    // Readings dropped by a smaller limit are not in the entries, so their
    // lines simply stay waiting there until the next rewrite.
    if (keepFrom == 0 && !text.isEmpty() && adoptOld(parsed.fixedMark)) {
        for (size_t i = 0; i < order.size(); ++i)
            entries_[i].offset = parsed.offsets[order[i]];
        notOnDisk_ = 0;
        lastError_.clear();
        file_.resize(parsed.complete); // a cut line goes; shrinking needs no room
        writeMark();
        return true;
    }
    return false;
}

bool DiskQueue::adoptOld(bool fixedMark) {
    file_.close();
    file_.setFileName(path_);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    markInPlace_ = fixedMark;
    return true;
}

bool DiskQueue::rewrite() {
    QByteArray text = markLine(nextSeq_);
    std::vector<qint64> offsets;
    offsets.reserve(entries_.size());
    for (const Slot& s : entries_) {
        offsets.push_back(text.size());
        text += lineOf('P', s.seq, s.payload);
    }
    FileError error;
    if (!writeFileSafely(path_, text, &error)) {
        fail(error.message(), false);
        sinceFailure_.start();
        return false;
    }
    file_.close();
    file_.setFileName(path_);
    if (!file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        fail(file_.errorString(), true);
        return false;
    }
    markInPlace_ = true;
    for (size_t i = 0; i < entries_.size(); ++i)
        entries_[i].offset = offsets[i];
    notOnDisk_ = 0;
    doneLines_ = 0;
    lastError_.clear();
    return true;
}

void DiskQueue::fail(const QString& what, bool closeFile) {
    lastError_ = what.startsWith(path_) ? what : path_ + QStringLiteral(": ") + what;
    if (closeFile) {
        file_.close();
        // Every line in the file is unknown from now on: the next rewrite
        // writes them all from memory.
        for (Slot& s : entries_)
            s.offset = -1;
        notOnDisk_ = qsizetype(entries_.size());
        sinceFailure_.start();
    }
}

bool DiskQueue::writeMark() {
    if (!file_.isOpen() || !markInPlace_)
        return false;
    const QByteArray mark = markLine(nextSeq_);
    if (!file_.seek(0) || file_.write(mark) != mark.size()) {
        fail(file_.errorString(), true);
        return false;
    }
    return true;
}

// Appends the lines that wait in memory, oldest first; at the first one the
// disk refuses, the part of it that got written is cut off again.
void DiskQueue::appendWaiting() {
    if (!file_.isOpen())
        return;
    for (auto it = entries_.end() - notOnDisk_; it != entries_.end(); ++it) {
        const qint64 end = file_.size();
        const QByteArray line = lineOf('P', it->seq, it->payload);
        if (!file_.seek(end) || file_.write(line) != line.size()) {
            const QString why = file_.errorString();
            if (!file_.resize(end)) {
                fail(why, true);
                return;
            }
            fail(why, false);
            return;
        }
        it->offset = end;
        --notOnDisk_;
    }
    lastError_.clear();
}

void DiskQueue::retryIfDue() {
    if (file_.isOpen() || (sinceFailure_.isValid() && sinceFailure_.elapsed() < retryMs_))
        return;
    rewrite();
}

DiskQueue::Pushed DiskQueue::push(const QByteArray& payload) {
    Pushed pushed;
    pushed.seq = nextSeq_++;
    entries_.push_back({pushed.seq, -1, payload});
    ++notOnDisk_;
    if (file_.isOpen()) {
        // The mark first: should the line not fit, the number is still used.
        writeMark();
        appendWaiting();
    } else {
        retryIfDue();
    }
    if (qsizetype(entries_.size()) > capacity_) {
        pushed.dropped = entries_.front().seq;
        markDone(entries_.front().seq);
    }
    return pushed;
}

void DiskQueue::markDone(quint64 seq) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), seq,
                                     [](const Slot& s, quint64 v) { return s.seq < v; });
    if (it == entries_.end() || it->seq != seq)
        return;
    if (it->offset >= 0) {
        if (file_.seek(it->offset) && file_.write("D", 1) == 1)
            ++doneLines_;
        else
            fail(file_.errorString(), true);
    }
    // A failure just now counts this one among those not on disk, too.
    if (it->offset < 0)
        --notOnDisk_;
    entries_.erase(it);
    compactIfWorthIt();
}

void DiskQueue::compactIfWorthIt() {
    if (!file_.isOpen()) {
        retryIfDue();
        return;
    }
    if (entries_.empty() && markInPlace_) {
        // The usual case while the broker is there: every reading is done
        // moments after it was written, and the file shrinks back to its
        // first line. The mark is written before the cut, so the first page
        // is never given up and the number survives a full disk.
        if (writeMark() && !file_.resize(MarkBytes))
            fail(file_.errorString(), true);
        doneLines_ = 0;
        return;
    }
    if (doneLines_ < 1024 || doneLines_ < 2 * qint64(entries_.size()))
        return;
    rewrite();
}

} // namespace zel

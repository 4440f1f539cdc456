#include "telemetry/disk_queue.h"

#include <QSaveFile>
#include <algorithm>

namespace zel {

namespace {

// Readings still waiting in the file's text, in file order.
std::vector<DiskQueue::Entry> waitingLines(const QByteArray& text, quint64* nextSeq) {
    std::vector<DiskQueue::Entry> waiting;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            break; // cut short by a crash: never acknowledged, never complete
        const QByteArray line = text.mid(start, end - start);
        start = end + 1;
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
            if (line.at(0) == 'P' && space > 0)
                waiting.push_back({seq, line.mid(space + 1)});
        }
    }
    return waiting;
}

QByteArray lineOf(char flag, quint64 seq, const QByteArray& payload) {
    return flag + (' ' + QByteArray::number(seq)) + ' ' + payload + '\n';
}

} // namespace

DiskQueue::DiskQueue(QString path, qsizetype capacity)
    : path_(std::move(path)), capacity_(std::max<qsizetype>(capacity, 1)) {}

DiskQueue::~DiskQueue() = default;

bool DiskQueue::open(std::vector<Entry>* waiting) {
    waiting->clear();
    {
        QFile old(path_);
        if (old.exists() && old.open(QIODevice::ReadOnly))
            *waiting = waitingLines(old.read(256LL << 20), &nextSeq_);
    }
    std::sort(waiting->begin(), waiting->end(),
              [](const Entry& a, const Entry& b) { return a.seq < b.seq; });
    if (qsizetype(waiting->size()) > capacity_)
        waiting->erase(waiting->begin(), waiting->end() - capacity_);
    return rewrite(*waiting);
}

bool DiskQueue::rewrite(const std::vector<Entry>& waiting) {
    file_.close();
    entries_.clear();
    doneLines_ = 0;
    QSaveFile out(path_);
    QByteArray text = "N " + QByteArray::number(nextSeq_) + '\n';
    std::vector<qint64> offsets;
    offsets.reserve(waiting.size());
    for (const Entry& e : waiting) {
        offsets.push_back(text.size());
        text += lineOf('P', e.seq, e.payload);
    }
    bool ok = out.open(QIODevice::WriteOnly) && out.write(text) == text.size() && out.commit();
    if (ok) {
        file_.setFileName(path_);
        ok = file_.open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
    for (size_t i = 0; i < waiting.size(); ++i)
        entries_.push_back({waiting[i].seq, ok ? offsets[i] : -1});
    if (!ok)
        fail(out.errorString().isEmpty() ? file_.errorString() : out.errorString());
    return ok;
}

void DiskQueue::fail(const QString& what) {
    lastError_ = path_ + QStringLiteral(": ") + what;
    file_.close();
}

DiskQueue::Pushed DiskQueue::push(const QByteArray& payload) {
    Pushed pushed;
    pushed.seq = nextSeq_++;
    qint64 offset = -1;
    if (file_.isOpen()) {
        offset = file_.size();
        const QByteArray line = lineOf('P', pushed.seq, payload);
        if (!file_.seek(offset) || file_.write(line) != line.size()) {
            fail(file_.errorString());
            offset = -1;
        }
    }
    entries_.push_back({pushed.seq, offset});
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
    if (it->offset >= 0 && file_.isOpen()) {
        if (!file_.seek(it->offset) || file_.write("D", 1) != 1)
            fail(file_.errorString());
    }
    entries_.erase(it);
    ++doneLines_;
    compactIfWorthIt();
}

void DiskQueue::compactIfWorthIt() {
    if (!file_.isOpen())
        return;
    if (entries_.empty()) {
        // The usual case while the broker is there: every reading is done
        // moments after it was written, and the file shrinks back to its
        // first line.
        const QByteArray head = "N " + QByteArray::number(nextSeq_) + '\n';
        if (!file_.resize(0) || !file_.seek(0) || file_.write(head) != head.size())
            fail(file_.errorString());
        doneLines_ = 0;
        return;
    }
    if (doneLines_ < 1024 || doneLines_ < 2 * qint64(entries_.size()))
        return;
    if (!file_.seek(0)) {
        fail(file_.errorString());
        return;
    }
    quint64 next = nextSeq_;
    const std::vector<Entry> waiting = waitingLines(file_.readAll(), &next);
    rewrite(waiting);
}

} // namespace zel

#include "telemetry/disk_queue.h"

#include "common/safe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace zel {

namespace {

using Identity = DiskQueue::Identity;

// "N <next:16> <safe seq:16> <end:16 hex> <fp:16 hex> <prev:16 hex> <check:8 hex>\n"
constexpr qint64 MarkBytes = 96;
constexpr qint64 DataStart = 2 * MarkBytes;
constexpr int LegacyMarkDigits = 20; // "N <20 digits>\n", the first form of the file
// Delivered lines are moved over once they take at least this much.
constexpr qint64 MinGiveBack = 4096;
constexpr qint64 LargestFile = qint64(1) << 30;

struct Mark {
    quint64 next = 1;
    quint64 safeSeq = 0;
    Identity safe;
};

quint32 checksum(QByteArrayView bytes) {
    quint32 h = 2166136261u;
    for (const char c : bytes) {
        h ^= quint8(c);
        h *= 16777619u;
    }
    return h;
}

// Written for every batch: built in place rather than from a dozen
// temporary strings.
QByteArray markLine(char flag, const Mark& m) {
    QByteArray line(MarkBytes, '0');
    char* const out = line.data();
    out[0] = flag;
    // Each field: a space, then the number right-aligned in `width` digits
    // (every value fits its width).
    qsizetype at = 1;
    const auto field = [&](quint64 v, int base, int width) {
        out[at] = ' ';
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, v, base);
        const qsizetype n = written.ptr - digits;
        std::memcpy(out + at + 1 + width - n, digits, size_t(n));
        at += 1 + width;
    };
    field(m.next, 10, 16);
    field(m.safeSeq, 10, 16);
    field(m.safe.known() ? quint64(m.safe.end) : ~quint64(0), 16, 16);
    field(m.safe.fp, 16, 16);
    field(m.safe.prevFp, 16, 16);
    field(checksum(QByteArrayView(out, at)), 16, 8);
    out[at] = '\n';
    return line;
}

// Digits only, no sign, no space; nothing on overflow.
std::optional<quint64> number(QByteArrayView text, int base) {
    if (text.isEmpty() || text.size() > 20)
        return std::nullopt;
    quint64 v = 0;
    for (const char c : text) {
        int d = -1;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        if (d < 0 || v > (~quint64(0) - quint64(d)) / quint64(base))
            return std::nullopt;
        v = v * quint64(base) + quint64(d);
    }
    return v;
}

// One mark line without its line end.
std::optional<Mark> parseMark(QByteArrayView line, char flag) {
    if (line.size() != MarkBytes - 1 || line.at(0) != flag)
        return std::nullopt;
    for (const qsizetype space : {1, 18, 35, 52, 69, 86})
        if (line.at(space) != ' ')
            return std::nullopt;
    const auto next = number(line.sliced(2, 16), 10);
    const auto safeSeq = number(line.sliced(19, 16), 10);
    const auto end = number(line.sliced(36, 16), 16);
    const auto fp = number(line.sliced(53, 16), 16);
    const auto prev = number(line.sliced(70, 16), 16);
    const auto check = number(line.sliced(87, 8), 16);
    if (!next || !safeSeq || !end || !fp || !prev || !check || *check != checksum(line.first(86)))
        return std::nullopt;
    if (*next < 1 || *next > DiskQueue::MaxSeq + 1 || *safeSeq > DiskQueue::MaxSeq)
        return std::nullopt;
    Mark m;
    m.next = *next;
    m.safeSeq = *safeSeq;
    if (*end != ~quint64(0)) {
        if (*end > quint64(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        m.safe = {qint64(*end), *fp, *prev};
    }
    return m;
}

std::optional<Mark> parseLegacyMark(QByteArrayView line) {
    if (line.size() != 2 + LegacyMarkDigits || !line.startsWith("N "))
        return std::nullopt;
    const auto next = number(line.sliced(2), 10);
    if (!next || *next < 1 || *next > DiskQueue::MaxSeq + 1)
        return std::nullopt;
    Mark m;
    m.next = *next;
    return m;
}

// Appends the line of one reading to `out`.
void appendLine(QByteArray& out, char flag, quint64 seq, const Identity& id,
                const QByteArray& payload) {
    char digits[24];
    const auto hex = [&](quint64 v) {
        const auto r = std::to_chars(digits, digits + sizeof digits, v, 16);
        out.append(digits, r.ptr - digits);
    };
    out += flag;
    out += ' ';
    const auto r = std::to_chars(digits, digits + sizeof digits, seq);
    out.append(digits, r.ptr - digits);
    out += ' ';
    if (id.known()) {
        out += '@';
        hex(quint64(id.end));
        out += ':';
        hex(id.fp);
        out += ':';
        hex(id.prevFp);
        out += ' ';
    }
    out += payload;
    out += '\n';
}

QByteArray lineOf(char flag, quint64 seq, const Identity& id, const QByteArray& payload) {
    QByteArray line;
    line.reserve(payload.size() + 64);
    appendLine(line, flag, seq, id, payload);
    return line;
}

struct QueueLine {
    char flag = 0;
    quint64 seq = 0;
    Identity id;
    QByteArray payload;
    qint64 offset = 0;
};

// "P <seq> [@<end>:<fp>:<prev> ]<payload>"; `seqOnly` is set when the number
// could be read but the rest could not.
std::optional<QueueLine> parseLine(QByteArrayView line, quint64* seqOnly) {
    *seqOnly = 0;
    if (line.size() < 3 || (line.at(0) != 'P' && line.at(0) != 'D') || line.at(1) != ' ')
        return std::nullopt;
    const qsizetype space = line.indexOf(' ', 2);
    const auto seq = number(line.sliced(2, (space < 0 ? line.size() : space) - 2), 10);
    if (!seq || *seq < 1 || *seq > DiskQueue::MaxSeq)
        return std::nullopt;
    *seqOnly = *seq;
    QueueLine q;
    q.flag = line.at(0);
    q.seq = *seq;
    if (space < 0)
        return q.flag == 'D' ? std::optional(q) : std::nullopt;
    QByteArrayView rest = line.sliced(space + 1);
    if (rest.startsWith('@')) {
        const qsizetype end = rest.indexOf(' ');
        const QList<QByteArray> parts =
            (end < 0 ? rest.sliced(1) : rest.sliced(1, end - 1)).toByteArray().split(':');
        if (parts.size() != 3)
            return std::nullopt;
        const auto e = number(parts[0], 16);
        const auto fp = number(parts[1], 16);
        const auto prev = number(parts[2], 16);
        if (!e || !fp || !prev || *e > quint64(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        q.id = {qint64(*e), *fp, *prev};
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    }
    if (q.flag == 'P') {
        // A payload that is no JSON object would reach subscribers as it
        // stands.
        q.payload = rest.toByteArray();
        QJsonParseError error{};
        if (!QJsonDocument::fromJson(q.payload, &error).isObject())
            return std::nullopt;
    }
    return q;
}

struct ParsedFile {
    std::optional<Mark> first, second;
    bool legacy = false;
    std::vector<QueueLine> lines; // whole P and D lines, one per number
    qint64 damagedReadings = 0;
    qint64 damagedLines = 0;
    qint64 complete = 0; // bytes up to the last line end
    quint64 highestSeq = 0;
};

ParsedFile parse(const QByteArray& text) {
    ParsedFile f;
    std::unordered_map<quint64, size_t> bySeq;
    std::vector<quint64> brokenSeqs;
    qsizetype start = 0;
    int index = 0;
    while (start < text.size()) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            break; // cut short by a crash: never acknowledged, never complete
        const QByteArrayView line = QByteArrayView(text).sliced(start, end - start);
        const qint64 offset = start;
        start = end + 1;
        f.complete = start;
        const int at = index++;
        if (at == 0) {
            f.first = parseMark(line, 'N');
            if (!f.first) {
                f.first = parseLegacyMark(line);
                f.legacy = bool(f.first);
            }
            if (f.first || line.startsWith("N "))
                continue;
        }
        if (at <= 1 && !f.legacy && line.startsWith("M ")) {
            f.second = parseMark(line, 'M');
            continue;
        }
        if (line.isEmpty())
            continue;
        quint64 seqOnly = 0;
        std::optional<QueueLine> q = parseLine(line, &seqOnly);
        if (seqOnly > 0)
            f.highestSeq = std::max(f.highestSeq, seqOnly);
        if (!q) {
            if (line.startsWith("P "))
                brokenSeqs.push_back(seqOnly);
            else
                ++f.damagedLines;
            continue;
        }
        q->offset = offset;
        const auto [it, fresh] = bySeq.emplace(q->seq, f.lines.size());
        if (fresh) {
            f.lines.push_back(std::move(*q));
        } else if (q->flag == 'D') {
            // A copy left by a move cut short: delivered wins.
            f.lines[it->second].flag = 'D';
        }
    }
    // A broken line whose reading is also whole elsewhere (a move of the
    // waiting lines cut short) has lost nothing.
    for (const quint64 seq : brokenSeqs)
        if (seq == 0 || !bySeq.count(seq))
            ++f.damagedReadings;
    return f;
}

int writeAt(int fd, QByteArrayView bytes, qint64 offset) {
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += n;
    }
    return 0;
}

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Temporary files of a rewrite that a kill cut short: ".<name>.XXXXXX".
int removeLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    int removed = 0;
    const QStringList names = folder.entryList({QLatin1Char('.') + info.fileName() + ".??????"},
                                               QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray full = QFile::encodeName(folder.filePath(name));
        struct stat st {};
        if (::lstat(full.constData(), &st) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == ::geteuid() && ::unlink(full.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace

DiskQueue::DiskQueue(QString path, qsizetype capacity, int retryMs)
    : path_(std::move(path)), capacity_(std::max<qsizetype>(capacity, 1)), retryMs_(retryMs) {}

DiskQueue::~DiskQueue() {
    if (deferWrites_)
        writePending();
    closeFile();
}

void DiskQueue::closeFile() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    // Whatever replaces the file holds only the readings that still wait.
    deliveredLines_.clear();
}

Expected<DiskQueue::Opened> DiskQueue::open() {
    Opened opened;
    closeFile();
    entries_.clear();
    notOnDisk_ = 0;
    opened.leftoversRemoved = removeLeftovers(path_);
    const auto refuse = [&](const QString& why, Failure::Kind kind = Failure::Kind::Refused) {
        return zel::fail(
            kind, QStringLiteral("the queue file %1 %2; it is kept as it is").arg(path_, why));
    };

    QByteArray text;
    bool exists = false;
    const QByteArray name = QFile::encodeName(path_);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0 && errno == ELOOP)
        return refuse(QStringLiteral("is a symbolic link, which is not followed"));
    if (fd < 0 && errno != ENOENT)
        return refuse(QStringLiteral("cannot be read (%1)").arg(systemReason(errno)),
                      failureKindOf(errno));
    if (fd >= 0) {
        exists = true;
        struct stat st {};
        int error = 0;
        if (::fstat(fd, &st) != 0) {
            error = errno;
        } else if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            return refuse(QStringLiteral("is not a regular file"));
        } else if (st.st_size > LargestFile) {
            ::close(fd);
            return refuse(QStringLiteral("is larger than any queue (%1 bytes)").arg(st.st_size),
                          Failure::Kind::Protocol);
        } else {
            text.resize(qsizetype(st.st_size));
            qint64 got = 0;
            while (got < text.size()) {
                const ssize_t n = ::read(fd, text.data() + got, size_t(text.size() - got));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    error = errno;
                    break;
                }
                if (n == 0)
                    break;
                got += n;
            }
            text.truncate(qsizetype(got));
        }
        ::close(fd);
        if (error != 0)
            return refuse(QStringLiteral("cannot be read (%1)").arg(systemReason(error)),
                          failureKindOf(error));
    }

    ParsedFile parsed = parse(text);
    Mark mark;
    if (exists) {
        if (parsed.first && parsed.second) {
            const auto key = [](const Mark& m) { return std::pair(m.next, m.safeSeq); };
            mark = key(*parsed.first) >= key(*parsed.second) ? *parsed.first : *parsed.second;
        } else if (parsed.first) {
            mark = *parsed.first;
            if (!parsed.legacy)
                opened.markNote = QStringLiteral("the copy of its first line was damaged; it is "
                                                 "written anew from the first line");
        } else if (parsed.second) {
            mark = *parsed.second;
            opened.markNote = QStringLiteral("its first line was damaged; the next seq (%1) was "
                                             "recovered from the copy on its second line")
                                  .arg(mark.next);
        } else {
            return refuse(
                QStringLiteral(
                    "has no readable first line (the next seq) nor a readable copy of it, so the "
                    "next seq is not known; move it away to publish again (seq then starts at 1)"),
                Failure::Kind::Protocol);
        }
    }
    nextSeq_ = std::max(mark.next, parsed.highestSeq + 1);
    safe_ = mark.safe;
    safeSeq_ = mark.safeSeq;
    opened.damagedReadings = parsed.damagedReadings;
    opened.damagedLines = parsed.damagedLines;

    // A line newer than the marks was appended just before a kill.
    for (const QueueLine& q : parsed.lines) {
        if (q.id.known() && q.seq > safeSeq_) {
            safe_ = q.id;
            safeSeq_ = q.seq;
        }
    }
    lastPushed_ = safe_;

    std::vector<const QueueLine*> waiting;
    for (const QueueLine& q : parsed.lines)
        if (q.flag == 'P')
            waiting.push_back(&q);
    std::stable_sort(waiting.begin(), waiting.end(),
                     [](const QueueLine* a, const QueueLine* b) { return a->seq < b->seq; });
    const size_t keepFrom =
        waiting.size() > size_t(capacity_) ? waiting.size() - size_t(capacity_) : 0;
    opened.droppedByLimit = qint64(keepFrom);
    std::vector<qint64> offsets;
    for (size_t i = keepFrom; i < waiting.size(); ++i) {
        const QueueLine& q = *waiting[i];
        opened.waiting.push_back({q.seq, q.payload});
        entries_.push_back({q.seq, -1, q.payload, q.id});
        offsets.push_back(q.offset);
    }
    notOnDisk_ = qsizetype(entries_.size());
    opened.lastQueued = safe_;
    if (rewrite())
        return opened;
    // No room for a new file: the old one, as it is, still says what waits,
    // when its marks can be written in place.
    if (exists && parsed.first && parsed.second && !parsed.legacy) {
        std::vector<qint64> dropped;
        for (size_t i = 0; i < keepFrom; ++i)
            dropped.push_back(waiting[i]->offset);
        adoptInPlace(offsets, dropped, parsed.complete);
    }
    return opened;
}

bool DiskQueue::adoptInPlace(const std::vector<qint64>& offsets, const std::vector<qint64>& dropped,
                             qint64 complete) {
    const QByteArray name = QFile::encodeName(path_);
    fd_ = ::open(name.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    // A cut last line goes; shrinking needs no room.
    if (::ftruncate(fd_, off_t(complete)) != 0) {
        closeFile();
        return false;
    }
    fileEnd_ = complete;
    // Flags are overwritten in place, which needs no room either.
    for (const qint64 offset : dropped)
        if (writeAt(fd_, "D", offset) != 0)
            break;
    for (size_t i = 0; i < entries_.size(); ++i)
        entries_[i].offset = offsets[i];
    notOnDisk_ = 0;
    writeFailure_.reset();
    writeMark();
    return fd_ >= 0;
}

void DiskQueue::noteSafe(const Slot& s) {
    if (s.id.known() && s.seq > safeSeq_) {
        safe_ = s.id;
        safeSeq_ = s.seq;
    }
}

bool DiskQueue::rewrite() {
    quint64 safeSeq = safeSeq_;
    Identity safe = safe_;
    for (const Slot& s : entries_)
        if (s.id.known() && s.seq > safeSeq) {
            safe = s.id;
            safeSeq = s.seq;
        }
    const Mark mark{nextSeq_, safeSeq, safe};
    QByteArray text = markLine('N', mark) + markLine('M', mark);
    std::vector<qint64> offsets;
    offsets.reserve(entries_.size());
    for (const Slot& s : entries_) {
        offsets.push_back(text.size());
        text += lineOf('P', s.seq, s.id, s.payload);
    }
    FileError error;
    if (!writeFileSafely(path_, text, &error)) {
        writeFailure_ = Failure{Failure::Kind::Other, error.message()};
        sinceFailure_.start();
        return false;
    }
    closeFile();
    fd_ = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) {
        fail(errno, true);
        return false;
    }
    fileEnd_ = text.size();
    for (size_t i = 0; i < entries_.size(); ++i)
        entries_[i].offset = offsets[i];
    notOnDisk_ = 0;
    safe_ = safe;
    safeSeq_ = safeSeq;
    writeFailure_.reset();
    return true;
}

void DiskQueue::fail(int error, bool closeIt) {
    writeFailure_ =
        Failure{failureKindOf(error), path_ + QStringLiteral(": ") + systemReason(error)};
    if (closeIt) {
        closeFile();
        // Every line in the file is unknown from now on: the next rewrite
        // writes them all from memory.
        for (Slot& s : entries_)
            s.offset = -1;
        notOnDisk_ = qsizetype(entries_.size());
        sinceFailure_.start();
    }
}

bool DiskQueue::writeMark() {
    if (fd_ < 0)
        return false;
    const Mark mark{nextSeq_, safeSeq_, safe_};
    // Both copies in one write: they share a page of the file, so two writes
    // would reach the disk together all the same. A copy torn by a power cut
    // is told by its checksum and recovered from the other.
    if (const int error = writeAt(fd_, markLine('N', mark) + markLine('M', mark), 0); error != 0) {
        fail(error, true);
        return false;
    }
    return true;
}

// Appends the lines that wait in memory, oldest first, in one write; when
// the disk refuses it, what got written is cut off again and the lines go
// one by one, up to the first one the disk refuses. The marks follow, so
// they never name a reading whose line is not there.
void DiskQueue::appendWaiting() {
    if (fd_ < 0)
        return;
    if (notOnDisk_ > 1) {
        QByteArray lines;
        qsizetype bytes = 0;
        for (auto it = entries_.end() - notOnDisk_; it != entries_.end(); ++it)
            bytes += it->payload.size() + 64;
        lines.reserve(bytes);
        std::vector<qint64> ends;
        ends.reserve(size_t(notOnDisk_));
        for (auto it = entries_.end() - notOnDisk_; it != entries_.end(); ++it) {
            appendLine(lines, 'P', it->seq, it->id, it->payload);
            ends.push_back(fileEnd_ + lines.size());
        }
        if (writeAt(fd_, lines, fileEnd_) == 0) {
            size_t i = 0;
            for (auto it = entries_.end() - notOnDisk_; it != entries_.end(); ++it, ++i) {
                it->offset = i == 0 ? fileEnd_ : ends[i - 1];
                noteSafe(*it);
            }
            fileEnd_ = ends.back();
            notOnDisk_ = 0;
        } else if (::ftruncate(fd_, off_t(fileEnd_)) != 0) {
            fail(errno, true);
            return;
        }
    }
    for (auto it = entries_.end() - notOnDisk_; it != entries_.end(); ++it) {
        const QByteArray line = lineOf('P', it->seq, it->id, it->payload);
        if (const int error = writeAt(fd_, line, fileEnd_); error != 0) {
            if (::ftruncate(fd_, off_t(fileEnd_)) != 0) {
                fail(errno, true);
                return;
            }
            fail(error, false);
            writeMark();
            return;
        }
        it->offset = fileEnd_;
        fileEnd_ += line.size();
        --notOnDisk_;
        noteSafe(*it);
    }
    if (writeMark())
        writeFailure_.reset();
}

void DiskQueue::retryIfDue() {
    if (fd_ >= 0 || (sinceFailure_.isValid() && sinceFailure_.elapsed() < retryMs_))
        return;
    rewrite();
}

DiskQueue::Pushed DiskQueue::push(const QByteArray& payload, const Identity& filedAs) {
    Pushed pushed;
    if (nextSeq_ > MaxSeq)
        return pushed;
    pushed.seq = nextSeq_++;
    Identity id = filedAs;
    if (id.known()) {
        id.prevFp = lastPushed_.fp;
        lastPushed_ = id;
    }
    entries_.push_back({pushed.seq, -1, payload, id});
    ++notOnDisk_;
    if (!deferWrites_) {
        if (fd_ >= 0)
            appendWaiting();
        else
            retryIfDue();
    }
    if (qsizetype(entries_.size()) > capacity_) {
        pushed.dropped = entries_.front().seq;
        markDone(entries_.front().seq);
    }
    return pushed;
}

void DiskQueue::setLastQueued(const Identity& filedAs) {
    lastPushed_ = filedAs;
    safe_ = filedAs;
    safeSeq_ = nextSeq_ - 1;
    writeMark();
}

void DiskQueue::markDone(quint64 seq) {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), seq,
                                     [](const Slot& s, quint64 v) { return s.seq < v; });
    if (it == entries_.end() || it->seq != seq)
        return;
    bool newSafe = false;
    if (it->offset >= 0 && deferWrites_) {
        deliveredLines_.push_back(it->offset);
    } else if (it->offset >= 0) {
        if (const int error = writeAt(fd_, "D", it->offset); error != 0)
            fail(error, true);
    } else if (it == entries_.end() - notOnDisk_ && it->id.known() && it->seq > safeSeq_) {
        // Delivered before the disk took it: the marks move past it.
        noteSafe(*it);
        newSafe = true;
    }
    // A failure just now counts this one among those not on disk, too.
    if (it->offset < 0)
        --notOnDisk_;
    entries_.erase(it);
    if (deferWrites_) {
        marksBehind_ = marksBehind_ || newSafe;
        deliveredSinceWrite_ = true;
        return;
    }
    if (newSafe)
        writeMark();
    giveSpaceBack();
}

void DiskQueue::writePending() {
    if (fd_ >= 0 && deliveredSinceWrite_)
        writeDeliveries();
    deliveredSinceWrite_ = false;
    if (fd_ < 0) {
        retryIfDue();
    } else if (notOnDisk_ > 0) {
        appendWaiting();
    } else if (marksBehind_) {
        writeMark();
    }
    marksBehind_ = false;
}

// What the broker took since the last batch: when nothing in the file waits
// any more, the file is cut back to its marks and the flags are never
// written; otherwise each delivered line gets its flag.
void DiskQueue::writeDeliveries() {
    // The readings whose lines are in the file are the oldest ones.
    if (qsizetype(entries_.size()) > notOnDisk_) {
        for (const qint64 offset : deliveredLines_) {
            if (const int error = writeAt(fd_, "D", offset); error != 0) {
                fail(error, true);
                return;
            }
        }
    }
    deliveredLines_.clear();
    giveSpaceBack();
}

void DiskQueue::giveSpaceBack() {
    if (fd_ < 0) {
        retryIfDue();
        return;
    }
    qint64 first = -1;
    for (const Slot& s : entries_)
        if (s.offset >= 0 && (first < 0 || s.offset < first))
            first = s.offset;
    if (first < 0) {
        // No waiting line is in the file: it goes back to its marks, which
        // are up to date, and what waits in memory gets the room.
        if (fileEnd_ > DataStart) {
            if (::ftruncate(fd_, DataStart) != 0) {
                fail(errno, true);
                return;
            }
            fileEnd_ = DataStart;
        }
        if (notOnDisk_ > 0 && !deferWrites_)
            appendWaiting();
        return;
    }
    const qint64 done = first - DataStart;
    const qint64 tail = fileEnd_ - first;
    if (done < MinGiveBack || done < tail)
        return;
    // The waiting lines move forward over the delivered ones. The two places
    // do not overlap, so a kill in the middle leaves every waiting line whole
    // in its old place; the copy is told apart by its number.
    QByteArray moved(tail, Qt::Uninitialized);
    qint64 got = 0;
    while (got < tail) {
        const ssize_t n = ::pread(fd_, moved.data() + got, size_t(tail - got), off_t(first + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO, true);
            return;
        }
        got += n;
    }
    if (const int error = writeAt(fd_, moved, DataStart); error != 0) {
        fail(error, true);
        return;
    }
    if (::ftruncate(fd_, off_t(DataStart + tail)) != 0) {
        fail(errno, true);
        return;
    }
    fileEnd_ = DataStart + tail;
    for (Slot& s : entries_)
        if (s.offset >= 0)
            s.offset -= done;
    if (notOnDisk_ > 0 && !deferWrites_)
        appendWaiting();
}

} // namespace zel

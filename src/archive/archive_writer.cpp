#include "archive/archive_writer.h"

#include "archive/archive_files.h"
#include "common/ini_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace zel {

namespace {

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

int keepDaysSetting(const IniFile& settings) {
    bool ok = false;
    const int days =
        settings.read(QStringLiteral("Archive"), QStringLiteral("KeepDays"), QString(), 32)
            .trimmed()
            .toInt(&ok);
    return ok && days > 0 ? days : 0;
}

ArchiveWriter::ArchiveWriter(ArchiveWriterOptions options) : options_(std::move(options)) {
    thread_ = std::thread([this] { run(); });
}

ArchiveWriter::~ArchiveWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void ArchiveWriter::file(const FiledReading& reading) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(reading);
        ++handedOver_;
        ++status_.queued;
    }
}

void ArchiveWriter::file(const ArchivedReading& reading) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(reading);
        ++handedOver_;
        ++status_.queued;
    }
}

void ArchiveWriter::record(const ArchiveEvent& event) {
    std::lock_guard lock(mutex_);
    queue_.emplace_back(event);
    ++handedOver_;
}

void ArchiveWriter::record(ArchiveEventKind kind, const QString& detail) {
    record(ArchiveEvent{nowMs(), kind, detail});
}

void ArchiveWriter::catchUp(const QString& workingFilePath, const QString& family) {
    // The size now, on the caller's thread: what is filed from here on comes
    // through file(), so nothing is taken twice and nothing falls between.
    const qint64 bytes = QFileInfo(workingFilePath).size();
    std::shared_ptr<const int> descriptor;
    const int fd =
        ::open(QFile::encodeName(workingFilePath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0)
        descriptor = std::shared_ptr<const int>(new int(fd), [](const int* d) {
            ::close(*d);
            delete d;
        });
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(CatchUp{workingFilePath, bytes, std::move(descriptor), family});
        ++handedOver_;
    }
    wake_.notify_all();
}

bool ArchiveWriter::flush(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const quint64 target = handedOver_;
    const quint64 failedBefore = failedWrites_;
    wake_.notify_all();
    done_.wait_for(lock, timeout, [&] {
        return finished_ >= target || failedWrites_ > failedBefore || stopping_;
    });
    return finished_ >= target;
}

ArchiveWriter::Status ArchiveWriter::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void ArchiveWriter::setMessageHandler(std::function<void(const QString&)> handler) {
    std::lock_guard lock(mutex_);
    onMessage_ = std::move(handler);
}

void ArchiveWriter::say(const QString& message) {
    std::function<void(const QString&)> handler;
    {
        std::lock_guard lock(mutex_);
        status_.message = message;
        handler = onMessage_;
    }
    if (handler)
        handler(message);
}

bool ArchiveWriter::openArchive() {
    if (!archive_.open(options_.archivePath, Archive::OpenMode::Write)) {
        say(QStringLiteral("The archive cannot be opened: %1. Readings stay in the working file "
                           "and are archived once it can be.")
                .arg(archive_.lastError()));
        return false;
    }
    if (!archive_.notice().isEmpty())
        say(archive_.notice());
    if (options_.recordProgramLife) {
        std::vector<ArchiveEvent> events;
        if (archive_.meta(QStringLiteral("running")) == QLatin1String("1")) {
            // The last run never recorded its stop: it ended at its last
            // known moment, the newest reading or event.
            qint64 last = archive_.lastInstantMs().value_or(0);
            const std::vector<ArchiveEvent> recent = archive_.events(last, nowMs());
            if (!recent.empty())
                last = std::max(last, recent.back().instantMs);
            if (last > 0)
                events.push_back({last, ArchiveEventKind::ProgramEndedUnclean, {}});
        }
        events.push_back({nowMs(), ArchiveEventKind::ProgramStarted, {}});
        if (!archive_.begin() || !archive_.addEventsInTransaction(events) ||
            !archive_.setMeta(QStringLiteral("running"), QStringLiteral("1")) ||
            !archive_.commit()) {
            archive_.rollback();
            say(QStringLiteral("The archive cannot be written: %1").arg(archive_.lastError()));
            archive_.close();
            return false;
        }
    }
    {
        std::lock_guard lock(mutex_);
        status_.open = true;
    }
    return true;
}

void ArchiveWriter::recordStop() {
    if (!options_.recordProgramLife || !archive_.isOpen())
        return;
    const std::vector<ArchiveEvent> events{{nowMs(), ArchiveEventKind::ProgramStopped, {}}};
    if (!archive_.begin() || !archive_.addEventsInTransaction(events) ||
        !archive_.setMeta(QStringLiteral("running"), QStringLiteral("0")) || !archive_.commit())
        archive_.rollback();
}

void ArchiveWriter::thinIfDue() {
    if (options_.keepDays <= 0 || !archive_.isOpen())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextThin_)
        return;
    nextThin_ = now + std::chrono::hours(1);
    if (archive_.thin(options_.keepDays, nowMs()) < 0)
        say(QStringLiteral("Old readings could not be thinned: %1").arg(archive_.lastError()));
}

// Writes from the front of `items`, taking each part off as it is committed;
// on failure what is left stays in `items`.
bool ArchiveWriter::writeItems(std::deque<Item>& items) {
    // Equal readings at one instant keep their rank across batches, as the
    // working file's catch-up ranks them.
    thread_local OccurrenceRanker ranker;
    while (!items.empty()) {
        if (const CatchUp* c = std::get_if<CatchUp>(&items.front())) {
            ImportOptions o;
            o.source = ReadingSource::WorkingFile;
            o.maxBytes = c->bytes;
            o.openDescriptor = c->descriptor ? *c->descriptor : -1;
            o.family = c->family;
            const ImportResult r = importDataFile(archive_, c->path, o);
            if (!r.ok && !r.notADataFile && (c->descriptor || QFileInfo::exists(c->path)))
                return false;
            {
                std::lock_guard lock(mutex_);
                status_.archived += r.counts.added;
                status_.alreadyThere += r.counts.alreadyThere;
                workingFile_ = c->path;
                workingFamily_ = c->family;
            }
            items.pop_front();
            continue;
        }
        std::vector<ArchivedReading> readings;
        std::vector<ArchiveEvent> events;
        size_t taken = 0;
        for (const Item& item : items) {
            if (std::holds_alternative<CatchUp>(item))
                break;
            ++taken;
            if (const ArchiveEvent* e = std::get_if<ArchiveEvent>(&item)) {
                events.push_back(*e);
                continue;
            }
            std::optional<ArchivedReading> r;
            if (const FiledReading* f = std::get_if<FiledReading>(&item))
                r = archivedReading(*f);
            else
                r = std::get<ArchivedReading>(item);
            if (!r)
                continue;
            ranker.rank(*r);
            readings.push_back(std::move(*r));
        }
        Archive::AddCounts counts;
        if (!archive_.add(readings, &counts, events)) {
            ranker.clear();
            return false;
        }
        {
            std::lock_guard lock(mutex_);
            status_.archived += counts.added;
            status_.alreadyThere += counts.alreadyThere;
            status_.queued -= qint64(readings.size());
        }
        // Only an instrument stuck on one time stamp gets here (the key has
        // room for 256 readings a millisecond): say it rather than let the
        // archive fall silently behind the working file.
        if (counts.refused > 0)
            say(QStringLiteral("%1 readings were not archived: more readings than the archive "
                               "keeps carry one time stamp. They stay in the working file.")
                    .arg(counts.refused));
        items.erase(items.begin(), items.begin() + std::ptrdiff_t(taken));
    }
    return true;
}

void ArchiveWriter::run() {
    bool opened = openArchive();
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, options_.batchInterval, [&] { return stopping_; });
        const bool stop = stopping_;
        if (!opened) {
            lock.unlock();
            opened = openArchive();
            lock.lock();
            if (!opened) {
                if (stop)
                    break;
                wake_.wait_for(lock, options_.retryInterval, [&] { return stopping_; });
                continue;
            }
        }
        std::deque<Item> items;
        items.swap(queue_);
        const size_t count = items.size();
        const bool wasWaiting = status_.waitingForDisk;
        lock.unlock();
        const bool ok = items.empty() || writeItems(items);
        if (ok)
            thinIfDue();
        lock.lock();
        finished_ += count - items.size();
        if (ok) {
            status_.waitingForDisk = false;
            // Said before a flush() returns, so whoever waited hears it.
            if (wasWaiting) {
                lock.unlock();
                say(QStringLiteral("The archive writes again and has caught up."));
                lock.lock();
            }
            done_.notify_all();
            if (stop)
                break;
            continue;
        }
        // What was not written goes back to the front, in order.
        for (auto it = items.rbegin(); it != items.rend(); ++it)
            queue_.push_front(std::move(*it));
        status_.waitingForDisk = true;
        ++failedWrites_;
        done_.notify_all();
        const QString why = archive_.lastError();
        const bool diskFull = archive_.lastFailureWasDiskFull();
        lock.unlock();
        if (!wasWaiting)
            say(QStringLiteral("The archive waits: %1. The readings are safe in the working file "
                               "and are archived when %2.")
                    .arg(why, diskFull ? QStringLiteral("there is room again")
                                       : QStringLiteral("the archive can be written again")));
        lock.lock();
        if (stop)
            break;
        // Too much held: let the readings go and take them from the working
        // file again once the archive can be written.
        if (status_.queued > qint64(options_.maxQueued) && !workingFile_.isEmpty()) {
            std::deque<Item> kept;
            for (Item& item : queue_)
                if (!std::holds_alternative<FiledReading>(item) &&
                    !std::holds_alternative<ArchivedReading>(item))
                    kept.push_back(std::move(item));
            finished_ += queue_.size() - kept.size();
            status_.queued = 0;
            queue_.swap(kept);
            queue_.emplace_back(
                CatchUp{workingFile_, QFileInfo(workingFile_).size(), nullptr, workingFamily_});
            ++handedOver_;
        }
        wake_.wait_for(lock, options_.retryInterval, [&] { return stopping_; });
    }
    lock.unlock();
    recordStop();
    archive_.close();
}

} // namespace zel

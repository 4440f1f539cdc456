#include "telemetry/mqtt_publisher.h"

#include "data/data_files.h"
#include "telemetry/disk_queue.h"
#include "telemetry/filed_readings.h"
#include "telemetry/mqtt_client.h"
#include "telemetry/reading_message.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSysInfo>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

using SteadyClock = std::chrono::steady_clock;

namespace {

// How long a batch of queue writes waits. Readings go to the broker only
// once their batch is written, so this is the delay the feed adds: at 100
// readings a second a batch holds about five, written with three or four
// system calls instead of five per reading, and a twentieth of a second
// late is nothing to a control room that watches readings a second apart.
constexpr int QueueWriteDelayMs = 50;
// A batch this large is written at once (a catch-up after a restart takes
// thousands of readings in one go).
constexpr size_t LargestBatch = 256;
// A batch due within this many milliseconds is written with the reading at
// hand.
constexpr int BatchDueMs = 5;

} // namespace

MqttPublisher::MqttPublisher(std::function<QDateTime()> now, QObject* parent)
    : QObject(parent), now_(std::move(now)) {
    queueWriteTimer_.setSingleShot(true);
    queueWriteTimer_.setInterval(QueueWriteDelayMs);
    connect(&queueWriteTimer_, &QTimer::timeout, this, &MqttPublisher::writeQueueNow);
}

void MqttPublisher::writeQueueSoon() {
    if (writingQueue_ || queueWriteTimer_.isActive())
        return;
    queueWriteTimer_.start();
    // The client thread leaves its news for the batch instead of waking
    // this thread for it.
    if (shared_) {
        std::lock_guard lock(shared_->mutex);
        shared_->drainComing = true;
    }
}

void MqttPublisher::writeQueueNow() {
    queueWriteTimer_.stop();
    if (!queue_)
        return;
    // Acknowledgements that came since the last batch: their marks go to
    // the file with this one.
    writingQueue_ = true;
    drainEvents();
    writingQueue_ = false;
    queue_->writePending();
    reportQueueFile();
    // The acknowledgements of what was handed over are taken up by the next
    // batch: at 100 readings a second they no longer wake this thread a few
    // times between two batches.
    if (handOver() && running())
        writeQueueSoon();
}

// The readings of a written batch, and the alarm changes they caused, go to
// the client thread with one wake-up. A reading the disk refused goes too:
// the marks, written in place, already count its number.
bool MqttPublisher::handOver() {
    if (unsent_.empty() && unsentAlarms_.empty())
        return false;
    {
        std::lock_guard lock(shared_->mutex);
        auto& readings = shared_->readings;
        for (DiskQueue::Entry& e : unsent_)
            readings.push_back(std::move(e));
        for (AlarmChange& change : unsentAlarms_)
            shareAlarm(std::move(change));
    }
    unsent_.clear();
    unsentAlarms_.clear();
    wake();
    return true;
}

// Changes wait like readings do, within a bound of their own; the newest is
// always the retained state. Called under the lock.
void MqttPublisher::shareAlarm(AlarmChange change) {
    auto& alarms = shared_->alarms;
    if (alarms.size() >= 1000)
        alarms.pop_front();
    shared_->latestAlarm = change.body;
    alarms.push_back(std::move(change));
}

MqttPublisher::~MqttPublisher() {
    stop(1000);
}

void MqttPublisher::say(const QString& text, bool problem) {
    emit message(text, problem);
}

bool MqttPublisher::start(const IniFile& ini, const QString& queueFolder,
                          const QString& defaultStation) {
    if (running())
        return true;
    settings_ = readMqttSettings(ini, defaultStation);
    if (!settings_.enabled())
        return false;
    if (settings_.clientId.isEmpty())
        settings_.clientId = defaultClientId(settings_.station, queueFolder);
    if (const Expected<void> usable = checkMqttSettings(settings_); !usable) {
        say(QStringLiteral("MQTT settings in %1: %2; nothing is published")
                .arg(ini.path(), usable.error().text),
            true);
        return false;
    }
    QByteArray password;
    if (!settings_.passwordFile.isEmpty()) {
        Expected<QByteArray> read = readPasswordFile(settings_.passwordFile);
        if (!read) {
            say(QStringLiteral("MQTT settings: %1; nothing is published").arg(read.error().text),
                true);
            return false;
        }
        password = std::move(*read);
    }
    if (const QString warning = passwordFileWarning(settings_.passwordFile); !warning.isEmpty())
        say(warning, true);

    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        say(QStringLiteral("MQTT: cannot start: %1")
                .arg(QString::fromLocal8Bit(std::strerror(errno))),
            true);
        return false;
    }
    shared_ = std::make_shared<MqttShared>();
    queue_ = std::make_unique<DiskQueue>(queueFolder + QLatin1Char('/') + queueFileName(),
                                         settings_.queueLimit);
    const Expected<DiskQueue::Opened> opened = queue_->open();
    if (!opened) {
        // Waiting readings and the numbers given are in that file: it is
        // never replaced by an empty one.
        say(QStringLiteral("MQTT: %1; nothing is published").arg(opened.error().text), true);
        queue_.reset();
        shared_.reset();
        ::close(wakeFd_);
        wakeFd_ = -1;
        return false;
    }
    reportOpenedQueue(*opened);
    // The queue file is written in batches; a reading is sent only once its
    // batch is written (writeQueueNow), so no number reaches the broker that
    // a restart could give again.
    queue_->setDeferredWrites(true);
    const std::vector<DiskQueue::Entry>& waiting = opened->waiting;
    reportQueueFile();
    run_ = QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0');
    shared_->readings.assign(waiting.begin(), waiting.end());

    MqttClientConfig config{settings_, password, wakeFd_, this, [this] { drainEvents(); }};
    thread_ = std::thread(runMqttClient, std::move(config), shared_);
    say(QStringLiteral("MQTT: publishing as station %1 to %2 under %3 (%4 readings waiting; "
                       "client id %5, run %6)")
            .arg(settings_.station, settings_.endpoint(), settings_.topic(QStringLiteral("")),
                 QString::number(waiting.size()), settings_.clientId, run_),
        false);
    return true;
}

void MqttPublisher::wake() {
    const quint64 one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void MqttPublisher::stop(int flushMs) {
    if (!thread_.joinable())
        return;
    // What waits for its batch goes to the file and to the broker first.
    writeQueueNow();
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
        shared_->flushUntil = SteadyClock::now() + std::chrono::milliseconds(flushMs);
        shared_->goodbyeAlarm = offlineAlarmJson(now_());
    }
    wake();
    thread_.join();
    // Acknowledgements that came at the end are still taken off the queue.
    drainEvents();
    writeQueueNow();
    ::close(wakeFd_);
    wakeFd_ = -1;
    connected_ = false;
}

qsizetype MqttPublisher::waiting() const {
    return queue_ ? queue_->size() : 0;
}

void MqttPublisher::drainEvents() {
    if (!shared_)
        return;
    std::vector<MqttShared::Event> events;
    {
        std::lock_guard lock(shared_->mutex);
        events.swap(shared_->events);
        shared_->drainComing = queueWriteTimer_.isActive();
    }
    for (const MqttShared::Event& e : events) {
        switch (e.kind) {
        case MqttShared::Kind::Acked:
            if (e.seq > 0)
                ++published_;
            queue_->markDone(e.seq);
            if (queue_->size() == 0 && fullReported_) {
                fullReported_ = false;
                say(QStringLiteral("MQTT: the queue is empty again; %1 readings were dropped "
                                   "unsent while it was full")
                        .arg(dropped_ - droppedBefore_),
                    true);
                droppedBefore_ = dropped_;
            }
            writeQueueSoon();
            break;
        case MqttShared::Kind::Connected:
            connected_ = true;
            lastProblem_.clear();
            say(QStringLiteral("MQTT: connected to broker %1 as station %2")
                    .arg(settings_.endpoint(), settings_.station),
                false);
            break;
        case MqttShared::Kind::NameShared:
            ++nameShared_;
            say(e.text, true);
            break;
        case MqttShared::Kind::TakenOver:
            // Two stations fighting over one id would say this many times a
            // second: once is enough.
            if (takeovers_++ == 0)
                say(e.text, true);
            break;
        case MqttShared::Kind::Lost:
            connected_ = false;
            if (e.seq != 0 && takeovers_ > 0)
                break; // one more of the fight already told
            lastProblem_.clear();
            say(e.text + QStringLiteral("; readings wait in the queue"), true);
            break;
        case MqttShared::Kind::Problem:
            connected_ = false;
            // The thread retries quietly; a person hears of each problem once.
            if (e.text != lastProblem_) {
                lastProblem_ = e.text;
                say(e.text + QStringLiteral("; retrying, readings wait in the queue"), true);
            }
            break;
        }
    }
}

void MqttPublisher::setAlarm(const QString& text, const QByteArray& body) {
    if (text == lastAlarm_)
        return;
    lastAlarm_ = text;
    AlarmChange change{queue_->nextSeq() - 1, body};
    // A change goes out right after the reading that caused it, so it waits
    // with that reading's batch.
    if (!unsent_.empty() || !unsentAlarms_.empty()) {
        unsentAlarms_.push_back(std::move(change));
        return;
    }
    std::lock_guard lock(shared_->mutex);
    shareAlarm(std::move(change));
}

void MqttPublisher::reportOpenedQueue(const DiskQueue::Opened& opened) {
    const QString path = queue_->path();
    if (opened.leftoversRemoved > 0)
        say(QStringLiteral("MQTT: %1 temporary copies of the queue file %2 left by a rewrite that "
                           "was cut short were removed")
                .arg(opened.leftoversRemoved)
                .arg(path),
            false);
    if (!opened.markNote.isEmpty())
        say(QStringLiteral("MQTT: the queue file %1: %2").arg(path, opened.markNote), true);
    if (opened.damagedReadings > 0) {
        dropped_ += opened.damagedReadings;
        say(QStringLiteral("MQTT: %1 damaged readings in the queue file %2 were dropped (their "
                           "lines hold no reading message)")
                .arg(opened.damagedReadings)
                .arg(path),
            true);
    }
    if (opened.damagedLines > 0)
        say(QStringLiteral("MQTT: %1 damaged lines of the queue file %2 were dropped")
                .arg(opened.damagedLines)
                .arg(path),
            true);
    if (opened.droppedByLimit > 0) {
        dropped_ += opened.droppedByLimit;
        say(QStringLiteral("MQTT: QueueLimit %1 is below the readings waiting in %2: the oldest "
                           "%3 were dropped unsent")
                .arg(queue_->capacity())
                .arg(path)
                .arg(opened.droppedByLimit),
            true);
    }
}

void MqttPublisher::publishReading(const Reading& reading, AlarmLevel level,
                                   const DiskQueue::Identity& filedAs) {
    if (!running())
        return;
    enqueue(reading, level, filedAs, false);
}

qsizetype MqttPublisher::catchUp(const QString& workingPath, const RecordLayout& layout,
                                 const std::function<AlarmLevel(const Reading&)>& alarmOf) {
    if (!running())
        return 0;
    const DiskQueue::Identity last = queue_->lastQueued();
    if (!last.known()) {
        // A queue that never took a reading: the feed begins with the next
        // reading filed.
        if (const DiskQueue::Identity end = lastFiledReading(workingPath); end.known())
            queue_->setLastQueued(end);
        return 0;
    }
    const Expected<FiledAfter> filed = readingsFiledAfter(workingPath, last, queue_->capacity());
    if (!filed) {
        say(QStringLiteral("MQTT: the working file %1 cannot be read (%2): readings filed after "
                           "the last one queued are not sent")
                .arg(workingPath, filed.error().text),
            true);
        return 0;
    }
    const FiledAfter& after = *filed;
    for (const WorkingFileLine& line : after.lines) {
        const Reading r = readingFromLine(line.text, layout);
        enqueue(r, alarmOf(r), {line.end, lineFingerprint(line.text), 0}, true);
    }
    if (!after.lines.empty() || after.beyondLimit > 0)
        say(QStringLiteral("MQTT: %1 readings filed in %2 after the last one queued (found %3) "
                           "are queued%4")
                .arg(after.lines.size())
                .arg(workingPath, after.how,
                     after.beyondLimit > 0
                         ? QStringLiteral("; %1 older ones beyond QueueLimit are not")
                               .arg(after.beyondLimit)
                         : QString()),
            false);
    return qsizetype(after.lines.size());
}

void MqttPublisher::enqueue(const Reading& reading, AlarmLevel level,
                            const DiskQueue::Identity& filedAs, bool recovered) {
    const QDateTime now = now_();
    QByteArray body = readingJson(reading, level, now, queue_->nextSeq(), run_);
    if (recovered && body.endsWith('}')) {
        // Taken back from the working file after a restart: `received` is
        // when that happened, and the alarm is told from the file's value.
        body.chop(1);
        body += ",\"recovered\":true}";
    }
    const DiskQueue::Pushed pushed = queue_->push(body, filedAs);
    if (pushed.seq == 0) {
        ++dropped_;
        if (!seqExhaustedReported_) {
            seqExhaustedReported_ = true;
            say(QStringLiteral("MQTT: seq has reached %1, the largest number a JSON number holds "
                               "exactly; readings are no longer published (move %2 away to "
                               "start again at 1)")
                    .arg(DiskQueue::MaxSeq)
                    .arg(queue_->path()),
                true);
        }
        return;
    }
    ++queued_;
    if (pushed.dropped) {
        // The oldest reading, dropped by a full queue: not sent any more.
        if (!unsent_.empty() && unsent_.front().seq == *pushed.dropped) {
            unsent_.pop_front();
        } else {
            std::lock_guard lock(shared_->mutex);
            auto& q = shared_->readings;
            if (!q.empty() && q.front().seq == *pushed.dropped)
                q.pop_front();
        }
    }
    // Sent once its line is in the queue file: a kill before that must find
    // its number unused, for the same reading taken back from the working
    // file.
    unsent_.push_back({pushed.seq, std::move(body)});
    // Nearly every reading leaves the alarm as it was: its message is made
    // only for a change. A recovered reading is older than the state.
    if (const QString alarm = alarmLevelName(level); !recovered && alarm != lastAlarm_)
        setAlarm(alarm, alarmJson(level, now));
    if (pushed.dropped)
        ++dropped_;
    if (pushed.dropped && !fullReported_) {
        fullReported_ = true;
        say(QStringLiteral("MQTT: the queue is full (%1 readings); the oldest readings are "
                           "dropped")
                .arg(queue_->capacity()),
            true);
    }
    // A batch that is nearly due goes with this reading: the thread is awake
    // for it anyway, and the timer would wake it again a moment later.
    if (unsent_.size() >= LargestBatch ||
        (queueWriteTimer_.isActive() && queueWriteTimer_.remainingTime() <= BatchDueMs))
        writeQueueNow();
    else
        writeQueueSoon();
}

void MqttPublisher::reportQueueFile() {
    if (!diskReported_ && queue_->writeFailure()) {
        diskReported_ = true;
        say(QStringLiteral("MQTT: the queue file cannot be written (%1); readings wait in memory "
                           "until it can")
                .arg(queue_->writeFailure()->text),
            true);
    } else if (diskReported_ && !queue_->writeFailure()) {
        diskReported_ = false;
        say(QStringLiteral("MQTT: the queue file %1 is written again").arg(queue_->path()), false);
    }
}

void MqttPublisher::publishHealth(const QByteArray& body) {
    if (!running())
        return;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->health == body)
            return;
        shared_->health = body;
        shared_->healthChanged = true;
    }
    wake();
}

void MqttPublisher::publishLostContact() {
    if (!running())
        return;
    setAlarm(alarmLevelName(AlarmLevel::LostContact), alarmJson(AlarmLevel::LostContact, now_()));
    wake();
}

QString defaultStationName() {
    const QString configured = qEnvironmentVariable("ZEL_DEFAULT_STATION").trimmed();
    return configured.isEmpty() ? QSysInfo::machineHostName() : configured;
}

} // namespace zel

#include "telemetry/mqtt_publisher.h"

#include "data/data_files.h"
#include "station/families.h"
#include "station/station.h"
#include "telemetry/disk_queue.h"
#include "telemetry/filed_readings.h"
#include "telemetry/reading_message.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <mosquitto.h>
#include <mutex>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace zel {

using SteadyClock = std::chrono::steady_clock;

// What the window thread and the client thread share, under one lock.
struct MqttShared {
    enum class Kind { Connected, Problem, Lost, TakenOver, Acked, NameShared };
    struct Event {
        Kind kind;
        quint64 seq = 0;
        QString text;
    };

    std::mutex mutex;
    std::deque<DiskQueue::Entry> readings; // not yet acknowledged, oldest first
    struct AlarmChange {
        quint64 afterSeq; // published after this reading
        QByteArray body;
    };
    std::deque<AlarmChange> alarms; // changes not yet published, oldest first
    QByteArray latestAlarm;
    QByteArray health; // the latest, retained
    bool healthChanged = false;
    QByteArray goodbyeAlarm; // the retained alarm state a clean stop leaves
    bool stop = false;
    SteadyClock::time_point flushUntil;
    std::vector<Event> events; // for the window thread
};

namespace {

constexpr int InflightWindow = 64;
constexpr int KeepaliveSeconds = 30;
constexpr int ProbeTimeoutMs = 10000;
constexpr int FirstRetryMs = 500;
constexpr int LongestRetryMs = 10000;
constexpr auto QuickLoss = std::chrono::seconds(5);

QString errorText(int rc) {
    QString text = rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                        : QString::fromUtf8(mosquitto_strerror(rc));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1); // the messages go on after it
    return text;
}

// The client thread: every libmosquitto call happens here. One mosquitto
// object lives for one connection, so the library never re-sends on its
// own; after a reconnect this thread sends again, in order, whatever the
// broker had not acknowledged.
class ClientThread {
public:
    struct Config {
        MqttSettings settings;
        QByteArray password;
        int wakeFd = -1;
        QObject* owner = nullptr;
        std::function<void()> drain;
    };

    ClientThread(Config config, std::shared_ptr<MqttShared> shared)
        : c_(std::move(config)), shared_(std::move(shared)), host_(c_.settings.host.toUtf8()),
          clientId_(c_.settings.clientId.toUtf8()),
          readingTopic_(c_.settings.topic(QStringLiteral("reading")).toUtf8()),
          alarmTopic_(c_.settings.topic(QStringLiteral("alarm")).toUtf8()),
          statusTopic_(c_.settings.topic(QStringLiteral("status")).toUtf8()),
          healthTopic_(c_.settings.topic(QStringLiteral("health")).toUtf8()) {}

    void run() {
        int retryMs = FirstRetryMs;
        while (!stopping()) {
            QString problem;
            const auto began = SteadyClock::now();
            const bool wasConnected = session(&problem);
            if (stopping())
                break;
            // The broker closes a session without a word when another client
            // logs in with the same id; the sign is a session that ends soon
            // after its login, again and again, while the broker is there.
            const bool quick = wasConnected && SteadyClock::now() - began < QuickLoss;
            quickLosses_ = quick ? quickLosses_ + 1 : 0;
            if (quickLosses_ == 3)
                post({MqttShared::Kind::TakenOver, 0,
                      QStringLiteral("MQTT: broker %1 keeps closing the session of station %2 "
                                     "right after its login: another client probably uses the "
                                     "same client id %3 (give each its own ClientId=)")
                          .arg(c_.settings.endpoint(), c_.settings.station,
                               QString::fromUtf8(clientId_))});
            if (!problem.isEmpty())
                post({wasConnected ? MqttShared::Kind::Lost : MqttShared::Kind::Problem,
                      quickLosses_ >= 3 ? 1u : 0u, problem});
            if (wasConnected)
                retryMs = FirstRetryMs;
            pause(retryMs);
            retryMs = std::min(retryMs * 2, LongestRetryMs);
        }
    }

private:
    bool stopping() {
        std::lock_guard lock(shared_->mutex);
        return shared_->stop;
    }

    void post(MqttShared::Event event) {
        bool first = false;
        {
            std::lock_guard lock(shared_->mutex);
            first = shared_->events.empty();
            shared_->events.push_back(std::move(event));
        }
        if (first)
            QMetaObject::invokeMethod(c_.owner, c_.drain, Qt::QueuedConnection);
    }

    void drainWake() {
        quint64 count = 0;
        [[maybe_unused]] const ssize_t n = ::read(c_.wakeFd, &count, sizeof count);
    }

    // Sleeps up to `ms`, less when told to stop.
    void pause(int ms) {
        const auto until = SteadyClock::now() + std::chrono::milliseconds(ms);
        while (!stopping()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - SteadyClock::now());
            if (left.count() <= 0)
                return;
            pollfd fd{c_.wakeFd, POLLIN, 0};
            if (::poll(&fd, 1, int(left.count())) > 0)
                drainWake();
        }
    }

    // Name lookup and (without TLS) a plain TCP connect first: they tell an
    // unknown host from a refused or silent one, and a stop is never stuck
    // behind the blocking connect of the library.
    bool reachable(QString* problem, bool probe) {
        addrinfo hints{};
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const QByteArray port = QByteArray::number(c_.settings.port);
        const int gai = ::getaddrinfo(host_.constData(), port.constData(), &hints, &found);
        if (gai != 0) {
            *problem = QStringLiteral("MQTT: unknown broker host %1 (%2)")
                           .arg(c_.settings.host, QString::fromLocal8Bit(gai_strerror(gai)));
            return false;
        }
        QString why;
        bool ok = !probe;
        for (addrinfo* a = found; a && !ok && !stopping(); a = a->ai_next) {
            const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                   a->ai_protocol);
            if (s < 0)
                continue;
            int err = 0;
            if (::connect(s, a->ai_addr, a->ai_addrlen) != 0) {
                err = errno;
                if (err == EINPROGRESS) {
                    err = ETIMEDOUT;
                    const auto until =
                        SteadyClock::now() + std::chrono::milliseconds(ProbeTimeoutMs);
                    while (!stopping()) {
                        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            until - SteadyClock::now());
                        if (left.count() <= 0)
                            break;
                        pollfd fds[2] = {{s, POLLOUT, 0}, {c_.wakeFd, POLLIN, 0}};
                        if (::poll(fds, 2, int(left.count())) <= 0)
                            continue;
                        if (fds[1].revents)
                            drainWake();
                        if (fds[0].revents) {
                            socklen_t len = sizeof err;
                            ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
                            break;
                        }
                    }
                }
            }
            ::close(s);
            ok = err == 0;
            if (!ok)
                why = err == ETIMEDOUT ? QStringLiteral("no answer")
                                       : QString::fromLocal8Bit(std::strerror(err));
        }
        ::freeaddrinfo(found);
        if (!ok && !stopping())
            *problem =
                QStringLiteral("MQTT: cannot reach broker %1: %2").arg(c_.settings.endpoint(), why);
        return ok;
    }

    static void onConnect(mosquitto*, void* self, int rc) {
        auto* t = static_cast<ClientThread*>(self);
        t->gotConnack_ = true;
        t->connackRc_ = rc;
    }
    static void onLog(mosquitto*, void* self, int level, const char* text) {
        // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify
        // failed": the part after the last colon says it.
        if (!(level & MOSQ_LOG_ERR) || std::strncmp(text, "OpenSSL Error", 13) != 0)
            return;
        auto* t = static_cast<ClientThread*>(self);
        const QString line = QString::fromUtf8(text);
        const QString reason = line.section(QLatin1Char(':'), -1).trimmed();
        if (!reason.isEmpty() && !t->tlsReason_.contains(reason))
            t->tlsReason_ += (t->tlsReason_.isEmpty() ? QString() : QStringLiteral("; ")) + reason;
    }
    static void onPublish(mosquitto*, void* self, int mid) {
        static_cast<ClientThread*>(self)->acknowledged(mid);
    }
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message) {
        static_cast<ClientThread*>(self)->statusSeen(message);
    }

    // Another live client on this station's topics: two stations with one
    // Station name overwrite each other's retained state. Only our own
    // session publishes "online" and, until the stop, never "offline".
    void statusSeen(const mosquitto_message* message) {
        if (!message || message->topic != statusTopic_)
            return;
        const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
        if (message->retain && payload == "online" && firstSession_) {
            post({MqttShared::Kind::NameShared, 0,
                  QStringLiteral("MQTT: station %1 is already marked online at broker %2: another "
                                 "zel with the same Station name may be running (or the last run "
                                 "of this one ended without a goodbye). Two stations with one "
                                 "name overwrite each other's state: give each its own Station=")
                      .arg(c_.settings.station, c_.settings.endpoint())});
        } else if (!message->retain && payload == "offline" && !stopping()) {
            reannounce_ = true;
            post({MqttShared::Kind::NameShared, 0,
                  QStringLiteral("MQTT: another client marked station %1 offline at broker %2 "
                                 "(another zel with the same Station name stopped, or the last "
                                 "will of an earlier run of this one came late); announced online "
                                 "again. Give each station its own Station=")
                      .arg(c_.settings.station, c_.settings.endpoint())});
        }
    }

    void acknowledged(int mid) {
        const auto it = inflight_.find(mid);
        if (it == inflight_.end())
            return;
        const quint64 seq = it->second;
        inflight_.erase(it);
        {
            std::lock_guard lock(shared_->mutex);
            auto& q = shared_->readings;
            const auto e =
                std::lower_bound(q.begin(), q.end(), seq,
                                 [](const DiskQueue::Entry& x, quint64 v) { return x.seq < v; });
            if (e != q.end() && e->seq == seq)
                q.erase(e);
        }
        post({MqttShared::Kind::Acked, seq, {}});
    }

    // Sends what waits, in order, keeping a bounded number unacknowledged.
    // An alarm change goes out right after the reading that caused it.
    void publishWaiting(mosquitto* m) {
        if (!alarmRepeated_) {
            // After a reconnect the current state is published again, in case
            // the broker lost its retained copy.
            alarmRepeated_ = true;
            QByteArray latest;
            {
                std::lock_guard lock(shared_->mutex);
                if (shared_->alarms.empty())
                    latest = shared_->latestAlarm;
            }
            if (!latest.isEmpty())
                mosquitto_publish(m, nullptr, alarmTopic_.constData(), int(latest.size()),
                                  latest.constData(), 1, true);
        }
        QByteArray health;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->healthChanged || !healthRepeated_)
                health = shared_->health;
            shared_->healthChanged = false;
        }
        healthRepeated_ = true;
        if (!health.isEmpty())
            mosquitto_publish(m, nullptr, healthTopic_.constData(), int(health.size()),
                              health.constData(), 1, true);
        while (true) {
            DiskQueue::Entry reading;
            QByteArray alarm;
            {
                std::lock_guard lock(shared_->mutex);
                auto& q = shared_->readings;
                const auto it = std::lower_bound(
                    q.begin(), q.end(), nextSeq_,
                    [](const DiskQueue::Entry& x, quint64 v) { return x.seq < v; });
                auto& alarms = shared_->alarms;
                if (!alarms.empty() && (it == q.end() || alarms.front().afterSeq < it->seq)) {
                    alarm = alarms.front().body;
                    alarms.pop_front();
                } else if (it != q.end() && int(inflight_.size()) < InflightWindow) {
                    reading = *it;
                } else {
                    return;
                }
            }
            if (!alarm.isEmpty()) {
                mosquitto_publish(m, nullptr, alarmTopic_.constData(), int(alarm.size()),
                                  alarm.constData(), 1, true);
                continue;
            }
            int mid = 0;
            if (mosquitto_publish(m, &mid, readingTopic_.constData(), int(reading.payload.size()),
                                  reading.payload.constData(), 1, false) != MOSQ_ERR_SUCCESS)
                return;
            inflight_[mid] = reading.seq;
            nextSeq_ = reading.seq + 1;
        }
    }

    // Stopping, and the broker has everything or the time for it is up.
    bool flushDone() {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->stop)
            return false;
        return (shared_->readings.empty() && inflight_.empty()) ||
               SteadyClock::now() >= shared_->flushUntil;
    }

    // One turn of the socket: false when the connection is gone.
    bool turn(mosquitto* m, int timeoutMs, QString* problem) {
        const int sock = mosquitto_socket(m);
        if (sock < 0) {
            *problem = QStringLiteral("MQTT: lost the connection to broker %1")
                           .arg(c_.settings.endpoint());
            return false;
        }
        pollfd fds[2] = {{sock, short(POLLIN | (mosquitto_want_write(m) ? POLLOUT : 0)), 0},
                         {c_.wakeFd, POLLIN, 0}};
        ::poll(fds, 2, timeoutMs);
        if (fds[1].revents)
            drainWake();
        int rc = MOSQ_ERR_SUCCESS;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR))
            rc = mosquitto_loop_read(m, 64);
        if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(m) >= 0 && mosquitto_want_write(m))
            rc = mosquitto_loop_write(m, 64);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_loop_misc(m);
        if (rc != MOSQ_ERR_SUCCESS) {
            // A TLS handshake that fails after the socket connected ends
            // here, before any login: that is a connection never made, and
            // the library's log holds the reason.
            QString why = errorText(rc);
            if (!tlsReason_.isEmpty())
                why += QStringLiteral(" (") + tlsReason_ + QLatin1Char(')');
            *problem = (gotConnack_ ? QStringLiteral("MQTT: lost the connection to broker %1: %2")
                                    : QStringLiteral("MQTT: cannot connect to broker %1: %2"))
                           .arg(c_.settings.endpoint(), why);
            return false;
        }
        return true;
    }

    // Says goodbye: "offline" (retained, so the control room sees a clean
    // stop), then a disconnect, waiting a moment for the broker's answer.
    void goodbye(mosquitto* m) {
        // The last alarm level of a stopped station is no current state.
        QByteArray alarm;
        {
            std::lock_guard lock(shared_->mutex);
            alarm = shared_->goodbyeAlarm;
        }
        if (!alarm.isEmpty())
            mosquitto_publish(m, nullptr, alarmTopic_.constData(), int(alarm.size()),
                              alarm.constData(), 1, true);
        int mid = 0;
        static const char offline[] = "offline";
        if (mosquitto_publish(m, &mid, statusTopic_.constData(), int(sizeof offline - 1), offline,
                              1, true) == MOSQ_ERR_SUCCESS) {
            inflight_[mid] = 0;
            const auto until = SteadyClock::now() + std::chrono::milliseconds(1000);
            QString ignored;
            while (inflight_.count(mid) && SteadyClock::now() < until && turn(m, 50, &ignored)) {
            }
        }
        mosquitto_disconnect(m);
        QString ignored;
        for (int i = 0; i < 10 && mosquitto_socket(m) >= 0 && mosquitto_want_write(m); ++i)
            turn(m, 20, &ignored);
    }

    // One connection from connect to loss or stop. True when it was up.
    bool session(QString* problem) {
        // A plain TCP probe of a TLS port shows up at the broker as a failed
        // handshake: with TLS only the name is looked up first.
        const bool probe = c_.settings.caFile.isEmpty();
        // libmosquitto closes descriptor 0 when it refuses an id (it is
        // not its socket yet): an id it would refuse is never handed to it.
        if (mosquitto_validate_utf8(clientId_.constData(), int(clientId_.size())) !=
            MOSQ_ERR_SUCCESS) {
            *problem = QStringLiteral("MQTT: the client id %1 is not usable")
                           .arg(QString::fromUtf8(clientId_));
            return false;
        }
        if (!reachable(problem, probe))
            return false;
        mosquitto* m = mosquitto_new(clientId_.constData(), true, this);
        if (!m) {
            *problem =
                QStringLiteral("MQTT: cannot make a client: %1").arg(errorText(MOSQ_ERR_ERRNO));
            return false;
        }
        mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1);
        mosquitto_max_inflight_messages_set(m, InflightWindow + 2);
        mosquitto_connect_callback_set(m, &ClientThread::onConnect);
        mosquitto_publish_callback_set(m, &ClientThread::onPublish);
        mosquitto_message_callback_set(m, &ClientThread::onMessage);
        static const char offline[] = "offline";
        mosquitto_will_set(m, statusTopic_.constData(), int(sizeof offline - 1), offline, 1, true);
        int rc = MOSQ_ERR_SUCCESS;
        if (!c_.settings.user.isEmpty())
            rc = mosquitto_username_pw_set(
                m, c_.settings.user.toUtf8().constData(),
                c_.settings.passwordFile.isEmpty() ? nullptr : c_.password.constData());
        const QByteArray ca = QFile::encodeName(c_.settings.caFile);
        const QByteArray cert = QFile::encodeName(c_.settings.certFile);
        const QByteArray key = QFile::encodeName(c_.settings.keyFile);
        if (rc == MOSQ_ERR_SUCCESS && !ca.isEmpty())
            rc = mosquitto_tls_set(m, ca.constData(), nullptr,
                                   cert.isEmpty() ? nullptr : cert.constData(),
                                   key.isEmpty() ? nullptr : key.constData(), nullptr);
        // The library says what went wrong with TLS only in its log.
        tlsReason_.clear();
        mosquitto_log_callback_set(m, &ClientThread::onLog);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_connect(m, host_.constData(), c_.settings.port, KeepaliveSeconds);
        if (rc != MOSQ_ERR_SUCCESS) {
            QString why = errorText(rc);
            if (!tlsReason_.isEmpty())
                why += QStringLiteral(" (") + tlsReason_ + QLatin1Char(')');
            *problem = QStringLiteral("MQTT: cannot connect to broker %1: %2")
                           .arg(c_.settings.endpoint(), why);
            mosquitto_destroy(m);
            return false;
        }

        gotConnack_ = false;
        connackRc_ = 0;
        inflight_.clear();
        nextSeq_ = 0;
        alarmRepeated_ = false;
        healthRepeated_ = false;
        bool up = false;
        const auto connackBy = SteadyClock::now() + std::chrono::milliseconds(ProbeTimeoutMs);
        while (true) {
            if (gotConnack_ && connackRc_ != 0) {
                *problem = QStringLiteral("MQTT: broker %1 refused station %2: %3")
                               .arg(c_.settings.endpoint(), c_.settings.station,
                                    QString::fromUtf8(mosquitto_connack_string(connackRc_)));
                break;
            }
            if (!up && gotConnack_) {
                up = true;
                // Listening to our own status first: what the broker holds
                // there before our "online" is another client's word.
                mosquitto_subscribe(m, nullptr, statusTopic_.constData(), 1);
                static const char online[] = "online";
                mosquitto_publish(m, nullptr, statusTopic_.constData(), int(sizeof online - 1),
                                  online, 1, true);
                post({MqttShared::Kind::Connected, 0, {}});
            }
            if (up && reannounce_) {
                reannounce_ = false;
                static const char online[] = "online";
                mosquitto_publish(m, nullptr, statusTopic_.constData(), int(sizeof online - 1),
                                  online, 1, true);
                alarmRepeated_ = false;
                healthRepeated_ = false;
            }
            if (!up && SteadyClock::now() > connackBy) {
                *problem = QStringLiteral("MQTT: broker %1 did not answer the login")
                               .arg(c_.settings.endpoint());
                break;
            }
            if (up)
                publishWaiting(m);
            if (stopping() && (!up || flushDone())) {
                if (up)
                    goodbye(m);
                break;
            }
            if (!turn(m, stopping() ? 20 : 1000, problem)) {
                if (gotConnack_ && connackRc_ != 0)
                    continue; // told as a refused login above
                break;
            }
        }
        mosquitto_destroy(m);
        if (up)
            firstSession_ = false;
        return up;
    }

    Config c_;
    std::shared_ptr<MqttShared> shared_;
    QByteArray host_, clientId_, readingTopic_, alarmTopic_, statusTopic_, healthTopic_;
    std::unordered_map<int, quint64> inflight_; // message id -> reading number
    quint64 nextSeq_ = 0;
    bool alarmRepeated_ = false;
    bool healthRepeated_ = false;
    bool gotConnack_ = false;
    int connackRc_ = 0;
    QString tlsReason_;
    int quickLosses_ = 0;      // sessions in a row that the broker ended soon after login
    bool firstSession_ = true; // no session of this run was up before
    bool reannounce_ = false;  // another client marked the station offline
};

} // namespace

MqttPublisher::MqttPublisher(const Clock& clock, QObject* parent)
    : QObject(parent), clock_(clock) {}

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
    if (const QString problem = mqttSettingsProblem(settings_); !problem.isEmpty()) {
        say(QStringLiteral("MQTT settings in %1: %2; nothing is published")
                .arg(ini.path(), problem),
            true);
        return false;
    }
    QByteArray password;
    if (!settings_.passwordFile.isEmpty()) {
        bool ok = false;
        password = readPasswordFile(settings_.passwordFile, &ok);
        if (!ok) {
            say(QStringLiteral("MQTT settings: PasswordFile %1 cannot be read; nothing is "
                               "published")
                    .arg(settings_.passwordFile),
                true);
            return false;
        }
    }
    if (const QString warning = passwordFileWarning(settings_.passwordFile); !warning.isEmpty())
        say(warning, true);
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });

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
    const DiskQueue::Opened opened = queue_->open();
    if (!opened.usable) {
        // Waiting readings and the numbers given are in that file: it is
        // never replaced by an empty one.
        say(QStringLiteral("MQTT: %1; nothing is published").arg(opened.refusal), true);
        queue_.reset();
        shared_.reset();
        ::close(wakeFd_);
        wakeFd_ = -1;
        return false;
    }
    reportOpenedQueue(opened);
    const std::vector<DiskQueue::Entry>& waiting = opened.waiting;
    reportQueueFile();
    run_ = QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0');
    shared_->readings.assign(waiting.begin(), waiting.end());

    ClientThread::Config config{settings_, password, wakeFd_, this, [this] { drainEvents(); }};
    auto shared = shared_;
    thread_ = std::thread([config, shared]() mutable { ClientThread(config, shared).run(); });
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
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
        shared_->flushUntil = SteadyClock::now() + std::chrono::milliseconds(flushMs);
        shared_->goodbyeAlarm = offlineAlarmJson(clock_.now());
    }
    wake();
    thread_.join();
    // Acknowledgements that came at the end are still taken off the queue.
    drainEvents();
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
            reportQueueFile();
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
    std::lock_guard lock(shared_->mutex);
    // Changes wait like readings do, within a bound of their own; the newest
    // is always the retained state.
    auto& alarms = shared_->alarms;
    if (alarms.size() >= 1000)
        alarms.pop_front();
    alarms.push_back({queue_->nextSeq() - 1, body});
    shared_->latestAlarm = body;
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
    const FiledAfter after = readingsFiledAfter(workingPath, last, queue_->capacity());
    if (!after.error.isEmpty()) {
        say(QStringLiteral("MQTT: the working file %1 cannot be read (%2): readings filed after "
                           "the last one queued are not sent")
                .arg(workingPath, after.error),
            true);
        return 0;
    }
    for (const FiledLine& line : after.lines) {
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
    const QDateTime now = clock_.now();
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
    {
        std::lock_guard lock(shared_->mutex);
        auto& q = shared_->readings;
        if (pushed.dropped && !q.empty() && q.front().seq == *pushed.dropped)
            q.pop_front();
        q.push_back({pushed.seq, body});
    }
    // Nearly every reading leaves the alarm as it was: its message is made
    // only for a change. A recovered reading is older than the state.
    if (const QString alarm = alarmLevelName(level); !recovered && alarm != lastAlarm_)
        setAlarm(alarm, alarmJson(level, now));
    wake();
    if (pushed.dropped)
        ++dropped_;
    if (pushed.dropped && !fullReported_) {
        fullReported_ = true;
        say(QStringLiteral("MQTT: the queue is full (%1 readings); the oldest readings are "
                           "dropped")
                .arg(queue_->capacity()),
            true);
    }
    reportQueueFile();
}

void MqttPublisher::reportQueueFile() {
    if (!diskReported_ && !queue_->lastError().isEmpty()) {
        diskReported_ = true;
        say(QStringLiteral("MQTT: the queue file cannot be written (%1); readings wait in memory "
                           "until it can")
                .arg(queue_->lastError()),
            true);
    } else if (diskReported_ && queue_->lastError().isEmpty()) {
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
    setAlarm(alarmLevelName(AlarmLevel::LostContact),
             alarmJson(AlarmLevel::LostContact, clock_.now()));
    wake();
}

QString defaultStationName() {
    const QString configured = qEnvironmentVariable("ZEL_DEFAULT_STATION").trimmed();
    return configured.isEmpty() ? QSysInfo::machineHostName() : configured;
}

std::unique_ptr<MqttPublisher>
publishStation(Station& station, const IniFile& ini, const QString& queueFolder, const Clock& clock,
               QObject* context,
               const std::function<void(const QString& text, bool problem)>& report) {
    auto publisher = std::make_unique<MqttPublisher>(clock);
    QObject::connect(publisher.get(), &MqttPublisher::message, context, report);
    if (!publisher->start(ini, queueFolder, defaultStationName()))
        return nullptr;
    MqttPublisher* p = publisher.get();
    const QString workingPath = queueFolder + QStringLiteral("/ZelTemp.csv");
    const QByteArray workingName = QFile::encodeName(workingPath);
    QObject::connect(
        &station, &Station::readingFiled, p,
        [p, &station, workingName](const Reading& r, AlarmLevel level) {
            // The line just written ends the working file.
            struct stat st {};
            DiskQueue::Identity filedAs;
            if (::stat(workingName.constData(), &st) == 0)
                filedAs = {qint64(st.st_size),
                           lineFingerprint(readingLine(recordOf(r, station.family().record))), 0};
            p->publishReading(r, level, filedAs);
        });
    p->catchUp(workingPath, station.family().record, [&station](const Reading& r) -> AlarmLevel {
        if (!std::isfinite(r.value))
            return AlarmLevel::Fault;
        const Settings& s = station.settings();
        const double v =
            station.conversation().rangesUnits() ? inThresholdUnit(r.value, r.unit) : r.value;
        return v > s.Threshold2   ? AlarmLevel::High2
               : v > s.Threshold1 ? AlarmLevel::High1
                                  : AlarmLevel::Normal;
    });
    QObject::connect(&station, &Station::lostContactRaised, p, [p] { p->publishLostContact(); });
    return publisher;
}

} // namespace zel

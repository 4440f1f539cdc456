#include "telemetry/mqtt_client.h"

#include "common/failure.h"
#include "telemetry/broker_probe.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mosquitto.h>
#include <poll.h>
#include <unordered_map>

namespace zel {

using SteadyClock = std::chrono::steady_clock;

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
    ClientThread(MqttClientConfig config, std::shared_ptr<MqttShared> shared)
        : c_(std::move(config)), shared_(std::move(shared)), host_(c_.settings.host.toUtf8()),
          clientId_(c_.settings.clientId.toUtf8()),
          readingTopic_(c_.settings.topic(QStringLiteral("reading")).toUtf8()),
          alarmTopic_(c_.settings.topic(QStringLiteral("alarm")).toUtf8()),
          statusTopic_(c_.settings.topic(QStringLiteral("status")).toUtf8()),
          healthTopic_(c_.settings.topic(QStringLiteral("health")).toUtf8()) {}

    void run() {
        int retryMs = FirstRetryMs;
        while (!stopping()) {
            const auto began = SteadyClock::now();
            const Expected<void> ended = session();
            const bool wasConnected = sessionWasUp_;
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
            if (!ended && !ended.error().text.isEmpty())
                post({wasConnected ? MqttShared::Kind::Lost : MqttShared::Kind::Problem,
                      quickLosses_ >= 3 ? 1u : 0u, ended.error().text});
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
        bool wake = false;
        {
            std::lock_guard lock(shared_->mutex);
            wake = shared_->events.empty() && !shared_->drainComing;
            shared_->events.push_back(std::move(event));
        }
        if (wake)
            QMetaObject::invokeMethod(c_.owner, c_.drain, Qt::QueuedConnection);
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
                takeWakeUps(c_.wakeFd);
        }
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
        acked_.push_back(it->second);
        inflight_.erase(it);
    }

    // The acknowledgements one read of the socket brought go to the
    // publisher's thread together: a burst of them wakes it once, not once
    // each.
    void passOnAcknowledgements() {
        if (acked_.empty())
            return;
        bool wake = false;
        {
            std::lock_guard lock(shared_->mutex);
            auto& q = shared_->readings;
            for (const quint64 seq : acked_) {
                const auto e = findReading(q, seq);
                if (e != q.end() && e->seq == seq)
                    q.erase(e);
            }
            wake = shared_->events.empty() && !shared_->drainComing;
            for (const quint64 seq : acked_)
                shared_->events.push_back({MqttShared::Kind::Acked, seq, {}});
        }
        acked_.clear();
        if (wake)
            QMetaObject::invokeMethod(c_.owner, c_.drain, Qt::QueuedConnection);
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
                const NextSend next = nextSend(shared_->readings, shared_->alarms, nextSeq_,
                                               qsizetype(inflight_.size()), InflightWindow);
                if (next.what == NextSend::What::Alarm) {
                    alarm = std::move(shared_->alarms.front().body);
                    shared_->alarms.pop_front();
                } else if (next.what == NextSend::What::Reading) {
                    reading = shared_->readings[next.reading];
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

    // One turn of the socket: a failure when the connection is gone.
    Expected<void> turn(mosquitto* m, int timeoutMs) {
        const int sock = mosquitto_socket(m);
        if (sock < 0)
            return fail(Failure::Kind::Other,
                        QStringLiteral("MQTT: lost the connection to broker %1")
                            .arg(c_.settings.endpoint()));
        pollfd fds[2] = {{sock, short(POLLIN | (mosquitto_want_write(m) ? POLLOUT : 0)), 0},
                         {c_.wakeFd, POLLIN, 0}};
        ::poll(fds, 2, timeoutMs);
        if (fds[1].revents)
            takeWakeUps(c_.wakeFd);
        int rc = MOSQ_ERR_SUCCESS;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            rc = mosquitto_loop_read(m, 64);
            passOnAcknowledgements();
        }
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
            return fail(Failure::Kind::Other,
                        (gotConnack_ ? QStringLiteral("MQTT: lost the connection to broker %1: %2")
                                     : QStringLiteral("MQTT: cannot connect to broker %1: %2"))
                            .arg(c_.settings.endpoint(), why));
        }
        return {};
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
            while (inflight_.count(mid) && SteadyClock::now() < until && turn(m, 50)) {
            }
        }
        mosquitto_disconnect(m);
        for (int i = 0; i < 10 && mosquitto_socket(m) >= 0 && mosquitto_want_write(m); ++i)
            (void)turn(m, 20);
    }

    // One connection from connect to loss or stop. True when it was up.
    // A client connecting to the broker (its login not answered yet).
    Expected<mosquitto*> connectClient() {
        // A plain TCP probe of a TLS port shows up at the broker as a failed
        // handshake: with TLS only the name is looked up first.
        const bool probe = c_.settings.caFile.isEmpty();
        // libmosquitto closes descriptor 0 when it refuses an id (it is
        // not its socket yet): an id it would refuse is never handed to it.
        if (mosquitto_validate_utf8(clientId_.constData(), int(clientId_.size())) !=
            MOSQ_ERR_SUCCESS) {
            return fail(Failure::Kind::Settings,
                        QStringLiteral("MQTT: the client id %1 is not usable")
                            .arg(QString::fromUtf8(clientId_)));
        }
        const BrokerAddress broker{c_.settings.host, c_.settings.port, c_.settings.endpoint()};
        if (Expected<void> reached = probeBroker(
                broker, probe, c_.wakeFd, [this] { return stopping(); }, ProbeTimeoutMs);
            !reached)
            return tl::unexpected(reached.error());
        mosquitto* m = mosquitto_new(clientId_.constData(), true, this);
        if (!m)
            return fail(
                Failure::Kind::Other,
                QStringLiteral("MQTT: cannot make a client: %1").arg(errorText(MOSQ_ERR_ERRNO)));
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
            mosquitto_destroy(m);
            return fail(Failure::Kind::Other,
                        QStringLiteral("MQTT: cannot connect to broker %1: %2")
                            .arg(c_.settings.endpoint(), why));
        }
        return m;
    }

    // One connection from connect to loss or stop; `sessionWasUp_` says
    // whether it was up. A failure says why it ended (without a text: a
    // stop).
    Expected<void> session() {
        sessionWasUp_ = false;
        Expected<mosquitto*> made = connectClient();
        if (!made)
            return tl::unexpected(made.error());
        mosquitto* m = *made;
        Expected<void> ended;
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
                ended = fail(Failure::Kind::Refused,
                             QStringLiteral("MQTT: broker %1 refused station %2: %3")
                                 .arg(c_.settings.endpoint(), c_.settings.station,
                                      QString::fromUtf8(mosquitto_connack_string(connackRc_))));
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
                ended = fail(Failure::Kind::TimedOut,
                             QStringLiteral("MQTT: broker %1 did not answer the login")
                                 .arg(c_.settings.endpoint()));
                break;
            }
            if (up)
                publishWaiting(m);
            if (stopping() && (!up || flushDone())) {
                if (up)
                    goodbye(m);
                break;
            }
            if (Expected<void> turned = turn(m, stopping() ? 20 : 1000); !turned) {
                if (gotConnack_ && connackRc_ != 0)
                    continue; // told as a refused login above
                ended = std::move(turned);
                break;
            }
        }
        passOnAcknowledgements();
        mosquitto_destroy(m);
        if (up)
            firstSession_ = false;
        sessionWasUp_ = up;
        return ended;
    }

    MqttClientConfig c_;
    std::shared_ptr<MqttShared> shared_;
    QByteArray host_, clientId_, readingTopic_, alarmTopic_, statusTopic_, healthTopic_;
    std::unordered_map<int, quint64> inflight_; // message id -> reading number
    std::vector<quint64> acked_;                // read from the socket, not yet passed on
    quint64 nextSeq_ = 0;
    bool alarmRepeated_ = false;
    bool healthRepeated_ = false;
    bool gotConnack_ = false;
    int connackRc_ = 0;
    QString tlsReason_;
    int quickLosses_ = 0;       // sessions in a row that the broker ended soon after login
    bool sessionWasUp_ = false; // the last session() was connected
    bool firstSession_ = true;  // no session of this run was up before
    bool reannounce_ = false;   // another client marked the station offline
};

} // namespace
void runMqttClient(MqttClientConfig config, std::shared_ptr<MqttShared> shared) {
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });
    ClientThread(std::move(config), std::move(shared)).run();
}

} // namespace zel

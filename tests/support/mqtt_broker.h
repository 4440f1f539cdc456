#pragma once
// A private mosquitto broker for tests, on a free loopback port with its own
// configuration (never the system's service), and a mosquitto_sub that
// records what the station publishes.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zel::test {

inline int freeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

inline bool loopbackAccepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

inline QString toolPath(const QString& name) {
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
    return path;
}

class MqttBroker {
public:
    MqttBroker() : port_(freeLoopbackPort()) {}
    ~MqttBroker() { stop(); }

    int port() const { return port_; }
    QString log() { return log_ += QString::fromUtf8(process_.readAll()); }

    // With a user, anonymous clients are refused and only this password works.
    // `extra`: more lines for the listener (TLS files, for instance).
    bool start(const QString& user = {}, const QString& password = {}, const QString& extra = {}) {
        QString conf = QStringLiteral("listener %1 127.0.0.1\nuser root\n"
                                      "persistence true\npersistence_location %2/\n"
                                      "max_queued_messages 100000\nlog_dest stdout\n")
                           .arg(port_)
                           .arg(dir_.path()) +
                       extra;
        if (user.isEmpty()) {
            conf += "allow_anonymous true\n";
        } else {
            const QString passwords = dir_.filePath("passwords");
            if (QProcess::execute(toolPath("mosquitto_passwd"),
                                  {"-c", "-b", passwords, user, password}) != 0)
                return false;
            conf += "allow_anonymous false\npassword_file " + passwords + "\n";
        }
        QFile f(dir_.filePath("mosquitto.conf"));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(conf.toUtf8()) < 0)
            return false;
        f.close();
        return restart();
    }
    // The same broker again, on the same port, with what it saved.
    bool restart() {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(toolPath("mosquitto"), {"-c", dir_.filePath("mosquitto.conf")});
        if (!process_.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([&] { return loopbackAccepts(port_); }, 5000);
    }
    void stop() {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
        log();
    }

private:
    int port_;
    QTemporaryDir dir_;
    QProcess process_;
    QString log_;
};

// mosquitto_sub with a lasting session (QoS 1, clean session off), so what
// is published while it reconnects waits for it at the broker.
class MqttSubscriber {
public:
    ~MqttSubscriber() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }
    bool start(int port, const QString& topic) {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        // Line-buffered: a pipe would hold the lines back.
        process_.start(toolPath("stdbuf"), {"-oL", toolPath("mosquitto_sub"), "-h", "127.0.0.1",
                                            "-p", QString::number(port), "-t", topic, "-q", "1",
                                            "-c", "-i", "zel-test-subscriber", "-v", "-d"});
        if (!process_.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([&] { return read().contains("Subscribed (mid"); }, 5000);
    }
    // Everything printed so far.
    const QString& read() {
        text_ += QString::fromUtf8(process_.readAll());
        return text_;
    }
    // Payloads received on `topic`, in order. A message the broker delivers
    // to this subscriber again after its own restart (flagged DUP, and seen
    // before) is the broker's repeat on its leg, not the station's: left out.
    QStringList payloads(const QString& topic) {
        QStringList out;
        const QString head = topic + ' ';
        bool repeat = false;
        for (const QString& line : read().split('\n', Qt::SkipEmptyParts)) {
            if (line.contains(" received PUBLISH ("))
                repeat = line.contains(" received PUBLISH (d1");
            else if (line.startsWith(head) && !(repeat && out.contains(line.mid(head.size()))))
                out << line.mid(head.size());
        }
        return out;
    }

private:
    QProcess process_;
    QString text_;
};

} // namespace zel::test

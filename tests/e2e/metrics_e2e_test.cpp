// zel-monitor's /metrics scraped by a real Prometheus on loopback, with
// zel-sim on a pseudo-terminal: the counts match the working file, the dose
// rate follows the instrument, the alarm level rises with it, and lost
// contact shows when the instrument falls silent. Everything stays on
// 127.0.0.1.
#include "support/mqtt_broker.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cmath>
#include <csignal>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using zel::test::freeLoopbackPort;

// GET on loopback; the body, empty when there is no answer within `ms`.
QByteArray httpGet(const QUrl& url, int ms = 5000, int* status = nullptr) {
    QNetworkAccessManager nam;
    nam.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply = nam.get(QNetworkRequest(url));
    const bool finished = QTest::qWaitFor([&] { return reply->isFinished(); }, ms);
    QByteArray body;
    if (finished && reply->error() == QNetworkReply::NoError)
        body = reply->readAll();
    if (status)
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->abort();
    delete reply;
    return body;
}

// A server of the Prometheus family on a free loopback port, with a
// temporary folder of its own; ready once /-/ready answers 200.
class LoopbackServer {
public:
    ~LoopbackServer() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000))
                process_.kill();
            process_.waitForFinished(3000);
        }
    }
    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path));
    }
    int port() const { return port_; }
    QString log() { return log_ += QString::fromUtf8(process_.readAll()); }

protected:
    bool run(const QString& program, const QStringList& args) {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, args);
        if (!process_.waitForStarted(5000))
            return false;
        return QTest::qWaitFor(
            [&] {
                int status = 0;
                httpGet(url("/-/ready"), 1000, &status);
                return status == 200;
            },
            30000);
    }
    QString listenArgument() const {
        return QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port_);
    }

    QTemporaryDir dir_;
    QProcess process_;
    QString log_;
    int port_ = freeLoopbackPort();
};

// A Prometheus of its own: one scrape job for the monitor, every second.
class Prometheus : public LoopbackServer {
public:
    // With `alertmanager` (a port), the shipped alert rules are loaded and
    // their alerts sent there.
    bool start(int target, int alertmanager = 0) {
        QFile conf(dir_.filePath("prometheus.yml"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(QStringLiteral("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                  "scrape_configs:\n  - job_name: zel\n    static_configs:\n"
                                  "      - targets: ['127.0.0.1:%1']\n")
                       .arg(target)
                       .toUtf8());
        if (alertmanager)
            conf.write(QStringLiteral("rule_files:\n  - %1/contrib/prometheus/zel-alerts.yml\n"
                                      "alerting:\n  alertmanagers:\n    - static_configs:\n"
                                      "        - targets: ['127.0.0.1:%2']\n")
                           .arg(QStringLiteral(ZEL_SOURCE_DIR))
                           .arg(alertmanager)
                           .toUtf8());
        conf.close();
        return run(QStringLiteral(PROMETHEUS_PATH), {"--config.file=" + conf.fileName(),
                                                     "--storage.tsdb.path=" + dir_.filePath("data"),
                                                     listenArgument(), "--log.level=warn"});
    }
    // The result of an instant query.
    QJsonArray query(const QString& promql) {
        QUrl u = url("/api/v1/query");
        QUrlQuery q;
        q.addQueryItem("query", promql);
        u.setQuery(q);
        const QJsonObject o = QJsonDocument::fromJson(httpGet(u)).object();
        return o.value("data").toObject().value("result").toArray();
    }
    // The value of a query with one series; NaN when there is none.
    double value(const QString& promql) {
        const QJsonArray r = query(promql);
        if (r.size() != 1)
            return std::nan("");
        return r.at(0).toObject().value("value").toArray().at(1).toString().toDouble();
    }
};

// Debian's Alertmanager with the shipped example configuration, its
// control-room webhook pointed at `receiver`; no cluster port.
class Alertmanager : public LoopbackServer {
public:
    bool start(int receiver) {
        QFile shipped(QStringLiteral(ZEL_SOURCE_DIR "/contrib/alertmanager/zel-alertmanager.yml"));
        QFile conf(dir_.filePath("alertmanager.yml"));
        if (!shipped.open(QIODevice::ReadOnly) || !conf.open(QIODevice::WriteOnly))
            return false;
        QByteArray text = shipped.readAll();
        if (!text.contains("http://127.0.0.1:9095/zel-alerts"))
            return false;
        text.replace("http://127.0.0.1:9095/zel-alerts",
                     QStringLiteral("http://127.0.0.1:%1/zel-alerts").arg(receiver).toUtf8());
        conf.write(text);
        conf.close();
        return run(QStringLiteral(ALERTMANAGER_PATH),
                   {"--config.file=" + conf.fileName(), "--storage.path=" + dir_.filePath("data"),
                    listenArgument(), "--cluster.listen-address=", "--log.level=warn"});
    }
};

// A webhook receiver on loopback: keeps the body of every POST and answers
// 200.
class WebhookReceiver : public QObject {
public:
    bool listen() { return server_.listen(QHostAddress::LocalHost); }
    int port() const { return server_.serverPort(); }
    QList<QJsonObject> bodies;

    WebhookReceiver() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { take(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

private:
    void take(QTcpSocket* s) {
        QByteArray& got = pending_[s];
        got += s->readAll();
        const qsizetype end = got.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        qsizetype length = 0;
        for (const QByteArray& line : got.left(end).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (got.size() < end + 4 + length)
            return;
        bodies << QJsonDocument::fromJson(got.mid(end + 4, length)).object();
        pending_.remove(s);
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

class MetricsE2e : public ::testing::Test {
protected:
    void SetUp() override {
        QDir().mkpath(dir.filePath("prog"));
        QDir().mkpath(dir.filePath("cfg/zel"));
        link = dir.filePath("tty");
        QFile dax(dir.filePath("prog/dax.ini"));
        ASSERT_TRUE(dax.open(QIODevice::WriteOnly));
        dax.write(
            QStringLiteral("[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%1\r\n")
                .arg(link)
                .toUtf8());
    }
    void TearDown() override {
        if (sim.state() != QProcess::NotRunning)
            ::kill(pid_t(sim.processId()), SIGCONT);
        for (QProcess* p : {&monitor, &sim}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    void writeSettings(const QByteArray& common, const QByteArray& metrics) {
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[COMMON]\r\n" + common + "[Metrics]\r\n" + metrics);
    }
    void startSim(const QStringList& extra = {}) {
        sim.start(QStringLiteral(ZEL_SIM_PATH), QStringList{"tarvo5", "--link", link} + extra);
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(link); }, 5000));
    }
    void startMonitor(const QStringList& wrapper = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZEL_HOME", dir.filePath("prog"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("cfg"));
        env.remove("JOURNAL_STREAM");
        monitor.setProcessEnvironment(env);
        if (wrapper.isEmpty())
            monitor.start(QStringLiteral(ZEL_MONITOR_PATH), {});
        else
            monitor.start(wrapper.first(), wrapper.mid(1) << QStringLiteral(ZEL_MONITOR_PATH));
        ASSERT_TRUE(monitor.waitForStarted(5000));
    }
    const QString& output() {
        output_ += QString::fromUtf8(monitor.readAllStandardOutput());
        return output_;
    }
    int count(const QString& kind) {
        int n = 0;
        for (const QString& line : output().split('\n', Qt::SkipEmptyParts))
            if (line.section(' ', 1).startsWith(kind + ' '))
                ++n;
        return n;
    }
    // The values of the working file's readings (third field, as written).
    QList<double> fileValues() {
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::ReadOnly);
        QList<double> values;
        for (const QString& line :
             QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(8))
            values << line.split(',').value(2).toDouble();
        return values;
    }
    QString metricsText() {
        return QString::fromUtf8(
            httpGet(QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort))));
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim, monitor;
    QString output_;
    int metricsPort = freeLoopbackPort();
};

TEST_F(MetricsE2e, PrometheusSeesTheReadingsTheAlarmAndTheLostContact) {
    Prometheus prometheus;
    ASSERT_TRUE(prometheus.start(metricsPort)) << prometheus.log().toStdString();
    // The simulator drifts up from 12 mR/h (to 15.6 after half a minute):
    // above the first threshold at once, above the second after about 12 s.
    writeSettings(
        "InsType=1\r\nMinInt=0\r\nSecInt=0.2\r\nThreshold1=5\r\nThreshold2=14\r\n"
        "LostContactInterval=2\r\n",
        QStringLiteral("Listen=127.0.0.1:%1\r\nStation=e2e\r\n").arg(metricsPort).toUtf8());
    startSim();
    startMonitor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("metrics") == 1; }, 5000))
        << output().toStdString();

    QList<int> levels; // each level Prometheus showed, in order
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const double level = prometheus.value("zel_alarm_level{job=\"zel\",station=\"e2e\"}");
            if (!std::isnan(level) && (levels.isEmpty() || levels.last() != int(level)))
                levels << int(level);
            QTest::qWait(200);
            return !levels.isEmpty() && levels.last() == 2;
        },
        45000))
        << output().toStdString() << prometheus.log().toStdString();
    EXPECT_EQ(levels, (QList<int>{1, 2}));

    // Every scraped dose rate is a reading of the file, in R/h, and they
    // rise with the simulator.
    const QList<double> filed = fileValues();
    const QJsonArray dose = prometheus.query("zel_reading_roentgens_per_hour[5m]");
    ASSERT_EQ(dose.size(), 1) << QJsonDocument(dose).toJson().toStdString();
    const QJsonArray samples = dose.at(0).toObject().value("values").toArray();
    ASSERT_GE(samples.size(), 5);
    double last = 0;
    QSet<double> distinct;
    for (const QJsonValue& sample : samples) {
        const double v = sample.toArray().at(1).toString().toDouble();
        const bool inFile = std::any_of(filed.begin(), filed.end(), [&](double f) {
            return std::abs(f * 1e-3 - v) <= 1e-9 * std::abs(v);
        });
        EXPECT_TRUE(inFile) << v;
        EXPECT_GE(v, last);
        last = v;
        distinct.insert(v);
    }
    EXPECT_GE(distinct.size(), 4);
    EXPECT_DOUBLE_EQ(prometheus.value("zel_alarm_threshold_roentgens_per_hour{level=\"2\"}"),
                     0.014);
    EXPECT_EQ(prometheus.value("zel_reading_unit_info{unit=\"mR/h\"}"), 1);

    // The simulator falls silent: lost contact, with the port still open.
    ::kill(pid_t(sim.processId()), SIGSTOP);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::qWait(200);
            return prometheus.value("zel_alarm_level") == 4;
        },
        20000))
        << output().toStdString();
    EXPECT_EQ(prometheus.value("zel_lost_contact_episodes_total"), 1);
    EXPECT_EQ(prometheus.value("zel_port_open"), 1);
    // The last dose rate is no longer served as if it were current.
    EXPECT_FALSE(metricsText().contains("zel_reading_roentgens_per_hour"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::qWait(200);
            return prometheus.query("zel_reading_roentgens_per_hour").isEmpty();
        },
        10000));
    // Nothing arrives any more: the scraped counts settle on the file's.
    const auto fileCount = [&] { return double(fileValues().size()); };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::qWait(200);
            return prometheus.value("zel_readings_received_total") == fileCount();
        },
        10000))
        << prometheus.value("zel_readings_received_total") << " / " << fileCount();
    EXPECT_EQ(prometheus.value("zel_readings_filed_total"), fileCount());
    EXPECT_GT(fileCount(), 20);
    EXPECT_EQ(prometheus.value("zel_write_failures_total"), 0);
    EXPECT_EQ(prometheus.value("up{job=\"zel\"}"), 1);
    EXPECT_EQ(prometheus.value("zel_build_info{version=\"" ZEL_VERSION_TEXT "\"}"), 1);

    // The text itself passes Prometheus' own check.
    const QString text = metricsText();
    ASSERT_TRUE(text.contains("zel_alarm_level{")) << text.toStdString();
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start(QStringLiteral(PROMTOOL_PATH), {"check", "metrics"});
    ASSERT_TRUE(check.waitForStarted(5000));
    check.write(text.toUtf8());
    check.closeWriteChannel();
    ASSERT_TRUE(check.waitForFinished(10000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAll().toStdString();
    EXPECT_EQ(check.readAll(), QByteArray()) << "no problem reported";

    ::kill(pid_t(sim.processId()), SIGCONT);
    ::kill(pid_t(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(8000));
    EXPECT_EQ(monitor.exitCode(), 0) << output().toStdString();
}

// The road of a dose alarm to the control room: zel-sim above Threshold 2,
// zel-monitor, Prometheus with the shipped rules, Alertmanager with the
// shipped route, and a webhook that receives the critical alert.
TEST_F(MetricsE2e, ADoseAboveTheSecondThresholdReachesTheControlRoom) {
    WebhookReceiver controlRoom;
    ASSERT_TRUE(controlRoom.listen());
    Alertmanager alertmanager;
    ASSERT_TRUE(alertmanager.start(controlRoom.port())) << alertmanager.log().toStdString();
    Prometheus prometheus;
    ASSERT_TRUE(prometheus.start(metricsPort, alertmanager.port()))
        << prometheus.log().toStdString();
    writeSettings(
        "InsType=1\r\nMinInt=0\r\nSecInt=0.5\r\nThreshold1=1\r\nThreshold2=5\r\n",
        QStringLiteral("Listen=127.0.0.1:%1\r\nStation=gate\r\n").arg(metricsPort).toUtf8());
    startSim({"--steady"});
    startMonitor();
    const auto doseAlert = [&]() -> QJsonObject {
        for (const QJsonObject& body : controlRoom.bodies)
            for (const QJsonValue& alert : body.value("alerts").toArray()) {
                const QJsonObject labels = alert.toObject().value("labels").toObject();
                if (labels.value("alertname") == "ZelDoseRateAboveSecondThreshold")
                    return alert.toObject();
            }
        return {};
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return !doseAlert().isEmpty(); }, 60000))
        << output().toStdString() << prometheus.log().toStdString()
        << alertmanager.log().toStdString();
    const QJsonObject alert = doseAlert();
    EXPECT_EQ(alert.value("status").toString(), "firing");
    const QJsonObject labels = alert.value("labels").toObject();
    EXPECT_EQ(labels.value("station").toString(), "gate");
    EXPECT_EQ(labels.value("severity").toString(), "critical");
    EXPECT_EQ(controlRoom.bodies.first().value("receiver").toString(), "zel-control-room");
    ::kill(pid_t(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(8000));
}

// SIGHUP starts afresh on the same address: the old server lets it go first.
TEST_F(MetricsE2e, AReloadServesAgainOnTheSameAddress) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.2\r\n",
                  QStringLiteral("Listen=127.0.0.1:%1\r\n").arg(metricsPort).toUtf8());
    startSim({"--steady"});
    startMonitor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return metricsText().contains("zel_reading_"); }, 10000))
        << output().toStdString();
    ::kill(pid_t(monitor.processId()), SIGHUP);
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("metrics") == 2; }, 10000))
        << output().toStdString();
    EXPECT_EQ(count("settings-error"), 0) << output().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return metricsText().contains("zel_reading_"); }, 10000))
        << output().toStdString();
    ::kill(pid_t(monitor.processId()), SIGTERM);
    ASSERT_TRUE(monitor.waitForFinished(8000));
    EXPECT_EQ(monitor.exitCode(), 0) << output().toStdString();
}

// A Listen it cannot use is one settings-error line naming the key, and
// exit code 2, before the port is opened.
TEST_F(MetricsE2e, AnUnusableListenIsASettingsErrorAndExitCodeTwo) {
    // A port that is taken: a listening socket of the test's own.
    const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&a), &len), 0);
    const QByteArray takenPort = QByteArray::number(ntohs(a.sin_port));

    struct Case {
        const char* name;
        QByteArray listen;
        QStringList wrapper;
        const char* named;
    };
    const Case cases[] = {
        {"no port", "127.0.0.1", {}, "has no port"},
        {"bad port", "127.0.0.1:99999", {}, "is not a port number"},
        {"IPv6 without brackets", "::1:9464", {}, "in brackets"},
        {"port in use", "127.0.0.1:" + takenPort, {}, "Address already in use"},
        // In a network namespace of its own the name server is out of
        // reach: the name cannot resolve, and no query leaves the machine.
        {"unresolvable name",
         "no-such-station.invalid:9464",
         {"unshare", "--net"},
         "does not resolve"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=1\r\n", "Listen=" + c.listen + "\r\n");
        output_.clear();
        startMonitor(c.wrapper);
        ASSERT_TRUE(monitor.waitForFinished(10000)) << output().toStdString();
        EXPECT_EQ(monitor.exitCode(), 2) << output().toStdString();
        EXPECT_EQ(count("settings-error"), 1) << output().toStdString();
        EXPECT_TRUE(output().contains("detail=\"Listen \\\"")) << output().toStdString();
        EXPECT_TRUE(output().contains(c.named)) << output().toStdString();
        EXPECT_EQ(count("start"), 0) << "the instrument's port is never opened";
    }
    ::close(taken);
}

} // namespace

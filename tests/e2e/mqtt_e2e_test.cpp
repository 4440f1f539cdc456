// zel-monitor with zel-sim publishing to a real mosquitto on loopback: every
// reading of the working file reaches the control room once and in order,
// through a broker restart, and a refused login never stops collection.
#include "support/mqtt_broker.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

using zel::test::MqttBroker;
using zel::test::MqttSubscriber;

const QString ReadingTopic = "zel/st1/reading";

class MqttE2e : public ::testing::Test {
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
        for (QProcess* p : {&monitor, &sim}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    void writeSettings(int port, const QByteArray& extra = {}) {
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\n"
                  "Threshold2=50\r\n[MQTT]\r\nHost=127.0.0.1\r\nStation=st1\r\nPort=" +
                  QByteArray::number(port) + "\r\n" + extra);
    }
    void start(const QStringList& args = {}) {
        startSim();
        startMonitor(args);
    }
    void startSim() {
        sim.start(QStringLiteral(ZEL_SIM_PATH), QStringList{"tarvo5", "--link", link});
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(link); }, 5000));
    }
    void startMonitor(const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZEL_HOME", dir.filePath("prog"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("cfg"));
        env.remove("JOURNAL_STREAM");
        monitor.setProcessEnvironment(env);
        monitor.start(QStringLiteral(ZEL_MONITOR_PATH), args);
        ASSERT_TRUE(monitor.waitForStarted(5000));
    }
    const QString& output() {
        output_ += QString::fromUtf8(monitor.readAllStandardOutput());
        return output_;
    }
    int count(const QString& piece) { return int(output().count(piece)); }
    // Reading lines of the working file.
    QStringList fileReadings() {
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(8);
    }
    void stopMonitor() {
        ::kill(pid_t(monitor.processId()), SIGTERM);
        EXPECT_TRUE(monitor.waitForFinished(8000));
        EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(monitor.exitCode(), 0) << monitor.readAllStandardError().toStdString();
        output();
    }
    // The published readings are exactly the file's, numbered 1..N in order.
    void expectEveryReadingOnceInOrder(MqttSubscriber& sub) {
        const QStringList file = fileReadings();
        ASSERT_GT(file.size(), 10);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sub.payloads(ReadingTopic).size() >= file.size(); }, 10000))
            << output().toStdString();
        const QStringList got = sub.payloads(ReadingTopic);
        ASSERT_EQ(got.size(), file.size()) << got.join('\n').toStdString();
        for (int i = 0; i < got.size(); ++i) {
            const QJsonObject o = QJsonDocument::fromJson(got[i].toUtf8()).object();
            const QStringList fields = file[i].split(',');
            ASSERT_EQ(o.value("seq").toInteger(), i + 1) << got[i].toStdString();
            EXPECT_DOUBLE_EQ(o.value("value").toDouble(), fields[2].toDouble())
                << got[i].toStdString() << " / " << file[i].toStdString();
            EXPECT_EQ(o.value("units").toString(), fields[3].trimmed());
            EXPECT_EQ(o.value("instrument").toString(), fields[0].trimmed());
            EXPECT_TRUE(o.value("time").toString().contains(QRegularExpression(
                "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")))
                << got[i].toStdString();
            EXPECT_EQ(o.value("alarm").toString(), "high1") << "the simulated 12 mR/h";
        }
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim, monitor;
    QString output_;
};

TEST_F(MqttE2e, EveryReadingArrivesOnceInOrderWithItsFields) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/#"));
    writeSettings(broker.port());
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads(ReadingTopic).size() >= 15; }, 15000))
        << output().toStdString();
    EXPECT_EQ(sub.payloads("zel/st1/status"), QStringList{"online"});
    stopMonitor();
    expectEveryReadingOnceInOrder(sub);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sub.payloads("zel/st1/status").size() == 2; }, 5000));
    EXPECT_EQ(sub.payloads("zel/st1/status").value(1), "offline");
    ASSERT_EQ(sub.payloads("zel/st1/alarm").size(), 1);
    EXPECT_TRUE(sub.payloads("zel/st1/alarm")[0].contains("\"high1\""));
}

TEST_F(MqttE2e, ABrokerRestartMidRunLosesNothing) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/reading"));
    writeSettings(broker.port());
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads(ReadingTopic).size() >= 10; }, 15000))
        << output().toStdString();
    broker.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("lost the connection") == 1; }, 5000))
        << output().toStdString();
    // Readings go on into the file while the broker is away.
    const qsizetype before = fileReadings().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileReadings().size() >= before + 10; }, 10000));
    ASSERT_TRUE(broker.restart()) << broker.log().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("connected to broker") == 2; }, 15000))
        << output().toStdString();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return sub.payloads(ReadingTopic).size() >= before + 15; }, 15000))
        << output().toStdString();
    stopMonitor();
    expectEveryReadingOnceInOrder(sub);
}

TEST_F(MqttE2e, AWrongPasswordIsRefusedOnceAndCollectionGoesOn) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start("station", "right-secret"));
    QFile pw(dir.filePath("pw"));
    ASSERT_TRUE(pw.open(QIODevice::WriteOnly));
    pw.write("wrong-secret\n");
    pw.close();
    writeSettings(broker.port(), "User=station\r\nPasswordFile=" + pw.fileName().toUtf8() + "\r\n");
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return count("refused station st1") >= 1; }, 10000))
        << output().toStdString();
    // Collection goes on through the retries, which say nothing new.
    const qsizetype before = fileReadings().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileReadings().size() >= before + 20; }, 10000));
    stopMonitor();
    EXPECT_EQ(count("refused station st1"), 1) << output().toStdString();
    EXPECT_EQ(count(" reading "), fileReadings().size());
    EXPECT_FALSE(output().contains("wrong-secret"));
    EXPECT_FALSE(broker.log().contains("wrong-secret"));
}

// The control room hears of a lost port on the retained alarm topic, and of
// the level again once readings are back.
TEST_F(MqttE2e, ALostPortRaisesLostContactAndReadingsBringTheLevelBack) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/+"));
    writeSettings(broker.port());
    start({"--reopen-seconds", "0.2"});
    const auto health = [&] {
        const QStringList all = sub.payloads("zel/st1/health");
        return all.isEmpty() ? QJsonObject()
                             : QJsonDocument::fromJson(all.last().toUtf8()).object();
    };
    const auto lastAlarmIs = [&](const char* level) {
        return sub.payloads("zel/st1/alarm").size() > 0 &&
               sub.payloads("zel/st1/alarm").last().contains(QString("\"%1\"").arg(level));
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastAlarmIs("high1"); }, 10000))
        << output().toStdString();
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastAlarmIs("lost-contact"); }, 5000))
        << sub.read().toStdString() << output().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return health().value("port").toString() == "lost"; }, 5000))
        << sub.read().toStdString();
    EXPECT_GT(health().value("taken").toInt(), 0);
    EXPECT_EQ(health().value("filed"), health().value("taken"));
    EXPECT_TRUE(health().value("lastReadingSeconds").isDouble());
    startSim();
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastAlarmIs("high1"); }, 10000))
        << sub.read().toStdString() << output().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return health().value("port").toString() == "open"; }, 5000))
        << sub.read().toStdString();
    stopMonitor();
    EXPECT_EQ(sub.payloads("zel/st1/alarm").filter("lost-contact").size(), 1)
        << sub.read().toStdString();
    // The last word at a stop: every reading taken is filed.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return health().value("taken").toInt() == fileReadings().size(); }, 5000))
        << sub.read().toStdString();
    EXPECT_EQ(health().value("filed").toInt(), fileReadings().size());
}

} // namespace

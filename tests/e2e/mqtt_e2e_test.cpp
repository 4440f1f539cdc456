// zel-monitor with zel-sim publishing to a real mosquitto on loopback: every
// reading of the working file reaches the control room once and in order,
// through a broker restart, and a refused login never stops collection.
#include "support/e2e_fixture.h"
#include "support/mqtt_broker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

using zel::test::MqttBroker;
using zel::test::MqttSubscriber;

const QString ReadingTopic = "zel/st1/reading";

class MqttE2e : public zel::test::MonitorE2e {
protected:
    void writeBrokerSettings(int port, const QByteArray& extra = {}) {
        writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\n"
                      "Threshold2=50\r\n[MQTT]\r\nHost=127.0.0.1\r\nStation=st1\r\nPort=" +
                      QByteArray::number(port) + "\r\n" + extra);
    }
    void start(const QStringList& args = {}) {
        startSim("tarvo5", {});
        startMonitor(args);
    }
    void stopCleanly() {
        const int code = stopMonitor(8000);
        EXPECT_EQ(monitor.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(code, 0) << monitor.readAllStandardError().toStdString();
    }
    // The published readings are exactly the file's, numbered 1..N in order.
    void expectEveryReadingOnceInOrder(MqttSubscriber& sub) {
        const QStringList file = fileReadingLines();
        ASSERT_GT(file.size(), 10);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sub.payloads(ReadingTopic).size() >= file.size(); }, 10000))
            << readOutput().toStdString();
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
};

TEST_F(MqttE2e, EveryReadingArrivesOnceInOrderWithItsFields) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/#"));
    writeBrokerSettings(broker.port());
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads(ReadingTopic).size() >= 15; }, 15000))
        << readOutput().toStdString();
    EXPECT_EQ(sub.payloads("zel/st1/status"), QStringList{"online"});
    stopCleanly();
    expectEveryReadingOnceInOrder(sub);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sub.payloads("zel/st1/status").size() == 2; }, 5000));
    EXPECT_EQ(sub.payloads("zel/st1/status").value(1), "offline");
    // high1 while it ran; a clean stop leaves no level behind.
    ASSERT_EQ(sub.payloads("zel/st1/alarm").size(), 2);
    EXPECT_TRUE(sub.payloads("zel/st1/alarm")[0].contains("\"high1\""));
    EXPECT_TRUE(sub.payloads("zel/st1/alarm")[1].startsWith("{\"alarm\":\"offline\""));
}

TEST_F(MqttE2e, ABrokerRestartMidRunLosesNothing) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/reading"));
    writeBrokerSettings(broker.port());
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads(ReadingTopic).size() >= 10; }, 15000))
        << readOutput().toStdString();
    broker.stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mentions("lost the connection") == 1; }, 5000))
        << readOutput().toStdString();
    // Readings go on into the file while the broker is away.
    const qsizetype before = fileReadingLines().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileReadingLines().size() >= before + 10; }, 10000));
    ASSERT_TRUE(broker.restart()) << broker.log().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mentions("connected to broker") == 2; }, 15000))
        << readOutput().toStdString();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return sub.payloads(ReadingTopic).size() >= before + 15; }, 15000))
        << readOutput().toStdString();
    stopCleanly();
    expectEveryReadingOnceInOrder(sub);
}

TEST_F(MqttE2e, AWrongPasswordIsRefusedOnceAndCollectionGoesOn) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start("station", "right-secret"));
    QFile pw(dir.filePath("pw"));
    ASSERT_TRUE(pw.open(QIODevice::WriteOnly));
    pw.write("wrong-secret\n");
    pw.close();
    writeBrokerSettings(broker.port(),
                        "User=station\r\nPasswordFile=" + pw.fileName().toUtf8() + "\r\n");
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mentions("refused station st1") >= 1; }, 10000))
        << readOutput().toStdString();
    // Collection goes on through the retries, which say nothing new.
    const qsizetype before = fileReadingLines().size();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileReadingLines().size() >= before + 20; }, 10000));
    stopCleanly();
    EXPECT_EQ(mentions("refused station st1"), 1) << readOutput().toStdString();
    EXPECT_EQ(mentions(" reading "), fileReadingLines().size());
    EXPECT_FALSE(readOutput().contains("wrong-secret"));
    EXPECT_FALSE(broker.log().contains("wrong-secret"));
}

// The control room hears of a lost port on the retained alarm topic, and of
// the level again once readings are back.
TEST_F(MqttE2e, ALostPortRaisesLostContactAndReadingsBringTheLevelBack) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/+"));
    writeBrokerSettings(broker.port());
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
        << readOutput().toStdString();
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastAlarmIs("lost-contact"); }, 5000))
        << sub.read().toStdString() << readOutput().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return health().value("port").toString() == "lost"; }, 5000))
        << sub.read().toStdString();
    EXPECT_EQ(health().value("instrument").toString(), "lost-contact");
    EXPECT_GT(health().value("taken").toInt(), 0);
    EXPECT_EQ(health().value("filed"), health().value("taken"));
    EXPECT_TRUE(health().value("lastReadingSeconds").isDouble());
    startSim("tarvo5", {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastAlarmIs("high1"); }, 10000))
        << sub.read().toStdString() << readOutput().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return health().value("port").toString() == "open"; }, 5000))
        << sub.read().toStdString();
    stopCleanly();
    EXPECT_EQ(sub.payloads("zel/st1/alarm").filter("lost-contact").size(), 1)
        << sub.read().toStdString();
    // The last word at a stop: every reading taken is filed.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return health().value("taken").toInt() == fileReadingLines().size(); }, 5000))
        << sub.read().toStdString();
    EXPECT_EQ(health().value("filed").toInt(), fileReadingLines().size());
    // Nothing live is left behind: the stopped station is no longer high1 or
    // connected.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return health().value("instrument").toString() == "stopped"; }, 5000))
        << sub.read().toStdString();
    EXPECT_EQ(health().value("port").toString(), "closed");
    EXPECT_TRUE(health().value("lastReadingSeconds").isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return lastAlarmIs("offline"); }, 5000))
        << sub.read().toStdString();
}

} // namespace

// zel-monitor killed again and again (SIGKILL, at any moment) while it
// collects from zel-sim and publishes to a private mosquitto: in the end the
// feed holds every reading of the working file once, and no seq is given to
// two readings.
#include "support/e2e_fixture.h"
#include "support/mqtt_broker.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <map>
#include <set>

namespace {

using zel::test::MqttBroker;
using zel::test::MqttSubscriber;

class FeedKillE2e : public zel::test::MonitorE2e {};

TEST_F(FeedKillE2e, EveryFiledReadingIsPublishedOnceThroughKills) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/reading"));
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\nThreshold2=50\r\n"
                  "[MQTT]\r\nHost=127.0.0.1\r\nStation=st1\r\nPort=" +
                  QByteArray::number(broker.port()) + "\r\n");
    startSim("tarvo5", {"--push-every", "0.03"});
    QRandomGenerator random(35);
    const int cycles = 24;
    for (int i = 0; i < cycles; ++i) {
        output.clear();
        startMonitor();
        ASSERT_TRUE(waitFor("start", 1, 10000)) << readOutput().toStdString();
        QTest::qWait(int(random.bounded(150, 700)));
        monitor.kill();
        ASSERT_TRUE(monitor.waitForFinished(5000));
    }
    output.clear();
    startMonitor();
    ASSERT_TRUE(waitFor("start", 1, 10000));
    QTest::qWait(1000);
    sim.kill();
    sim.waitForFinished(3000);
    QTest::qWait(500);
    EXPECT_EQ(stopMonitor(8000), 0) << readOutput().toStdString();

    const QStringList file = fileReadingLines();
    ASSERT_GT(file.size(), cycles * 3);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::set<std::pair<QString, qint64>> ids;
            for (const QString& p : sub.payloads("zel/st1/reading")) {
                const QJsonObject o = QJsonDocument::fromJson(p.toUtf8()).object();
                ids.insert({o.value("run").toString(), o.value("seq").toInteger()});
            }
            return qsizetype(ids.size()) >= file.size();
        },
        10000));
    // Each (run, seq) once, in seq order: a repeat is QoS 1 delivering twice.
    std::map<qint64, QJsonObject> bySeq;
    int seqReused = 0;
    for (const QString& p : sub.payloads("zel/st1/reading")) {
        const QJsonObject o = QJsonDocument::fromJson(p.toUtf8()).object();
        const auto [it, fresh] = bySeq.emplace(o.value("seq").toInteger(), o);
        if (!fresh && it->second.value("run") != o.value("run"))
            ++seqReused;
    }
    EXPECT_EQ(seqReused, 0);
    ASSERT_EQ(qsizetype(bySeq.size()), file.size()) << "filed = published, once each";
    qint64 expected = 1;
    int recovered = 0;
    for (const auto& [seq, o] : bySeq) {
        ASSERT_EQ(seq, expected) << "no gap in seq";
        const QStringList fields = file[int(expected - 1)].split(',');
        EXPECT_DOUBLE_EQ(o.value("value").toDouble(), fields[2].toDouble())
            << "reading " << seq << " is the file's";
        EXPECT_EQ(o.value("units").toString(), fields[3].trimmed());
        recovered += o.value("recovered").toBool() ? 1 : 0;
        ++expected;
    }
    RecordProperty("filed", int(file.size()));
    RecordProperty("recovered", recovered);
}

} // namespace

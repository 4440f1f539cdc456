// zel-monitor collecting from zel-sim and publishing to a private mosquitto:
// killed again and again (SIGKILL, at any moment), in the end the feed holds
// every reading of the working file once and no seq is given to two
// readings; on a nearly full disk the working file keeps growing, since the
// queue gives back the room of what the broker took.
#include "support/e2e_fixture.h"
#include "support/full_disk.h"
#include "support/mqtt_broker.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <cmath>
#include <map>
#include <set>

namespace {

using zel::test::MqttBroker;
using zel::test::MqttSubscriber;

class FeedE2e : public zel::test::MonitorE2e {
protected:
    void writeBrokerSettings(int port) {
        writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\nThreshold2=50\r\n"
                      "[MQTT]\r\nHost=127.0.0.1\r\nStation=st1\r\nPort=" +
                      QByteArray::number(port) + "\r\n");
    }
};

TEST_F(FeedE2e, EveryFiledReadingIsPublishedOnceThroughKills) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "zel/st1/reading"));
    writeBrokerSettings(broker.port());
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
    // Two readings filed just before a kill, before the queue took them.
    {
        const QString last = fileReadingLines().constLast();
        QFile f(prog() + "/ZelTemp.csv");
        ASSERT_TRUE(f.open(QIODevice::Append));
        for (const char* value : {"7.5", "8.25"}) {
            QStringList fields = last.split(',');
            fields[2] = value;
            f.write(fields.join(',').toUtf8() + "\r\n");
        }
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
        // The file writes the value as shown; the message the number it came as.
        EXPECT_NEAR(o.value("value").toDouble(), fields[2].toDouble(),
                    1e-6 * std::abs(fields[2].toDouble()))
            << "reading " << seq << " is the file's";
        EXPECT_EQ(o.value("units").toString(), fields[3].trimmed());
        recovered += o.value("recovered").toBool() ? 1 : 0;
        ++expected;
    }
    EXPECT_GE(recovered, 2) << "the two filed before the kill came back from the file";
    RecordProperty("filed", int(file.size()));
    RecordProperty("recovered", recovered);
}

TEST_F(FeedE2e, ANearlyFullDiskKeepsTakingReadingsWhileTheBrokerTakesThem) {
    zel::test::FullDisk disk(64 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    useProgramFolder(disk.file("prog"));
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    writeBrokerSettings(broker.port());
    startSim("tarvo5", {"--push-every", "0.01"});
    startMonitor();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileReadings() >= 20; }, 10000))
        << readOutput().toStdString();
    const QString working = prog() + "/ZelTemp.csv";
    const QString queue = prog() + "/ZelMqttQueue.txt";
    const qint64 before = QFileInfo(working).size();
    disk.fill(24 * 1024);
    qint64 largestQueue = 0;
    // Readings come a hundred a second; the broker takes them a few behind.
    const bool grew = QTest::qWaitFor(
        [&] {
            largestQueue = std::max(largestQueue, QFileInfo(queue).size());
            return QFileInfo(working).size() - before > 16 * 1024;
        },
        30000);
    EXPECT_TRUE(grew) << "the working file takes most of the room left: "
                      << QFileInfo(working).size() - before << " bytes";
    EXPECT_LT(largestQueue, 8 * 1024);
    EXPECT_EQ(mentions("No space left on device"), 0) << readOutput().toStdString();
    disk.release();
}

} // namespace

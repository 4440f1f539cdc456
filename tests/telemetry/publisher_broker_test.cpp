// The publisher against a real mosquitto on loopback: order, retained alarm
// and status, and readings that wait on disk while no broker is there.
#include "station/clock.h"
#include "station/families.h"
#include "support/mqtt_broker.h"
#include "telemetry/mqtt_publisher.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zel {
namespace {

using test::MqttBroker;
using test::MqttSubscriber;

class PublisherBroker : public ::testing::Test {
protected:
    void configure(int port) {
        IniFile ini(dir.filePath("Zel.ini"));
        ini.write("MQTT", "Host", "127.0.0.1");
        ini.write("MQTT", "Port", QString::number(port));
        ini.write("MQTT", "Station", "st1");
        ini.write("MQTT", "TopicPrefix", "t");
    }
    std::unique_ptr<MqttPublisher> startPublisher() {
        auto p = std::make_unique<MqttPublisher>([this] { return clock.now(); });
        QObject::connect(p.get(), &MqttPublisher::message,
                         [this](const QString& text, bool) { messages << text; });
        EXPECT_TRUE(p->start(IniFile(dir.filePath("Zel.ini")), dir.path(), "host"));
        return p;
    }
    static void publish(MqttPublisher& p, int from, int to) {
        for (int i = from; i <= to; ++i) {
            Reading r;
            r.instrumentId = "id";
            r.value = i;
            r.unit = "mR/h";
            p.publishReading(r, i > 8 ? AlarmLevel::High2 : AlarmLevel::Normal);
        }
    }
    static QList<int> values(const QStringList& payloads, QList<qint64>* seq = nullptr) {
        QList<int> out;
        for (const QString& p : payloads) {
            const QJsonObject o = QJsonDocument::fromJson(p.toUtf8()).object();
            out << o.value("value").toInt();
            if (seq)
                *seq << o.value("seq").toInteger();
        }
        return out;
    }
    static QList<int> range(int from, int to) {
        QList<int> out;
        for (int i = from; i <= to; ++i)
            out << i;
        return out;
    }

    QTemporaryDir dir;
    SystemClock clock;
    QStringList messages;
};

TEST_F(PublisherBroker, ReadingsArriveInOrderWithRetainedAlarmAndStatus) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "t/st1/#")) << sub.read().toStdString();
    configure(broker.port());
    auto p = startPublisher();
    publish(*p, 1, 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads("t/st1/reading").size() >= 10; }, 10000))
        << sub.read().toStdString();
    QList<qint64> seq;
    EXPECT_EQ(values(sub.payloads("t/st1/reading"), &seq), range(1, 10));
    EXPECT_EQ(seq, QList<qint64>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return p->waiting() == 0; }, 5000));
    EXPECT_EQ(sub.payloads("t/st1/status"), QStringList{"online"});
    QStringList alarms = sub.payloads("t/st1/alarm");
    ASSERT_EQ(alarms.size(), 2) << "published on change only";
    EXPECT_TRUE(alarms[1].contains("\"high2\""));
    p->publishLostContact();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads("t/st1/alarm").size() == 3; }, 5000));
    EXPECT_TRUE(sub.payloads("t/st1/alarm")[2].contains("lost-contact"));

    p->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads("t/st1/status").size() == 2; }, 5000));
    EXPECT_EQ(sub.payloads("t/st1/status")[1], "offline");
    // A stopped station has no alarm level: its last one is no current state.
    ASSERT_EQ(sub.payloads("t/st1/alarm").size(), 4);
    const QJsonObject offline =
        QJsonDocument::fromJson(sub.payloads("t/st1/alarm")[3].toUtf8()).object();
    EXPECT_EQ(offline.value("alarm").toString(), "offline");
    EXPECT_FALSE(offline.contains("level"));

    // Retained: a control room that connects later sees the state at once.
    QProcess get;
    get.start(test::toolPath("mosquitto_sub"),
              {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t", "t/st1/+", "-v",
               "--retained-only", "-W", "2"});
    ASSERT_TRUE(get.waitForFinished(5000));
    const QString retained = QString::fromUtf8(get.readAllStandardOutput());
    EXPECT_TRUE(retained.contains("t/st1/status offline")) << retained.toStdString();
    EXPECT_TRUE(retained.contains("\"alarm\":\"offline\"")) << retained.toStdString();
    EXPECT_FALSE(retained.contains("lost-contact")) << retained.toStdString();
    EXPECT_FALSE(retained.contains("t/st1/reading")) << "readings are not retained";
}

// Two stations with one Station name: the second hears the first's
// "online" when it connects, and when the first stops and marks the station
// offline, the second says so and announces itself again.
TEST_F(PublisherBroker, TwoStationsWithOneNameAreToldAndTheLiveOneStaysOnline) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    configure(broker.port());
    auto first = startPublisher();
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->connected(); }, 10000));
    EXPECT_EQ(first->nameShared(), 0) << "alone, it hears only itself";

    QTemporaryDir otherFolder; // another program folder: another client id
    QFile::copy(dir.filePath("Zel.ini"), otherFolder.filePath("Zel.ini"));
    MqttPublisher second([&] { return clock.now(); });
    QStringList secondSaid;
    QObject::connect(&second, &MqttPublisher::message,
                     [&](const QString& text, bool) { secondSaid << text; });
    ASSERT_TRUE(second.start(IniFile(otherFolder.filePath("Zel.ini")), otherFolder.path(), "h"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.nameShared() == 1; }, 10000))
        << secondSaid.join('\n').toStdString();
    EXPECT_EQ(secondSaid.filter("already marked online").size(), 1);

    first->stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.nameShared() == 2; }, 10000))
        << secondSaid.join('\n').toStdString();
    EXPECT_EQ(secondSaid.filter("marked station st1 offline").size(), 1);
    QTest::qWait(500);
    QProcess get;
    get.start(test::toolPath("mosquitto_sub"),
              {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-t", "t/st1/status",
               "--retained-only", "-W", "2"});
    ASSERT_TRUE(get.waitForFinished(5000));
    EXPECT_EQ(QString::fromUtf8(get.readAllStandardOutput()).trimmed(), "online")
        << "the live station is online again";
    second.stop();
}

TEST_F(PublisherBroker, ReadingsWaitOnDiskUntilABrokerIsThere) {
    const int port = test::freeLoopbackPort();
    configure(port);
    {
        auto p = startPublisher();
        publish(*p, 1, 5);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return messages.filter("cannot reach broker").size() == 1; }, 10000))
            << messages.join('\n').toStdString();
        EXPECT_TRUE(messages.last().contains("refused")) << messages.last().toStdString();
        // Retries go on quietly: the same problem is told once.
        QTest::qWait(1600);
        EXPECT_EQ(messages.filter("cannot reach broker").size(), 1);
        EXPECT_EQ(p->waiting(), 5);
        p->stop();
    }
    // The next start (a restart of the program) sends them first, in order.
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    MqttSubscriber sub;
    ASSERT_TRUE(sub.start(broker.port(), "t/st1/reading"));
    configure(broker.port());
    auto p = startPublisher();
    EXPECT_EQ(p->waiting(), 5);
    publish(*p, 6, 8);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sub.payloads("t/st1/reading").size() >= 8; }, 15000))
        << sub.read().toStdString() << messages.join('\n').toStdString();
    QList<qint64> seq;
    EXPECT_EQ(values(sub.payloads("t/st1/reading"), &seq), range(1, 8));
    EXPECT_EQ(seq, QList<qint64>({1, 2, 3, 4, 5, 6, 7, 8}));
    // Each start names itself: the first five keep the run they were given.
    QStringList runs;
    for (const QString& payload : sub.payloads("t/st1/reading"))
        runs << QJsonDocument::fromJson(payload.toUtf8()).object().value("run").toString();
    ASSERT_EQ(runs.size(), 8);
    EXPECT_FALSE(runs[0].isEmpty());
    EXPECT_EQ(runs.mid(0, 5), QStringList(5, runs[0]));
    EXPECT_EQ(runs.mid(5), QStringList(3, runs[5]));
    EXPECT_NE(runs[0], runs[5]);
}

TEST_F(PublisherBroker, BadSettingsSayWhyAndPublishNothing) {
    IniFile ini(dir.filePath("Zel.ini"));
    ini.write("MQTT", "Host", "127.0.0.1");
    ini.write("MQTT", "Station", "north/1");
    MqttPublisher p([&] { return clock.now(); });
    QObject::connect(&p, &MqttPublisher::message, [this](const QString& text, bool problem) {
        EXPECT_TRUE(problem);
        messages << text;
    });
    EXPECT_FALSE(p.start(ini, dir.path(), "host"));
    EXPECT_FALSE(p.running());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Station \"north/1\" may not contain +, # or /"))
        << messages[0].toStdString();
}

// Two instruments on one host under the same station name: each keeps its
// own session instead of taking over the other's again and again.
TEST_F(PublisherBroker, TwoStationsOfOneHostKeepTheirOwnSessions) {
    MqttBroker broker;
    ASSERT_TRUE(broker.start());
    configure(broker.port());
    QTemporaryDir other;
    ASSERT_TRUE(QFile::copy(dir.filePath("Zel.ini"), other.filePath("Zel.ini")));
    auto first = startPublisher();
    MqttPublisher second([&] { return clock.now(); });
    QObject::connect(&second, &MqttPublisher::message,
                     [this](const QString& text, bool) { messages << text; });
    ASSERT_TRUE(second.start(IniFile(other.filePath("Zel.ini")), other.path(), "host"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->connected() && second.connected(); }, 10000))
        << messages.join('\n').toStdString();
    EXPECT_NE(first->settings().clientId, second.settings().clientId);
    for (int round = 0; round < 4; ++round) {
        publish(*first, 1, 5);
        publish(second, 1, 5);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return first->waiting() + second.waiting() == 0; }, 10000))
            << messages.join('\n').toStdString();
    }
    EXPECT_EQ(messages.filter("lost the connection").size(), 0)
        << messages.join('\n').toStdString();
    first->stop();
    second.stop();

    // The same id set for both by mistake: the fight is told once each.
    messages.clear();
    for (const QString& ini : {dir.filePath("Zel.ini"), other.filePath("Zel.ini")})
        IniFile(ini).write("MQTT", "ClientId", "plant-7");
    first = startPublisher();
    MqttPublisher third([&] { return clock.now(); });
    QObject::connect(&third, &MqttPublisher::message,
                     [this](const QString& text, bool) { messages << text; });
    ASSERT_TRUE(third.start(IniFile(other.filePath("Zel.ini")), other.path(), "host"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->takeovers() + third.takeovers() >= 1; }, 20000))
        << messages.join('\n').toStdString();
    const qsizetype lost = messages.filter("lost the connection").size();
    QTest::qWait(2000); // the fight goes on, and is not told again
    const QStringList told = messages.filter("probably uses the same client id plant-7");
    EXPECT_GE(told.size(), 1);
    EXPECT_LE(told.size(), 2) << told.join('\n').toStdString();
    EXPECT_LE(messages.filter("lost the connection").size(), lost + 2)
        << messages.join('\n').toStdString();
}

// Certificates for a TLS broker on loopback: a CA that signed the broker's
// certificate (for 127.0.0.1) and the station's, and a CA that signed none.
struct TestCertificates {
    QTemporaryDir dir;
    bool make() {
        const auto ssl = [&](const QStringList& args) {
            QProcess p;
            p.setWorkingDirectory(dir.path());
            p.start(test::toolPath("openssl"), args);
            return p.waitForFinished(20000) && p.exitCode() == 0;
        };
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QFile ext(dir.filePath("ext"));
        if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=IP:127.0.0.1\n") < 0)
            return false;
        ext.close();
        for (const char* ca : {"ca", "other"})
            if (!ssl(QStringList{"req", "-x509"} + ec +
                     QStringList{"-keyout", QString(ca) + ".key", "-out", QString(ca) + ".crt",
                                 "-days", "2", "-subj", QString("/CN=zel test ") + ca}))
                return false;
        for (const char* who : {"server", "client"})
            if (!ssl(QStringList{"req"} + ec +
                     QStringList{"-keyout", QString(who) + ".key", "-out", QString(who) + ".csr",
                                 "-subj", QString("/CN=") + who}) ||
                !ssl({"x509", "-req", "-in", QString(who) + ".csr", "-CA", "ca.crt", "-CAkey",
                      "ca.key", "-CAcreateserial", "-out", QString(who) + ".crt", "-days", "2",
                      "-extfile", "ext"}))
                return false;
        return true;
    }
    QString file(const char* name) const { return dir.filePath(name); }
};

// TLS with a client certificate works, a wrong CA says why, and a password
// file every user can read is warned about.
TEST_F(PublisherBroker, TlsUsesTheStationsCertificateAndSaysWhyItFails) {
    TestCertificates certs;
    ASSERT_TRUE(certs.make());
    MqttBroker broker;
    ASSERT_TRUE(broker.start(
        {}, {},
        QString("cafile %1\ncertfile %2\nkeyfile %3\n"
                "require_certificate true\n")
            .arg(certs.file("ca.crt"), certs.file("server.crt"), certs.file("server.key"))))
        << broker.log().toStdString();
    configure(broker.port());
    IniFile ini(dir.filePath("Zel.ini"));
    ini.write("MQTT", "CAFile", certs.file("other.crt"));
    ini.write("MQTT", "CertFile", certs.file("client.crt"));
    ini.write("MQTT", "KeyFile", certs.file("client.key"));
    QFile pw(dir.filePath("pw"));
    ASSERT_TRUE(pw.open(QIODevice::WriteOnly));
    pw.write("secret\n");
    pw.close();
    pw.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
    ini.write("MQTT", "User", "st1");
    ini.write("MQTT", "PasswordFile", pw.fileName());
    {
        auto p = startPublisher();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return messages.filter("cannot connect to broker").size() >= 1; }, 10000))
            << messages.join('\n').toStdString();
        EXPECT_TRUE(
            messages.filter("cannot connect to broker")[0].contains("certificate verify failed"))
            << messages.join('\n').toStdString();
        EXPECT_EQ(messages.filter("can be read by every user").size(), 1)
            << messages.join('\n').toStdString();
    }

    messages.clear();
    ini.write("MQTT", "CAFile", certs.file("ca.crt"));
    auto p = startPublisher();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p->connected(); }, 10000))
        << messages.join('\n').toStdString() << broker.log().toStdString();
    publish(*p, 1, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return p->waiting() == 0; }, 10000));
}

} // namespace
} // namespace zel

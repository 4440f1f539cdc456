// zel-monitor against zel-sim on a real pseudo-terminal: unattended
// collection, its event lines, a clean stop on SIGTERM, and a port that goes
// away and comes back.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace {

struct Family {
    const char* simWord;
    int insType;
    QStringList simArgs;
};

class MonitorE2e : public ::testing::Test {
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

    void writeSettings(const QByteArray& common) {
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[COMMON]\r\n" + common);
    }
    void startSim(const QString& family, const QStringList& extra) {
        sim.start(QStringLiteral(ZEL_SIM_PATH), QStringList{family, "--link", link} + extra);
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(link); }, 5000));
    }
    void startMonitor(const QStringList& args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ZEL_HOME", dir.filePath("prog"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("cfg"));
        env.remove("JOURNAL_STREAM");
        monitor.setProcessEnvironment(env);
        monitor.start(QStringLiteral(ZEL_MONITOR_PATH), args);
        ASSERT_TRUE(monitor.waitForStarted(5000));
    }
    // Event lines seen so far, without their time stamp.
    QStringList events() {
        output += QString::fromUtf8(monitor.readAllStandardOutput());
        QStringList lines;
        for (const QString& line : output.split('\n', Qt::SkipEmptyParts))
            lines << line.section(' ', 1);
        return lines;
    }
    int count(const QString& kind) {
        int n = 0;
        for (const QString& e : events())
            if (e.startsWith(kind + ' ') || e == kind)
                ++n;
        return n;
    }
    bool waitFor(const QString& kind, int atLeast, int ms = 10000) {
        return QTest::qWaitFor([&] { return count(kind) >= atLeast; }, ms);
    }
    int fileReadings() {
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::ReadOnly);
        return int(f.readAll().count("\r\n")) - 8;
    }
    int stopMonitor() {
        ::kill(pid_t(monitor.processId()), SIGTERM);
        EXPECT_TRUE(monitor.waitForFinished(5000));
        events();
        return monitor.exitStatus() == QProcess::NormalExit ? monitor.exitCode() : -1;
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim, monitor;
    QString output;
};

TEST_F(MonitorE2e, TarvoReadingsAreFiledAndAlarmsReportedUntilSigterm) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\nThreshold2=50\r\n");
    startSim("tarvo5", {"--steady"}); // 12 mR/h: above the first threshold
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 5)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
    EXPECT_EQ(count("connected"), 1);
    EXPECT_EQ(count("collecting"), 1);
    EXPECT_EQ(count("alarm-raised level=high1"), 1) << "raised once, not per reading";
    EXPECT_EQ(fileReadings(), count("reading")) << "every reading reported is in the file";
    EXPECT_EQ(count("stop"), 1);
}

// Every family collects without a window: Tarvo-5 and Orvan are polled,
// Portables is told to send, the amplifier is started after its set-up.
TEST_F(MonitorE2e, EveryFamilyCollectsAndStopsCleanly) {
    const Family families[] = {
        {"portables", 0, {}},
        {"tarvo5", 1, {}},
        {"amp", 2, {"--interval", "1"}},
        {"orvan", 3, {}},
    };
    for (const Family& f : families) {
        SCOPED_TRACE(f.simWord);
        output.clear();
        QFile::remove(dir.filePath("prog/ZelTemp.csv"));
        writeSettings(QByteArray("InsType=") + QByteArray::number(f.insType) +
                      "\r\nMinInt=0\r\nSecInt=1\r\n");
        startSim(f.simWord, f.simArgs);
        startMonitor();
        ASSERT_TRUE(waitFor("reading", 3, 20000)) << output.toStdString();
        EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
        EXPECT_EQ(count("collecting"), 1) << output.toStdString();
        EXPECT_EQ(fileReadings(), count("reading")) << output.toStdString();
        sim.terminate();
        ASSERT_TRUE(sim.waitForFinished(3000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(link); }, 3000));
    }
}

TEST_F(MonitorE2e, UnusableSettingsEndWithAMessageAndAnError) {
    writeSettings("InsType=7\r\n");
    startMonitor();
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_EQ(monitor.exitCode(), 2);
    EXPECT_EQ(count("settings-error"), 1);
    EXPECT_TRUE(output.contains("InsType is 7")) << output.toStdString();

    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0\r\n");
    output.clear();
    startMonitor();
    ASSERT_TRUE(monitor.waitForFinished(5000));
    EXPECT_EQ(monitor.exitCode(), 2);
    EXPECT_EQ(count("settings-error"), 1);
    EXPECT_TRUE(output.contains("interval")) << output.toStdString();
}

TEST_F(MonitorE2e, APortThatGoesAwayIsReopenedAndCollectionGoesOn) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\n");
    startSim("tarvo5", {});
    startMonitor({"--reopen-seconds", "0.2"});
    ASSERT_TRUE(waitFor("reading", 3)) << output.toStdString();
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    ASSERT_TRUE(waitFor("port-lost", 1)) << output.toStdString();
    const int before = count("reading");
    startSim("tarvo5", {});
    ASSERT_TRUE(waitFor("port-back", 1)) << output.toStdString();
    ASSERT_TRUE(waitFor("reading", before + 3)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0);
    EXPECT_EQ(fileReadings(), count("reading"));
}

} // namespace

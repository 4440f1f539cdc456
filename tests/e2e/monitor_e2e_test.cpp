// zel-monitor against zel-sim on a real pseudo-terminal: unattended
// collection, its event lines, a clean stop on SIGTERM, and a port that goes
// away and comes back.
#include "station/serial_link.h"
#include "support/e2e_fixture.h"
#include "support/full_disk.h"

#include <QRegularExpression>

#include <csignal>
#include <cstring>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using zel::test::MonitorE2e;

struct Family {
    const char* simWord;
    int insType;
    QStringList simArgs;
};

TEST_F(MonitorE2e, TarvoReadingsAreFiledAndAlarmsReportedUntilSigterm) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\nThreshold2=50\r\n");
    startSim("tarvo5", {"--steady"}); // 12 mR/h: above the first threshold
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 5)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
    EXPECT_EQ(count("connected"), 1);
    EXPECT_EQ(count("collecting"), 1);
    EXPECT_EQ(count("alarm-raised level=1 alarm=high1"), 1) << "raised once, not per reading";
    EXPECT_EQ(fileReadings(), count("reading")) << "every reading reported is in the file";
    EXPECT_EQ(count("stop"), 1);
    // A status that comes with every reading is news once.
    EXPECT_EQ(count("status text=\"Instrument Succesfully Connected\""), 1) << output.toStdString();
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(
            QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d ")
                .match(line)
                .hasMatch())
            << line.toStdString();
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
        QFile::remove(prog() + "/ZelTemp.csv");
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

// SIGTERM tells an amplifier to stop sending: the last command it hears is
// the stop ('@'), after the start ('A').
TEST_F(MonitorE2e, SigtermStopsTheAmplifier) {
    writeSettings("InsType=2\r\nMinInt=0\r\nSecInt=1\r\n");
    startSim("amp", {"--interval", "1", "--verbose"});
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 2, 20000)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
    sim.terminate();
    ASSERT_TRUE(sim.waitForFinished(3000));
    QStringList commands;
    for (const QString& line : QString::fromUtf8(sim.readAllStandardError()).split('\n'))
        if (const auto m = QRegularExpression("rx 0A (\\w\\w)").match(line); m.hasMatch())
            commands << m.captured(1);
    ASSERT_FALSE(commands.isEmpty());
    EXPECT_EQ(commands.last(), "40") << commands.join(' ').toStdString();
    EXPECT_TRUE(commands.contains("41")) << commands.join(' ').toStdString();
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

// Settings it cannot use never run as something else: one settings-error
// line that names the file, key or option, and exit code 2, which the unit
// does not restart on.
TEST_F(MonitorE2e, EveryUnusableSettingIsOneLineAndExitCodeTwo) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        QStringList args;
        QString named;
    };
    const QString ini = dir.filePath("cfg/zel/Zel.ini");
    const auto goodIni = [this] { writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=1\r\n"); };
    const auto dax = [this](const QByteArray& port) {
        QFile f(prog() + "/dax.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Communication]\r\nPort=" + port + "\r\nBaudRate=9600\r\n");
    };
    const auto daxBaud = [this](const QByteArray& baud) {
        QFile f(prog() + "/dax.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Communication]\r\nPort=6\r\nBaudRate=" + baud + "\r\n");
    };
    const Case cases[] = {
        {"missing Zel.ini", [&] { QFile::remove(ini); }, {}, ini},
        {"unreadable Zel.ini",
         [&] {
             QFile::remove(ini);
             QDir().mkpath(ini); // a folder: no user can read it as a file
         },
         {},
         ini},
        {"Port=abc",
         [&] {
             QDir().rmdir(ini);
             goodIni();
             dax("abc");
         },
         {},
         "Port \\\"abc\\\""},
        {"Port=0", [&] { dax("0"); }, {}, "Port \\\"0\\\""},
        {"BaudRate=abc", [&] { daxBaud("abc"); }, {}, "BaudRate \\\"abc\\\""},
        {"BaudRate=-9600", [&] { daxBaud("-9600"); }, {}, "BaudRate \\\"-9600\\\""},
        {"SecInt=3000000",
         [&] {
             dax("6");
             writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=3000000\r\n");
         },
         {},
         "interval"},
        {"SecInt=1e9",
         [&] { writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=1e9\r\n"); },
         {},
         "interval"},
        {"SecInt=-2",
         [&] { writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=-2\r\n"); },
         {},
         "interval"},
        {"unknown option",
         [&] {
             dax("6");
             goodIni();
         },
         {"--bogus"},
         "bogus"},
        {"bad reopen seconds", [] {}, {"--reopen-seconds", "soon"}, "soon"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        output.clear();
        startMonitor(c.args);
        ASSERT_TRUE(monitor.waitForFinished(5000)) << output.toStdString();
        EXPECT_EQ(monitor.exitCode(), 2);
        EXPECT_EQ(count("settings-error"), 1) << output.toStdString();
        EXPECT_TRUE(output.contains(c.named)) << output.toStdString();
    }
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

// Restarts of the service, clean or not, never empty the working file: it
// holds every reading each run reported (a kill may file one more than it
// printed).
TEST_F(MonitorE2e, RestartsKeepTheReadingsOfEveryRun) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\n");
    startSim("tarvo5", {});
    int reported = 0, kills = 0;
    for (int signal : {SIGTERM, SIGTERM, SIGKILL, SIGKILL, SIGTERM}) {
        SCOPED_TRACE(signal);
        output.clear();
        startMonitor();
        ASSERT_TRUE(waitFor("reading", 3)) << output.toStdString();
        ::kill(pid_t(monitor.processId()), signal);
        ASSERT_TRUE(monitor.waitForFinished(5000));
        reported += count("reading");
        kills += signal == SIGKILL;
        EXPECT_GE(fileReadings(), reported) << output.toStdString();
        EXPECT_LE(fileReadings(), reported + kills);
    }
}

// A full disk under the program folder: the stop line tells readings taken
// from readings filed, both agree with the event lines and the file, and the
// exit code says readings were lost.
TEST_F(MonitorE2e, AFullDiskCountsReadingsTakenAndFiledApart) {
    zel::test::FullDisk disk(64 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    ASSERT_NO_FATAL_FAILURE(collectUntilTheDiskIsFull(disk));
    const int before = count("reading");
    ASSERT_TRUE(waitFor("reading", before + 5)) << output.toStdString();
    // Readings lost with the process are no clean stop.
    EXPECT_EQ(stopMonitor(), 74);
    const QRegularExpressionMatch stop =
        QRegularExpression("stop readings-taken=(\\d+) readings-filed=(\\d+) ").match(output);
    ASSERT_TRUE(stop.hasMatch()) << output.toStdString();
    EXPECT_EQ(stop.captured(1).toInt(), count("reading"));
    EXPECT_EQ(stop.captured(2).toInt(), fileReadings());
    EXPECT_LT(stop.captured(2).toInt(), stop.captured(1).toInt());
    // Every reading line keeps the reading's own time, also while the disk
    // refuses it: the file's trouble is a status of its own.
    const QStringList readings = events().filter(QRegularExpression("^reading "));
    EXPECT_EQ(readings.filter("time=\"Reading not written").size(), 0) << output.toStdString();
    EXPECT_EQ(readings.filter(QRegularExpression("time=\"\\d")).size(), readings.size())
        << output.toStdString();
    disk.release();
}

// A reload asked for while readings wait for a full disk would drop them
// with the old station: it waits, says so once, and happens once they are
// filed.
TEST_F(MonitorE2e, ASighupWaitsForTheReadingsTheDiskHasNotTaken) {
    zel::test::FullDisk disk(64 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    ASSERT_NO_FATAL_FAILURE(collectUntilTheDiskIsFull(disk));
    ::kill(pid_t(monitor.processId()), SIGHUP);
    ASSERT_TRUE(waitFor("reload-postponed", 1)) << output.toStdString();
    const int before = count("reading");
    ASSERT_TRUE(waitFor("reading", before + 5)) << output.toStdString();
    EXPECT_EQ(count("start"), 1) << "no reload while readings wait";
    EXPECT_EQ(count("reload-postponed"), 1) << "said once";
    disk.release();
    ASSERT_TRUE(waitFor("start", 2, 15000)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
    EXPECT_EQ(fileReadings(), count("reading")) << output.toStdString();
}

// A device another program holds is not a settings problem: the monitor
// says it is in use, and by whom, keeps trying, and collects once it is free.
TEST_F(MonitorE2e, APortInUseIsRetriedUntilItIsFree) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.2\r\n");
    startSim("tarvo5", {"--steady"});
    zel::SerialLink holder;
    ASSERT_TRUE(holder.open(link, 9600)) << holder.lastError().toStdString();
    startMonitor({"--reopen-seconds", "0.2"});
    ASSERT_TRUE(waitFor("port-unavailable", 1)) << output.toStdString();
    const QString line = events().filter(QRegularExpression("^port-unavailable ")).first();
    EXPECT_TRUE(line.contains("in use by another program")) << line.toStdString();
    EXPECT_TRUE(line.contains(QStringLiteral("process %1").arg(::getpid()))) << line.toStdString();
    EXPECT_FALSE(line.contains("dialout")) << line.toStdString();
    EXPECT_EQ(count("port-error"), 0);
    QTest::qWait(600);
    EXPECT_EQ(monitor.state(), QProcess::Running) << "no exit code 2: it keeps trying";
    holder.close();
    ASSERT_TRUE(waitFor("reading", 3)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0);
}

// SIGHUP reads the settings again: a clean stop, a fresh start, and no
// reading lost on the way.
TEST_F(MonitorE2e, SighupReadsTheSettingsAgain) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=5\r\nThreshold2=50\r\n");
    startSim("tarvo5", {"--steady"});
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 3)) << output.toStdString();
    EXPECT_EQ(count("alarm-raised level=1 alarm=high1"), 1);
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\nThreshold1=50\r\nThreshold2=500\r\n");
    ::kill(pid_t(monitor.processId()), SIGHUP);
    ASSERT_TRUE(waitFor("start", 2)) << output.toStdString();
    const int before = count("reading");
    ASSERT_TRUE(waitFor("reading", before + 3)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
    EXPECT_EQ(count("stop"), 2);
    EXPECT_EQ(fileReadings(), count("reading"));
    EXPECT_TRUE(events().last().startsWith("stop ")) << output.toStdString();
    // The new thresholds hold: the 12 mR/h are normal now.
    EXPECT_TRUE(events().filter(QRegularExpression("^reading .*alarm=normal")).size() >= 3)
        << output.toStdString();
}

// Under systemd: READY=1 once it runs, and a heartbeat from the main loop
// while the watchdog is on.
TEST_F(MonitorE2e, TellsSystemdItIsReadyAndAlive) {
    const QByteArray path = QFile::encodeName(dir.filePath("notify"));
    const int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\n");
    startSim("tarvo5", {});
    startMonitor({}, {"NOTIFY_SOCKET=" + QString::fromUtf8(path), "WATCHDOG_USEC=600000"});
    QStringList told;
    const auto heard = [&](const QString& what) {
        char buffer[512];
        ssize_t n;
        while ((n = ::recv(sock, buffer, sizeof buffer, 0)) > 0)
            told << QString::fromUtf8(buffer, int(n)).split('\n', Qt::SkipEmptyParts);
        return told.count(what);
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return heard("READY=1") == 1; }, 5000))
        << told.join(' ').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return heard("WATCHDOG=1") >= 3; }, 5000))
        << told.join(' ').toStdString();
    EXPECT_EQ(stopMonitor(), 0);
    EXPECT_EQ(heard("STOPPING=1"), 1) << told.join(' ').toStdString();
    ::close(sock);
}

} // namespace

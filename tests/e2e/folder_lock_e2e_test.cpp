// Two zel-monitor programs on one program folder: the second touches
// nothing, names the first and ends with the code the service unit restarts
// on; once the first is killed the folder is taken over.
#include "support/e2e_fixture.h"

#include <QDirIterator>
#include <QMap>

#include <csignal>
#include <sys/stat.h>

namespace {

using zel::test::MonitorE2e;

// Every file of the folder by name, with the inode it has: a file rewritten
// by rename, or a new one, shows here.
QMap<QString, quint64> inodesOf(const QString& folder) {
    QMap<QString, quint64> inodes;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st = {};
        if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
            inodes.insert(it.fileName(), quint64(st.st_ino));
    }
    return inodes;
}

TEST_F(MonitorE2e, SecondMonitorOnAFolderInUseTouchesNothingAndTakesOverAfterAKill) {
    // A broker nobody listens on: the first monitor keeps its readings in
    // the MQTT queue file, which a second one must not rewrite.
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\n"
                  "[MQTT]\r\nHost=127.0.0.1\r\nPort=1\r\nStation=st1\r\n");
    startSim("tarvo5", {});
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 3)) << output.toStdString();
    const QMap<QString, quint64> before = inodesOf(prog());
    ASSERT_TRUE(before.contains("ZelTemp.csv"));
    ASSERT_TRUE(before.contains("zel.lock"));
    ASSERT_TRUE(before.contains("ZelMqttQueue.txt"));

    QProcess second;
    second.setProcessEnvironment(monitor.processEnvironment());
    second.start(QStringLiteral(ZEL_MONITOR_PATH), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    const QString said = QString::fromUtf8(second.readAllStandardOutput());
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 75) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("folder-in-use folder=%1 holder=\"zel-monitor "
                                             "(process %2)\" holder-pid=%2")
                                  .arg(prog())
                                  .arg(monitor.processId())))
        << said.toStdString();
    EXPECT_EQ(said.count('\n'), 1) << said.toStdString();
    EXPECT_EQ(inodesOf(prog()), before);

    // The first goes on and files every reading it reports.
    const int reported = count("reading");
    ASSERT_TRUE(waitFor("reading", reported + 3)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();
    EXPECT_EQ(fileReadings(), count("reading"));

    // A killed holder leaves no lock behind.
    output.clear();
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 1)) << output.toStdString();
    ::kill(pid_t(monitor.processId()), SIGKILL);
    ASSERT_TRUE(monitor.waitForFinished(5000));
    output.clear();
    startMonitor();
    EXPECT_TRUE(waitFor("reading", 2)) << output.toStdString();
}

} // namespace

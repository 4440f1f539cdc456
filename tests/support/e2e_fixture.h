#pragma once
// The end-to-end fixtures: zel-sim on a real pseudo-terminal and a
// throw-away program folder whose dax.ini names it as port 6, with Zel.ini
// under cfg/zel; then either zel's main window in this process (SimE2e) or
// zel-monitor as a program of its own (MonitorE2e).
#include "support/full_disk.h"
// The families the tests start, by the number each is stored under.
#include "protocol/amp.h"
#include "protocol/orvan.h"
#include "protocol/portables.h"
#include "protocol/tarvo.h"
#include "support/recording_prompts.h"
#include "ui/main_window.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

namespace zel::test {

class SimFolder : public ::testing::Test {
protected:
    // The program folder: `programFolder` when a test sets it before the
    // folder is first used (a small file system, say), else one in `dir`.
    QString prog() const { return programFolder.isEmpty() ? dir.filePath("prog") : programFolder; }
    QString settingsPath() const { return dir.filePath("cfg/zel/Zel.ini"); }

    // dax.ini in the program folder: port 6 at 9600 baud is the simulator.
    void writePortSettings() {
        QDir().mkpath(prog());
        QFile dax(prog() + "/dax.ini");
        ASSERT_TRUE(dax.open(QIODevice::WriteOnly));
        dax.write(
            QStringLiteral("[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%1\r\n")
                .arg(link)
                .toUtf8());
    }
    // Zel.ini: section COMMON with `common`, which may go on with more
    // sections.
    void writeSettings(const QByteArray& common) {
        QDir().mkpath(dir.filePath("cfg/zel"));
        QFile ini(settingsPath());
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[COMMON]\r\n" + common);
    }
    void startSim(const QString& family, const QStringList& extra) {
        sim.start(QStringLiteral(ZEL_SIM_PATH), QStringList{family, "--link", link} + extra);
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(link); }, 5000));
    }
    // Complete reading lines of the working file (the header has eight).
    int fileReadings() {
        QFile f(prog() + "/ZelTemp.csv");
        f.open(QIODevice::ReadOnly);
        return int(f.readAll().count("\r\n")) - 8;
    }
    QStringList fileReadingLines() {
        QFile f(prog() + "/ZelTemp.csv");
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll()).split("\r\n", Qt::SkipEmptyParts).mid(8);
    }

    QTemporaryDir dir;
    QString programFolder;
    QString link = dir.filePath("tty");
    QProcess sim;
};

// zel's main window in this process.
class SimE2e : public SimFolder {
protected:
    // `family` is the stored "InsType"; `interval` the "MinInt"/"SecInt" pair;
    // `moreSettings` further lines of section COMMON.
    void configure(int family, const char* minutes = "0", const char* seconds = "1",
                   const char* moreSettings = "") {
        qputenv("ZEL_HOME", prog().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        writePortSettings();
        writeSettings(QStringLiteral("InsType=%1\r\nMinInt=%2\r\nSecInt=%3\r\n")
                          .arg(family)
                          .arg(QLatin1String(minutes), QLatin1String(seconds))
                          .toUtf8() +
                      moreSettings);
    }
    void TearDown() override {
        window.reset();
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            sim.waitForFinished(3000);
        }
        qunsetenv("ZEL_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }

    void startZel() {
        window = std::make_unique<MainWindow>(MainWindow::Options{{"zel"}});
        window->setPrompts(prompts);
        window->loadSettingsAndStart();
        window->show();
    }
    QString status() { return window->findChild<QLabel*>("lblTime")->text(); }
    bool waitForStatus(const QString& text, int ms) {
        return QTest::qWaitFor([&] { return status() == text; }, ms);
    }
    // Saves a picture of `w` when ZEL_SCREENSHOT_DIR names a folder.
    static void snap(QWidget& w, const char* name) {
        const QString folder = qEnvironmentVariable("ZEL_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QTest::qWait(150);
        w.grab().save(QDir(folder).filePath(QLatin1String(name) + QLatin1String(".png")));
    }

    RecordingPrompts prompts;
    std::unique_ptr<MainWindow> window;
    QStringList& messages = prompts.messages;
    QStringList& questions = prompts.questions;
};

// zel-monitor as a program of its own, its event lines read as they come.
class MonitorE2e : public SimFolder {
protected:
    // Collects from a Tarvo-5 every 0.1 s with the program folder on `disk`,
    // until the disk is full and a reading could not be filed.
    void collectUntilTheDiskIsFull(FullDisk& disk) {
        useProgramFolder(disk.path());
        writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\n");
        startSim("tarvo5", {});
        startMonitor();
        ASSERT_TRUE(waitFor("reading", 3)) << output.toStdString();
        disk.fill();
        ASSERT_TRUE(waitFor("error", 1, 30000)) << output.toStdString();
    }
    void SetUp() override {
        QDir().mkpath(dir.filePath("cfg/zel"));
        writePortSettings();
    }
    void TearDown() override {
        for (QProcess* p : {&monitor, &sim}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    // A program folder elsewhere, with its own dax.ini.
    void useProgramFolder(const QString& folder) {
        programFolder = folder;
        writePortSettings();
    }

    void startMonitor(const QStringList& args = {}, const QStringList& extraEnv = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& pair : extraEnv)
            env.insert(pair.section('=', 0, 0), pair.section('=', 1));
        env.insert("ZEL_HOME", prog());
        env.insert("XDG_CONFIG_HOME", dir.filePath("cfg"));
        env.remove("JOURNAL_STREAM");
        monitor.setProcessEnvironment(env);
        monitor.start(QStringLiteral(ZEL_MONITOR_PATH), args);
        ASSERT_TRUE(monitor.waitForStarted(5000));
    }
    // Everything the monitor printed so far.
    const QString& readOutput() {
        output += QString::fromUtf8(monitor.readAllStandardOutput());
        return output;
    }
    // Event lines seen so far, without their time stamp.
    QStringList events() {
        QStringList lines;
        for (const QString& line : readOutput().split('\n', Qt::SkipEmptyParts))
            lines << line.section(' ', 1);
        return lines;
    }
    // Events of one kind ("reading", or a kind with its first words).
    int count(const QString& kind) {
        int n = 0;
        for (const QString& e : events())
            if (e.startsWith(kind + ' ') || e == kind)
                ++n;
        return n;
    }
    // Times `piece` occurs anywhere in the output.
    int mentions(const QString& piece) { return int(readOutput().count(piece)); }
    bool waitFor(const QString& kind, int atLeast, int ms = 10000) {
        return QTest::qWaitFor([&] { return count(kind) >= atLeast; }, ms);
    }
    // SIGTERM, then the exit code (-1 after a crash).
    int stopMonitor(int waitMs = 5000) {
        ::kill(pid_t(monitor.processId()), SIGTERM);
        EXPECT_TRUE(monitor.waitForFinished(waitMs));
        readOutput();
        return monitor.exitStatus() == QProcess::NormalExit ? monitor.exitCode() : -1;
    }

    QProcess monitor;
    QString output;
};

} // namespace zel::test

#pragma once
// zel's main window in this process against a zel-sim process on a real
// pseudo-terminal, in a throw-away program folder.
#include "support/recording_prompts.h"
#include "ui/main_window.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zel::test {

class SimE2e : public ::testing::Test {
protected:
    // `family` is the stored "InsType"; `interval` the "MinInt"/"SecInt" pair;
    // `moreSettings` further lines of section COMMON.
    void configure(int family, const char* minutes = "0", const char* seconds = "1",
                   const char* moreSettings = "") {
        qputenv("ZEL_HOME", prog().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        QDir().mkpath(prog());
        QDir().mkpath(dir.filePath("cfg/zel"));
        link = dir.filePath("tty");
        QFile dax(prog() + "/dax.ini");
        ASSERT_TRUE(dax.open(QIODevice::WriteOnly));
        dax.write(
            QStringLiteral("[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%1\r\n")
                .arg(link)
                .toUtf8());
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[COMMON]\r\nInsType=%1\r\nMinInt=%2\r\nSecInt=%3\r\n")
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

    void startSim(const QString& family, const QStringList& extra) {
        sim.start(QStringLiteral(ZEL_SIM_PATH), QStringList{family, "--link", link} + extra);
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(link); }, 5000));
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
    int fileReadings() {
        QFile f(prog() + "/ZelTemp.csv");
        f.open(QIODevice::ReadOnly);
        return int(f.readAll().count("\r\n")) - 8;
    }
    // Saves a picture of `w` when ZEL_SCREENSHOT_DIR names a folder.
    static void snap(QWidget& w, const char* name) {
        const QString folder = qEnvironmentVariable("ZEL_SCREENSHOT_DIR");
        if (folder.isEmpty())
            return;
        QTest::qWait(150);
        w.grab().save(QDir(folder).filePath(QLatin1String(name) + QLatin1String(".png")));
    }

    // The program folder: `programFolder` when a test sets it before
    // configure() (a small file system, say), else one in `dir`.
    QString prog() const { return programFolder.isEmpty() ? dir.filePath("prog") : programFolder; }

    QTemporaryDir dir;
    QString programFolder;
    QString link;
    QProcess sim;
    // Every question is answered No.
    RecordingPrompts prompts;
    std::unique_ptr<MainWindow> window;
    QStringList& messages = prompts.messages;
    QStringList& questions = prompts.questions;
};

} // namespace zel::test

// zel against zel-sim on a real pseudo-terminal, with the real serial link
// and real files in a throw-away program folder.
#include "support/recording_prompts.h"
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class StationE2e : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        QDir().mkpath(dir.filePath("prog"));
        QDir().mkpath(dir.filePath("cfg/zel"));
        link = dir.filePath("tty");
        QFile dax(dir.filePath("prog/dax.ini"));
        ASSERT_TRUE(dax.open(QIODevice::WriteOnly));
        dax.write(
            QStringLiteral("[Communication]\r\nPort=6\r\nBaudRate=9600\r\n[Devices]\r\nCOM6=%1\r\n")
                .arg(link)
                .toUtf8());
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=1\r\n");
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

    void startSim(const QStringList& extra) {
        sim.start(QStringLiteral(ZEL_SIM_PATH), QStringList{"tarvo5", "--link", link} + extra);
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
    int fileReadings() {
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::ReadOnly);
        return int(f.readAll().count("\r\n")) - 8;
    }

    QTemporaryDir dir;
    QString link;
    QProcess sim;
    test::RecordingPrompts prompts;
    std::unique_ptr<MainWindow> window;
    QStringList& messages = prompts.messages;
};

TEST_F(StationE2e, TarvoInitialisesAndPollsEverySecondUntilStopped) {
    startSim({"--steady"});
    startZel();
    Station& s = window->station();
    // The announce is acknowledged, the instrument confirms ("initialised"
    // turns the status blue), and the dispatcher reports the connection.
    auto* lblTime = window->findChild<QLabel*>("lblTime");
    ASSERT_TRUE(QTest::qWaitFor([&] { return lblTime->styleSheet().contains("#0000ff"); }, 5000))
        << status().toStdString();
    EXPECT_TRUE(s.state().instrumentReady);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    EXPECT_EQ(status(), "Instrument Succesfully Connected");
    EXPECT_TRUE(window->findChild<QFrame*>("spOk")->styleSheet().contains("#80ff80"));
    EXPECT_TRUE(window->findChild<QPushButton*>("btStart")->isEnabled());

    window->findChild<QPushButton*>("btStart")->click();
    EXPECT_TRUE(s.pollTimer.isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().RowIndex >= 3; }, 8000));
    EXPECT_GE(fileReadings(), 3);
    EXPECT_EQ(window->list().cell(1, 0), "On-Line");
    EXPECT_EQ(window->findChild<QLabel*>("lblValue")->text(), "12 mR/h");

    window->findChild<QPushButton*>("btStart")->click();
    const int rows = window->list().RowIndex;
    QTest::qWait(1500);
    EXPECT_LE(window->list().RowIndex, rows + 1) << "at most a reply already on its way";
    EXPECT_EQ(fileReadings(), window->list().RowIndex);
}

TEST_F(StationE2e, SilentTarvoIsReportedAfterThreeMissedSeconds) {
    startSim({"--silent"});
    startZel();
    Station& s = window->station();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == "Instrument not responding"; }, 6000))
        << status().toStdString();
    EXPECT_EQ(s.state().totalErrors, 3u);
    EXPECT_FALSE(s.replyTimer.isActive());
    EXPECT_FALSE(window->findChild<QPushButton*>("btStart")->isEnabled());
}

TEST_F(StationE2e, PushedReadingsLandInTheListAndSurviveARestart) {
    startSim({"--steady", "--push-every", "0.2"});
    startZel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().RowIndex >= 3; }, 8000));
    window->data().Unsaved = false; // leave without the exit question
    window->close();
    window.reset();
    const int written = fileReadings();
    ASSERT_GE(written, 3);
    sim.terminate();
    sim.waitForFinished(3000);
    startSim({"--silent"});
    startZel();
    EXPECT_EQ(window->findChild<QLineEdit*>("edCount")->text().toInt(), written);
}

} // namespace

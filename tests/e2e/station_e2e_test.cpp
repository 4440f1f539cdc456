// zel against zel-sim on a real pseudo-terminal, with the real serial link
// and real files in a throw-away program folder.
#include "support/e2e_fixture.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>

using namespace zel;

namespace {

class StationE2e : public test::SimE2e {
protected:
    void SetUp() override { configure(1); }
    void startSim(const QStringList& extra) { SimE2e::startSim("tarvo5", extra); }
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
    EXPECT_TRUE(s.pollTimer().isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().rowIndex >= 3; }, 8000));
    EXPECT_GE(fileReadings(), 3);
    EXPECT_EQ(window->list().cell(1, 0), "On-Line");
    EXPECT_EQ(window->findChild<QLabel*>("lblValue")->text(), "12 mR/h");

    window->findChild<QPushButton*>("btStart")->click();
    const int rows = window->list().rowIndex;
    QTest::qWait(1500);
    EXPECT_LE(window->list().rowIndex, rows + 1) << "at most a reply already on its way";
    EXPECT_EQ(fileReadings(), window->list().rowIndex);
}

TEST_F(StationE2e, SilentTarvoIsReportedAfterThreeMissedSeconds) {
    startSim({"--silent"});
    startZel();
    Station& s = window->station();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == "Instrument not responding"; }, 6000))
        << status().toStdString();
    EXPECT_EQ(s.state().totalErrors, 3u);
    EXPECT_FALSE(s.replyTimer().isActive());
    EXPECT_FALSE(window->findChild<QPushButton*>("btStart")->isEnabled());
}

TEST_F(StationE2e, PushedReadingsLandInTheListAndSurviveARestart) {
    startSim({"--steady", "--push-every", "0.2"});
    startZel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().rowIndex >= 3; }, 8000));
    window->data().unsaved = false; // leave without the exit question
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

// zel with a simulated portable instrument on a pseudo-terminal: the test at
// start-up, on-line readings at the interval, the calibration record and a
// log download.
#include "support/e2e_fixture.h"
#include "ui/calibration_dialog.h"

#include <QLineEdit>
#include <QPushButton>

using namespace zel;

namespace {

class PortablesE2e : public test::SimE2e {
protected:
    void SetUp() override { configure(Portables); }
    void waitConnected() {
        ASSERT_TRUE(waitForStatus("Instrument Succesfully Connected", 6000))
            << status().toStdString();
        EXPECT_TRUE(window->station().state().instrumentReady);
    }
};

TEST_F(PortablesE2e, OnlineReadingsAtTheIntervalUntilStoppedAndTheCalibrationRecord) {
    startSim("portables", {"--steady"});
    startZel();
    waitConnected();
    EXPECT_EQ(window->list().rowIndex, 0) << "the test answer is no reading";
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();

    auto* btStart = window->findChild<QPushButton*>("btStart");
    ASSERT_TRUE(btStart->isEnabled());
    btStart->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().rowIndex >= 2; }, 6000));
    EXPECT_EQ(window->list().cell(1, 0), "QUORIN 00042");
    EXPECT_EQ(window->findChild<QLabel*>("lblValue")->text(), "12.00 mR/h");
    EXPECT_EQ(window->findChild<QLineEdit*>("edDetector")->text(), "QUORIN");

    btStart->click();
    const int rows = window->list().rowIndex;
    QTest::qWait(2200);
    EXPECT_LE(window->list().rowIndex, rows + 1) << "at most a reading already on its way";
    EXPECT_EQ(fileReadings(), window->list().rowIndex);

    window->findChild<QPushButton*>("btGetCalib")->click();
    CalibrationDialog* dialog = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            dialog = window->findChild<CalibrationDialog*>();
            return dialog && dialog->isVisible();
        },
        5000));
    EXPECT_EQ(dialog->meterField()->text(), "00471123");
    EXPECT_EQ(dialog->factorField()->text(), "1.25");
    EXPECT_EQ(dialog->nameField()->text(), "D. Levin    ");
    EXPECT_EQ(dialog->dueField()->text(), "15/09/2026");
    snap(*dialog, "calibration-filled-en");
}

TEST_F(PortablesE2e, DownloadOfTheLogWithAMissedReplyOnTheWay) {
    // The request after the third record goes unanswered once: the station
    // asks again a second later and nothing is lost.
    startSim("portables", {"--records", "6", "--log-values", "0.05,0.12,0.3,1.5,6.2,0.08",
                           "--stop-after-record", "3"});
    startZel();
    waitConnected();
    window->data().unsaved = false;
    window->findChild<QPushButton*>("btGetData")->click();
    ASSERT_TRUE(waitForStatus("Data loaded succesfully.", 10000)) << status().toStdString();
    EXPECT_FALSE(window->station().state().downloading);
    ASSERT_EQ(window->list().rowIndex, 6);
    EXPECT_EQ(fileReadings(), 6);
    EXPECT_EQ(window->list().cell(4, 3).trimmed(), "1.50");
    EXPECT_EQ(window->findChild<QLabel*>("lblDownload")->text(), "Records downloaded: 6");
    EXPECT_GE(window->station().state().totalErrors, 1u) << "the missed reply was counted";
    snap(*window, "main-window-portables-download-en");
    window->data().unsaved = false;
}

} // namespace

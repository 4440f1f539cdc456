// zel against a simulated amplifier on a real pseudo-terminal: the start-up
// exchange, readings into the list and the file, and the set-up dialog.
#include "station/amp_conversation.h"
#include "support/e2e_fixture.h"
#include "ui/amp_setup_dialog.h"
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class AmpE2e : public test::SimE2e {
protected:
    void SetUp() override { configure(2, "00", "05", "Threshold1=100\r\nThreshold2=1000\r\n"); }
    void startSim(const QStringList& extra) { SimE2e::startSim("amp", extra); }
    AmpConversation& amp() {
        return static_cast<AmpConversation&>(window->station().conversation());
    }
    QString readingStatus() { return window->findChild<QLineEdit*>("edStatus")->text(); }
};

TEST_F(AmpE2e, StartupStopsReadsParametersStartsAfterThreeSecondsAndFilesReadings) {
    startSim({"--meter-type", "3", "--interval", "1", "--value", "12.3"});
    QElapsedTimer clock;
    clock.start();
    startZel();
    Station& s = window->station();
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp().meterName() == "Vessa-1"; }, 10000));
    EXPECT_TRUE(amp().fiveThresholds());
    EXPECT_DOUBLE_EQ(amp().params().Thresholds[0], 2.5);
    EXPECT_EQ(status(), "Instrument Succesfully Connected");
    EXPECT_EQ(window->list().rowIndex, 0) << "the meter is stopped while it is read";
    EXPECT_FALSE(s.state().onlineIdle);

    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().rowIndex >= 2; }, 8000));
    EXPECT_GE(clock.elapsed(), 3000) << "started three seconds after start-up";
    EXPECT_EQ(window->findChild<QLabel*>("lblValue")->text(), "12.3 uSv/h");
    EXPECT_EQ(readingStatus(), "O.K.");
    EXPECT_EQ(window->list().cell(1, 0), "001234");
    EXPECT_GE(fileReadings(), 2);
    EXPECT_NE(status(), "Instrument not responding") << "start and stop were confirmed";
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

TEST_F(AmpE2e, DialogSendsAThresholdAndShowsTheConfirmation) {
    startSim({"--meter-type", "3"});
    startZel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return amp().meterName() == "Vessa-1"; }, 10000));

    bool seen = false;
    // The dialog is modal: it is driven from a timer that waits until it is up.
    QTimer driver;
    driver.setInterval(50);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* d = qobject_cast<AmpSetupDialog*>(QApplication::activeModalWidget());
        if (!d)
            return;
        driver.stop();
        EXPECT_EQ(d->findChild<QLineEdit*>("edThreshold_0")->text(), "2.5");
        d->findChild<QLineEdit*>("edThreshold_2")->setText("7.5");
        d->findChild<QPushButton*>("btSendThreshold_2")->click();
        seen =
            QTest::qWaitFor([&] { return readingStatus() == "Time Threshold setted to:"; }, 10000);
        d->findChild<QPushButton*>("btGetParams")->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return amp().params().Thresholds[2] == 7.5; }, 10000));
        d->findChild<QRadioButton*>("chkConvert_1")->click();
        d->findChild<QPushButton*>("btOk")->click();
    });
    driver.start();
    window->findChild<QAction*>("mnSetAmp")->trigger();
    EXPECT_TRUE(seen) << readingStatus().toStdString();
    EXPECT_DOUBLE_EQ(amp().params().Thresholds[2], 7.5) << "the meter kept it";
    QFile ini(dir.filePath("cfg/zel/Zel.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("ConvertUnits=1"));
    // Closing the dialog started the meter again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->list().rowIndex >= 1; }, 10000));
    EXPECT_TRUE(window->findChild<QLabel*>("lblValue")->text().endsWith("mSv/h"));
}

TEST_F(AmpE2e, SilentMeterIsReported) {
    startSim({"--silent"});
    startZel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == "Instrument not responding"; }, 10000));
    EXPECT_EQ(window->list().rowIndex, 0);
}

} // namespace

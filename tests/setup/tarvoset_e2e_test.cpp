// tarvoset against the simulated Tarvo-5 on a real pseudo-terminal.
#include "setup/tarvoset_controller.h"
#include "setup/tarvoset_fakes.h"
#include "station/port_settings.h"
#include "station/serial_link.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using zel::PortSettingsFile;
using zel::SerialLink;
using zel::StatusColour;
using zel::TarvosetController;
using zel::test::RecordingTarvosetView;
namespace ts = zel::tarvoset;

namespace {

class TarvosetE2eTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void TearDown() override {
        if (sim.state() != QProcess::NotRunning) {
            sim.terminate();
            if (!sim.waitForFinished(3000)) {
                sim.kill();
                sim.waitForFinished(3000);
            }
        }
    }

    // Starts the simulator and waits until its link exists.
    void startSim(const QStringList& extra) {
        linkPath = dir.filePath("tty");
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(QStringLiteral(ZEL_SIM_PATH),
                  QStringList{QStringLiteral("tarvo5"), QStringLiteral("--link"), linkPath} +
                      extra);
        ASSERT_TRUE(sim.waitForStarted(5000)) << qPrintable(sim.errorString());
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(linkPath); }, 10000))
            << "zel-sim did not create " << qPrintable(linkPath);

        QFile ini(dir.filePath("dax.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[Communication]\nPort=1\nBaudRate=9600\n[Devices]\nCOM1=%1\n")
                      .arg(linkPath)
                      .toUtf8());
    }

    QTemporaryDir dir;
    QProcess sim;
    QString linkPath;
    RecordingTarvosetView view;
};

TEST_F(TarvosetE2eTest, InitialisesTheSimulatedInstrument) {
    startSim({});
    PortSettingsFile file(dir.filePath("dax.ini"));
    SerialLink link;
    TarvosetController controller(link, file, &view);
    controller.start(true);
    ASSERT_EQ(controller.settings().OpenPort, 1) << qPrintable(link.lastError());

    EXPECT_TRUE(QTest::qWaitFor([&] { return view.lastText() == ts::InitialisedText; }, 10000))
        << "last status: " << qPrintable(view.lastText());
    EXPECT_EQ(view.lastColour(), StatusColour::Blue);
    EXPECT_FALSE(view.initializeEnabled);
    EXPECT_FALSE(view.setPortEnabled);
    EXPECT_EQ(view.hint, ts::HintText);
    EXPECT_FALSE(controller.isRetrying());
    controller.shutdown();
}

TEST_F(TarvosetE2eTest, SilentInstrumentEndsWithTheFailureText) {
    startSim({QStringLiteral("--silent")});
    PortSettingsFile file(dir.filePath("dax.ini"));
    SerialLink link;
    TarvosetController controller(link, file, &view);
    controller.start(false);
    ASSERT_EQ(controller.settings().OpenPort, 1) << qPrintable(link.lastError());

    EXPECT_TRUE(QTest::qWaitFor([&] { return view.lastText() == ts::NotConnectedText; }, 10000));
    QStringList counts;
    for (const auto& s : view.statuses)
        if (s.text != ts::NotConnectedText)
            counts << s.text;
    EXPECT_EQ(counts.join(','), QStringLiteral("1,2,3,4"));
    EXPECT_EQ(view.lastColour(), StatusColour::Red);
    controller.shutdown();
}

} // namespace

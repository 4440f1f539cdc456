// The automatic measurement over a Tarvo-5 station: fresh file with the
// probe number, the countdown, the save, and the guards around a running
// collection and a stored time of zero.
#include "protocol/tarvo.h"
#include "station/auto_measurement.h"
#include "support/station_fixture.h"
#include "support/tarvo_frames.h"

#include <QDir>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace zel;

namespace {

class AutoMeasurementTest : public ::testing::Test {
protected:
    AutoMeasurementTest()
        : rig(Tarvo5), autoRun(*rig.station, rig.data, rig.settings, rig.dir.path()) {
        rig.settings.MeasureTime = 3;
        rig.settings.BackTime = 0;
        EXPECT_TRUE(rig.openPort());
        receive(QByteArray::fromHex("021B001B0000"));
        receive(QByteArray::fromHex("05"));
        rig.port.takeWritten();
    }
    void receive(const QByteArray& payload) { rig.port.inject(tarvo::buildTarvoFrame(payload)); }
    void reading() { receive(test::readingPayload(0x86, 0.1f, 6)); }

    test::StationRig rig;
    AutoMeasurement autoRun;
};

TEST_F(AutoMeasurementTest, ProbeIsMeasuredForItsTimeAndSavedWithItsNumber) {
    QSignalSpy progress(&autoRun, &AutoMeasurement::progressChanged);
    QSignalSpy done(&autoRun, &AutoMeasurement::measurementDone);
    autoRun.begin("P-17", false);
    EXPECT_TRUE(rig.station->state().collecting);
    EXPECT_TRUE(rig.view.questions.isEmpty()) << "no append question in automatic mode";
    reading();
    reading();
    autoRun.onTick();
    EXPECT_EQ(progress.last(), (QList<QVariant>{1, 3}));
    autoRun.onTick();
    EXPECT_TRUE(done.isEmpty());
    autoRun.onTick();
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][0].toString(), rig.dir.filePath("probe.csv"));
    EXPECT_TRUE(done[0][1].toBool());
    EXPECT_FALSE(autoRun.running());
    EXPECT_FALSE(rig.station->state().collecting);
    EXPECT_EQ(rig.list.rowIndex, 0);
    EXPECT_FALSE(rig.data.unsaved);

    const QStringList saved = test::StationRig::linesOf(rig.dir.filePath("probe.csv"));
    ASSERT_EQ(saved.size(), 10);
    EXPECT_TRUE(saved[6].contains("P-17")) << saved[6].toStdString();
    EXPECT_TRUE(saved[8].startsWith("P-17,"));
    EXPECT_TRUE(saved[9].startsWith("P-17,"));
}

TEST_F(AutoMeasurementTest, BackgroundOfZeroSecondsStillEndsAfterOneTick) {
    QSignalSpy done(&autoRun, &AutoMeasurement::measurementDone);
    autoRun.begin("", true);
    EXPECT_EQ(autoRun.maximum(), 1);
    autoRun.onTick();
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done[0][0].toString(), rig.dir.filePath("Null.csv"));
}

TEST_F(AutoMeasurementTest, StartedWhileCollectingRestartsInsteadOfStopping) {
    rig.station->toggleOnline();
    ASSERT_TRUE(rig.station->state().collecting);
    reading();
    autoRun.begin("P-2", false);
    EXPECT_TRUE(rig.station->state().collecting) << "the measurement never runs uncollected";
    EXPECT_TRUE(rig.station->pollTimer().isActive());
    EXPECT_EQ(rig.list.rowIndex, 0) << "a fresh file and list for the probe";
    for (int i = 0; i < 3; ++i)
        autoRun.onTick();
    EXPECT_FALSE(rig.station->state().collecting) << "its end never starts collection again";
    autoRun.end();
    EXPECT_FALSE(rig.station->autoMode);
    EXPECT_EQ(rig.station->probeNumber, "P-2") << "kept for later file headers";
}

} // namespace

namespace {

// A probe file that cannot be written (here: a folder in its place) must not
// cost the probe's readings: they stay listed and in the working file, the
// cycle stops, and no next probe starts a fresh file over them.
TEST_F(AutoMeasurementTest, FailedSaveKeepsTheReadingsAndStopsTheCycle) {
    ASSERT_TRUE(QDir(rig.dir.path()).mkdir("probe.csv"));
    QSignalSpy done(&autoRun, &AutoMeasurement::measurementDone);
    autoRun.begin("P-9", false);
    reading();
    reading();
    for (int i = 0; i < 3; ++i)
        autoRun.onTick();
    ASSERT_EQ(done.size(), 1);
    EXPECT_FALSE(done[0][1].toBool());
    EXPECT_EQ(rig.view.criticals.size(), 1);
    EXPECT_FALSE(rig.station->autoMode) << "the cycle ends";
    EXPECT_EQ(rig.list.rowIndex, 2) << "the readings stay listed";
    EXPECT_TRUE(rig.data.unsaved) << "so Save and the exit prompt still offer them";
    const QStringList working = test::StationRig::linesOf(rig.data.workingFile().path());
    ASSERT_EQ(working.size(), 10);
    EXPECT_TRUE(working[9].startsWith("P-9,"));
}

} // namespace

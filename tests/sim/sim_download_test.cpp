// Log downloads of the station against the simulated instruments, in memory,
// with damaged replies: whatever comes, the download ends, in success or with
// a message, and keeps what came.
#include "protocol/portables.h"
#include "protocol/tarvo.h"
#include "sim/sim_portables.h"
#include "sim/sim_tarvo.h"
#include "support/station_fixture.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace zel;
using namespace zel::sim;

namespace {

// Carries the station's bytes to the instrument and its answers back until
// neither has anything more to say.
void converse(test::StationRig& rig, SimInstrument& sim) {
    for (int turn = 0; turn < 5000; ++turn) {
        const QByteArray asked = rig.port.takeWritten();
        if (asked.isEmpty())
            return;
        const QByteArray answer = sim.receive(asked);
        if (!answer.isEmpty())
            rig.port.inject(answer);
    }
    ADD_FAILURE() << "the conversation never ends";
}

struct Download : test::StationRig {
    explicit Download(int16_t family) : StationRig(family) { view.answers.assign(8, Answer::Yes); }
    // Get Data until the download stops, as often as `presses`.
    void getData(SimInstrument& sim, int presses = 1) {
        for (int i = 0; i < presses; ++i) {
            station->getData();
            converse(*this, sim);
            EXPECT_FALSE(station->state().downloading) << "press " << i + 1;
        }
    }
};

} // namespace

TEST(SimDownload, PortablesWithDamagedRecordsEndsAndGetDataGoesOn) {
    Download rig(Portables);
    PortablesOptions o;
    o.records = 10;
    o.damagedRecords = {2, 3, 4, 5};
    SimPortables sim(o, &rig.clock);
    ASSERT_TRUE(rig.openPort());
    rig.station->testConnection();
    converse(rig, sim);
    ASSERT_TRUE(rig.station->state().instrumentReady);

    rig.getData(sim);
    EXPECT_EQ(rig.view.status, "Download was interrupted , press 'Get Data'");
    EXPECT_EQ(rig.view.downloadProgress, "Records downloaded: 2");
    EXPECT_EQ(rig.list.rowIndex, 2);
    // The instrument went on to the next record with each request.
    rig.getData(sim);
    EXPECT_EQ(rig.view.status, "Data loaded succesfully.");
    EXPECT_EQ(rig.list.rowIndex, 6);
    EXPECT_EQ(rig.fileLines().size(), 8 + 6);
}

TEST(SimDownload, TarvoDownloadsEndWhateverTheInstrumentSends) {
    const struct {
        const char* what;
        TarvoOptions options;
        int presses;
        const char* status;
        int rows;
        const char* progress;
    } cases[] = {
        {"count reply damaged once",
         [] {
             TarvoOptions o;
             o.records = 10;
             o.damagedCountReplies = 1;
             return o;
         }(),
         1, "Data downloaded succesfully", 10, "Record 10 of 10"},
        {"record 5 always damaged",
         [] {
             TarvoOptions o;
             o.records = 10;
             o.damagedRecords = {5};
             return o;
         }(),
         2, "Download was interrupted , press 'Get Data'", 4, "Record 4 of 10"},
        {"count reply damaged four times, then Get Data again",
         [] {
             TarvoOptions o;
             o.records = 10;
             o.damagedCountReplies = 4;
             return o;
         }(),
         2, "Data downloaded succesfully", 10, "Record 10 of 10"},
    };
    for (const auto& c : cases) {
        Download rig(Tarvo5);
        SimTarvo sim(c.options, &rig.clock);
        ASSERT_TRUE(rig.openPort());
        rig.station->testConnection();
        converse(rig, sim);
        ASSERT_TRUE(rig.station->state().instrumentReady) << c.what;
        rig.getData(sim, c.presses);
        EXPECT_EQ(rig.view.status, c.status) << c.what;
        EXPECT_EQ(rig.list.rowIndex, c.rows) << c.what;
        EXPECT_EQ(rig.view.downloadProgress, c.progress) << c.what;
        QCoreApplication::processEvents();
    }
}

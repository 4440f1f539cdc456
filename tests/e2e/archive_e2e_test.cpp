// The station's record kept by the real zel-monitor against zel-sim: every
// reading filed is archived once, however the program ends, and a full disk
// never holds the working file back.
#include "archive/archive.h"
#include "support/e2e_fixture.h"
#include "support/full_disk.h"

#include <csignal>
#include <limits>
#include <map>

namespace {

using zel::Archive;
using zel::ArchiveEventKind;
using zel::test::MonitorE2e;

class ArchiveE2e : public MonitorE2e {
protected:
    struct Record {
        qint64 readings = -1;
        QStringList damage;
        std::map<ArchiveEventKind, int> events;
    };
    // What the archive holds, through a connection of its own.
    Record record() {
        Record r;
        Archive a;
        if (!a.open(Archive::pathIn(prog()), Archive::OpenMode::Inspect)) {
            ADD_FAILURE() << a.lastError().toStdString();
            return r;
        }
        r.readings = a.stats().readings;
        r.damage = a.integrityCheck();
        for (const zel::ArchiveEvent& e : a.events(0, std::numeric_limits<qint64>::max() / 2))
            ++r.events[e.kind];
        return r;
    }
};

// Killed in the middle of its work again and again, the monitor catches up
// at each start whatever the working file took and the archive did not: in
// the end the archive holds exactly the readings filed, and each kill is
// found as a run that ended without stopping.
TEST_F(ArchiveE2e, AKillLoopLosesNoFiledReadingAndDoublesNone) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=0.1\r\n");
    startSim("tarvo5", {});
    const int kills = 4;
    for (int round = 0; round < kills; ++round) {
        SCOPED_TRACE(round);
        output.clear();
        startMonitor();
        ASSERT_TRUE(waitFor("reading", 3 + round * 2)) << output.toStdString();
        ::kill(pid_t(monitor.processId()), SIGKILL);
        ASSERT_TRUE(monitor.waitForFinished(5000));
    }
    output.clear();
    startMonitor();
    ASSERT_TRUE(waitFor("reading", 2)) << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();

    const Record r = record();
    EXPECT_EQ(r.readings, fileReadings()) << QDir(prog()).entryList().join(' ').toStdString();
    EXPECT_TRUE(r.damage.isEmpty()) << r.damage.join('\n').toStdString();
    EXPECT_EQ(r.events.at(ArchiveEventKind::ProgramEndedUnclean), kills);
    EXPECT_EQ(r.events.at(ArchiveEventKind::ProgramStarted), kills + 1);
    EXPECT_EQ(r.events.at(ArchiveEventKind::ProgramStopped), 1);
    // A kill may come before the first batch of its run: the events of that
    // last second are the ones a kill can take (readings never: they are in
    // the working file).
    EXPECT_GE(r.events.at(ArchiveEventKind::CollectionStarted), 1);
    EXPECT_LE(r.events.at(ArchiveEventKind::CollectionStarted), kills + 1);
}

// The disk under the program folder fills: readings keep being taken, the
// working file takes them again once there is room, and the archive, which
// waited as long, catches up with all of them and keeps the gap as events.
TEST_F(ArchiveE2e, AFullDiskIsWaitedOutAndCaughtUp) {
    zel::test::FullDisk disk(256 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    ASSERT_NO_FATAL_FAILURE(collectUntilTheDiskIsFull(disk));
    const int before = count("reading");
    ASSERT_TRUE(waitFor("reading", before + 5)) << output.toStdString();
    disk.release();
    // Filed again: the readings held in memory went out to the file.
    ASSERT_TRUE(QTest::qWaitFor([&] { return fileReadings() >= count("reading"); }, 15000))
        << output.toStdString();
    EXPECT_EQ(stopMonitor(), 0) << output.toStdString();

    const Record r = record();
    EXPECT_EQ(r.readings, fileReadings());
    EXPECT_TRUE(r.damage.isEmpty()) << r.damage.join('\n').toStdString();
    EXPECT_EQ(r.events.count(ArchiveEventKind::DiskFull), 1u);
    EXPECT_EQ(r.events.count(ArchiveEventKind::DiskBack), 1u);
}

} // namespace

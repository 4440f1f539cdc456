// The archive as the Session wires it: what the working file held before the
// start is caught up, every reading filed afterwards follows with what the
// Station knew of it, and collection's start and stop are events. (Restarts
// over the same folder are the kill loop's, in the end-to-end tests.)
#include "archive/archive.h"
#include "station/station_archive.h"
#include "support/station_fixture.h"
#include "support/tarvo_frames.h"

#include "protocol/tarvo.h"
#include "station/families.h"

#include <gtest/gtest.h>
#include <limits>
#include <map>

using namespace zel;

namespace {

struct Record {
    std::vector<ArchivedReading> readings;
    std::map<ArchiveEventKind, int> events;
};

Record recordIn(const QString& folder) {
    Record r;
    Archive a;
    if (!a.open(Archive::pathIn(folder), Archive::OpenMode::Inspect)) {
        ADD_FAILURE() << a.lastError().toStdString();
        return r;
    }
    r.readings = a.readings(std::numeric_limits<qint64>::min() / 512,
                            std::numeric_limits<qint64>::max() / 512);
    for (const ArchiveEvent& e : a.events(0, std::numeric_limits<qint64>::max() / 2))
        ++r.events[e.kind];
    return r;
}

TEST(StationArchiveTest, CatchesUpThenFollowsEveryFiledReadingAndTheCollectionsGaps) {
    test::StationRig rig(Tarvo5);
    // Filed by an earlier run that ended before the archive had them.
    MeasurementRecord earlier{QStringLiteral("On-Line"),
                              formatGeneralDateTime(rig.clock.now().addSecs(-60)),
                              QStringLiteral("7"),
                              QStringLiteral("mR/h"),
                              QStringLiteral("OK"),
                              QStringLiteral("DX24"),
                              QString()};
    ASSERT_TRUE(rig.data.appendReading(earlier));
    ASSERT_TRUE(rig.data.appendReading(earlier)); // a genuine repeat stays two
    rig.session.restoreWorkingFile();
    ASSERT_NE(rig.session.archive(), nullptr);

    std::vector<AlarmLevel> levels;
    QObject::connect(rig.station, &Station::readingFiled,
                     [&](const Reading&, AlarmLevel level) { levels.push_back(level); });
    ASSERT_TRUE(rig.openPort());
    // Start, from a station that is not collecting.
    const bool idle = rig.station->state().onlineIdle;
    if (!idle)
        rig.station->toggleOnline();
    rig.station->toggleOnline();
    ASSERT_TRUE(rig.station->state().collecting);
    for (float value : {0.0001f, 0.002f, 9.0f}) {
        rig.clock.advanceSeconds(1);
        rig.port.inject(tarvo::buildTarvoFrame(test::readingPayload(0x86, value, 1)));
    }
    rig.station->toggleOnline();
    ASSERT_TRUE(rig.session.archive()->writer().flush());

    const Record r = recordIn(rig.dir.path());
    ASSERT_EQ(r.readings.size(), 5u);
    EXPECT_EQ(r.readings[0].valueText.toStdString(), "7");
    EXPECT_EQ(r.readings[1].valueText.toStdString(), "7");
    EXPECT_EQ(r.readings[0].source, ReadingSource::WorkingFile);
    // The live readings as the working file has them, with the level the
    // Station decided.
    const QStringList lines = rig.fileLines();
    ASSERT_EQ(levels.size(), 3u);
    ASSERT_GE(lines.size(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const ArchivedReading& live = r.readings[size_t(2 + i)];
        const QStringList fields = lines[lines.size() - 3 + i].split(',');
        EXPECT_EQ(live.source, ReadingSource::Online);
        EXPECT_EQ(live.family.toStdString(), rig.station->family().caption.toStdString());
        EXPECT_EQ(live.valueText.toStdString(), fields[2].toStdString());
        EXPECT_EQ(live.unit.toStdString(), fields[3].toStdString());
        EXPECT_EQ(live.alarmLevel, int8_t(levels[size_t(i)]));
    }
    EXPECT_NE(levels.front(), levels.back()) << "readings that raise the alarm and do not";
    EXPECT_EQ(r.events.at(ArchiveEventKind::CollectionStarted), 1);
    EXPECT_EQ(r.events.at(ArchiveEventKind::CollectionStopped), idle ? 1 : 2);
}

} // namespace

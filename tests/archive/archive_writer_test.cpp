// The writer on its own thread: live readings and the catch-up from the
// working file agree, the program's life becomes events, and a full disk
// makes it wait and catch up.
#include "archive/archive_writer.h"
#include "common/ini_file.h"
#include "support/archive_fixture.h"
#include "support/full_disk.h"

#include <QMutex>
#include <QStringList>
#include <gtest/gtest.h>

namespace zel::test {
namespace {

using namespace std::chrono_literals;

ArchiveWriterOptions quickOptions(const QString& archivePath) {
    ArchiveWriterOptions o;
    o.archivePath = archivePath;
    o.batchInterval = 20ms;
    o.retryInterval = 50ms;
    return o;
}

// Files a reading as the station does: a line in the working file, then
// the reading handed to the writer.
void fileLive(const ArchiveFolder& folder, ArchiveWriter& writer, const QDateTime& wall,
              const QString& value) {
    const MeasurementRecord line = lineAt(wall, value);
    folder.appendLines(QStringLiteral("ZelTemp.csv"), {line});
    FiledReading filed;
    filed.reading.setTaken(wall);
    filed.reading.value = value.toDouble();
    filed.record = line;
    filed.family = QStringLiteral("Tarvo-5");
    filed.alarmLevel = 1;
    writer.file(filed);
}

TEST(ArchiveWriter, LiveReadingsAndCatchUpsArchiveEachReadingOnce) {
    ArchiveFolder folder;
    const QDateTime t = wallAt(20, 9, 0, 0);
    // Filed while no writer ran, two of them equal in everything.
    const QString working =
        folder.writeDataFile(QStringLiteral("ZelTemp.csv"),
                             {lineAt(t, "0.1"), lineAt(t, "0.1"), lineAt(t.addSecs(1), "0.2")});
    {
        ArchiveWriter writer(quickOptions(folder.archivePath()));
        writer.catchUp(working);
        fileLive(folder, writer, t.addSecs(2), QStringLiteral("0.3"));
        fileLive(folder, writer, t.addSecs(2), QStringLiteral("0.3"));
        fileLive(folder, writer, t.addSecs(3), QStringLiteral("0.4"));
        ASSERT_TRUE(writer.flush());
        EXPECT_EQ(writer.status().archived, 6);
    }
    for (int start = 0; start < 2; ++start) {
        ArchiveWriter writer(quickOptions(folder.archivePath()));
        writer.catchUp(working);
        ASSERT_TRUE(writer.flush());
        EXPECT_EQ(writer.status().archived, 0);
        EXPECT_EQ(writer.status().alreadyThere, 6);
    }
    Archive archive;
    ASSERT_TRUE(archive.open(folder.archivePath(), Archive::OpenMode::Inspect));
    const std::vector<ArchivedReading> all = allReadings(archive);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].source, ReadingSource::WorkingFile);
    EXPECT_EQ(all[3].source, ReadingSource::Online);
    EXPECT_EQ(all[3].family, QStringLiteral("Tarvo-5"));
    EXPECT_EQ(all[3].alarmLevel, 1);
    // Three clean starts and stops, no gap claimed between them but the stops.
    const std::vector<ArchiveEvent> events = archive.events(0, std::numeric_limits<qint64>::max());
    ASSERT_EQ(events.size(), 6u);
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].kind,
                  i % 2 ? ArchiveEventKind::ProgramStopped : ArchiveEventKind::ProgramStarted);
}

// An instrument stuck on one time stamp outruns the key's room for equal
// instants: what does not fit is said, never dropped without a word.
TEST(ArchiveWriter, ReadingsBeyondTheRoomOfOneInstantAreSaid) {
    ArchiveFolder folder;
    ArchiveWriter writer(quickOptions(folder.archivePath()));
    QStringList messages;
    QMutex guard;
    writer.setMessageHandler([&](const QString& m) {
        QMutexLocker lock(&guard);
        messages << m;
    });
    const QDateTime t = wallAt(20, 9, 0, 0);
    for (int i = 0; i < int(ArchiveSlotsPerMs) + 4; ++i)
        fileLive(folder, writer, t, QString::number(i));
    ASSERT_TRUE(writer.flush());
    EXPECT_EQ(writer.status().archived, qint64(ArchiveSlotsPerMs));
    QMutexLocker lock(&guard);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_TRUE(messages.last().startsWith(QLatin1String("4 readings were not archived")))
        << messages.last().toStdString();
}

TEST(ArchiveWriter, KeepDaysComesFromTheSettingsFile) {
    const struct {
        const char* text;
        int days;
    } cases[] = {{"", 0},
                 {"[Archive]\nKeepDays=30\n", 30},
                 {"[archive]\nkeepdays= 7 \n", 7},
                 {"[Archive]\nKeepDays=-5\n", 0},
                 {"[Archive]\nKeepDays=soon\n", 0},
                 {"[COMMON]\nKeepDays=30\n", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ArchiveFolder folder;
        folder.writeBytes(QStringLiteral("Zel.ini"), c.text);
        EXPECT_EQ(keepDaysSetting(IniFile(folder.file(QStringLiteral("Zel.ini")))), c.days);
    }
}

TEST(ArchiveWriter, AProgramThatEndedWithoutStoppingIsFoundAtTheNextStart) {
    ArchiveFolder folder;
    const QDateTime t = wallAt(21, 9, 0, 0);
    {
        Archive archive;
        ASSERT_TRUE(archive.open(folder.archivePath()));
        ASSERT_TRUE(archive.add({archivedAt(t, "0.1")}));
        ASSERT_TRUE(archive.setMeta(QStringLiteral("running"), QStringLiteral("1")));
    }
    {
        ArchiveWriter writer(quickOptions(folder.archivePath()));
        ASSERT_TRUE(writer.flush());
    }
    Archive archive;
    ASSERT_TRUE(archive.open(folder.archivePath(), Archive::OpenMode::Inspect));
    const std::vector<ArchiveEvent> events = archive.events(0, std::numeric_limits<qint64>::max());
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[0].kind, ArchiveEventKind::ProgramEndedUnclean);
    EXPECT_EQ(events[0].instantMs, instantOfWallTime(t.date(), t.time()));
    // A start alone is no collection: the gap lasts until collection starts.
    const qint64 end = events[1].instantMs + 1000;
    const std::vector<ArchiveGap> gaps = archive.gaps(0, end);
    ASSERT_EQ(gaps.size(), 1u);
    EXPECT_EQ(gaps[0].fromMs, events[0].instantMs);
    EXPECT_EQ(gaps[0].toMs, end);
    EXPECT_EQ(gaps[0].why, ArchiveEventKind::ProgramEndedUnclean);
}

TEST(ArchiveWriter, AFullDiskMakesItWaitThenCatchUp) {
    FullDisk disk(1024 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    ArchiveFolder folder; // the working file lies elsewhere
    folder.writeDataFile(QStringLiteral("ZelTemp.csv"), {});
    QMutex mutex;
    QStringList messages;
    ArchiveWriter writer(quickOptions(disk.file(QString::fromLatin1(ArchiveFileName))));
    writer.setMessageHandler([&](const QString& m) {
        QMutexLocker lock(&mutex);
        messages << m;
    });
    const QDateTime t = wallAt(22, 0, 0, 0);
    int filed = 0;
    for (; filed < 100; ++filed)
        fileLive(folder, writer, t.addSecs(filed), QString::number(filed));
    ASSERT_TRUE(writer.flush());

    disk.fill();
    for (; filed < 20000; ++filed)
        fileLive(folder, writer, t.addSecs(filed), QString::number(filed));
    EXPECT_FALSE(writer.flush(10s));
    EXPECT_TRUE(writer.status().waitingForDisk);
    {
        QMutexLocker lock(&mutex);
        ASSERT_FALSE(messages.isEmpty());
        EXPECT_TRUE(messages.last().contains(QLatin1String("The archive waits")))
            << messages.last().toStdString();
        EXPECT_TRUE(messages.last().contains(QLatin1String("full")))
            << messages.last().toStdString();
    }

    disk.release();
    ASSERT_TRUE(writer.flush(60s));
    EXPECT_FALSE(writer.status().waitingForDisk);
    EXPECT_EQ(writer.status().archived, filed);
    {
        QMutexLocker lock(&mutex);
        EXPECT_TRUE(messages.last().contains(QLatin1String("writes again")));
    }
    Archive archive;
    ASSERT_TRUE(
        archive.open(disk.file(QString::fromLatin1(ArchiveFileName)), Archive::OpenMode::Inspect));
    EXPECT_EQ(qint64(allReadings(archive).size()), filed);
    EXPECT_TRUE(archive.integrityCheck().isEmpty());
}

} // namespace
} // namespace zel::test

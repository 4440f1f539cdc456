// The record itself: what a catch-up, an import and the live path agree on,
// the reduced ranges, the gaps, thinning and a damaged file.
#include "archive/archive.h"
#include "archive/archive_files.h"
#include "support/archive_fixture.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sqlite3.h>

namespace zel::test {
namespace {

// Catch-up and import: a reading is archived once however often its file
// is read, and readings equal in everything stay as many as were filed.
TEST(ArchiveCatchUp, ArchivesEachFiledReadingOnce) {
    const QDateTime t0 = wallAt(12, 10, 0, 0);
    const QDateTime t1 = t0.addSecs(1);
    struct Case {
        const char* name;
        std::vector<MeasurementRecord> working; // the working file
        std::vector<MeasurementRecord> later;   // filed after the first catch-up
        qint64 archived;
    };
    const Case cases[] = {
        {"distinct readings", {lineAt(t0, "0.12"), lineAt(t1, "0.13")}, {}, 2},
        {"two genuine equal readings in one second",
         {lineAt(t0, "0.12"), lineAt(t0, "0.12"), lineAt(t1, "0.12")},
         {},
         3},
        {"equal readings split by another",
         {lineAt(t0, "0.12"), lineAt(t0, "0.50"), lineAt(t0, "0.12")},
         {},
         3},
        {"a reading filed after the first catch-up",
         {lineAt(t0, "0.12")},
         {lineAt(t1, "0.12"), lineAt(t1, "0.12")},
         3},
        {"the same second in another unit is another reading",
         {lineAt(t0, "0.12"), lineAt(t0, "0.12", QStringLiteral("mR/h"))},
         {},
         2},
        {"values that differ only in their text", {lineAt(t0, "0.5"), lineAt(t0, "0.50")}, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveFolder folder;
        const QString working = folder.writeDataFile(QStringLiteral("ZelTemp.csv"), c.working);
        Archive archive;
        ASSERT_TRUE(archive.open(folder.archivePath())) << archive.lastError().toStdString();
        ImportOptions catchUp;
        catchUp.source = ReadingSource::WorkingFile;
        ASSERT_TRUE(importDataFile(archive, working, catchUp).ok);
        folder.appendLines(QStringLiteral("ZelTemp.csv"), c.later);
        for (int run = 0; run < 3; ++run)
            ASSERT_TRUE(importDataFile(archive, working, catchUp).ok);
        // A saved copy of the working file, imported, is the same readings.
        ASSERT_TRUE(QFile::copy(working, folder.file(QStringLiteral("saved.csv"))));
        const ImportResult copy = importDataFile(archive, folder.file(QStringLiteral("saved.csv")));
        ASSERT_TRUE(copy.ok) << copy.error.toStdString();
        EXPECT_EQ(copy.counts.added, 0);
        EXPECT_EQ(qint64(allReadings(archive).size()), c.archived);
    }
}

// What is archived reads back as it was filed, field by field.
TEST(ArchiveCatchUp, KeepsEveryFieldAsFiled) {
    ArchiveFolder folder;
    const QDateTime t = wallAt(14, 8, 30, 5);
    MeasurementRecord over = lineAt(t, "0.50", QStringLiteral("mR/h"), QStringLiteral("P-7"));
    over.Status = QStringLiteral("logged date 0/0/2000 0:00 invalid");
    over.OverMark = QStringLiteral("*");
    const MeasurementRecord notANumber = lineAt(t.addSecs(1), QStringLiteral("Infinity"));
    const MeasurementRecord exponent = lineAt(t.addSecs(2), QStringLiteral("1.5E-03"));
    const std::vector<MeasurementRecord> lines = {over, notANumber, exponent};
    const QString file = folder.writeDataFile(QStringLiteral("a.csv"), lines);
    Archive archive;
    ASSERT_TRUE(archive.open(folder.archivePath()));
    ASSERT_TRUE(importDataFile(archive, file).ok);
    const std::vector<ArchivedReading> back = allReadings(archive);
    ASSERT_EQ(back.size(), 3u);
    for (size_t i = 0; i < lines.size(); ++i) {
        MeasurementRecord r = recordOf(back[i]);
        r.AlarmCode = lines[i].AlarmCode;
        EXPECT_EQ(r, lines[i]) << i;
        EXPECT_EQ(back[i].source, ReadingSource::Import);
    }
    EXPECT_EQ(back[0].flags, QualityOverRange | QualityInvalidLoggedDate);
    EXPECT_DOUBLE_EQ(back[0].baseValue(), 0.50 * 1e-3);
    EXPECT_EQ(back[1].flags, QualityNotANumber);
    EXPECT_EQ(back[0].instantMs, instantOfWallTime(t.date(), t.time()));
    EXPECT_EQ(back[0].wallTime(), t.time());
}

// Readings of one instant written in turns by two connections (the station's
// writer and a zel-archive import beside it), in units either of them sees
// first, and a write that is rolled back: each connection takes up what the
// other committed, and what was rolled back is written again.
TEST(ArchiveCatchUp, TwoWritersShareOneInstant) {
    ArchiveFolder folder;
    Archive station;
    Archive import;
    ASSERT_TRUE(station.open(folder.archivePath()));
    ASSERT_TRUE(import.open(folder.archivePath()));
    const QDateTime t = wallAt(12, 9, 0, 0);
    struct Turn {
        Archive* writer;
        ArchivedReading reading;
        bool rolledBack;
        qint64 added;
        qint64 alreadyThere;
    };
    const Turn turns[] = {
        {&station, archivedAt(t, "0.12"), false, 1, 0},
        {&import, archivedAt(t, "0.13"), false, 1, 0},
        {&station, archivedAt(t, "0.14"), false, 1, 0},
        {&import, archivedAt(t, "0.14", QStringLiteral("mR/h")), false, 1, 0},
        {&station, archivedAt(t, "0.14", QStringLiteral("mR/h")), false, 0, 1},
        {&station, archivedAt(t, "0.15", QStringLiteral("mR/h")), true, 1, 0},
        {&station, archivedAt(t, "0.15", QStringLiteral("mR/h")), false, 1, 0},
        {&import, archivedAt(t, "0.12"), false, 0, 1},
        {&import, archivedAt(t, "0.16"), false, 1, 0},
    };
    int n = 0;
    for (const Turn& turn : turns) {
        SCOPED_TRACE(n++);
        Archive::AddCounts counts;
        if (turn.rolledBack) {
            ASSERT_TRUE(turn.writer->begin());
            ASSERT_TRUE(turn.writer->addInTransaction({turn.reading}, &counts));
            turn.writer->rollback();
        } else {
            ASSERT_TRUE(turn.writer->add({turn.reading}, &counts))
                << turn.writer->lastError().toStdString();
        }
        EXPECT_EQ(counts.added, turn.added);
        EXPECT_EQ(counts.alreadyThere, turn.alreadyThere);
    }
    std::vector<QString> values;
    for (const ArchivedReading& r : allReadings(station))
        values.push_back(r.valueText + QLatin1Char(' ') + r.unit);
    EXPECT_EQ(values, (std::vector<QString>{"0.12 uSv/h", "0.13 uSv/h", "0.14 uSv/h", "0.14 mR/h",
                                            "0.15 mR/h", "0.16 uSv/h"}));
    EXPECT_EQ(station.stats().readings, 6);
}

// A year of hourly readings with one day of second-by-second readings: a
// single second's spike survives every reduction down to the raw readings.
TEST(ArchiveReduced, ASpikeOfOneSecondSurvivesEveryZoom) {
    ArchiveFolder folder;
    Archive archive;
    ASSERT_TRUE(archive.open(folder.archivePath()));
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
    const QDateTime busyDay(QDate(2025, 1, 20), QTime(0, 0));
    const QDateTime spikeAt(QDate(2025, 1, 20), QTime(13, 7, 42));
    std::vector<ArchivedReading> batch;
    auto reading = [](const QDateTime& wall, double value) {
        return archivedAt(wall, QString::number(value));
    };
    for (int h = 0; h < 365 * 24; ++h) {
        const QDateTime at = start.addSecs(qint64(h) * 3600);
        if (at.date() != busyDay.date())
            batch.push_back(reading(at, 0.10));
    }
    for (int s = 0; s < 86400; ++s) {
        const QDateTime at = busyDay.addSecs(s);
        batch.push_back(reading(at, at == spikeAt ? 50.0 : 0.10));
    }
    std::sort(batch.begin(), batch.end(),
              [](const auto& a, const auto& b) { return a.instantMs < b.instantMs; });
    Archive::AddCounts counts;
    ASSERT_TRUE(archive.add(batch, &counts));
    ASSERT_EQ(counts.added, qint64(batch.size()));

    const qint64 spike = instantOfWallTime(spikeAt.date(), spikeAt.time());
    struct Case {
        const char* name;
        qint64 from;
        qint64 to;
        Archive::Level level;
    };
    const qint64 yearStart = instantOfWallTime(start.date(), start.time());
    const Case cases[] = {
        {"the year", yearStart, yearStart + 365LL * 86400000, Archive::Level::Hour},
        {"the day", spike - 12 * 3600000LL, spike + 12 * 3600000LL, Archive::Level::Minute},
        {"ten minutes", spike - 300000, spike + 300000, Archive::Level::Raw},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Archive::Reduced r = archive.reduced(c.from, c.to, 1000, {});
        EXPECT_EQ(r.level, c.level);
        EXPECT_EQ(r.unit, QStringLiteral("uSv/h"));
        ASSERT_EQ(r.steps.size(), 1000u);
        int spikes = 0;
        for (const Archive::Step& s : r.steps) {
            if (s.count == 0)
                continue;
            if (s.max == 50.0) {
                ++spikes;
                EXPECT_LE(s.fromMs, spike);
                EXPECT_GT(s.toMs + 3600000, spike); // summaries are whole buckets
                if (c.level != Archive::Level::Raw) {
                    EXPECT_LT(s.mean, 50.0);
                }
            } else {
                EXPECT_DOUBLE_EQ(s.min, 0.10);
                EXPECT_DOUBLE_EQ(s.max, 0.10);
            }
        }
        EXPECT_EQ(spikes, 1);
    }
    // Steps with nothing in them are gaps, not zeros: the raw ten minutes
    // have a reading each second, so 1000 steps of 0.6 s leave some empty.
    const Archive::Reduced tenMinutes = archive.reduced(spike - 300000, spike + 300000, 1000, {});
    EXPECT_TRUE(std::any_of(tenMinutes.steps.begin(), tenMinutes.steps.end(),
                            [](const Archive::Step& s) { return s.count == 0; }));

    const Archive::Stats stats = archive.stats();
    EXPECT_EQ(stats.readings, qint64(batch.size()));
    EXPECT_EQ(stats.firstMs, yearStart);
}

// Gaps come from the events, never from the readings alone.
TEST(ArchiveGaps, EventsOpenAndCloseGaps) {
    using K = ArchiveEventKind;
    struct Case {
        const char* name;
        std::vector<std::pair<qint64, K>> events;
        std::vector<std::tuple<qint64, qint64, K>> gaps; // within [0, 1000]
    };
    const Case cases[] = {
        {"no events, no gaps", {}, {}},
        {"collection stopped and started",
         {{100, K::CollectionStarted}, {200, K::CollectionStopped}, {300, K::CollectionStarted}},
         {{200, 300, K::CollectionStopped}}},
        {"lost contact and back",
         {{10, K::ContactLost}, {20, K::ContactBack}},
         {{10, 20, K::ContactLost}}},
        {"a port lost inside a lost contact is one gap",
         {{10, K::ContactLost}, {15, K::PortLost}, {20, K::ContactBack}, {30, K::PortBack}},
         {{10, 30, K::ContactLost}}},
        {"a program that ended without stopping, started again",
         {{100, K::CollectionStarted},
          {400, K::ProgramEndedUnclean},
          {500, K::ProgramStarted},
          {510, K::CollectionStarted}},
         {{400, 510, K::ProgramEndedUnclean}}},
        {"still stopped at the end of the range",
         {{900, K::ProgramStopped}},
         {{900, 1000, K::ProgramStopped}}},
        {"a gap that began before the range",
         {{-50, K::DiskFull}, {40, K::DiskBack}},
         {{0, 40, K::DiskFull}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveFolder folder;
        Archive archive;
        ASSERT_TRUE(archive.open(folder.archivePath()));
        std::vector<ArchiveEvent> events;
        for (const auto& [t, kind] : c.events)
            events.push_back({t, kind, {}});
        ASSERT_TRUE(archive.add({}, nullptr, events));
        const std::vector<ArchiveGap> gaps = archive.gaps(0, 1000);
        ASSERT_EQ(gaps.size(), c.gaps.size());
        for (size_t i = 0; i < gaps.size(); ++i) {
            EXPECT_EQ(gaps[i].fromMs, std::get<0>(c.gaps[i]));
            EXPECT_EQ(gaps[i].toMs, std::get<1>(c.gaps[i]));
            EXPECT_EQ(gaps[i].why, std::get<2>(c.gaps[i]));
        }
    }
}

// KeepDays thins old raw readings to the per-minute summaries, which stay.
TEST(ArchiveRetention, OldReadingsAreThinnedToMinutes) {
    ArchiveFolder folder;
    Archive archive;
    ASSERT_TRUE(archive.open(folder.archivePath()));
    const QDateTime now = QDateTime::currentDateTime();
    std::vector<MeasurementRecord> lines;
    for (int daysAgo : {40, 20, 1})
        for (int s = 0; s < 120; ++s)
            lines.push_back(lineAt(now.addDays(-daysAgo).addSecs(s), QString::number(s)));
    ASSERT_TRUE(importDataFile(archive, folder.writeDataFile(QStringLiteral("a.csv"), lines)).ok);
    const qint64 nowMs = now.toMSecsSinceEpoch();

    EXPECT_EQ(archive.thin(0, nowMs), 0); // 0: keep everything
    EXPECT_EQ(archive.thin(30, nowMs), 120);
    EXPECT_EQ(archive.thin(30, nowMs), 0);
    EXPECT_EQ(archive.thin(10, nowMs), 120);
    EXPECT_EQ(allReadings(archive).size(), 120u);

    const Archive::Stats s = archive.stats();
    EXPECT_EQ(s.readings, 360);
    EXPECT_EQ(s.rawReadings, 120);
    // The thinned day still draws, from its minutes.
    const qint64 old = nowMs - 40LL * 86400000;
    const Archive::Reduced r = archive.reduced(old - 60000, old + 180000, 100, {});
    EXPECT_EQ(r.level, Archive::Level::Minute);
    double top = 0;
    for (const Archive::Step& st : r.steps)
        top = std::max(top, st.count ? st.max : 0);
    EXPECT_EQ(top, 119);
}

// A file that is not a sound archive is refused, kept aside unchanged for
// inspection, and a new archive is started; inspecting it changes nothing.
TEST(ArchiveDamage, ADamagedFileIsKeptAsideAndANewOneStarted) {
    struct Case {
        const char* name;
        std::function<void(const ArchiveFolder&)> damage;
        const char* why;
    };
    auto soundArchive = [](const ArchiveFolder& f) {
        Archive a;
        ASSERT_TRUE(a.open(f.archivePath()));
        std::vector<MeasurementRecord> lines;
        for (int i = 0; i < 3000; ++i)
            lines.push_back(lineAt(wallAt(5, 0, 0, 0).addSecs(i), QString::number(i)));
        ASSERT_TRUE(importDataFile(a, f.writeDataFile(QStringLiteral("x.csv"), lines)).ok);
        sqlite3_wal_checkpoint_v2(a.handle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr,
                                  nullptr);
    };
    const Case cases[] = {
        {"garbage",
         [](const ArchiveFolder& f) { f.writeBytes(ArchiveFileName, QByteArray(5000, 'x')); },
         "not an SQLite database"},
        {"cut short",
         [&](const ArchiveFolder& f) {
             soundArchive(f);
             QFile file(f.archivePath());
             ASSERT_TRUE(file.resize(file.size() / 2 + 100));
         },
         "cut short"},
        {"another program's database",
         [](const ArchiveFolder& f) {
             sqlite3* db = nullptr;
             sqlite3_open(QFile::encodeName(f.archivePath()).constData(), &db);
             sqlite3_exec(db, "CREATE TABLE t(a); INSERT INTO t VALUES(1);", nullptr, nullptr,
                          nullptr);
             sqlite3_close(db);
         },
         "not a Zel archive"},
        {"a planted symbolic link",
         [](const ArchiveFolder& f) {
             f.writeBytes(QStringLiteral("elsewhere"), "keep me");
             ASSERT_TRUE(QFile::link(f.file(QStringLiteral("elsewhere")), f.archivePath()));
         },
         "symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveFolder folder;
        c.damage(folder);
        const QByteArray before = QFileInfo(folder.archivePath()).isSymLink()
                                      ? QFile::symLinkTarget(folder.archivePath()).toUtf8()
                                      : [&] {
                                            QFile f(folder.archivePath());
                                            f.open(QIODevice::ReadOnly);
                                            return f.readAll();
                                        }();
        {
            Archive inspect;
            EXPECT_FALSE(inspect.open(folder.archivePath(), Archive::OpenMode::Inspect));
            EXPECT_TRUE(inspect.lastError().contains(QLatin1String(c.why)) ||
                        QLatin1String(c.why) == QLatin1String("cut short"))
                << inspect.lastError().toStdString();
        }
        Archive archive;
        ASSERT_TRUE(archive.open(folder.archivePath())) << archive.lastError().toStdString();
        EXPECT_TRUE(archive.notice().contains(QLatin1String(c.why)))
            << archive.notice().toStdString();
        const QString aside = archive.keptAsidePath();
        ASSERT_FALSE(aside.isEmpty());
        const QByteArray kept =
            QFileInfo(aside).isSymLink() ? QFile::symLinkTarget(aside).toUtf8() : [&] {
                QFile f(aside);
                f.open(QIODevice::ReadOnly);
                return f.readAll();
            }();
        EXPECT_EQ(kept, before);
        EXPECT_FALSE(QFileInfo(folder.archivePath()).isSymLink());
        EXPECT_EQ(allReadings(archive).size(), 0u);
        ASSERT_TRUE(archive.add({archivedAt(wallAt(6, 1, 0, 0), "1")}));
        EXPECT_TRUE(archive.integrityCheck().isEmpty());
    }
}

} // namespace
} // namespace zel::test

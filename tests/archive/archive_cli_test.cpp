// zel-archive as a person runs it: import, export, stats and check on a
// program folder, with their messages and exit codes.
#include "support/archive_fixture.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace zel::test {
namespace {

struct CommandRun {
    int exit = -1;
    QString out;
    QString err;
};

CommandRun zelArchive(const QStringList& args, const QString& workDir = QString()) {
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(ZEL_ARCHIVE_PATH), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

QString timeArg(const QDateTime& wall) {
    return wall.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

TEST(ZelArchiveCommand, ImportExportStatsAndCheck) {
    ArchiveFolder folder;
    const QString home = folder.path();
    const QDateTime t = wallAt(10, 12, 0, 0);
    std::vector<MeasurementRecord> first;
    for (int i = 0; i < 50; ++i)
        first.push_back(lineAt(t.addSecs(i), QString::number(0.1 + i / 100.0, 'f', 2)));
    first.push_back(first.back()); // a genuine repeat stays
    std::vector<MeasurementRecord> counts;
    for (int i = 0; i < 20; ++i)
        counts.push_back(
            lineAt(t.addSecs(100 + i), QString::number(300 + i), QStringLiteral("cpm")));
    folder.writeDataFile(QStringLiteral("first.csv"), first);
    folder.writeDataFile(QStringLiteral("counts.csv"), counts);
    folder.writeDataFile(QStringLiteral("ZelTemp.csv"), {}); // the station's working file
    folder.writeBytes(QStringLiteral("garbage.csv"), QByteArray("\x7f"
                                                                "ELF\x02\x01 not a data file\n",
                                                                22));
    QByteArray badLines = headerLines(Legend{}, QString());
    badLines += "a,not a time,1,uSv/h,,,\r\nb,neither,2,uSv/h,,,\r\n";
    folder.writeBytes(QStringLiteral("bad-lines.csv"), badLines);

    const QString from = timeArg(t);
    const QString to = timeArg(t.addSecs(49));
    struct Step {
        QStringList args;
        int exit;
        const char* says; // in stdout or stderr
    };
    const Step steps[] = {
        {{"import", folder.file("first.csv"), "--home", home}, 0, "51 readings added, 0 already"},
        {{"import", folder.file("first.csv"), "--home", home}, 0, "0 readings added, 51 already"},
        {{"import", folder.file("garbage.csv"), folder.file("counts.csv"), "--home", home},
         3,
         "is not a data file"},
        {{"import", folder.file("bad-lines.csv"), "--home", home}, 3, "none of its 2 reading"},
        {{"import", folder.file("missing.csv"), "--home", home}, 3, "Cannot open"},
        {{"stats", "--home", home}, 0, "readings: 71"},
        {{"export", "--from", to, "--to", from, "--home", home}, 2, "after it ends"},
        {{"export", "--from", "yesterday-ish", "--to", to, "--home", home}, 2, "is not a date"},
        {{"export", "--from", from, "--home", home}, 2, "needs --from and --to"},
        {{"export", "--from", from, "--to", to, "--out", folder.file("back.csv"), "--home", home},
         0,
         "51 readings written"},
        {{"export", "--from", from, "--to", timeArg(t.addSecs(200)), "--out",
          folder.file("both.csv"), "--home", home},
         0,
         "both-cpm.csv"},
        {{"export", "--from", from, "--to", to, "--out", folder.file("ZelTemp.csv"), "--home",
          home},
         2,
         "never replaces"},
        {{"check", "--home", home}, 0, ": ok"},
        {{"frobnicate", "--home", home}, 2, "unknown command"},
        {{"stats", "--bogus"}, 2, "unknown argument"},
        {{"--help"}, 0, "Usage: zel-archive"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.args.join(' ').toStdString());
        const CommandRun r = zelArchive(s.args, home);
        EXPECT_EQ(r.exit, s.exit) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE((r.out + r.err).contains(QLatin1String(s.says)))
            << r.out.toStdString() << r.err.toStdString();
    }

    // The export is a data file zel reads back, reading for reading.
    Series series;
    const Expected<int32_t> back = readDataFile(folder.file(QStringLiteral("back.csv")), series);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back.value(), 51);
    ASSERT_EQ(series.lastIndex(), 50);
    for (int i = 0; i < 50; ++i)
        EXPECT_DOUBLE_EQ(series.values()[size_t(i)], 0.1 + i / 100.0) << i;
    EXPECT_EQ(series.units, QStringLiteral("uSv/h"));
    Series cpm;
    EXPECT_EQ(readDataFile(folder.file(QStringLiteral("both-cpm.csv")), cpm).value(), 20);
    EXPECT_EQ(cpm.units, QStringLiteral("cpm"));
    // ... and the same readings again: importing it adds nothing.
    const CommandRun again = zelArchive({"import", folder.file("back.csv"), "--home", home});
    EXPECT_TRUE(again.out.contains(QLatin1String("0 readings added, 51 already")))
        << again.out.toStdString() << again.err.toStdString();
}

// An import killed at any moment leaves the archive whole: after a last run
// every reading of the file is in it once.
TEST(ZelArchiveCommand, AnImportKilledAtAnyMomentLeavesTheArchiveWhole) {
    ArchiveFolder folder;
    const QDateTime t = wallAt(11, 0, 0, 0);
    std::vector<MeasurementRecord> lines;
    const int count = 40000;
    for (int i = 0; i < count; ++i)
        lines.push_back(lineAt(t.addSecs(i), QString::number(i % 97)));
    const QString file = folder.writeDataFile(QStringLiteral("big.csv"), lines);
    QRandomGenerator random(39);
    for (int kill = 0; kill < 6; ++kill) {
        QProcess p;
        p.start(QStringLiteral(ZEL_ARCHIVE_PATH),
                {QStringLiteral("import"), file, QStringLiteral("--home"), folder.path()});
        ASSERT_TRUE(p.waitForStarted());
        p.waitForFinished(int(random.bounded(20, 400)));
        p.kill(); // SIGKILL
        p.waitForFinished();
        const qint64 n = folder.archivedCount();
        EXPECT_TRUE(n == 0 || n == count) << n; // all or nothing
    }
    const CommandRun last = zelArchive({"import", file, "--home", folder.path()});
    EXPECT_EQ(last.exit, 0) << last.err.toStdString();
    EXPECT_EQ(folder.archivedCount(), count);
    EXPECT_EQ(zelArchive({"check", "--home", folder.path()}).exit, 0);
}

} // namespace
} // namespace zel::test

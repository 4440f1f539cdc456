// Every file the program replaces or appends to, on a file system that is
// full: the write must fail with the system's reason, and what was on disk
// before must still be there, whole.
#include "common/ini_file.h"
#include "common/safe_file.h"
#include "data/data_files.h"
#include "support/data_file_helpers.h"
#include "support/full_disk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace zel;
using zel::test::FullDisk;

namespace {

const QByteArray Header = headerLines(Legend{}, QString());

} // namespace

TEST(FullDiskTest, SafeWriterFailsWithTheReasonAndKeepsTheOlderFile) {
    struct Case {
        const char* name;
        qint64 size;
        bool existing;
    } cases[] = {{"small new file", 100, false},
                 {"small over an older file", 100, true},
                 {"large over an older file", 3 * 1024 * 1024, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FullDisk disk;
        ZEL_REQUIRE_FULL_DISK(disk);
        const QString path = disk.file(QStringLiteral("target.csv"));
        if (c.existing)
            test::writeFileBytes(path, "older content\r\n");
        disk.fill();
        FileError error;
        EXPECT_FALSE(writeFileSafely(path, QByteArray(c.size, 'r'), &error));
        EXPECT_EQ(error.path, path);
        EXPECT_TRUE(error.message().contains(QStringLiteral("No space left on device")))
            << error.message().toStdString();
        EXPECT_EQ(test::fileBytes(path),
                  c.existing ? QByteArray("older content\r\n") : QByteArray("<missing>"));
        // No temporary file is left to take the space of the next try.
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).size(),
                  c.existing ? 2 : 1); // the target (if any) and the filler
        disk.release();
        EXPECT_TRUE(writeFileSafely(path, "new\r\n", &error)) << error.message().toStdString();
        EXPECT_EQ(test::fileBytes(path), "new\r\n");
    }
}

TEST(FullDiskTest, SafeWriterRefusesWhatItCannotCreate) {
    QTemporaryDir dir;
    FileError error;
    EXPECT_FALSE(writeFileSafely(dir.filePath("no/such/folder/x.csv"), "x", &error));
    EXPECT_TRUE(error.message().contains(QStringLiteral("No such file or directory")));
    EXPECT_FALSE(writeFileSafely(dir.path(), "x", &error));
    // Mode bits of a replaced file stay what the user set.
    const QString path = dir.filePath("kept.ini");
    test::writeFileBytes(path, "a");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    ASSERT_TRUE(writeFileSafely(path, "b", &error));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(FullDiskTest, SameFileSeesThroughLinksAndDots) {
    QTemporaryDir dir;
    const QString working = dir.filePath("ZelTemp.csv");
    test::writeFileBytes(working, Header);
    ASSERT_TRUE(QFile::link(working, dir.filePath("link.csv")));
    ASSERT_TRUE(QFile::link(dir.path(), dir.filePath("folder")));
    ASSERT_EQ(::link(QFile::encodeName(working).constData(),
                     QFile::encodeName(dir.filePath("hard.csv")).constData()),
              0);
    struct Case {
        QString other;
        bool same;
    } cases[] = {{working, true},
                 {dir.path() + "/./ZelTemp.csv", true},
                 {dir.path() + "/folder/../ZelTemp.csv", true},
                 {dir.filePath("link.csv"), true},
                 {dir.filePath("folder/ZelTemp.csv"), true},
                 {dir.filePath("hard.csv"), true},
                 {dir.filePath("zeltemp.csv"), false},
                 {dir.filePath("folder/new.csv"), false},
                 {QString(), false}};
    for (const Case& c : cases)
        EXPECT_EQ(isSameFile(c.other, working), c.same) << c.other.toStdString();
    // A name not created yet, reached through a linked folder.
    EXPECT_TRUE(isSameFile(dir.filePath("folder/new.csv"), dir.filePath("new.csv")));
}

TEST(FullDiskTest, SaveOntoAFullDiskFailsAndKeepsTheWorkingFile) {
    FullDisk disk;
    ZEL_REQUIRE_FULL_DISK(disk);
    QTemporaryDir home;
    DataStore store(home.filePath("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(Header));
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(store.appendReading(test::numberedReading(i)));
        store.takeReading(0, 0);
    }
    const QByteArray working = test::fileBytes(store.workingFile().path());
    struct Case {
        const char* name;
        QString target;
        QString common;
    } cases[] = {
        {"saved file on the full disk", disk.file("saved.csv"), home.filePath("Data4Excel.csv")},
        {"common file on the full disk", home.filePath("saved.csv"), disk.file("Data4Excel.csv")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFileBytes(disk.file("saved.csv"), "older save\r\n");
        test::writeFileBytes(disk.file("Data4Excel.csv"), "older common\r\n");
        disk.fill();
        const Expected<void> outcome = store.saveToFile(c.target, c.common, Header);
        disk.release();
        EXPECT_FALSE(outcome.has_value());
        EXPECT_TRUE(outcome.error().text.contains(QStringLiteral("No space left on device")))
            << outcome.error().text.toStdString();
        EXPECT_EQ(test::fileBytes(store.workingFile().path()), working);
        EXPECT_TRUE(store.unsaved);
        EXPECT_EQ(test::fileBytes(disk.file("saved.csv")), "older save\r\n");
        EXPECT_EQ(test::fileBytes(disk.file("Data4Excel.csv")), "older common\r\n");
        // The channel is open again: the next reading still reaches the file.
        EXPECT_TRUE(store.workingFile().isOpen());
    }
}

TEST(FullDiskTest, WorkingFileOnAFullDiskWritesEveryLineOnce) {
    FullDisk disk(256 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    DataStore store(disk.file("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(Header));
    ASSERT_TRUE(store.appendReading(test::numberedReading(1)));
    // Full, with a few bytes left: a line may be cut in the middle.
    for (qint64 leave : {qint64(0), qint64(20)}) {
        SCOPED_TRACE(leave);
        disk.fill(leave);
        // The caller keeps a failed line and tries it again, as the station
        // does; nothing of it may reach the file twice.
        std::vector<MeasurementRecord> waiting;
        // More than the last page of the file can take: tmpfs hands out
        // whole pages, so a few lines still fit after the disk is "full".
        const int first = leave == 0 ? 2 : 1002;
        QString why;
        for (int i = first; i < first + 300; ++i) {
            waiting.push_back(test::numberedReading(i));
            while (!waiting.empty()) {
                const Expected<void> written = store.appendReading(waiting.front());
                if (!written) {
                    why = written.error().text;
                    break;
                }
                waiting.erase(waiting.begin());
            }
        }
        EXPECT_FALSE(waiting.empty());
        EXPECT_TRUE(why.contains(QStringLiteral("No space left on device"))) << why.toStdString();
        disk.release();
        while (!waiting.empty()) {
            ASSERT_TRUE(store.appendReading(waiting.front()));
            waiting.erase(waiting.begin());
        }
    }
    store.workingFile().close();
    const QList<QByteArray> lines = test::fileBytes(disk.file("ZelTemp.csv")).split('\n');
    QStringList ids;
    for (qsizetype i = 8; i < lines.size(); ++i)
        if (!lines[i].isEmpty())
            ids << QString::fromLatin1(lines[i].left(lines[i].indexOf(',')));
    QStringList expected{QStringLiteral("ID1")};
    for (int i = 2; i < 302; ++i)
        expected << QStringLiteral("ID%1").arg(i);
    for (int i = 1002; i < 1302; ++i)
        expected << QStringLiteral("ID%1").arg(i);
    EXPECT_EQ(ids, expected);
}

TEST(FullDiskTest, NewWorkingFileAndSettingsOnAFullDiskKeepTheOldOnes) {
    FullDisk disk;
    ZEL_REQUIRE_FULL_DISK(disk);
    DataStore store(disk.file("ZelTemp.csv"));
    ASSERT_TRUE(store.openNewTempFile(Header));
    ASSERT_TRUE(store.appendReading(test::numberedReading(1)));
    IniFile ini(disk.file("Zel.ini"));
    ASSERT_TRUE(
        ini.write(QStringLiteral("COMMON"), QStringLiteral("Threshold1"), QStringLiteral("5")));
    const QByteArray working = test::fileBytes(disk.file("ZelTemp.csv"));
    disk.fill();
    const Expected<void> opened = store.openNewTempFile(Header);
    ASSERT_FALSE(opened);
    EXPECT_TRUE(opened.error().text.contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(test::fileBytes(disk.file("ZelTemp.csv")), working);
    EXPECT_FALSE(
        ini.write(QStringLiteral("COMMON"), QStringLiteral("Threshold1"), QStringLiteral("7")));
    EXPECT_TRUE(ini.lastError().contains(QStringLiteral("Zel.ini")));
    EXPECT_EQ(ini.read(QStringLiteral("COMMON"), QStringLiteral("Threshold1"), QString(), 30),
              QStringLiteral("5"));
}

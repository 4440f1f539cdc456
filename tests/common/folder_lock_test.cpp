#include "common/folder_lock.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using zel::FolderLock;
using Result = zel::FolderLock::Result;

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

class FolderLockTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder = dir.path();
    QString lockFile = dir.filePath("zel.lock");
};

// flock locks belong to an open file, so a second lock in this process
// meets the first just as another program would.
TEST_F(FolderLockTest, SecondLockIsRefusedAndNamesTheHolderUntilTheFirstLetsGo) {
    auto first = std::make_unique<FolderLock>(folder);
    ASSERT_EQ(first->tryLock("zel-monitor"), Result::Taken);
    EXPECT_EQ(contentOf(lockFile), QByteArray::number(qint64(::getpid())) + "\nzel-monitor\n" +
                                       QSysInfo::machineHostName().toUtf8() + '\n');

    FolderLock second(folder);
    ASSERT_EQ(second.tryLock("zel"), Result::Busy);
    EXPECT_FALSE(second.isLocked());
    EXPECT_EQ(second.holder().pid, qint64(::getpid()));
    EXPECT_EQ(second.holder().text(), QStringLiteral("zel-monitor (process %1)").arg(::getpid()));
    // The refused program wrote nothing.
    EXPECT_TRUE(contentOf(lockFile).contains("zel-monitor"));

    first.reset();
    ASSERT_EQ(second.tryLock("zel"), Result::Taken);
    EXPECT_TRUE(contentOf(lockFile).contains("\nzel\n"));
}

// A killed program leaves its name in the file but no lock: the next one
// takes the folder and writes its own name.
TEST_F(FolderLockTest, NameLeftByAnEndedProgramDoesNotHoldTheFolder) {
    writeFile(lockFile, "2147483000\nzel-monitor\n" + QSysInfo::machineHostName().toUtf8() + '\n');
    FolderLock lock(folder);
    ASSERT_EQ(lock.tryLock("zel"), Result::Taken);
    EXPECT_TRUE(contentOf(lockFile).startsWith(QByteArray::number(qint64(::getpid())) + '\n'));
}

// The folder's own lock keeps the folder while its lock file is a planted
// link (never written through) or was removed under the holder.
TEST_F(FolderLockTest, FolderStaysHeldWhenTheLockFileIsALinkOrRemoved) {
    struct Case {
        const char* name;
        bool plantLink;
    };
    for (const Case& c : {Case{"planted link", true}, Case{"removed file", false}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        const QString prog = root.filePath("prog");
        ASSERT_TRUE(QDir().mkpath(prog));
        const QString target = root.filePath("precious.txt");
        writeFile(target, "keep me");
        if (c.plantLink) {
            ASSERT_TRUE(QFile::link(target, prog + "/zel.lock"));
        }

        FolderLock first(prog);
        ASSERT_EQ(first.tryLock("zel-monitor"), Result::Taken);
        if (!c.plantLink) {
            ASSERT_TRUE(QFile::remove(prog + "/zel.lock"));
        }
        FolderLock second(prog);
        EXPECT_EQ(second.tryLock("zel"), Result::Busy);
        EXPECT_EQ(contentOf(target), QByteArray("keep me"));
        if (c.plantLink) {
            EXPECT_EQ(second.holder().text(), QStringLiteral("another program"));
        }
    }
}

TEST_F(FolderLockTest, MissingFolderIsAFailureWithTheReason) {
    FolderLock lock(dir.filePath("nowhere"));
    EXPECT_EQ(lock.tryLock("zel"), Result::Failed);
    EXPECT_FALSE(lock.isLocked());
    EXPECT_FALSE(lock.error().isEmpty());
}

} // namespace

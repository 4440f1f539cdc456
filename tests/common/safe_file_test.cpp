#include "common/safe_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using zel::FileError;

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode : 0;
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeWithMode(const QString& path, const QByteArray& content, mode_t mode) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(old_); }

private:
    mode_t old_;
};

// A replaced file keeps what its old mode allowed, within 0666 & ~umask:
// no setuid, setgid or execute bit survives, and a link lends nothing of
// its target, which the rename leaves alone.
TEST(SafeFile, NewFileNeverGetsMoreThanTheUmaskAllows) {
    struct Case {
        const char* name;
        mode_t umask;
        int oldMode; // -1: no old file; -2: a link to a 06755 file
        mode_t expected;
    } cases[] = {
        {"new file", 022, -1, 0644},
        {"new file, strict umask", 077, -1, 0600},
        {"kept narrower mode", 022, 0640, 0640},
        {"setuid and setgid dropped", 022, 06755, 0644},
        {"umask narrows an old mode", 077, 0664, 0600},
        {"link to a setuid file", 022, -2, 0644},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("dax.ini");
        const QString target = dir.filePath("elsewhere");
        if (c.oldMode >= 0)
            writeWithMode(path, "old", mode_t(c.oldMode));
        if (c.oldMode == -2) {
            writeWithMode(target, "target", 06755);
            ASSERT_TRUE(QFile::link(target, path));
        }
        const UmaskGuard mask(c.umask);
        FileError error;
        ASSERT_TRUE(zel::writeFileSafely(path, "new", &error)) << error.message().toStdString();
        EXPECT_TRUE(S_ISREG(modeOf(path)));
        EXPECT_EQ(modeOf(path) & 07777, c.expected);
        EXPECT_EQ(contentOf(path), QByteArray("new"));
        if (c.oldMode == -2) {
            EXPECT_EQ(contentOf(target), QByteArray("target"));
            EXPECT_EQ(modeOf(target) & 07777, mode_t(06755));
        }
    }
}

TEST(SafeFile, OpenNoFollowRefusesLinksAndWhatIsNoRegularFile) {
    QTemporaryDir dir;
    const QString target = dir.filePath("target");
    writeWithMode(target, "keep", 0644);
    const QString link = dir.filePath("ZelTemp.csv");
    ASSERT_TRUE(QFile::link(target, link));
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);

    FileError error;
    EXPECT_EQ(zel::openNoFollow(link, O_WRONLY | O_APPEND | O_CREAT, 0666, &error), -1);
    EXPECT_EQ(error.path, link);
    EXPECT_TRUE(error.reason.contains("symbolic link")) << error.reason.toStdString();
    // A FIFO would block an ordinary open for writing until a reader came.
    EXPECT_EQ(zel::openNoFollow(fifo, O_WRONLY | O_APPEND, 0666, &error), -1);
    EXPECT_TRUE(error.reason.contains("regular file")) << error.reason.toStdString();
    EXPECT_EQ(contentOf(target), QByteArray("keep"));

    const int fd = zel::openNoFollow(target, O_WRONLY | O_APPEND, 0666, &error);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "!", 1), 1) << "a descriptor that blocks as usual";
    ::close(fd);
    EXPECT_EQ(contentOf(target), QByteArray("keep!"));
}

} // namespace

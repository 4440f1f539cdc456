#pragma once
// A small file system of its own for a test: a tmpfs mounted on a temporary
// folder inside a private mount namespace, so nothing outside the test
// process (and the programs it starts) ever sees it, and it vanishes with
// the process. Needs root (CI runs as root); elsewhere tests skip with the
// reason.
//
// The test mains call enterPrivateMountNamespace() first thing, before any
// thread exists: unshare(CLONE_NEWNS) refuses a process whose file-system
// state is shared with other threads.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace zel::test {

inline QString& privateNamespaceProblem() {
    static QString why = QStringLiteral("the test main did not enter a private mount namespace");
    return why;
}

inline void enterPrivateMountNamespace() {
    if (::geteuid() != 0) {
        privateNamespaceProblem() = QStringLiteral("mounting a small file system needs root");
        return;
    }
    if (::unshare(CLONE_NEWNS) != 0) {
        privateNamespaceProblem() =
            QStringLiteral("unshare(CLONE_NEWNS): %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    // Mounts made from here on stay in this namespace.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        privateNamespaceProblem() =
            QStringLiteral("making / private: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    privateNamespaceProblem().clear();
}

class FullDisk {
public:
    // A tmpfs of `bytes` (rounded up to whole pages by the kernel).
    explicit FullDisk(qint64 bytes = 64 * 1024) {
        if (!privateNamespaceProblem().isEmpty()) {
            problem_ = privateNamespaceProblem();
            return;
        }
        dir_ = std::make_unique<QTemporaryDir>();
        const QByteArray where = QFile::encodeName(dir_->path());
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, options.constData()) != 0) {
            problem_ =
                QStringLiteral("mount tmpfs: %1").arg(QString::fromLocal8Bit(strerror(errno)));
            return;
        }
        mounted_ = true;
    }
    ~FullDisk() {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_->path()).constData(), MNT_DETACH);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool ok() const { return mounted_; }
    const QString& problem() const { return problem_; }
    QString path() const { return dir_ ? dir_->path() : QString(); }
    QString file(const QString& name) const { return path() + QLatin1Char('/') + name; }

    // Takes every free byte but `leave` with a filler file.
    void fill(qint64 leave = 0) {
        release();
        const QByteArray name = QFile::encodeName(file(QStringLiteral(".filler")));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const QByteArray block(4096, 'x');
        while (::write(fd, block.constData(), size_t(block.size())) > 0) {
        }
        const QByteArray one(1, 'x');
        while (::write(fd, one.constData(), 1) == 1) {
        }
        if (leave > 0) {
            const off_t end = ::lseek(fd, 0, SEEK_END);
            // tmpfs hands space back in pages; freeing a whole page or more
            // leaves at least `leave` bytes.
            ::ftruncate(fd, end > leave + 4096 ? end - leave - 4096 : 0);
        }
        ::close(fd);
    }
    // Gives the space back.
    void release() { QFile::remove(file(QStringLiteral(".filler"))); }

private:
    std::unique_ptr<QTemporaryDir> dir_;
    bool mounted_ = false;
    QString problem_;
};

} // namespace zel::test

// As root (CI) a disk that could not be made is a failure of the test; an
// ordinary user cannot mount one at all, and the test says so and skips.
#define ZEL_REQUIRE_FULL_DISK(disk)                                                                \
    do {                                                                                           \
        if (!(disk).ok()) {                                                                        \
            ASSERT_NE(::geteuid(), 0u)                                                             \
                << "no small file system: " << (disk).problem().toStdString();                     \
            GTEST_SKIP() << "not root, so no small file system: "                                  \
                         << (disk).problem().toStdString();                                        \
        }                                                                                          \
    } while (0)

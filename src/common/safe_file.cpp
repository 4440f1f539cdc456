#include "common/safe_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zel {

namespace {

QString systemReason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

} // namespace

QString FileError::message() const {
    if (path.isEmpty())
        return reason;
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason);
}

SafeFile::SafeFile(QString path) : path_(std::move(path)) {}

SafeFile::~SafeFile() {
    cancel();
}

bool SafeFile::fail(const QString& reason) {
    failed_ = true;
    error_ = FileError{path_, reason};
    cancel();
    return false;
}

bool SafeFile::failErrno(const char* step) {
    const int err = errno;
    fail(QStringLiteral("%1 (%2)").arg(systemReason(err), QLatin1String(step)));
    error_.kind = failureKindOf(err);
    return false;
}

bool SafeFile::open() {
    cancel();
    failed_ = false;
    written_ = 0;
    error_ = {};
    const QFileInfo info(path_);
    if (info.isDir())
        return fail(QStringLiteral("Is a directory"));
    // A fresh name in the target's own folder: the rename below stays on one
    // file system, and a name nobody else uses cannot clobber another writer.
    // Created with 0666, so the kernel applies the umask; reading the umask
    // with umask() would change it for a moment under other threads.
    const QByteArray prefix =
        QFile::encodeName(info.absolutePath() + QLatin1Char('/') + QLatin1Char('.') +
                          info.fileName() + QLatin1Char('.'));
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    int fd = -1;
    QByteArray name;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        name = prefix;
        for (int i = 0; i < 6; ++i)
            name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
        fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return failErrno("create");
    }
    if (fd < 0)
        return failErrno("create");
    fd_ = fd;
    tempPath_ = name;
    // Keep what the file we replace allowed, within what a new file gets.
    // lstat: a link's target is not the file we replace.
    struct stat fresh {};
    struct stat old {};
    if (::fstat(fd_, &fresh) == 0 && ::lstat(QFile::encodeName(path_).constData(), &old) == 0 &&
        S_ISREG(old.st_mode))
        ::fchmod(fd_, fresh.st_mode & old.st_mode & 0666);
    return true;
}

bool SafeFile::write(QByteArrayView bytes) {
    if (failed_)
        return false;
    if (fd_ < 0)
        return fail(QStringLiteral("File is not open"));
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return failErrno("write");
        }
        if (n == 0) {
            errno = ENOSPC;
            return failErrno("write");
        }
        p += n;
        left -= n;
        written_ += n;
    }
    return true;
}

bool SafeFile::commit() {
    if (failed_)
        return false;
    if (fd_ < 0)
        return fail(QStringLiteral("File is not open"));
    // tmpfs and most file systems report ENOSPC at write(); network and
    // some journalling file systems only at fsync() or close().
    if (::fsync(fd_) != 0)
        return failErrno("fsync");
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fd_ = -1;
        return failErrno("close");
    }
    struct stat st {};
    if (::stat(tempPath_.constData(), &st) != 0)
        return failErrno("stat");
    if (qint64(st.st_size) != written_)
        return fail(QStringLiteral("Only %1 of %2 bytes reached the disk")
                        .arg(qint64(st.st_size))
                        .arg(written_));
    const QByteArray target = QFile::encodeName(path_);
    if (::rename(tempPath_.constData(), target.constData()) != 0)
        return failErrno("rename");
    tempPath_.clear();
    // The rename itself lives in the folder: make it durable too. A failure
    // here leaves the complete new file in place, so it is not an error.
    const QByteArray folder = QFile::encodeName(QFileInfo(path_).absolutePath());
    const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

void SafeFile::cancel() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.isEmpty()) {
        ::unlink(tempPath_.constData());
        tempPath_.clear();
    }
}

int openNoFollow(const QString& path, int flags, unsigned mode, FileError* error) {
    const auto fail = [&](int err) {
        if (error)
            *error = FileError{path, systemReason(err), failureKindOf(err)};
        return -1;
    };
    const QByteArray name = QFile::encodeName(path);
    // A FIFO without a reader would fail with a puzzling "No such device".
    struct stat before {};
    if (::lstat(name.constData(), &before) == 0 && !S_ISREG(before.st_mode) &&
        !S_ISLNK(before.st_mode) && !S_ISDIR(before.st_mode)) {
        if (error)
            *error = FileError{path, QStringLiteral("It is not a regular file")};
        return -1;
    }
    const int fd = ::open(name.constData(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, mode);
    if (fd < 0) {
        const int err = errno;
        struct stat st {};
        if (err == ELOOP && ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
            if (error)
                *error = FileError{path,
                                   QStringLiteral("It is a symbolic link; nothing is "
                                                  "written through it"),
                                   Failure::Kind::Refused};
            return -1;
        }
        return fail(err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode))
            return fail(EISDIR);
        if (error)
            *error = FileError{path, QStringLiteral("It is not a regular file")};
        return -1;
    }
    if (!(flags & O_NONBLOCK))
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool renameWithoutReplacing(const QString& from, const QString& to, FileError* error) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    int result =
        ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE);
    // A file system without RENAME_NOREPLACE: look first, then rename.
    if (result != 0 && errno == EINVAL) {
        struct stat st {};
        if (::lstat(target.constData(), &st) == 0)
            errno = EEXIST;
        else
            result = ::rename(source.constData(), target.constData());
    }
    if (result != 0) {
        if (error)
            *error = FileError{to, systemReason(errno), failureKindOf(errno)};
        return false;
    }
    return true;
}

bool writeFileSafely(const QString& path, QByteArrayView content, FileError* error) {
    SafeFile file(path);
    const bool ok = file.open() && file.write(content) && file.commit();
    if (!ok && error)
        *error = file.error();
    return ok;
}

bool isSameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
    auto canonical = [](const QString& p) {
        const QFileInfo info(p);
        const QString resolved = info.canonicalFilePath();
        if (!resolved.isEmpty())
            return resolved;
        // Not there yet: the folder may still be reached through a link.
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        return (folder.isEmpty() ? info.absolutePath() : folder) + QLatin1Char('/') +
               info.fileName();
    };
    const QString ca = canonical(a);
    const QString cb = canonical(b);
    if (ca == cb)
        return true;
    // Hard links: the same inode on the same device.
    struct stat sa {};
    struct stat sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace zel

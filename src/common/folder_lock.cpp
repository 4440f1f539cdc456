#include "common/folder_lock.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zel {

namespace {

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A process of this host that no longer runs cannot hold anything: its
// name in the lock file is left over from an earlier holder.
bool looksAlive(const FolderHolder& holder) {
    if (holder.pid <= 0)
        return false;
    if (!holder.host.isEmpty() && holder.host != QSysInfo::machineHostName())
        return true;
    return ::kill(pid_t(holder.pid), 0) == 0 || errno == EPERM;
}

} // namespace

QString FolderHolder::text() const {
    if (program.isEmpty() || pid <= 0)
        return QStringLiteral("another program");
    QString result = QStringLiteral("%1 (process %2").arg(program).arg(pid);
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        result += QStringLiteral(" on host %1").arg(host);
    return result + u')';
}

FolderLock::FolderLock(QString folder) : folder_(std::move(folder)) {}

FolderLock::~FolderLock() {
    unlock();
}

QString FolderLock::lockFilePath() const {
    return folder_ + u'/' + fileName();
}

void FolderLock::unlock() {
    // Closing the descriptors lets go of the locks. The lock file stays: a
    // file removed while another program opens it would let two lock two
    // different files.
    for (int* fd : {&fileFd_, &dirFd_}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

FolderHolder FolderLock::readHolder(const QString& path) {
    FolderHolder holder;
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return holder;
    char buffer[512];
    struct stat st = {};
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
        n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0)
        return holder;
    const QStringList lines = QString::fromUtf8(buffer, int(n)).split(u'\n', Qt::KeepEmptyParts);
    if (lines.size() >= 3) {
        holder.pid = lines[0].trimmed().toLongLong();
        holder.program = lines[1].trimmed();
        holder.host = lines[2].trimmed();
    }
    return holder;
}

FolderLock::Result FolderLock::tryLock(const QString& program) {
    unlock();
    holder_ = FolderHolder();
    error_.clear();
    const auto busy = [this] {
        unlock();
        // The holder writes its name just after it took the lock; a moment
        // later it is there.
        for (int attempt = 0; attempt < 20; ++attempt) {
            holder_ = readHolder(lockFilePath());
            if (holder_.pid > 0)
                break;
            QThread::msleep(10);
        }
        if (!looksAlive(holder_))
            holder_ = FolderHolder();
        return Result::Busy;
    };

    const QByteArray folderName = QFile::encodeName(folder_);
    const int dirFd = ::open(folderName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        error_ = systemReason(errno);
        return Result::Failed;
    }
    int dirError = 0;
    if (::flock(dirFd, LOCK_EX | LOCK_NB) == 0) {
        dirFd_ = dirFd;
    } else {
        dirError = errno;
        ::close(dirFd);
        if (dirError == EWOULDBLOCK)
            return busy();
    }

    const QByteArray path = QFile::encodeName(lockFilePath());
    int fileError = 0;
    // A few turns: the file may be removed or replaced between its open and
    // its lock, and a lock on a file no longer in the folder guards nothing.
    for (int attempt = 0; attempt < 5 && fileFd_ < 0; ++attempt) {
        // O_NOFOLLOW: a link planted in the folder under this name is not
        // followed; O_NONBLOCK: nor does a FIFO stop us.
        int fd =
            ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
        if (fd < 0 && (errno == EACCES || errno == EROFS))
            fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            fileError = errno;
            break;
        }
        struct stat opened = {};
        if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
            fileError = EINVAL;
            ::close(fd);
            break;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            fileError = errno;
            ::close(fd);
            if (fileError == EWOULDBLOCK)
                return busy();
            break;
        }
        struct stat named = {};
        if (::lstat(path.constData(), &named) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            fileFd_ = fd;
            break;
        }
        ::close(fd);
    }

    if (!isLocked()) {
        error_ = systemReason(fileError ? fileError : dirError);
        return Result::Failed;
    }
    if (fileFd_ >= 0) {
        // Best effort: a full disk may refuse even these few bytes, and the
        // lock holds without them.
        const QByteArray text = QByteArray::number(qint64(::getpid())) + '\n' + program.toUtf8() +
                                '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
        if (::ftruncate(fileFd_, 0) == 0) {
            [[maybe_unused]] const ssize_t n =
                ::pwrite(fileFd_, text.constData(), size_t(text.size()), 0);
        }
    }
    return Result::Taken;
}

} // namespace zel

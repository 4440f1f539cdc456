#include "data/working_file.h"

#include "common/safe_file.h"
#include "data/data_file_reader.h"
#include "data/data_format.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zel {

WorkingFile::WorkingFile(QString path) : path_(std::move(path)), file_(path_) {}

WorkingFile::~WorkingFile() {
    close();
}

bool WorkingFile::exists() const {
    return QFileInfo::exists(path_);
}

bool WorkingFile::isOpen() const {
    return file_.isOpen();
}

Expected<void> WorkingFile::openAppend() {
    if (file_.isOpen())
        return {};
    // The folder may be shared: a link planted at this name is refused, and
    // the readings wait until the name is a file of its own again.
    FileError why;
    int fd = openNoFollow(path_, O_RDWR | O_APPEND | O_CREAT, 0666, &why);
    if (fd < 0) // a file we may write but not read
        fd = openNoFollow(path_, O_WRONLY | O_APPEND | O_CREAT, 0666, &why);
    if (fd < 0) {
        return fail(why.kind,
                    QStringLiteral("Cannot open %1 for appending: %2").arg(path_, why.reason));
    }
    if (auto setAside = setTornLineAside(fd); !setAside) {
        ::close(fd);
        return setAside;
    }
    // Unbuffered: a line that failed must not wait in a buffer and go out
    // again, behind its own retry, with the next write.
    if (!file_.open(fd, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered,
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(
            Failure::Kind::Other,
            QStringLiteral("Cannot open %1 for appending: %2").arg(path_, file_.errorString()));
    }
    return {};
}

QString WorkingFile::tornLinesPath() const {
    const QFileInfo info(path_);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
           QStringLiteral("-torn.txt");
}

QString WorkingFile::takeNotice() {
    return std::exchange(notice_, QString());
}

Expected<void> WorkingFile::setTornLineAside(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size == 0)
        return {};
    const off_t size = st.st_size;
    char last = 0;
    // Opened write-only, the end cannot be looked at; every line this
    // program writes ends with its line end anyway.
    if (::pread(fd, &last, 1, size - 1) != 1 || last == '\n')
        return {};
    const auto failed = [this](const QString& what) {
        const int err = errno;
        return fail(failureKindOf(err),
                    QStringLiteral("The last line of %1 was cut short by a crash and %2: %3")
                        .arg(path_, what, QString::fromLocal8Bit(std::strerror(err))));
    };
    // The torn line begins after the last line end.
    off_t cut = 0;
    QByteArray chunk;
    for (off_t end = size; end > 0;) {
        const off_t start = std::max<off_t>(0, end - off_t(DataReadChunk));
        chunk.resize(qsizetype(end - start));
        if (::pread(fd, chunk.data(), size_t(chunk.size()), start) != chunk.size())
            return failed(QStringLiteral("could not be read"));
        if (const void* nl = ::memrchr(chunk.constData(), '\n', size_t(chunk.size()))) {
            cut = start + off_t(static_cast<const char*>(nl) - chunk.constData()) + 1;
            break;
        }
        end = start;
    }
    // Inside the header it is no reading either, but cutting it would turn
    // the next readings into header lines: end the line instead.
    chunk.resize(qsizetype(std::min<off_t>(cut, MaxDataLineBytes)));
    if (::pread(fd, chunk.data(), size_t(chunk.size()), 0) != chunk.size() ||
        chunk.count('\n') < HeaderLineCount) {
        if (::write(fd, "\r\n", 2) != 2)
            return failed(QStringLiteral("its line could not be ended"));
        return {};
    }
    // What the line holds, without the NUL bytes a crash leaves.
    QByteArray kept;
    for (off_t from = cut; from < size; from += off_t(DataReadChunk)) {
        chunk.resize(qsizetype(std::min<off_t>(size - from, off_t(DataReadChunk))));
        if (::pread(fd, chunk.data(), size_t(chunk.size()), from) != chunk.size())
            return failed(QStringLiteral("could not be read"));
        chunk.removeIf([](char c) { return c == '\0'; });
        kept += chunk;
    }
    const QString side = tornLinesPath();
    if (!kept.isEmpty()) {
        FileError why;
        const int out = openNoFollow(side, O_WRONLY | O_APPEND | O_CREAT, 0666, &why);
        if (out < 0) {
            return fail(why.kind,
                        QStringLiteral("The last line of %1 was cut short by a crash and could "
                                       "not be kept: %2")
                            .arg(path_, why.message()));
        }
        const QByteArray line = kept + "\r\n";
        const bool written =
            ::write(out, line.constData(), size_t(line.size())) == line.size() && ::fsync(out) == 0;
        const int err = errno;
        ::close(out);
        if (!written) {
            errno = err;
            return failed(QStringLiteral("could not be kept in ") + side);
        }
    }
    if (::ftruncate(fd, cut) != 0)
        return failed(QStringLiteral("could not be cut from the file"));
    constexpr int Shown = 60;
    notice_ = kept.isEmpty()
                  ? QStringLiteral("%1 ended in %2 NUL bytes left by a crash or a power cut; they "
                                   "were removed.")
                        .arg(path_)
                        .arg(qint64(size - cut))
                  : QStringLiteral("The last line of %1 was cut short by a crash or a power cut "
                                   "(\"%2\"). It is not read as a reading: it is kept in %3, and "
                                   "new readings start on a line of their own.")
                        .arg(path_,
                             QString::fromUtf8(kept.left(Shown)) +
                                 (kept.size() > Shown ? QStringLiteral("...") : QString()),
                             side);
    return {};
}

Expected<void> WorkingFile::writeWhole(const QByteArray& bytes) {
    // All of it or nothing: a line cut by a full disk is taken back, so the
    // caller's retry writes it once, whole.
    const qint64 before = file_.size();
    errno = 0;
    lastLineEnd_ = -1;
    if (file_.write(bytes) == bytes.size()) {
        lastLineEnd_ = before + bytes.size();
        return {};
    }
    // QFile says "Unknown error" for a failed unbuffered write; the system's
    // own reason is still in errno.
    const int err = errno;
    const QString why = QStringLiteral("Cannot write to %1: %2")
                            .arg(path_, err != 0 ? QString::fromLocal8Bit(std::strerror(err))
                                                 : file_.errorString());
    if (file_.size() != before)
        file_.resize(before);
    return fail(failureKindOf(err), why);
}

void WorkingFile::close() {
    lastLineEnd_ = -1;
    if (file_.isOpen())
        file_.close();
}

Expected<void> WorkingFile::startNew(const QByteArray& header) {
    close();
    SafeFile fresh(path_);
    if (!fresh.open() || !fresh.write(header) || !fresh.commit())
        return fail(fresh.error().kind,
                    QStringLiteral("Cannot create %1").arg(fresh.errorString()));
    return openAppend();
}

Expected<void> WorkingFile::appendReading(const MeasurementRecord& r) {
    if (!file_.isOpen())
        if (auto opened = openAppend(); !opened)
            return opened;
    return writeWhole(readingLine(r));
}

Expected<void> safeCopy(const QString& from, const QString& to) {
    QFile source(from);
    SafeFile target(to);
    const auto cannotRead = [&] {
        return fail(QFile::exists(from) ? Failure::Kind::Other : Failure::Kind::NotFound,
                    QStringLiteral("Cannot read %1: %2").arg(from, source.errorString()));
    };
    const auto cannotWrite = [&] {
        return fail(target.error().kind,
                    QStringLiteral("Cannot write %1").arg(target.errorString()));
    };
    if (!source.open(QIODevice::ReadOnly))
        return cannotRead();
    if (!target.open())
        return cannotWrite();
    QByteArray buf(DataReadChunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buf.data(), buf.size());
        if (n < 0)
            return cannotRead();
        if (n == 0)
            break;
        if (!target.write(QByteArrayView(buf.constData(), n)))
            return cannotWrite();
    }
    // A copy shorter than its source is no copy, whatever the writer said.
    if (target.bytesWritten() != source.size())
        return fail(Failure::Kind::Other,
                    QStringLiteral("Cannot copy %1 completely to %2").arg(from, to));
    if (!target.commit())
        return cannotWrite();
    return {};
}

} // namespace zel

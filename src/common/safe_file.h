#pragma once
// Replacing a file so that it is either the complete new content or still the
// old file. QSaveFile is not enough: in Qt 6.4 commit() returns true after its
// final flush failed with ENOSPC, leaving an empty file behind a reported
// success. Every step here checks the system's own result: each write, fsync,
// close, rename, and finally the size on disk against what was written.
#include "common/failure.h"
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace zel {

// Why a write failed: the file it was for and the system's reason
// (strerror), already joined into one sentence for a message box.
struct FileError {
    QString path;
    QString reason;
    Failure::Kind kind = Failure::Kind::Other;
    QString message() const;
};

class SafeFile {
public:
    explicit SafeFile(QString path);
    ~SafeFile(); // an uncommitted temporary file is removed
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // Creates the temporary file beside the target (same folder, so the
    // rename is atomic). False with error() when the folder is not writable.
    // The new file gets the old one's permissions as far as 0666 & ~umask
    // allows, never more: no setuid, setgid or execute bit is carried over,
    // and a link at the target's name lends it nothing of its own target
    // (the rename replaces the link, never what it points to).
    bool open();
    bool isOpen() const { return fd_ >= 0; }
    // Writes everything or fails; after a failure every later call fails too.
    bool write(QByteArrayView bytes);
    // fsync, close, rename over the target, then the size on disk is compared
    // with the bytes written. On any failure the target is untouched and the
    // temporary file is gone.
    bool commit();
    void cancel();

    qint64 bytesWritten() const { return written_; }
    const QString& path() const { return path_; }
    const FileError& error() const { return error_; }
    QString errorString() const { return error_.message(); }

private:
    bool fail(const QString& reason);
    bool failErrno(const char* step);

    QString path_;
    QByteArray tempPath_;
    int fd_ = -1;
    qint64 written_ = 0;
    bool failed_ = false;
    FileError error_;
};

// Opens `path` as open(2) does with `flags` and `mode`, but never through a
// symbolic link in its last part and only when it is a regular file: the
// program folder may be shared, and a link planted there must not carry our
// writes to its target. O_NOFOLLOW and O_CLOEXEC are added; a FIFO does not
// block the call. The descriptor, or -1 with `error` naming the path and
// saying why.
int openNoFollow(const QString& path, int flags, unsigned mode, FileError* error);

// Renames `from` to `to` only when `to` does not exist: a file is kept under
// a new name without ever taking the place of another.
bool renameWithoutReplacing(const QString& from, const QString& to, FileError* error);

// The whole content at once: open, write, commit.
bool writeFileSafely(const QString& path, QByteArrayView content, FileError* error = nullptr);

// True when both names lead to the same file (links, "./" and ".." resolved);
// a target that does not exist yet is compared through its folder.
bool isSameFile(const QString& a, const QString& b);

} // namespace zel

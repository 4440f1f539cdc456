#pragma once
// One program at a time in a program folder. Two programs sharing one
// folder each rewrite the other's files (the MQTT queue by rename, the
// working file by truncation) and both believe they own them. zel and
// zel-monitor take this lock before they open any file of the folder and
// keep it until they end.
//
// The lock is flock(2) on the lock file "zel.lock" in the folder, and also on
// the folder itself: the kernel lets go of both when the holder ends, killed
// or not, so a lock is never left behind. The folder's own lock holds where
// the lock file cannot be made (a full disk, a folder not writable); the
// file's lock holds where a folder cannot be locked (NFS). The lock file
// names its holder: process id, program and host, one per line.
#include <QString>

namespace zel {

// The exit code of a program that found its folder held by another (a zel
// window left open, say). Not 2, the code for unusable settings: the service
// unit restarts on this one, so zel-monitor comes back once the folder is
// free.
constexpr int kFolderInUseExitCode = 75; // EX_TEMPFAIL

// Who holds a program folder, as its lock file says; empty fields when the
// file could not be read.
struct FolderHolder {
    qint64 pid = 0;
    QString program;
    QString host;
    // "zel-monitor (process 1234 on host lab2)", or "another program" when
    // the lock file said nothing.
    QString text() const;
};

class FolderLock {
public:
    enum class Result {
        Taken,  // this process owns the folder now
        Busy,   // another process holds it: holder() says who
        Failed, // the folder could not be locked at all: error() says why
    };

    explicit FolderLock(QString folder);
    ~FolderLock(); // lets go of the folder
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Takes the folder for `program` without waiting.
    Result tryLock(const QString& program);
    bool isLocked() const { return dirFd_ >= 0 || fileFd_ >= 0; }
    void unlock();

    const QString& folder() const { return folder_; }
    QString lockFilePath() const;
    // After Busy.
    const FolderHolder& holder() const { return holder_; }
    // After Failed: the system's reason.
    const QString& error() const { return error_; }

    static QString fileName() { return QStringLiteral("zel.lock"); }
    // The holder written in the lock file at `path`.
    static FolderHolder readHolder(const QString& path);

private:
    QString folder_;
    int dirFd_ = -1;
    int fileFd_ = -1;
    FolderHolder holder_;
    QString error_;
};

} // namespace zel

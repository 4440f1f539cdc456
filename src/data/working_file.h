#pragma once
// The working file "ZelTemp.csv": the only copy of readings until a save,
// so every reading line is flushed when it is written, a line cut short by a
// crash is set aside rather than read, and nothing is written through a link
// planted at its name.
#include "common/failure.h"
#include "data/measurement_record.h"
#include <QByteArray>
#include <QFile>
#include <QString>

namespace zel {

class WorkingFile {
public:
    explicit WorkingFile(QString path);
    ~WorkingFile();

    const QString& path() const { return path_; }
    bool exists() const;
    bool isOpen() const;

    // Opens for appending, never through a symbolic link (a link at the
    // working file's name is refused with a message naming it). A last line
    // cut short by a crash (no line end, or NUL bytes) is no reading: it is
    // moved to tornLinesPath() and cut from the file, so the next reading
    // starts a line of its own; notice() says so once. Fails when it could
    // not be moved aside: then nothing is appended.
    Expected<void> openAppend();
    // Where torn last lines are kept: "ZelTemp-torn.txt" beside the file.
    QString tornLinesPath() const;
    // What openAppend() found and did that the user should hear of; taken
    // once.
    QString takeNotice();
    void close();
    // Creates the file empty, writes the header and leaves it open for
    // appending. The new file replaces the old one only once it is complete:
    // on failure the old file is still there, unchanged.
    Expected<void> startNew(const QByteArray& header);
    // Appends one reading line and flushes it to the disk.
    Expected<void> appendReading(const MeasurementRecord& r);
    // Where the line appendReading() wrote last ends in the file (its size
    // then), which tells that line apart for the feed without asking the
    // file system again; -1 before the first line since opening.
    qint64 lastLineEnd() const { return lastLineEnd_; }

private:
    Expected<void> writeWhole(const QByteArray& bytes);
    // Moves a torn last line of the file open at `fd` aside; see openAppend.
    Expected<void> setTornLineAside(int fd);

    QString path_;
    QFile file_;
    QString notice_;
    qint64 lastLineEnd_ = -1;
};

// Copies `from` to `to` through a temporary file in the target folder and a
// rename, so an existing target is replaced only by a complete copy.
Expected<void> safeCopy(const QString& from, const QString& to);

} // namespace zel

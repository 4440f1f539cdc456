#pragma once
// The working file seen from the feed: which line a filed reading is, and
// which readings were filed after the last one the MQTT queue took. The
// working file is the first copy of a reading; a kill between its line and
// the queue must not lose the reading from the feed, and a new working file,
// a save, a rename or a torn last line must not make the feed send readings
// twice. So a reading is found by its line (where it ends and a fingerprint
// of its text), never by counting lines.
#include "common/failure.h"
#include "data/reading.h"
#include "data/record_layout.h"
#include "telemetry/disk_queue.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace zel {

// A fingerprint of one reading line, without its line end.
quint64 lineFingerprint(QByteArrayView line);

struct WorkingFileLine {
    QByteArray text; // without the line end
    qint64 end = 0;  // offset just past its line end
};

struct FiledAfter {
    std::vector<WorkingFileLine> lines; // oldest first, the newest `limit` of them
    qint64 beyondLimit = 0;             // older ones that did not fit
    // How the last queued reading was found: "at its place", "by its text",
    // "by the reading before it", or "not in the file" (the file was begun
    // anew since: all its readings come after it).
    QString how;
};

// The complete reading lines of the data file `path` filed after the reading
// `last`. Nothing when `last` is not known. A last line without its line end
// was cut by a crash and is no reading. A failure when the file cannot be
// read, its text the system's reason.
Expected<FiledAfter> readingsFiledAfter(const QString& path, const DiskQueue::Identity& last,
                                        qsizetype limit);

// The identity of the last complete reading line of `path`; not known when
// the file holds none.
DiskQueue::Identity lastFiledReading(const QString& path);

// A reading line back into a reading, the layout read the other way round.
// Fields that the layout fills from one of two sources go back to the first.
Reading readingFromLine(const QByteArray& line, const RecordLayout& layout);

} // namespace zel

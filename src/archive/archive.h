#pragma once
// The station's record: every filed reading, kept for years in one SQLite
// file in the program folder ("ZelArchive.sqlite", WAL), with per-minute,
// per-hour and per-day summaries kept up to date as readings arrive, and the
// events that mark where collection stopped. docs/archive.md has the schema.
//
// One Archive is one connection and is used from one thread at a time: the
// ArchiveWriter owns one on its own thread, a reader (the graph, zel-archive)
// opens its own. SQLite's WAL lets readers work while a writer writes.
#include "archive/archived_reading.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace zel {

inline constexpr const char* ArchiveFileName = "ZelArchive.sqlite";

// Readings that share one millisecond get slots 0..255 of its key.
inline constexpr int ArchiveSlotsPerMs = 256;

class Archive {
public:
    enum class OpenMode {
        // Creates a missing archive. A file that is not a sound archive is
        // refused: it is renamed aside for inspection, notice() says so, and
        // a new, empty archive takes its place.
        Write,
        // Opens an existing archive as it is, never creates, renames or
        // changes one (zel-archive stats, check and export).
        Inspect,
    };

    Archive();
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    static QString pathIn(const QString& folder);

    // A quick look that takes the same time whatever the size: the file's
    // header against its size, the schema, the newest reading. The full
    // check is integrityCheck().
    bool open(const QString& path, OpenMode mode = OpenMode::Write);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    const QString& path() const { return path_; }
    // Why the last call failed.
    const QString& lastError() const { return error_; }
    // What open() did besides opening (a damaged file kept aside), or empty.
    const QString& notice() const { return notice_; }
    const QString& keptAsidePath() const { return keptAside_; }
    // The last failure was the disk (full, or no room for the journal).
    bool lastFailureWasDiskFull() const { return diskFull_; }

    // ---- writing -----------------------------------------------------------
    struct AddCounts {
        qint64 added = 0;
        qint64 alreadyThere = 0; // the same reading was archived before
        qint64 refused = 0;      // more readings at one millisecond than it has slots
    };
    // Readings and events in one transaction: either all of them are in,
    // or none and the result is false.
    bool add(const std::vector<ArchivedReading>& readings, AddCounts* counts = nullptr,
             const std::vector<ArchiveEvent>& events = {});
    // The same in a transaction the caller spans over several calls (an
    // import of one file is all or nothing).
    bool begin();
    bool addInTransaction(const std::vector<ArchivedReading>& readings, AddCounts* counts);
    bool addEventsInTransaction(const std::vector<ArchiveEvent>& events);
    bool commit();
    void rollback();

    // Drops the raw readings older than `keepDays` days before `nowMs`; the
    // summaries stay. Returns the readings dropped, -1 on failure.
    qint64 thin(int keepDays, qint64 nowMs);

    // A value kept between runs (the writer's "running" mark, ...).
    QString meta(const QString& key) const;
    bool setMeta(const QString& key, const QString& value);

    // ---- reading -----------------------------------------------------------
    // Which readings a query looks at: empty texts select every family or
    // every unit.
    struct Selection {
        QString family;
        QString unit;
    };
    struct SeriesInfo {
        int id = 0;
        QString family;
        QString instrumentId;
        QString unit;
    };
    std::vector<SeriesInfo> series() const;

    // The raw readings with fromMs <= instant <= toMs, oldest first, at most
    // `limit` (the first ones).
    std::vector<ArchivedReading> readings(qint64 fromMs, qint64 toMs, const Selection& which = {},
                                          qint64 limit = -1) const;
    // Calls `each` for every raw reading in the range, oldest first, until it
    // returns false. False when the query failed.
    bool forEachReading(qint64 fromMs, qint64 toMs, const Selection& which,
                        const std::function<bool(const ArchivedReading&)>& each) const;

    enum class Level { Raw, Minute, Hour, Day };
    struct Step {
        qint64 fromMs = 0;
        qint64 toMs = 0;  // exclusive
        qint64 count = 0; // readings with a number; 0: nothing there (a gap)
        double min = 0;
        double max = 0;
        double mean = 0;
    };
    struct Reduced {
        Level level = Level::Raw;
        // In the readings' unit when the selection holds one unit, else in
        // the base unit (series without one are left out).
        QString unit;
        std::vector<Step> steps;
    };
    // The range in `steps` equal steps of min, max and mean, from the
    // coarsest summary that has at least one bucket per step; raw readings
    // when a step is shorter than a minute.
    Reduced reduced(qint64 fromMs, qint64 toMs, int steps, const Selection& which = {}) const;

    std::vector<ArchiveEvent> events(qint64 fromMs, qint64 toMs) const;
    // The stretches without collection that meet the range, from the events.
    std::vector<ArchiveGap> gaps(qint64 fromMs, qint64 toMs) const;

    struct Stats {
        qint64 readings = 0;    // every reading ever archived (the summaries count them)
        qint64 rawReadings = 0; // of those, still kept one by one
        qint64 firstMs = 0;
        qint64 lastMs = 0;
        qint64 rawFromMs = 0; // raw readings before this were thinned
        qint64 events = 0;
        qint64 gaps = 0;
        qint64 gapMs = 0;
        qint64 fileBytes = 0; // the file and its write-ahead log
        int series = 0;
    };
    Stats stats() const;
    // The newest reading's instant, or nothing in an empty archive.
    std::optional<qint64> lastInstantMs() const;

    // PRAGMA integrity_check: empty when the file is sound, else what it found.
    QStringList integrityCheck() const;

    sqlite3* handle() const { return db_; }

private:
    struct Dictionaries;
    struct Pending;

    bool fail(const QString& what) const;
    bool exec(const char* sql) const;
    bool quickLook(const QString& path, QString* why) const;
    bool openConnection(const QString& path, bool create, QString* why);
    bool createSchema(QString* why);
    bool checkSchema(QString* why, bool create);
    bool setAside(const QString& why);
    bool loadDictionaries();
    int seriesId(const ArchivedReading& r);
    int seriesIdOf(const ArchivedReading& r);
    int labelId(const ArchivedReading& r);
    int labelIdOf(const ArchivedReading& r);
    int textId(const QString& text);
    QString textOf(int id) const;
    bool insertOne(const ArchivedReading& r, AddCounts* counts);
    bool loadInstantRows(qint64 base);
    qint64 dataVersion() const;
    bool flushSummaries();
    std::vector<int> selectedSeries(const Selection& which) const;

    sqlite3* db_ = nullptr;
    QString path_;
    mutable QString error_;
    QString notice_;
    QString keptAside_;
    mutable bool diskFull_ = false;
    bool inTransaction_ = false;
    qint64 maxKey_ = -1;
    // PRAGMA data_version when the dictionaries were read: it changes when
    // another connection commits.
    qint64 dataVersion_ = 0;
    std::unique_ptr<Dictionaries> dict_;
    std::unique_ptr<Pending> pending_;
};

} // namespace zel

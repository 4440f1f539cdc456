#include "archive/archive.h"

#include "common/text.h"
#include "data/base_unit.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <tuple>

namespace zel {

namespace {

constexpr int SchemaVersion = 1;
constexpr qint64 MsPerMinute = 60000;
constexpr qint64 MsPerHour = 3600000;
constexpr qint64 MsPerDay = 86400000;
// Waits this long for another program's write to finish (zel-archive import
// beside a running station) before a write gives up and is tried again.
constexpr int BusyTimeoutMs = 10000;

QString fromUtf8(const unsigned char* text, int bytes) {
    return text ? QString::fromUtf8(reinterpret_cast<const char*>(text), bytes) : QString();
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
            SQLITE_OK)
            stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    void bind(int i, qint64 v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, int v) { sqlite3_bind_int64(stmt_, i, v); }
    void bind(int i, double v) {
        if (std::isfinite(v))
            sqlite3_bind_double(stmt_, i, v);
        else
            sqlite3_bind_null(stmt_, i);
    }
    void bind(int i, const QString& v) {
        const QByteArray utf8 = v.toUtf8();
        sqlite3_bind_text(stmt_, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindNull(int i) { sqlite3_bind_null(stmt_, i); }
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_MISUSE; }
    void reset() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    bool isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    bool isInteger(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_INTEGER; }
    qint64 i64(int c) const { return sqlite3_column_int64(stmt_, c); }
    double real(int c) const { return sqlite3_column_double(stmt_, c); }
    QString text(int c) const {
        return fromUtf8(sqlite3_column_text(stmt_, c), sqlite3_column_bytes(stmt_, c));
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// How the value text is kept beside the number (column f): n > 0 the number
// with n - 1 decimals, 0 the shortest text of the number, n < 0 the text of
// id -n. A number with n - 1 decimals is stored as the integer of its digits
// when that integer divided by 10^(n-1) gives the very same double (it does
// for every text of up to 15 digits: both are the correctly rounded value),
// so "0.12" takes one byte on disk instead of eight.
constexpr double PowersOfTen[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr qint64 ExactIntegers = qint64(1) << 53;

int decimalsOf(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : int(text.size() - point - 1);
}

// The number of column v (at `c`) with the shape of column f.
double storedValue(const Statement& q, int c, qint64 shape) {
    if (q.isNull(c))
        return std::numeric_limits<double>::quiet_NaN();
    if (q.isInteger(c) && shape > 0)
        return double(q.i64(c)) / PowersOfTen[shape - 1];
    return q.real(c);
}

QString valueTextOf(double value, int64_t shape) {
    if (shape == 0)
        return shortestText(value);
    return QString::number(value, 'f', int(shape - 1));
}

const char* const SchemaSql = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY NOT NULL, value TEXT) WITHOUT ROWID;
CREATE TABLE series(id INTEGER PRIMARY KEY, family TEXT NOT NULL, instrument TEXT NOT NULL,
  unit TEXT NOT NULL, base_unit TEXT, base_factor REAL, UNIQUE(family, instrument, unit));
CREATE TABLE label(id INTEGER PRIMARY KEY, status TEXT NOT NULL, detector TEXT NOT NULL,
  over_mark TEXT NOT NULL, UNIQUE(status, detector, over_mark));
CREATE TABLE text(id INTEGER PRIMARY KEY, text TEXT NOT NULL UNIQUE);
CREATE TABLE reading(k INTEGER PRIMARY KEY, s INTEGER NOT NULL, v, f INTEGER NOT NULL,
  w INTEGER NOT NULL, l INTEGER NOT NULL, q INTEGER NOT NULL, x TEXT, r INTEGER, n INTEGER);
CREATE TABLE minute(s INTEGER NOT NULL, b INTEGER NOT NULL, a INTEGER NOT NULL,
  n INTEGER NOT NULL, lo REAL, hi REAL, total REAL, PRIMARY KEY(s, b)) WITHOUT ROWID;
CREATE TABLE hour(s INTEGER NOT NULL, b INTEGER NOT NULL, a INTEGER NOT NULL,
  n INTEGER NOT NULL, lo REAL, hi REAL, total REAL, PRIMARY KEY(s, b)) WITHOUT ROWID;
CREATE TABLE day(s INTEGER NOT NULL, b INTEGER NOT NULL, a INTEGER NOT NULL,
  n INTEGER NOT NULL, lo REAL, hi REAL, total REAL, PRIMARY KEY(s, b)) WITHOUT ROWID;
CREATE TABLE event(id INTEGER PRIMARY KEY, t INTEGER NOT NULL, kind INTEGER NOT NULL, detail TEXT);
CREATE INDEX event_by_time ON event(t);
CREATE VIEW readings AS
  SELECT r.k >> 8 AS instant_ms,
         strftime('%Y-%m-%dT%H:%M:%fZ', (r.k >> 8) / 1000.0, 'unixepoch') AS instant_utc,
         strftime('%Y-%m-%d %H:%M:%f', (r.k >> 8) / 1000.0 + (r.w >> 2), 'unixepoch') AS wall_time,
         s.family, s.instrument,
         CASE WHEN typeof(r.v) = 'integer' AND r.f > 1
              THEN r.v / CAST(substr('1000000000000000', 1, r.f) AS REAL) ELSE r.v END AS value,
         CASE WHEN r.f < 0 THEN (SELECT text FROM text WHERE id = -r.f) END AS value_text,
         s.unit,
         CASE WHEN typeof(r.v) = 'integer' AND r.f > 1
              THEN r.v / CAST(substr('1000000000000000', 1, r.f) AS REAL) ELSE r.v END
           * s.base_factor AS base_value, s.base_unit,
         l.status, l.detector, l.over_mark, ((r.q >> 6) & 7) - 1 AS alarm_level,
         r.q & 3 AS source, (r.q >> 2) & 15 AS flags,
         (SELECT text FROM text WHERE id = r.r) AS run, r.n AS seq, r.x AS extras
  FROM reading r JOIN series s ON s.id = r.s JOIN label l ON l.id = r.l;
)sql";

const char* const SummaryTables[3] = {"minute", "hour", "day"};
constexpr qint64 SummaryBucketMs[3] = {MsPerMinute, MsPerHour, MsPerDay};

struct Aggregate {
    qint64 all = 0;
    qint64 numbers = 0;
    double lo = 0;
    double hi = 0;
    double total = 0;
};

bool diskErrno(sqlite3* db) {
    const int e = sqlite3_system_errno(db);
    return e == ENOSPC || e == EDQUOT;
}

} // namespace

struct Archive::Dictionaries {
    struct SeriesRow {
        QString family;
        QString instrument;
        QString unit;
        double baseFactor = std::numeric_limits<double>::quiet_NaN();
    };
    struct LabelRow {
        QString status;
        QString detector;
        QString overMark;
    };
    QHash<QString, int> seriesByKey;
    QHash<int, SeriesRow> seriesById;
    QHash<QString, int> labelByKey;
    QHash<int, LabelRow> labelById;
    QHash<QString, int> textByValue;
    QHash<int, QString> textById;
    int lastSeries = 0;
    int lastLabel = 0;

    std::unique_ptr<Statement> insertReading;
    std::unique_ptr<Statement> readSlots;
    std::unique_ptr<Statement> upsert[3];

    static QString key3(const QString& a, const QString& b, const QString& c) {
        return a + QChar(0x1f) + b + QChar(0x1f) + c;
    }
};

struct Archive::Pending {
    // (level, series, bucket) -> what the transaction added there.
    std::map<std::tuple<int, int, qint64>, Aggregate> summaries;

    // The rows of the millisecond last written to, as the table holds them.
    // An instrument whose file keeps whole seconds gives a hundred readings
    // one instant at 100 a second: asking the table for that instant's rows
    // before every insert cost more than everything else the archive does.
    // Only this connection writes while it is known (another connection's
    // commit, a rollback or a thinning forgets it).
    struct SlotRow {
        int series = 0;
        int label = 0;
        qint64 slot = 0;
        qint64 shape = 0;
        qint64 wall = 0;
        bool isNull = true;
        double value = 0;
        QString extras;
    };
    bool instantKnown = false;
    qint64 instantBase = 0;
    std::vector<SlotRow> instantRows;
};

Archive::Archive() = default;

Archive::~Archive() {
    close();
}

QString Archive::pathIn(const QString& folder) {
    return folder + QLatin1Char('/') + QLatin1String(ArchiveFileName);
}

void Archive::close() {
    if (dict_) {
        dict_->insertReading.reset();
        dict_->readSlots.reset();
        for (auto& u : dict_->upsert)
            u.reset();
    }
    dict_.reset();
    pending_.reset();
    if (db_) {
        if (inTransaction_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db_);
    }
    db_ = nullptr;
    inTransaction_ = false;
}

bool Archive::fail(const QString& what) const {
    if (db_) {
        const int code = sqlite3_errcode(db_);
        diskFull_ = code == SQLITE_FULL || ((code & 0xff) == SQLITE_IOERR && diskErrno(db_));
        error_ = QStringLiteral("%1: %2").arg(what, QString::fromUtf8(sqlite3_errmsg(db_)));
        if (diskFull_ && code != SQLITE_FULL)
            error_ += QStringLiteral(" (the disk is full)");
    } else {
        diskFull_ = false;
        error_ = what;
    }
    return false;
}

bool Archive::exec(const char* sql) const {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);
        return fail(path_);
    }
    return true;
}

// The header of an SQLite file says its page size and, when the change
// counter agrees, how many pages it holds: a file shorter than that was cut.
bool Archive::quickLook(const QString& path, QString* why) const {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return false;
    }
    const qint64 size = f.size();
    if (size == 0)
        return true; // a file SQLite has not written yet: an empty archive
    const QByteArray header = f.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3", 16))) {
        *why = QStringLiteral("it is not an SQLite database");
        return false;
    }
    auto be = [&](int at, int bytes) {
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | quint8(header.at(at + i));
        return v;
    };
    qint64 pageSize = qint64(be(16, 2));
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0) {
        *why = QStringLiteral("its header is damaged");
        return false;
    }
    const quint64 pages = be(28, 4);
    const bool pagesValid = be(92, 4) == be(24, 4) && pages > 0;
    if (size % pageSize != 0 || (pagesValid && quint64(size) < pages * quint64(pageSize))) {
        *why = QStringLiteral("it is cut short (%1 bytes)").arg(size);
        return false;
    }
    return true;
}

bool Archive::openConnection(const QString& path, bool create, QString* why) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr) != SQLITE_OK) {
        *why = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, BusyTimeoutMs);
    // NORMAL: with WAL a commit is on disk at the next checkpoint; a power
    // cut may lose the last batch, which the next start catches up from the
    // working file, the first copy.
    const char* pragmas = "PRAGMA synchronous=NORMAL;"
                          "PRAGMA temp_store=MEMORY; PRAGMA cache_size=-16000;";
    char* message = nullptr;
    if (sqlite3_exec(db_, pragmas, nullptr, nullptr, &message) != SQLITE_OK) {
        *why = QString::fromUtf8(message ? message : sqlite3_errmsg(db_));
        sqlite3_free(message);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool Archive::createSchema(QString* why) {
    std::string sql = "BEGIN IMMEDIATE;";
    sql += SchemaSql;
    sql += "INSERT INTO meta VALUES('schema', '" + std::to_string(SchemaVersion) + "');";
    sql += "INSERT INTO meta VALUES('created', '" +
           QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString() + "');";
    sql += "INSERT INTO meta VALUES('raw_from', '0');";
    sql += "COMMIT;";
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        *why = QString::fromUtf8(message ? message : sqlite3_errmsg(db_));
        sqlite3_free(message);
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

// The schema is ours and of a version this program knows; the newest
// reading can be read (the right edge of the biggest tree).
bool Archive::checkSchema(QString* why, bool create) {
    Statement tables(db_, "SELECT count(*) FROM sqlite_schema");
    if (!tables.ok() || tables.step() != SQLITE_ROW) {
        *why = QString::fromUtf8(sqlite3_errmsg(db_));
        return false;
    }
    if (tables.i64(0) == 0) {
        if (create)
            return createSchema(why);
        *why = QStringLiteral("it holds no archive yet");
        return false;
    }
    Statement version(db_, "SELECT value FROM meta WHERE key = 'schema'");
    if (!version.ok() || version.step() != SQLITE_ROW) {
        *why = QStringLiteral("it is not a Zel archive");
        return false;
    }
    const int v = version.text(0).toInt();
    if (v != SchemaVersion) {
        *why = v > SchemaVersion ? QStringLiteral("it was made by a newer Zel (schema %1)").arg(v)
                                 : QStringLiteral("its schema %1 is unknown").arg(v);
        return false;
    }
    Statement newest(db_, "SELECT max(k) FROM reading");
    if (!newest.ok() || newest.step() != SQLITE_ROW) {
        *why = QString::fromUtf8(sqlite3_errmsg(db_));
        return false;
    }
    maxKey_ = newest.isNull(0) ? std::numeric_limits<qint64>::min() : newest.i64(0);
    return true;
}

bool Archive::setAside(const QString& why) {
    close();
    const QString stamp =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = path_ + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
        aside = path_ + QStringLiteral(".damaged-") + stamp + QLatin1Char('-') + QString::number(n);
    // rename() moves a planted link itself, never what it points to.
    if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(aside).constData()) != 0)
        return fail(QStringLiteral("%1 cannot be used (%2) and cannot be moved aside: %3")
                        .arg(path_, why, QString::fromLocal8Bit(std::strerror(errno))));
    // The write-ahead log belongs to the file it was written for.
    for (const char* suffix : {"-wal", "-journal"}) {
        const QString from = path_ + QLatin1String(suffix);
        if (QFileInfo::exists(from))
            QFile::rename(from, aside + QLatin1String(suffix));
    }
    QFile::remove(path_ + QStringLiteral("-shm"));
    keptAside_ = aside;
    notice_ = QStringLiteral("%1 could not be used (%2); it was kept as %3 and a new archive was "
                             "started.")
                  .arg(QFileInfo(path_).fileName(), why, QFileInfo(aside).fileName());
    return true;
}

bool Archive::open(const QString& path, OpenMode mode) {
    close();
    path_ = path;
    notice_.clear();
    keptAside_.clear();
    error_.clear();
    maxKey_ = std::numeric_limits<qint64>::min();
    const QFileInfo info(path);
    QString why;
    if (mode == OpenMode::Inspect) {
        if (!info.exists() && !info.isSymLink())
            return fail(QStringLiteral("There is no archive at %1").arg(path));
        if (info.isSymLink())
            return fail(QStringLiteral("%1 is a symbolic link; an archive is never opened through "
                                       "one")
                            .arg(path));
        if (!quickLook(path, &why) || !openConnection(path, false, &why) ||
            !checkSchema(&why, false)) {
            close();
            return fail(QStringLiteral("%1 cannot be used: %2").arg(path, why));
        }
    } else {
        // Only a file whose content is wrong is set aside; one that cannot
        // be opened (permissions, a missing folder, a lock) is left as it is.
        bool usable = true;
        if (info.isSymLink()) {
            why = QStringLiteral("it is a symbolic link");
            usable = false;
        } else if (info.exists() && !QFile(path).open(QIODevice::ReadWrite)) {
            return fail(QStringLiteral("%1 cannot be opened: %2")
                            .arg(path, QFile(path).open(QIODevice::ReadOnly)
                                           ? QStringLiteral("it is read-only")
                                           : QStringLiteral("it cannot be read")));
        } else if (info.exists() && !quickLook(path, &why)) {
            usable = false;
        } else if (!openConnection(path, true, &why)) {
            return fail(QStringLiteral("%1 cannot be opened: %2").arg(path, why));
        } else if (!checkSchema(&why, true)) {
            const int code = sqlite3_errcode(db_) & 0xff;
            const bool damaged = code == SQLITE_CORRUPT || code == SQLITE_NOTADB ||
                                 why.contains(QLatin1String("not a Zel archive")) ||
                                 why.contains(QLatin1String("is unknown"));
            // A newer program's archive, or one another program holds, is
            // not damaged: it is left alone.
            if (!damaged) {
                close();
                return fail(QStringLiteral("%1 cannot be used: %2").arg(path, why));
            }
            usable = false;
        }
        if (!usable) {
            if (!setAside(why))
                return false;
            if (!openConnection(path, true, &why) || !checkSchema(&why, true)) {
                close();
                return fail(QStringLiteral("A new archive %1 cannot be made: %2").arg(path, why));
            }
        }
    }
    // WAL, set only once the file is known to be ours: readers never wait
    // for the writer, and the writer never waits for readers.
    if (mode == OpenMode::Write && !exec("PRAGMA journal_mode=WAL")) {
        const QString why = error_;
        close();
        return fail(why);
    }
    return loadDictionaries();
}

bool Archive::loadDictionaries() {
    dict_ = std::make_unique<Dictionaries>();
    pending_ = std::make_unique<Pending>();
    {
        Statement s(db_, "SELECT id, family, instrument, unit, base_factor FROM series");
        while (s.step() == SQLITE_ROW) {
            Dictionaries::SeriesRow row{s.text(1), s.text(2), s.text(3),
                                        s.isNull(4) ? std::numeric_limits<double>::quiet_NaN()
                                                    : s.real(4)};
            const int id = int(s.i64(0));
            dict_->seriesByKey.insert(Dictionaries::key3(row.family, row.instrument, row.unit), id);
            dict_->seriesById.insert(id, row);
        }
    }
    {
        Statement s(db_, "SELECT id, status, detector, over_mark FROM label");
        while (s.step() == SQLITE_ROW) {
            Dictionaries::LabelRow row{s.text(1), s.text(2), s.text(3)};
            const int id = int(s.i64(0));
            dict_->labelByKey.insert(Dictionaries::key3(row.status, row.detector, row.overMark),
                                     id);
            dict_->labelById.insert(id, row);
        }
    }
    {
        Statement s(db_, "SELECT id, text FROM text");
        while (s.step() == SQLITE_ROW) {
            dict_->textByValue.insert(s.text(1), int(s.i64(0)));
            dict_->textById.insert(int(s.i64(0)), s.text(1));
        }
    }
    Statement newest(db_, "SELECT max(k) FROM reading");
    if (!newest.ok() || newest.step() != SQLITE_ROW)
        return fail(path_);
    maxKey_ = newest.isNull(0) ? std::numeric_limits<qint64>::min() : newest.i64(0);
    dict_->insertReading = std::make_unique<Statement>(
        db_, "INSERT INTO reading(k, s, v, f, w, l, q, x, r, n) VALUES(?,?,?,?,?,?,?,?,?,?)");
    dict_->readSlots = std::make_unique<Statement>(
        db_, "SELECT k, s, v, f, w, l, x FROM reading WHERE k BETWEEN ? AND ?");
    for (int level = 0; level < 3; ++level) {
        const std::string sql =
            std::string("INSERT INTO ") + SummaryTables[level] +
            "(s, b, a, n, lo, hi, total) VALUES(?,?,?,?,?,?,?) ON CONFLICT(s, b) DO UPDATE SET "
            "a = a + excluded.a, n = n + excluded.n, "
            "lo = CASE WHEN lo IS NULL OR excluded.lo < lo THEN excluded.lo ELSE lo END, "
            "hi = CASE WHEN hi IS NULL OR excluded.hi > hi THEN excluded.hi ELSE hi END, "
            "total = coalesce(total, 0) + coalesce(excluded.total, 0)";
        dict_->upsert[level] = std::make_unique<Statement>(db_, sql.c_str());
    }
    if (!dict_->insertReading->ok() || !dict_->readSlots->ok() || !dict_->upsert[2]->ok())
        return fail(path_);
    dataVersion_ = dataVersion();
    return true;
}

int Archive::seriesId(const ArchivedReading& r) {
    // Readings come in runs of one series: the last one answers most asks
    // without building a key.
    if (dict_->lastSeries > 0) {
        const auto& last = dict_->seriesById[dict_->lastSeries];
        if (last.family == r.family && last.instrument == r.instrumentId && last.unit == r.unit)
            return dict_->lastSeries;
    }
    const int id = seriesIdOf(r);
    if (id > 0)
        dict_->lastSeries = id;
    return id;
}

int Archive::seriesIdOf(const ArchivedReading& r) {
    const QString key = Dictionaries::key3(r.family, r.instrumentId, r.unit);
    const auto found = dict_->seriesByKey.constFind(key);
    if (found != dict_->seriesByKey.constEnd())
        return *found;
    Statement insert(db_, "INSERT INTO series(family, instrument, unit, base_unit, base_factor) "
                          "VALUES(?,?,?,?,?)");
    insert.bind(1, r.family);
    insert.bind(2, r.instrumentId);
    insert.bind(3, r.unit);
    const std::optional<BaseUnit> base = baseUnit(r.unit);
    if (base) {
        insert.bind(4, QString::fromUtf8(base->symbol));
        insert.bind(5, base->factor);
    }
    if (insert.step() != SQLITE_DONE)
        return fail(path_), -1;
    const int id = int(sqlite3_last_insert_rowid(db_));
    dict_->seriesByKey.insert(key, id);
    dict_->seriesById.insert(id, {r.family, r.instrumentId, r.unit,
                                  base ? base->factor : std::numeric_limits<double>::quiet_NaN()});
    return id;
}

int Archive::labelId(const ArchivedReading& r) {
    if (dict_->lastLabel > 0) {
        const auto& last = dict_->labelById[dict_->lastLabel];
        if (last.status == r.status && last.detector == r.detector && last.overMark == r.overMark)
            return dict_->lastLabel;
    }
    const int id = labelIdOf(r);
    if (id > 0)
        dict_->lastLabel = id;
    return id;
}

int Archive::labelIdOf(const ArchivedReading& r) {
    const QString key = Dictionaries::key3(r.status, r.detector, r.overMark);
    const auto found = dict_->labelByKey.constFind(key);
    if (found != dict_->labelByKey.constEnd())
        return *found;
    Statement insert(db_, "INSERT INTO label(status, detector, over_mark) VALUES(?,?,?)");
    insert.bind(1, r.status);
    insert.bind(2, r.detector);
    insert.bind(3, r.overMark);
    if (insert.step() != SQLITE_DONE)
        return fail(path_), -1;
    const int id = int(sqlite3_last_insert_rowid(db_));
    dict_->labelByKey.insert(key, id);
    dict_->labelById.insert(id, {r.status, r.detector, r.overMark});
    return id;
}

int Archive::textId(const QString& text) {
    const auto found = dict_->textByValue.constFind(text);
    if (found != dict_->textByValue.constEnd())
        return *found;
    Statement insert(db_, "INSERT INTO text(text) VALUES(?)");
    insert.bind(1, text);
    if (insert.step() != SQLITE_DONE)
        return fail(path_), -1;
    const int id = int(sqlite3_last_insert_rowid(db_));
    dict_->textByValue.insert(text, id);
    dict_->textById.insert(id, text);
    return id;
}

QString Archive::textOf(int id) const {
    return dict_ ? dict_->textById.value(id) : QString();
}

bool Archive::begin() {
    if (!db_)
        return fail(QStringLiteral("The archive is not open"));
    if (inTransaction_)
        return true;
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    inTransaction_ = true;
    // Another program (zel-archive import) may have written since: what
    // this connection remembers of the tables is read again, or an insert
    // would collide with rows it does not know of.
    if (dataVersion() != dataVersion_ && !loadDictionaries()) {
        const QString keepError = error_;
        rollback();
        error_ = keepError;
        return false;
    }
    pending_->summaries.clear();
    return true;
}

qint64 Archive::dataVersion() const {
    Statement q(db_, "PRAGMA data_version");
    return q.step() == SQLITE_ROW ? q.i64(0) : -1;
}

void Archive::rollback() {
    if (!db_)
        return;
    if (inTransaction_)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    inTransaction_ = false;
    // Entries the transaction added to the dictionaries are gone again.
    const QString keepError = error_;
    const bool keepDiskFull = diskFull_;
    loadDictionaries();
    error_ = keepError;
    diskFull_ = keepDiskFull;
}

bool Archive::flushSummaries() {
    for (const auto& [key, agg] : pending_->summaries) {
        Statement& u = *dict_->upsert[std::get<0>(key)];
        u.bind(1, std::get<1>(key));
        u.bind(2, std::get<2>(key));
        u.bind(3, agg.all);
        u.bind(4, agg.numbers);
        if (agg.numbers > 0) {
            u.bind(5, agg.lo);
            u.bind(6, agg.hi);
            u.bind(7, agg.total);
        }
        const int rc = u.step();
        u.reset();
        if (rc != SQLITE_DONE)
            return fail(path_);
    }
    pending_->summaries.clear();
    return true;
}

bool Archive::commit() {
    if (!inTransaction_)
        return true;
    if (!flushSummaries() || !exec("COMMIT")) {
        rollback();
        return false;
    }
    inTransaction_ = false;
    return true;
}

bool Archive::insertOne(const ArchivedReading& r, AddCounts* counts) {
    const int s = seriesId(r);
    const int l = labelId(r);
    if (s < 0 || l < 0)
        return false;
    const bool isNumber = std::isfinite(r.value);
    int64_t shape = 0;
    std::optional<qint64> digits;
    const int d = decimalsOf(r.valueText);
    if (isNumber && d < 16 && r.valueText == QString::number(r.value, 'f', d)) {
        shape = d + 1;
        const double scaled = r.value * PowersOfTen[d];
        if (std::abs(scaled) < double(ExactIntegers)) {
            const qint64 m = std::llround(scaled);
            if (double(m) / PowersOfTen[d] == r.value)
                digits = m;
        }
    } else if (!isNumber || r.valueText != shortestText(r.value)) {
        const int t = textId(r.valueText);
        if (t < 0)
            return false;
        shape = -t;
    }
    const qint64 w = qint64(r.wallOffsetS) * 4 + qint64(r.timeStyle);
    const qint64 base = r.instantMs * ArchiveSlotsPerMs;
    qint64 slot = 0;
    Pending& p = *pending_;
    if (base <= maxKey_) {
        if (!p.instantKnown || p.instantBase != base) {
            if (!loadInstantRows(base))
                return false;
        }
        const auto& mine = dict_->seriesById[s];
        qint64 same = 0;
        qint64 last = -1;
        for (const Pending::SlotRow& row : p.instantRows) {
            last = std::max(last, row.slot);
            bool match = row.series == s;
            if (!match) {
                const auto& other = dict_->seriesById[row.series];
                match = other.instrument == mine.instrument && other.unit == mine.unit &&
                        (other.family.isEmpty() || mine.family.isEmpty());
            }
            match = match && row.shape == shape && row.wall == w && row.label == l &&
                    (isNumber ? !row.isNull && row.value == r.value : row.isNull) &&
                    row.extras == r.extras;
            if (match)
                ++same;
        }
        if (same > r.occurrence) {
            if (counts)
                ++counts->alreadyThere;
            return true;
        }
        slot = last + 1;
        if (slot >= ArchiveSlotsPerMs) {
            if (counts)
                ++counts->refused;
            return true;
        }
    } else {
        // Nothing is kept at or after this instant yet.
        p.instantKnown = true;
        p.instantBase = base;
        p.instantRows.clear();
    }
    Statement& ins = *dict_->insertReading;
    ins.bind(1, base + slot);
    ins.bind(2, s);
    if (digits)
        ins.bind(3, *digits);
    else if (isNumber)
        ins.bind(3, r.value);
    ins.bind(4, qint64(shape));
    ins.bind(5, w);
    ins.bind(6, l);
    const int alarm = std::clamp(int(r.alarmLevel), -1, 6) + 1;
    ins.bind(7, qint64(int(r.source) & 3) | qint64(r.flags & 15) << 2 | qint64(alarm) << 6);
    if (!r.extras.isEmpty())
        ins.bind(8, r.extras);
    if (!r.run.isEmpty()) {
        const int t = textId(r.run);
        if (t < 0)
            return false;
        ins.bind(9, qint64(t));
    }
    if (r.seq >= 0)
        ins.bind(10, r.seq);
    const int rc = ins.step();
    ins.reset();
    if (rc != SQLITE_DONE)
        return fail(path_);
    maxKey_ = std::max(maxKey_, base + slot);
    if (p.instantKnown && p.instantBase == base)
        p.instantRows.push_back(
            {s, l, slot, shape, w, !isNumber, isNumber ? r.value : 0.0, r.extras});
    if (counts)
        ++counts->added;
    for (int level = 0; level < 3; ++level) {
        Aggregate& a =
            pending_->summaries[{level, s, floorDivision(r.instantMs, SummaryBucketMs[level])}];
        ++a.all;
        if (isNumber) {
            if (a.numbers == 0 || r.value < a.lo)
                a.lo = r.value;
            if (a.numbers == 0 || r.value > a.hi)
                a.hi = r.value;
            a.total += r.value;
            ++a.numbers;
        }
    }
    return true;
}

// The rows already kept at the instant of `base`, read from the table.
bool Archive::loadInstantRows(qint64 base) {
    Pending& p = *pending_;
    p.instantKnown = false;
    p.instantRows.clear();
    Statement& q = *dict_->readSlots;
    q.bind(1, base);
    q.bind(2, base + ArchiveSlotsPerMs - 1);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        Pending::SlotRow row;
        row.slot = q.i64(0) - base;
        row.series = int(q.i64(1));
        row.shape = q.i64(3);
        row.isNull = q.isNull(2);
        row.value = row.isNull ? 0.0 : storedValue(q, 2, row.shape);
        row.wall = q.i64(4);
        row.label = int(q.i64(5));
        row.extras = q.text(6);
        p.instantRows.push_back(std::move(row));
    }
    q.reset();
    if (rc != SQLITE_DONE)
        return fail(path_);
    p.instantKnown = true;
    p.instantBase = base;
    return true;
}

bool Archive::addInTransaction(const std::vector<ArchivedReading>& readings, AddCounts* counts) {
    for (const ArchivedReading& r : readings)
        if (!insertOne(r, counts))
            return false;
    return true;
}

bool Archive::addEventsInTransaction(const std::vector<ArchiveEvent>& events) {
    if (events.empty())
        return true;
    Statement ins(db_, "INSERT INTO event(t, kind, detail) VALUES(?,?,?)");
    for (const ArchiveEvent& e : events) {
        ins.bind(1, e.instantMs);
        ins.bind(2, int(e.kind));
        if (!e.detail.isEmpty())
            ins.bind(3, e.detail);
        const int rc = ins.step();
        ins.reset();
        if (rc != SQLITE_DONE)
            return fail(path_);
    }
    return true;
}

bool Archive::add(const std::vector<ArchivedReading>& readings, AddCounts* counts,
                  const std::vector<ArchiveEvent>& events) {
    AddCounts mine;
    if (!begin())
        return false;
    if (!addInTransaction(readings, &mine) || !addEventsInTransaction(events) || !commit()) {
        rollback();
        return false;
    }
    if (counts) {
        counts->added += mine.added;
        counts->alreadyThere += mine.alreadyThere;
        counts->refused += mine.refused;
    }
    return true;
}

QString Archive::meta(const QString& key) const {
    if (!db_)
        return {};
    Statement s(db_, "SELECT value FROM meta WHERE key = ?");
    s.bind(1, key);
    return s.step() == SQLITE_ROW ? s.text(0) : QString();
}

bool Archive::setMeta(const QString& key, const QString& value) {
    Statement s(db_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)");
    s.bind(1, key);
    s.bind(2, value);
    return s.step() == SQLITE_DONE || fail(path_);
}

qint64 Archive::thin(int keepDays, qint64 nowMs) {
    if (!db_ || keepDays <= 0)
        return 0;
    // Whole minutes, so a minute's summary stands for readings that are
    // either all kept or all thinned.
    const qint64 cutoff =
        floorDivision(nowMs - qint64(keepDays) * MsPerDay, MsPerMinute) * MsPerMinute;
    if (cutoff <= meta(QStringLiteral("raw_from")).toLongLong())
        return 0;
    if (!begin())
        return -1;
    Statement del(db_, "DELETE FROM reading WHERE k < ?");
    del.bind(1, cutoff * ArchiveSlotsPerMs);
    if (del.step() != SQLITE_DONE) {
        fail(path_);
        rollback();
        return -1;
    }
    const qint64 dropped = sqlite3_changes64(db_);
    pending_->instantKnown = false;
    if (!setMeta(QStringLiteral("raw_from"), QString::number(cutoff)) || !commit()) {
        rollback();
        return -1;
    }
    return dropped;
}

std::vector<Archive::SeriesInfo> Archive::series() const {
    std::vector<SeriesInfo> out;
    if (!dict_)
        return out;
    for (auto it = dict_->seriesById.constBegin(); it != dict_->seriesById.constEnd(); ++it)
        out.push_back({it.key(), it->family, it->instrument, it->unit});
    std::sort(out.begin(), out.end(),
              [](const SeriesInfo& a, const SeriesInfo& b) { return a.id < b.id; });
    return out;
}

std::vector<int> Archive::selectedSeries(const Selection& which) const {
    std::vector<int> ids;
    if (!dict_)
        return ids;
    for (auto it = dict_->seriesById.constBegin(); it != dict_->seriesById.constEnd(); ++it)
        if ((which.family.isEmpty() || it->family == which.family) &&
            (which.unit.isEmpty() || it->unit == which.unit))
            ids.push_back(it.key());
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool Archive::forEachReading(qint64 fromMs, qint64 toMs, const Selection& which,
                             const std::function<bool(const ArchivedReading&)>& each) const {
    if (!db_)
        return fail(QStringLiteral("The archive is not open"));
    const std::vector<int> ids = selectedSeries(which);
    const bool all = which.family.isEmpty() && which.unit.isEmpty();
    Statement q(db_, "SELECT k, s, v, f, w, l, q, x, r, n FROM reading WHERE k BETWEEN ? AND ? "
                     "ORDER BY k");
    q.bind(1, fromMs * ArchiveSlotsPerMs);
    q.bind(2, toMs * ArchiveSlotsPerMs + ArchiveSlotsPerMs - 1);
    std::map<std::pair<double, qint64>, QString> texts;
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        const int s = int(q.i64(1));
        if (!all && !std::binary_search(ids.begin(), ids.end(), s))
            continue;
        ArchivedReading r;
        r.instantMs = q.i64(0) >> 8;
        const qint64 w = q.i64(4);
        r.wallOffsetS = int32_t(floorDivision(w, 4));
        r.timeStyle = TimeStyle(w - floorDivision(w, 4) * 4);
        const auto& sr = dict_->seriesById[s];
        r.family = sr.family;
        r.instrumentId = sr.instrument;
        r.unit = sr.unit;
        const qint64 shape = q.i64(3);
        r.value = storedValue(q, 2, shape);
        if (shape < 0) {
            r.valueText = textOf(int(-shape));
        } else {
            // A station's values repeat: each text is made once per query.
            const std::pair<double, qint64> key{r.value, shape};
            auto known = texts.find(key);
            if (known == texts.end())
                known = texts.emplace(key, valueTextOf(r.value, shape)).first;
            r.valueText = known->second;
        }
        const auto& lr = dict_->labelById[int(q.i64(5))];
        r.status = lr.status;
        r.detector = lr.detector;
        r.overMark = lr.overMark;
        const qint64 bits = q.i64(6);
        r.source = ReadingSource(bits & 3);
        r.flags = uint8_t((bits >> 2) & 15);
        r.alarmLevel = int8_t(((bits >> 6) & 7) - 1);
        if (!q.isNull(7))
            r.extras = q.text(7);
        if (!q.isNull(8))
            r.run = textOf(int(q.i64(8)));
        if (!q.isNull(9))
            r.seq = q.i64(9);
        if (!each(r))
            return true;
    }
    return rc == SQLITE_DONE || fail(path_);
}

std::vector<ArchivedReading> Archive::readings(qint64 fromMs, qint64 toMs, const Selection& which,
                                               qint64 limit) const {
    std::vector<ArchivedReading> out;
    // Room for a reading a second, as most stations file at most: growing a
    // vector of readings step by step costs more than reading them.
    const qint64 expected = std::clamp<qint64>((toMs - fromMs) / 1000 + 1, 0, 1 << 16);
    out.reserve(size_t(limit >= 0 ? std::min(limit, expected) : expected));
    forEachReading(fromMs, toMs, which, [&](const ArchivedReading& r) {
        if (limit >= 0 && qint64(out.size()) >= limit)
            return false;
        out.push_back(r);
        return true;
    });
    return out;
}

Archive::Reduced Archive::reduced(qint64 fromMs, qint64 toMs, int steps,
                                  const Selection& which) const {
    Reduced out;
    if (!db_ || steps <= 0 || toMs <= fromMs)
        return out;
    const qint64 span = toMs - fromMs;
    out.steps.resize(size_t(steps));
    for (int i = 0; i < steps; ++i) {
        out.steps[size_t(i)].fromMs = fromMs + span * i / steps;
        out.steps[size_t(i)].toMs = fromMs + span * (i + 1) / steps;
    }
    // One unit in the selection: its own numbers; several: the base unit.
    const std::vector<int> ids = selectedSeries(which);
    QString unit;
    bool oneUnit = true;
    for (int id : ids) {
        const QString& u = dict_->seriesById[id].unit;
        if (unit.isNull())
            unit = u;
        else if (u != unit)
            oneUnit = false;
    }
    std::map<int, double> factor;
    for (int id : ids) {
        if (oneUnit) {
            factor[id] = 1;
        } else {
            const double f = dict_->seriesById[id].baseFactor;
            if (std::isfinite(f) && f > 0)
                factor[id] = f;
        }
    }
    if (oneUnit) {
        out.unit = unit;
    } else if (!factor.empty()) {
        const std::optional<BaseUnit> b = baseUnit(dict_->seriesById[factor.begin()->first].unit);
        out.unit = b ? QString::fromUtf8(b->symbol) : QString();
    }

    const qint64 stepMs = span / steps;
    int level = -1; // raw
    if (stepMs >= MsPerDay)
        level = 2;
    else if (stepMs >= MsPerHour)
        level = 1;
    else if (stepMs >= MsPerMinute)
        level = 0;
    else if (fromMs < meta(QStringLiteral("raw_from")).toLongLong())
        level = 0; // the raw readings there were thinned to minutes
    out.level = level < 0 ? Level::Raw : Level(level + 1);

    auto stepOf = [&](qint64 t) {
        const qint64 i = t < fromMs ? 0 : (t - fromMs) * steps / span;
        return size_t(std::clamp<qint64>(i, 0, steps - 1));
    };
    auto merge = [&](Step& st, qint64 n, double lo, double hi, double total) {
        if (n <= 0)
            return;
        if (st.count == 0 || lo < st.min)
            st.min = lo;
        if (st.count == 0 || hi > st.max)
            st.max = hi;
        st.mean += total; // a sum until the end
        st.count += n;
    };
    if (level < 0) {
        Statement q(db_,
                    "SELECT k, s, v, f FROM reading WHERE k BETWEEN ? AND ? AND v IS NOT NULL");
        q.bind(1, fromMs * ArchiveSlotsPerMs);
        q.bind(2, toMs * ArchiveSlotsPerMs - 1);
        while (q.step() == SQLITE_ROW) {
            const auto f = factor.find(int(q.i64(1)));
            if (f == factor.end())
                continue;
            const double v = storedValue(q, 2, q.i64(3)) * f->second;
            merge(out.steps[stepOf(q.i64(0) >> 8)], 1, v, v, v);
        }
    } else {
        const qint64 bucket = SummaryBucketMs[level];
        const std::string sql = std::string("SELECT b, n, lo, hi, total FROM ") +
                                SummaryTables[level] + " WHERE s = ? AND b BETWEEN ? AND ?";
        Statement q(db_, sql.c_str());
        for (const auto& [id, f] : factor) {
            q.bind(1, qint64(id));
            q.bind(2, floorDivision(fromMs, bucket));
            q.bind(3, floorDivision(toMs - 1, bucket));
            while (q.step() == SQLITE_ROW) {
                const qint64 n = q.i64(1);
                if (n <= 0)
                    continue;
                merge(out.steps[stepOf(q.i64(0) * bucket)], n, q.real(2) * f, q.real(3) * f,
                      q.real(4) * f);
            }
            q.reset();
        }
    }
    for (Step& st : out.steps)
        st.mean = st.count > 0 ? st.mean / double(st.count) : 0;
    return out;
}

std::vector<ArchiveEvent> Archive::events(qint64 fromMs, qint64 toMs) const {
    std::vector<ArchiveEvent> out;
    if (!db_)
        return out;
    Statement q(db_, "SELECT t, kind, detail FROM event WHERE t BETWEEN ? AND ? ORDER BY t, id");
    q.bind(1, fromMs);
    q.bind(2, toMs);
    while (q.step() == SQLITE_ROW)
        out.push_back({q.i64(0), ArchiveEventKind(q.i64(1)), q.text(2)});
    return out;
}

// Collection is down while any of four things is: collection itself
// (stopped, the program stopped or ended), the contact, the port, the disk.
// Without events nothing is claimed: an imported file is not a gap.
std::vector<ArchiveGap> Archive::gaps(qint64 fromMs, qint64 toMs) const {
    std::vector<ArchiveGap> out;
    if (!db_)
        return out;
    enum { Collection, Contact, Port, Disk, Causes };
    std::optional<ArchiveEventKind> down[Causes];
    qint64 openedAt = 0;
    bool open = false;
    ArchiveEventKind why = ArchiveEventKind::CollectionStopped;
    auto anyDown = [&] {
        return std::any_of(std::begin(down), std::end(down), [](const auto& d) { return bool(d); });
    };
    Statement q(db_, "SELECT t, kind FROM event WHERE t <= ? ORDER BY t, id");
    q.bind(1, toMs);
    while (q.step() == SQLITE_ROW) {
        const qint64 t = q.i64(0);
        const auto kind = ArchiveEventKind(q.i64(1));
        const bool wasDown = anyDown();
        switch (kind) {
        case ArchiveEventKind::CollectionStopped:
        case ArchiveEventKind::ProgramStopped:
        case ArchiveEventKind::ProgramEndedUnclean:
            down[Collection] = kind;
            break;
        case ArchiveEventKind::CollectionStarted:
            down[Collection].reset();
            down[Contact].reset();
            down[Port].reset();
            break;
        case ArchiveEventKind::ContactLost:
            down[Contact] = kind;
            break;
        case ArchiveEventKind::ContactBack:
            down[Contact].reset();
            break;
        case ArchiveEventKind::PortLost:
            down[Port] = kind;
            break;
        case ArchiveEventKind::PortBack:
            down[Port].reset();
            break;
        case ArchiveEventKind::ProgramStarted:
            down[Contact].reset();
            down[Port].reset();
            break;
        case ArchiveEventKind::DiskFull:
            down[Disk] = kind;
            break;
        case ArchiveEventKind::DiskBack:
            down[Disk].reset();
            break;
        }
        const bool isDown = anyDown();
        if (!wasDown && isDown) {
            openedAt = t;
            open = true;
            why = kind;
        } else if (wasDown && !isDown && open) {
            if (t >= fromMs)
                out.push_back({std::max(openedAt, fromMs), t, why});
            open = false;
        }
    }
    if (open)
        out.push_back({std::max(openedAt, fromMs), toMs, why});
    return out;
}

std::optional<qint64> Archive::lastInstantMs() const {
    if (!db_)
        return std::nullopt;
    Statement q(db_, "SELECT max(k) FROM reading");
    if (q.step() != SQLITE_ROW || q.isNull(0))
        return std::nullopt;
    return q.i64(0) >> 8;
}

Archive::Stats Archive::stats() const {
    Stats s;
    if (!db_)
        return s;
    auto one = [&](const char* sql) -> std::optional<qint64> {
        Statement q(db_, sql);
        if (q.step() != SQLITE_ROW || q.isNull(0))
            return std::nullopt;
        return q.i64(0);
    };
    s.readings = one("SELECT sum(a) FROM day").value_or(0);
    s.rawFromMs = meta(QStringLiteral("raw_from")).toLongLong();
    s.rawReadings = s.readings;
    if (s.rawFromMs > 0) {
        Statement q(db_, "SELECT sum(a) FROM minute WHERE b >= ?");
        q.bind(1, s.rawFromMs / MsPerMinute);
        s.rawReadings = q.step() == SQLITE_ROW ? q.i64(0) : 0;
    }
    const std::optional<qint64> firstMinute = one("SELECT min(b) FROM minute");
    const std::optional<qint64> firstRaw = one("SELECT min(k) FROM reading");
    if (firstRaw && (s.rawFromMs == 0 || !firstMinute))
        s.firstMs = *firstRaw >> 8;
    else if (firstMinute)
        s.firstMs = *firstMinute * MsPerMinute;
    const std::optional<qint64> lastRaw = one("SELECT max(k) FROM reading");
    const std::optional<qint64> lastMinute = one("SELECT max(b) FROM minute");
    if (lastRaw)
        s.lastMs = *lastRaw >> 8;
    else if (lastMinute)
        s.lastMs = *lastMinute * MsPerMinute;
    s.events = one("SELECT count(*) FROM event").value_or(0);
    const std::optional<qint64> firstEvent = one("SELECT min(t) FROM event");
    const std::optional<qint64> lastEvent = one("SELECT max(t) FROM event");
    if (firstEvent) {
        const qint64 from = std::min(*firstEvent, s.readings ? s.firstMs : *firstEvent);
        const qint64 to = std::max(*lastEvent, s.readings ? s.lastMs : *lastEvent);
        for (const ArchiveGap& g : gaps(from, to)) {
            ++s.gaps;
            s.gapMs += g.toMs - g.fromMs;
        }
    }
    s.series = int(dict_ ? dict_->seriesById.size() : 0);
    s.fileBytes = QFileInfo(path_).size();
    const QFileInfo wal(path_ + QStringLiteral("-wal"));
    if (wal.exists())
        s.fileBytes += wal.size();
    return s;
}

QStringList Archive::integrityCheck() const {
    QStringList problems;
    if (!db_)
        return {QStringLiteral("The archive is not open")};
    Statement q(db_, "PRAGMA integrity_check");
    if (!q.ok())
        return {QString::fromUtf8(sqlite3_errmsg(db_))};
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        const QString line = q.text(0);
        if (line != QLatin1String("ok"))
            problems << line;
    }
    if (rc != SQLITE_DONE)
        problems << QString::fromUtf8(sqlite3_errmsg(db_));
    return problems;
}

} // namespace zel

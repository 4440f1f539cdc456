// zel-archive: the station's record on the command line.
#include "app/program_identity.h"
#include "archive/archive.h"
#include "archive/archive_files.h"
#include "common/datetime.h"
#include "common/local_zone.h"
#include "common/paths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <optional>

namespace {

enum Exit {
    Done = 0,
    ArchiveFailed = 1, // the archive cannot be opened, read or written, or check found damage
    BadCommandLine = 2,
    BadInputFile = 3,
};

// Import waits this long for a running station's write to finish.
constexpr int ImportBusyTimeoutMs = 120000;

const char* const HelpText =
    R"(Usage: zel-archive COMMAND [ARGUMENTS] [--home DIR]

The station's record: every reading zel and zel-monitor filed, kept in
ZelArchive.sqlite in the program folder.

Commands:
  import FILE...          Archive data files: saved files, ZelTemp.csv,
                          probe.csv, Null.csv, downloaded logs. A reading
                          already archived is not added again, so importing a
                          file twice adds nothing. Each file goes in whole or
                          not at all.
  export --from T --to T [--out FILE]
                          Write the readings from T to T (both included) as a
                          data file that zel loads (a load takes the newest
                          10,001 readings). A range that holds more than one
                          family or unit gives one file for each, named
                          FILE-<family>-<unit>.csv. Default FILE:
                          ZelArchive-<from>-<to>.csv in the current folder.
  stats                   Readings, first and last time, gaps, size.
  check                   The full integrity check of the archive file.

Options (after the command):
  --home DIR              The program folder (default: as zel resolves it:
                          $ZEL_HOME, else the programs' folder when writable,
                          else ~/.local/share/zel).
  -h, --help              This text.
  --version               The version.

Times T are this computer's wall time ("2026-03-03 22:00", "2026-03-03T22:00:00",
a date alone is its midnight, the locale's short date), or UTC with a "Z" or an
offset ("2026-03-03T21:00:00Z").

stats, check and export work while zel or zel-monitor writes to the archive;
import waits for their writes to finish.

Exit status: 0 done; 1 the archive cannot be opened, read or written, or check
found damage; 2 a wrong command line (unknown command or option, a time that
does not read, from after to); 3 an input file that is not a data file or
cannot be read (the other files are still imported).
)";

void out(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}

void err(const QString& text) {
    std::fputs(("zel-archive: " + text).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

std::optional<qint64> timeArgument(const QString& text) {
    const QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('Z')) || t.contains(QRegularExpression(QStringLiteral(
                                            R"([T ]\d\d:\d\d(:\d\d(\.\d+)?)?[+-]\d\d:?\d\d$)")))) {
        QDateTime moment = QDateTime::fromString(t, Qt::ISODateWithMs);
        if (!moment.isValid())
            moment = QDateTime::fromString(t, Qt::ISODate);
        if (moment.isValid())
            return moment.toMSecsSinceEpoch();
        return std::nullopt;
    }
    const std::optional<QDateTime> local = zel::parseGeneralDateTime(t);
    if (!local)
        return std::nullopt;
    return zel::instantOfWallTime(local->date(), local->time());
}

QString shown(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString duration(qint64 ms) {
    const qint64 s = ms / 1000;
    if (s >= 86400)
        return QStringLiteral("%1 d %2 h").arg(s / 86400).arg((s % 86400) / 3600);
    if (s >= 3600)
        return QStringLiteral("%1 h %2 min").arg(s / 3600).arg((s % 3600) / 60);
    if (s >= 60)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
    return QStringLiteral("%1 s").arg(s);
}

struct CommandLine {
    QString command;
    QStringList files;
    QString home;
    QString from;
    QString to;
    QString outFile;
    QString problem;
};

CommandLine parse(const QStringList& args) {
    CommandLine c;
    if (args.size() < 2) {
        c.problem = QStringLiteral("no command; see zel-archive --help");
        return c;
    }
    c.command = args[1];
    for (int i = 2; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString* into) {
            if (i + 1 >= args.size()) {
                c.problem = QStringLiteral("%1 needs a value").arg(a);
                return;
            }
            *into = args[++i];
        };
        if (a == QLatin1String("--home"))
            value(&c.home);
        else if (a == QLatin1String("--from") && c.command == QLatin1String("export"))
            value(&c.from);
        else if (a == QLatin1String("--to") && c.command == QLatin1String("export"))
            value(&c.to);
        else if (a == QLatin1String("--out") && c.command == QLatin1String("export"))
            value(&c.outFile);
        else if (a.startsWith(QLatin1String("--")) || c.command != QLatin1String("import"))
            c.problem = QStringLiteral("unknown argument %1 for %2").arg(a, c.command);
        else
            c.files << a;
        if (!c.problem.isEmpty())
            break;
    }
    return c;
}

bool openArchive(zel::Archive& archive, const CommandLine& c, zel::Archive::OpenMode mode) {
    const QString folder = c.home.isEmpty() ? zel::programFolder() : c.home;
    if (!archive.open(zel::Archive::pathIn(folder), mode)) {
        err(archive.lastError());
        return false;
    }
    if (!archive.notice().isEmpty())
        err(archive.notice());
    return true;
}

int runImport(const CommandLine& c) {
    if (c.files.isEmpty()) {
        err(QStringLiteral("import needs at least one file"));
        return BadCommandLine;
    }
    zel::Archive archive;
    if (!openArchive(archive, c, zel::Archive::OpenMode::Write))
        return ArchiveFailed;
    sqlite3_busy_timeout(archive.handle(), ImportBusyTimeoutMs);
    int exit = Done;
    for (const QString& file : c.files) {
        const zel::ImportResult r = zel::importDataFile(archive, file);
        if (r.ok) {
            out(zel::importSummary(file, r));
            continue;
        }
        err(r.error + QStringLiteral("; nothing of it was imported"));
        if (r.notADataFile || !QFileInfo(file).isReadable() || !QFileInfo::exists(file))
            exit = exit == Done ? BadInputFile : exit;
        else
            exit = ArchiveFailed;
    }
    return exit;
}

int runExport(const CommandLine& c) {
    if (c.from.isEmpty() || c.to.isEmpty()) {
        err(QStringLiteral("export needs --from and --to"));
        return BadCommandLine;
    }
    const std::optional<qint64> from = timeArgument(c.from);
    const std::optional<qint64> to = timeArgument(c.to);
    if (!from || !to) {
        err(QStringLiteral("%1 is not a date and time").arg(!from ? c.from : c.to));
        return BadCommandLine;
    }
    if (*from > *to) {
        err(QStringLiteral("the range starts (%1) after it ends (%2)").arg(c.from, c.to));
        return BadCommandLine;
    }
    zel::Archive archive;
    if (!openArchive(archive, c, zel::Archive::OpenMode::Inspect))
        return ArchiveFailed;
    QString outFile = c.outFile;
    if (outFile.isEmpty()) {
        const QString f = QStringLiteral("yyyyMMdd-HHmmss");
        outFile = QStringLiteral("ZelArchive-%1-%2.csv")
                      .arg(QDateTime::fromMSecsSinceEpoch(*from).toString(f),
                           QDateTime::fromMSecsSinceEpoch(*to).toString(f));
    }
    const QString folder = QFileInfo(archive.path()).path();
    const QStringList keep = {archive.path(), archive.path() + QStringLiteral("-wal"),
                              folder + QStringLiteral("/ZelTemp.csv")};
    const zel::ExportResult r = zel::exportRange(archive, *from, *to, outFile, keep);
    if (!r.ok) {
        err(r.error);
        return r.refusedTarget ? BadCommandLine : ArchiveFailed;
    }
    out(QStringLiteral("%1 readings written to %2").arg(r.readings).arg(r.files.join(", ")));
    return Done;
}

int runStats(const CommandLine& c) {
    zel::Archive archive;
    if (!openArchive(archive, c, zel::Archive::OpenMode::Inspect))
        return ArchiveFailed;
    const zel::Archive::Stats s = archive.stats();
    out(QStringLiteral("archive: %1").arg(archive.path()));
    out(QStringLiteral("readings: %1").arg(s.readings));
    if (s.rawFromMs > 0)
        out(QStringLiteral("readings kept one by one: %1 (from %2; older ones as per-minute "
                           "summaries)")
                .arg(s.rawReadings)
                .arg(shown(s.rawFromMs)));
    if (s.readings > 0) {
        out(QStringLiteral("first: %1").arg(shown(s.firstMs)));
        out(QStringLiteral("last: %1").arg(shown(s.lastMs)));
    }
    out(QStringLiteral("series: %1").arg(s.series));
    out(QStringLiteral("events: %1").arg(s.events));
    out(QStringLiteral("gaps: %1 (%2 in all)").arg(s.gaps).arg(duration(s.gapMs)));
    QString size = QStringLiteral("size: %1 bytes").arg(s.fileBytes);
    if (s.rawReadings > 0)
        size += QStringLiteral(" (%1 bytes per reading)")
                    .arg(double(s.fileBytes) / double(s.rawReadings), 0, 'f', 1);
    out(size);
    return Done;
}

int runCheck(const CommandLine& c) {
    zel::Archive archive;
    if (!openArchive(archive, c, zel::Archive::OpenMode::Inspect))
        return ArchiveFailed;
    const QStringList problems = archive.integrityCheck();
    if (problems.isEmpty()) {
        out(QStringLiteral("%1: ok").arg(archive.path()));
        return Done;
    }
    for (const QString& p : problems)
        err(p);
    return ArchiveFailed;
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread exists: it sets the environment.
    zel::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    zel::setProgramIdentity(QStringLiteral("zel-archive"));
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h")) ||
        args.value(1) == QLatin1String("help")) {
        std::fputs(HelpText, stdout);
        return Done;
    }
    if (args.contains(QLatin1String("--version"))) {
        out(QStringLiteral("zel-archive " ZEL_VERSION_TEXT));
        return Done;
    }
    const CommandLine c = parse(args);
    if (!c.problem.isEmpty()) {
        err(c.problem);
        return BadCommandLine;
    }
    if (c.command == QLatin1String("import"))
        return runImport(c);
    if (c.command == QLatin1String("export"))
        return runExport(c);
    if (c.command == QLatin1String("stats"))
        return runStats(c);
    if (c.command == QLatin1String("check"))
        return runCheck(c);
    err(QStringLiteral("unknown command %1; see zel-archive --help").arg(c.command));
    return BadCommandLine;
}

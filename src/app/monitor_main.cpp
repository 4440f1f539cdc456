// zel-monitor: unattended collection from one instrument, without a window.
#include "app/program_identity.h"
#include "common/folder_lock.h"
#include "common/local_zone.h"
#include "common/paths.h"
#include "monitor/monitor.h"
#include "station/serial_link.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <systemd/sd-daemon.h>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM or SIGINT came while readings could not be filed (a full disk).
constexpr int kReadingsNotFiledExitCode = 74; // EX_IOERR

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop reads the pipe.
void onSignal(int signal) {
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
    // Before any thread exists: it sets the environment.
    zel::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    zel::watchLocalTimeZone(&app);
    zel::setProgramIdentity(QStringLiteral("zel-monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Collects on-line readings from the instrument set up for zel (Zel.ini, "
        "dax.ini), files each in ZelTemp.csv and prints one line per event. "
        "SIGTERM or SIGINT stops collection and ends the program; SIGHUP reads the settings "
        "again."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption journal(
        QStringLiteral("journal"),
        QStringLiteral("Prefix lines with journald priorities (<3> error, <4> warning, <6> info); "
                       "the default when started by systemd."));
    const QCommandLineOption reopen(QStringLiteral("reopen-seconds"),
                                    QStringLiteral("Seconds between attempts to re-open a lost "
                                                   "port (default 5)."),
                                    QStringLiteral("seconds"), QStringLiteral("5"));
    parser.addOption(journal);
    parser.addOption(reopen);
    QTextStream out(stdout);
    // A mistyped option is a settings error like a bad key: one line and exit
    // code 2, which the service unit does not restart on.
    const auto optionError = [&](const QString& detail) {
        out << zel::eventTime(QDateTime::currentDateTime())
            << " settings-error option=command-line detail=" << zel::eventValue(detail) << '\n';
        out.flush();
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return optionError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return optionError(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("zel-monitor: socketpair");
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);

    zel::Monitor::Options options;
    options.programFolder = zel::programFolder();
    options.settingsFile = zel::settingsFilePath();
    bool ok = false;
    const double seconds = parser.value(reopen).toDouble(&ok);
    if (!ok || !(seconds > 0 && seconds <= 86400))
        return optionError(QStringLiteral("--reopen-seconds \"%1\" is not a number of seconds "
                                          "above 0")
                               .arg(parser.value(reopen)));
    options.reopenIntervalMs = int(seconds * 1000);
    options.journalPriorities =
        parser.isSet(journal) || qEnvironmentVariableIsSet("JOURNAL_STREAM");

    // The folder is this program's before any file of it is opened; a second
    // program touches nothing and says who holds it.
    zel::FolderLock folderLock(options.programFolder);
    const zel::FolderLock::Result locked = folderLock.tryLock(QStringLiteral("zel-monitor"));
    if (locked != zel::FolderLock::Result::Taken) {
        if (options.journalPriorities)
            out << "<3>";
        out << zel::eventTime(QDateTime::currentDateTime());
        if (locked == zel::FolderLock::Result::Busy) {
            const zel::FolderHolder& holder = folderLock.holder();
            out << " folder-in-use folder=" << zel::eventValue(options.programFolder)
                << " holder=" << zel::eventValue(holder.text()) << " holder-pid=" << holder.pid
                << '\n';
        } else {
            out << " folder-error folder=" << zel::eventValue(options.programFolder) << " detail="
                << zel::eventValue(QStringLiteral("the folder cannot be locked: ") +
                                   folderLock.error())
                << '\n';
        }
        out.flush();
        return locked == zel::FolderLock::Result::Busy ? zel::kFolderInUseExitCode : 1;
    }

    zel::SerialLink link;
    zel::SystemClock clock;
    auto monitor = std::make_unique<zel::Monitor>(options, link, clock, out);

    // systemd learns that the monitor is up once it collects, and hears from
    // the main loop itself: a hung loop stops the heartbeat even while the
    // MQTT thread keeps "online" alive.
    uint64_t watchdogUsec = 0;
    QTimer heartbeat;
    if (sd_watchdog_enabled(0, &watchdogUsec) > 0 && watchdogUsec > 0) {
        heartbeat.setInterval(int(std::clamp<uint64_t>(watchdogUsec / 3000, 100, 10000)));
        QObject::connect(&heartbeat, &QTimer::timeout, [] { sd_notify(0, "WATCHDOG=1"); });
        heartbeat.start();
    }

    bool busy = false;
    // SIGHUP: the settings are read again, by a stop and a fresh start. The
    // readings that wait for the disk live only in this run's station, so
    // the reload waits until they are filed rather than drop them; a stop
    // (SIGTERM) still ends it at once.
    bool postponedSaid = false;
    QTimer reloadRetry;
    reloadRetry.setSingleShot(true);
    reloadRetry.setInterval(1000);
    const auto reload = [&] {
        const qint64 waiting = monitor->readingsTaken() - monitor->readingsFiled();
        if (waiting > 0) {
            if (!postponedSaid) {
                postponedSaid = true;
                if (options.journalPriorities)
                    out << "<4>";
                out << zel::eventTime(QDateTime::currentDateTime())
                    << " reload-postponed readings-waiting=" << waiting << " detail="
                    << zel::eventValue(QStringLiteral(
                           "the settings are read again once the waiting readings are filed"))
                    << '\n';
                out.flush();
            }
            reloadRetry.start();
            return;
        }
        postponedSaid = false;
        sd_notify(0, "RELOADING=1");
        monitor->stop([&] {
            QTimer::singleShot(0, [&] {
                monitor = std::make_unique<zel::Monitor>(options, link, clock, out);
                if (!monitor->start()) {
                    QCoreApplication::exit(2);
                    return;
                }
                sd_notify(0, "READY=1");
                busy = false;
            });
        });
    };
    QObject::connect(&reloadRetry, &QTimer::timeout, reload);
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        if (busy && !(reloadRetry.isActive() && byte != char(SIGHUP)))
            return; // a stop or a reload is already on its way
        busy = true;
        if (byte != char(SIGHUP)) {
            reloadRetry.stop(); // a stop overtakes a reload that waits
            sd_notify(0, "STOPPING=1");
            // Readings still waiting for the disk are lost with the process:
            // the service manager must not take that for a clean stop.
            monitor->stop([&] {
                const bool allFiled = monitor->readingsFiled() == monitor->readingsTaken();
                QCoreApplication::exit(allFiled ? 0 : kReadingsNotFiledExitCode);
            });
            return;
        }
        reload();
    });

    if (!monitor->start())
        return 2;
    sd_notify(0, "READY=1");
    const int code = app.exec();
    monitor.reset();
    return code;
}

// zel-monitor: unattended collection from one instrument, without a window.
#include "app/program_identity.h"
#include "common/paths.h"
#include "monitor/monitor.h"
#include "station/serial_link.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop reads the pipe.
void onSignal(int signal) {
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    zel::setProgramIdentity(QStringLiteral("zel-monitor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Collects on-line readings from the instrument set up for zel (Zel.ini, "
                       "dax.ini), files each in ZelTemp.csv and prints one line per event. "
                       "SIGTERM or SIGINT stops collection and ends the program."));
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
    parser.process(app);

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

    zel::Monitor::Options options;
    options.programFolder = zel::programFolder();
    options.settingsFile = zel::settingsFilePath();
    bool ok = false;
    const double seconds = parser.value(reopen).toDouble(&ok);
    options.reopenIntervalMs = ok && seconds > 0 ? int(seconds * 1000) : 5000;
    options.journalPriorities =
        parser.isSet(journal) || qEnvironmentVariableIsSet("JOURNAL_STREAM");

    QTextStream out(stdout);
    zel::SerialLink link;
    zel::SystemClock clock;
    zel::Monitor monitor(options, link, clock, out);

    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &byte, 1);
        monitor.stop([] { QCoreApplication::exit(0); });
    });

    if (!monitor.start())
        return 2;
    return app.exec();
}

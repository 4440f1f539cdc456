// zel-sim: a simulated instrument on a pseudo-terminal, the demo instrument
// and the peer of the end-to-end tests.
#include "sim/sim_cli.h"
#include "sim/sim_pty.h"
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zel-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));

    const zel::sim::SimCommandLine cmd = zel::sim::parseSimCommandLine(app.arguments());
    if (cmd.exitCode >= 0) {
        std::fputs(cmd.message.toLocal8Bit().constData(), cmd.exitCode == 0 ? stdout : stderr);
        return cmd.exitCode;
    }
    std::unique_ptr<zel::sim::SimInstrument> instrument = zel::sim::makeInstrument(cmd);
    if (!instrument) {
        std::fprintf(stderr, "zel-sim: %s is not available yet\n", qPrintable(cmd.family));
        return 2;
    }
    const auto toStderr = [](const QString& line) {
        std::fprintf(stderr, "zel-sim: %s\n", qPrintable(line));
        std::fflush(stderr);
    };
    if (cmd.verbose)
        instrument->setLogger(toStderr);

    zel::sim::SimPty pty(*instrument);
    pty.setReplyDelay(cmd.replyDelayMs);
    if (cmd.verbose)
        pty.setLogger(toStderr);
    if (!pty.open()) {
        toStderr(pty.errorString());
        return 1;
    }
    zel::sim::quitOnTerminationSignals(app);
    // The link exists before the device name is printed, so whoever waits
    // for that line can open either at once.
    if (!cmd.link.isEmpty() && !pty.createLink(cmd.link)) {
        toStderr(pty.errorString());
        return 1;
    }
    std::printf("zel-sim: %s on %s\n", qPrintable(instrument->family()),
                qPrintable(pty.slaveName()));
    std::fflush(stdout);

    const int rc = app.exec();
    pty.removeLink();
    if (instrument->readingsSent() >= 0)
        std::fprintf(stderr, "zel-sim: %lld readings sent\n",
                     static_cast<long long>(instrument->readingsSent()));
    return rc;
}

// The command line, and the simulator on a real pseudo-terminal.
#include "protocol/tarvo.h"
#include "sim/sim_cli.h"
#include "sim/sim_pty.h"
#include "sim/sim_tarvo.h"
#include "station/families.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using namespace zel::sim;
namespace t = zel::tarvo;

namespace {

SimCommandLine parse(QStringList args) {
    args.prepend(QStringLiteral("zel-sim"));
    return parseSimCommandLine(args);
}

// Reads from `fd` while the event loop runs, until `want` bytes came or the
// deadline passed.
QByteArray readFor(int fd, int want, int ms = 3000) {
    QByteArray got;
    QDeadlineTimer deadline(ms);
    while (got.size() < want && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got.append(buf, int(n));
    }
    return got;
}

// One whole frame: the simulator keeps its checksums clear of 03, so the
// first 03 after the start is the ETX.
QByteArray readFrame(int fd, int ms = 3000) {
    QByteArray got;
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        const qsizetype etx = got.indexOf(char(t::ETX), 1);
        if (etx > 0)
            return got.left(etx + 1);
        got += readFor(fd, int(got.size()) + 1, int(deadline.remainingTime()));
    }
    return got;
}

} // namespace

TEST(SimCommandLine, DefaultsAndOptions) {
    SimCommandLine c = parse({"tarvo5"});
    EXPECT_EQ(c.exitCode, -1);
    EXPECT_EQ(c.family, "tarvo5");
    EXPECT_EQ(c.optionsAs<TarvoOptions>().stopAfter, -1);

    c = parse({"tarvo5",
               "--link",
               "/tmp/x",
               "--detector",
               "0xA2",
               "--value",
               "1.5",
               "--units",
               "3",
               "--status",
               "4",
               "--short",
               "--records",
               "300",
               "--push-every",
               "0.5",
               "--silent",
               "--announce-only",
               "--corrupt-every",
               "3",
               "--stop-after",
               "0",
               "--verbose",
               "--steady",
               "--any-checksum"});
    ASSERT_EQ(c.exitCode, -1) << c.message.toStdString();
    EXPECT_EQ(c.link, "/tmp/x");
    EXPECT_EQ(c.optionsAs<TarvoOptions>().detector, 162);
    EXPECT_DOUBLE_EQ(c.optionsAs<TarvoOptions>().value, 1.5);
    EXPECT_EQ(c.optionsAs<TarvoOptions>().units, 3);
    EXPECT_EQ(c.optionsAs<TarvoOptions>().status, 4);
    EXPECT_TRUE(c.optionsAs<TarvoOptions>().shortReadings);
    EXPECT_EQ(c.optionsAs<TarvoOptions>().records, 300);
    EXPECT_DOUBLE_EQ(c.optionsAs<TarvoOptions>().pushEverySeconds, 0.5);
    EXPECT_TRUE(c.optionsAs<TarvoOptions>().silent && c.optionsAs<TarvoOptions>().announceOnly &&
                c.verbose && c.optionsAs<TarvoOptions>().steady);
    EXPECT_EQ(c.optionsAs<TarvoOptions>().corruptEvery, 3);
    EXPECT_EQ(c.optionsAs<TarvoOptions>().stopAfter, 0);
    EXPECT_FALSE(c.optionsAs<TarvoOptions>().padChecksum);
}

TEST(SimCommandLine, EveryFamilyOfTheStationHasItsSimulator) {
    for (const zel::Family& f : zel::families()) {
        const SimCommandLine c = parse({f.simulatorName});
        EXPECT_EQ(c.exitCode, -1) << c.message.toStdString();
        const std::unique_ptr<SimInstrument> instrument = makeInstrument(c);
        ASSERT_NE(instrument, nullptr) << f.simulatorName.toStdString();
        EXPECT_EQ(instrument->family(), f.simulatorName);
    }
}

TEST(SimCommandLine, RefusalsExitWithTwo) {
    for (const char* family : {"auto"}) {
        const SimCommandLine c = parse({family});
        EXPECT_EQ(c.exitCode, 2) << family;
        EXPECT_TRUE(c.message.contains("not available yet")) << c.message.toStdString();
    }
    const QList<QStringList> bad = {{},
                                    {"tarvo6"},
                                    {"tarvo5", "amp"},
                                    {"tarvo5", "--detector", "256"},
                                    {"tarvo5", "--units", "x"},
                                    {"tarvo5", "--value", "nan"},
                                    {"tarvo5", "--push-every", "-1"},
                                    {"tarvo5", "--records", "65280"},
                                    {"tarvo5", "--stop-after", "-2"},
                                    {"tarvo5", "--no-such-option"}};
    for (const QStringList& args : bad)
        EXPECT_EQ(parse(args).exitCode, 2) << args.join(' ').toStdString();
    const SimCommandLine help = parse({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.message.contains("--push-every"));
}

// Every simulator brings its options to the one command line: the help lists
// them all, and each simulator reads every command line, so a value one of
// them cannot take is refused whichever family runs (the first refusal is the
// one said). The Orvan's own options and the portable's --value are read only
// when that family runs.
TEST(SimCommandLine, OptionsComeFromEverySimulator) {
    const QString help = parse({"--help"}).message;
    for (const char* option : {"--detector", "--log-values", "--meter-type", "--gm", "--delay"})
        EXPECT_TRUE(help.contains(option)) << option;
    EXPECT_TRUE(help.contains("tarvo5, portables, amp or orvan")) << help.toStdString();

    const struct {
        QStringList args;
        int exitCode;
        const char* said;
    } cases[] = {
        {{"orvan", "--detector", "300"}, 2, "--detector wants a whole number from 0 to 255"},
        {{"tarvo5", "--meter-type", "9"}, 2, "--meter-type wants a whole number from 0 to 4"},
        {{"amp", "--log-values", "1,x"}, 2, "--log-values wants numbers of 0 and up, not 'x'"},
        {{"tarvo5", "--detector", "300", "--delay", "-5"}, 2, "--detector"},
        {{"orvan", "--units", "0x5"}, 2, "--units wants a whole number from 0 to 9"},
        {{"tarvo5", "--units", "0x5", "--gm", "-1"}, -1, ""},
        {{"tarvo5", "--value", "-1"}, -1, ""},
        {{"portables", "--value", "-1"}, 2, "--value wants a number, not '-1'"},
    };
    for (const auto& c : cases) {
        const SimCommandLine got = parse(c.args);
        EXPECT_EQ(got.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(got.message.contains(c.said)) << got.message.toStdString();
    }
}

TEST(SimPty, AnswersTheTestFrameThroughTheSlaveAndKeepsServingAfterReopen) {
    SimTarvo sim;
    SimPty pty(sim);
    ASSERT_TRUE(pty.open()) << pty.errorString().toStdString();
    ASSERT_TRUE(pty.slaveName().startsWith("/dev/pts/"));

    for (int round = 0; round < 2; ++round) {
        // The station opens, talks and closes the port; the second round
        // proves a close on the far side does not end the simulator.
        const int fd =
            ::open(QFile::encodeName(pty.slaveName()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        const QByteArray test = t::testFrame();
        ASSERT_EQ(::write(fd, test.constData(), size_t(test.size())), test.size());
        const QByteArray expected = t::buildTarvoFrame(sim.announcePayload());
        EXPECT_EQ(readFor(fd, int(expected.size())), expected) << round;
        ::close(fd);
    }
}

TEST(SimPty, ReadingsPushedWhileThePortIsClosedDoNotPileUp) {
    TarvoOptions o;
    o.pushEverySeconds = 0.02;
    SimTarvo sim(o);
    SimPty pty(sim);
    ASSERT_TRUE(pty.open());
    QDeadlineTimer deadline(8000); // a backlog is dropped after 3 s unread
    while (pty.bytesDropped() == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_GT(pty.bytesDropped(), 0);

    // No event runs from here on, so no new tick: the line holds the
    // reading of the tick that dropped the backlog, and nothing after it.
    const int fd =
        ::open(QFile::encodeName(pty.slaveName()).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    QByteArray got;
    QDeadlineTimer frameDeadline(2000);
    while (got.indexOf(char(t::ETX), 1) < 0 && !frameDeadline.hasExpired()) {
        pollfd p{fd, POLLIN, 0};
        char buf[512];
        if (::poll(&p, 1, 50) > 0)
            if (const ssize_t n = ::read(fd, buf, sizeof buf); n > 0)
                got.append(buf, int(n));
    }
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 50), 0) << "more than one reading was waiting";
    EXPECT_EQ(got.indexOf(char(t::ETX), 1), got.size() - 1);
    auto work = t::unescapeFrame(got);
    ASSERT_TRUE(work);
    EXPECT_EQ(t::interpret(*work).type, t::TypeOnline);
    // Read promptly, nothing more is dropped.
    const qint64 dropped = pty.bytesDropped();
    EXPECT_EQ(t::interpret(*t::unescapeFrame(readFrame(fd))).type, t::TypeOnline);
    EXPECT_EQ(t::interpret(*t::unescapeFrame(readFrame(fd))).type, t::TypeOnline);
    EXPECT_EQ(pty.bytesDropped(), dropped);
    ::close(fd);
}

TEST(SimPty, LinkIsReplacedAndRemovedButOtherFilesAreLeftAlone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath("ttySIM");
    ASSERT_TRUE(QFile::link("/nonexistent/old", link));
    {
        SimTarvo sim;
        SimPty pty(sim);
        ASSERT_TRUE(pty.open());
        ASSERT_TRUE(pty.createLink(link)) << pty.errorString().toStdString();
        EXPECT_EQ(QFileInfo(link).symLinkTarget(), pty.slaveName());
    }
    EXPECT_FALSE(QFileInfo(link).isSymLink()); // gone with the simulator

    const QString plain = dir.filePath("data.csv");
    {
        QFile f(plain);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    SimTarvo sim;
    SimPty pty(sim);
    ASSERT_TRUE(pty.open());
    EXPECT_FALSE(pty.createLink(plain));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
}

TEST(SimProgram, PrintsTheDeviceServesTheLinkAndCleansUpOnTerm) {
    if (!QFileInfo::exists(ZEL_SIM_PATH))
        GTEST_SKIP() << "zel-sim not built";
    QTemporaryDir dir;
    const QString link = dir.filePath("ttySIM");
    QProcess sim;
    sim.start(ZEL_SIM_PATH, {"tarvo5", "--link", link, "--push-every", "0"});
    ASSERT_TRUE(sim.waitForStarted(3000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith("zel-sim: tarvo5 on /dev/pts/")) << line.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), line.section(' ', 3));

    const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    const QByteArray poll = t::pollFrame();
    ASSERT_EQ(::write(fd, poll.constData(), size_t(poll.size())), poll.size());
    const QByteArray reply = readFrame(fd);
    ::close(fd);
    auto work = t::unescapeFrame(reply);
    ASSERT_TRUE(work);
    EXPECT_EQ(t::interpret(*work).type, t::TypeOnline);

    ::kill(pid_t(sim.processId()), SIGTERM);
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

#include "sim/sim_cli.h"
#include "sim/sim_amp.h"
#include "sim/sim_orvan.h"
#include "sim/sim_portables.h"
#include "sim/sim_tarvo.h"
#include <QCommandLineParser>

namespace zel::sim {

namespace {

// The simulated families, in the order of the help text.
const QList<SimFamily>& simulators() {
    static const QList<SimFamily> list = {
        tarvoSimulator(),
        portablesSimulator(),
        ampSimulator(),
        orvanSimulator(),
    };
    return list;
}

const SimFamily* simulatorFor(const QString& word) {
    for (const SimFamily& f : simulators())
        if (word == QLatin1String(f.word))
            return &f;
    return nullptr;
}

QStringList builtFamilies() {
    QStringList names;
    for (const SimFamily& f : simulators())
        names << QString::fromLatin1(f.word);
    return names;
}

// Words the command line knows; a word without a simulator is not built yet.
QStringList knownFamilies() {
    return builtFamilies() << QStringLiteral("auto");
}

// "a, b or c".
QString listed(QStringList words) {
    const QString last = words.takeLast();
    return words.isEmpty() ? last
                           : QStringLiteral("%1 or %2").arg(words.join(QStringLiteral(", ")), last);
}

SimCommandLine ending(SimCommandLine cmd, int exitCode, const QString& message) {
    cmd.exitCode = exitCode;
    cmd.message = message;
    return cmd;
}

SimCommandLine refused(SimCommandLine cmd, const QString& text) {
    return ending(std::move(cmd), 2, QStringLiteral("zel-sim: %1\n").arg(text));
}

} // namespace

SimCommandLine parseSimCommandLine(const QStringList& arguments) {
    SimCommandLine cmd;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated radiation instrument on a pseudo-terminal.\n"
                       "Prints \"zel-sim: <family> on <device>\" and serves the device "
                       "until interrupted."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("family"),
        QStringLiteral("%1 (auto is not available yet)").arg(listed(builtFamilies())));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Point the symbolic link PATH at the device "
                                                 "(an old link is replaced; removed on exit)."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log the line traffic on stderr."));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Hold every reply MS milliseconds."),
                                   QStringLiteral("MS"));
    parser.addOptions({link, verbose, delay});
    for (const SimFamily& f : simulators())
        parser.addOptions(f.options());

    if (!parser.parse(arguments))
        return refused(cmd, parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        return ending(cmd, 0, parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return ending(cmd, 0, QStringLiteral("zel-sim %1\n").arg(QStringLiteral(ZEL_VERSION_TEXT)));

    const QStringList pos = parser.positionalArguments();
    const QStringList known = knownFamilies();
    if (pos.size() != 1)
        return refused(cmd, QStringLiteral("give exactly one family: %1 (see --help)")
                                .arg(known.join(QStringLiteral(", "))));
    cmd.family = pos.first().toLower();
    if (!known.contains(cmd.family))
        return refused(cmd, QStringLiteral("unknown family '%1'; choose one of %2")
                                .arg(pos.first(), known.join(QStringLiteral(", "))));
    const SimFamily* chosen = simulatorFor(cmd.family);
    if (!chosen)
        return refused(cmd, QStringLiteral("%1 is not available yet (available: %2)")
                                .arg(cmd.family, builtFamilies().join(QStringLiteral(", "))));

    cmd.link = parser.value(link);
    cmd.verbose = parser.isSet(verbose);

    // Every simulator reads the command line, so a value that one of them
    // cannot take is refused whichever family runs: a mistyped option is
    // said, not silently ignored.
    SimOptionReader reader(parser, cmd.family);
    for (const SimFamily& f : simulators()) {
        std::any options = f.read(reader);
        if (&f == chosen)
            cmd.options = std::move(options);
    }
    cmd.replyDelayMs = reader.whole(QStringLiteral("delay"), 0, 60000, 0);
    if (const Expected<void> read = reader.verdict(); !read)
        return refused(cmd, read.error().text);
    return cmd;
}

std::unique_ptr<SimInstrument> makeInstrument(const SimCommandLine& cmd) {
    const SimFamily* f = simulatorFor(cmd.family);
    if (!f || !cmd.options.has_value())
        return nullptr;
    return f->make(cmd.options);
}

} // namespace zel::sim

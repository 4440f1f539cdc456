#include "sim/sim_cli.h"
#include <QCommandLineParser>
#include <algorithm>
#include <cmath>

namespace zel::sim {

namespace {

template <class Instrument, auto Options>
std::unique_ptr<SimInstrument> make(const SimCommandLine& cmd) {
    return std::make_unique<Instrument>(cmd.*Options);
}

// The simulated families: the word of the command line (the one the
// station's family table names) and how the instrument is made.
struct SimFamily {
    const char* name;
    std::unique_ptr<SimInstrument> (*make)(const SimCommandLine&);
};
const SimFamily kSimFamilies[] = {
    {"tarvo5", &make<SimTarvo, &SimCommandLine::tarvo>},
    {"portables", &make<SimPortables, &SimCommandLine::portables>},
    {"amp", &make<SimAmp, &SimCommandLine::amp>},
    {"orvan", &make<SimOrvan, &SimCommandLine::orvan>},
};

QStringList builtFamilies() {
    QStringList names;
    for (const SimFamily& f : kSimFamilies)
        names << QString::fromLatin1(f.name);
    return names;
}

// Words the command line knows; a word without a row is not built yet.
const QStringList kFamilies = builtFamilies() << QStringLiteral("auto");
const QStringList kBuilt = builtFamilies();

SimCommandLine fail(SimCommandLine cmd, const QString& text) {
    cmd.exitCode = 2;
    cmd.message = QStringLiteral("zel-sim: %1\n").arg(text);
    return cmd;
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
    parser.addPositionalArgument(QStringLiteral("family"),
                                 QStringLiteral("tarvo5, portables, amp or orvan (auto is "
                                                "not available yet)"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Point the symbolic link PATH at the device "
                                                 "(an old link is replaced; removed on exit)."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
                                     QStringLiteral("Log the line traffic on stderr."));
    const QCommandLineOption detector(QStringLiteral("detector"),
                                      QStringLiteral("Tarvo-5 detector code (default 161)."),
                                      QStringLiteral("CODE"), QStringLiteral("161"));
    const QCommandLineOption value(QStringLiteral("value"),
                                   QStringLiteral("Base value in the instrument's unit "
                                                  "(default 0.012, shown as 12 mR/h)."),
                                   QStringLiteral("X"), QStringLiteral("0.012"));
    const QCommandLineOption units(QStringLiteral("units"),
                                   QStringLiteral("Units code (default 1); Orvan: units digit, "
                                                  "0 sievert (default), other roentgen."),
                                   QStringLiteral("CODE"), QStringLiteral("1"));
    const QCommandLineOption status(QStringLiteral("status"),
                                    QStringLiteral("Status byte (default 0)."), QStringLiteral("S"),
                                    QStringLiteral("0"));
    const QCommandLineOption shortForm(QStringLiteral("short"),
                                       QStringLiteral("Answer polls with short (0x10) readings."));
    const QCommandLineOption records(QStringLiteral("records"),
                                     QStringLiteral("Logged records to download (default 20)."),
                                     QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption pushEvery(QStringLiteral("push-every"),
                                       QStringLiteral("Send a reading unasked every SECONDS "
                                                      "(fractions allowed; 0 = never, default)."),
                                       QStringLiteral("SECONDS"), QStringLiteral("0"));
    const QCommandLineOption steady(QStringLiteral("steady"),
                                    QStringLiteral("Keep the value at the base value instead of "
                                                   "letting it drift slowly."));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never answer."));
    const QCommandLineOption announceOnly(
        QStringLiteral("announce-only"),
        QStringLiteral("Answer the test with the announce, never confirm initialisation."));
    const QCommandLineOption corruptEvery(
        QStringLiteral("corrupt-every"),
        QStringLiteral("Give every N-th frame sent a wrong checksum."), QStringLiteral("N"));
    const QCommandLineOption stopAfter(QStringLiteral("stop-after"),
                                       QStringLiteral("Fall silent after N received messages."),
                                       QStringLiteral("N"));
    const QCommandLineOption anyChecksum(
        QStringLiteral("any-checksum"),
        QStringLiteral("Do not steer the checksum away from the bytes 02, 03 and 1B."));
    const QCommandLineOption stopAfterRecord(
        QStringLiteral("stop-after-record"),
        QStringLiteral("During a download, leave the request that follows the K-th record "
                       "unanswered (once)."),
        QStringLiteral("K"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Hold every reply MS milliseconds."),
                                   QStringLiteral("MS"));
    const QCommandLineOption id(QStringLiteral("id"),
                                QStringLiteral("Portables: instrument identification, 12 "
                                               "characters (default \"QUORIN 00042\")."),
                                QStringLiteral("TEXT"));
    const QCommandLineOption logValues(
        QStringLiteral("log-values"),
        QStringLiteral("Portables: values of the logged records in turn, comma-separated."),
        QStringLiteral("LIST"));
    parser.addOptions({link, verbose, detector, value, units, status, shortForm, records, pushEvery,
                       steady, silent, announceOnly, corruptEvery, stopAfter, anyChecksum,
                       stopAfterRecord, delay, id, logValues});
    const QCommandLineOption meterType(
        QStringLiteral("meter-type"),
        QStringLiteral("Amp: meter type 0-4 (AmpA, AmpB, AmpC, Vessa-1, Vessa1D; default 3). "
                       "Types 3 and 4 have a background and five thresholds."),
        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption roentgen(QStringLiteral("roentgen"),
                                      QStringLiteral("Amp: count in mR/h instead of uSv/h."));
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("Amp: seconds between readings once started (default 1)."),
        QStringLiteral("SECONDS"), QStringLiteral("1"));
    parser.addOptions({meterType, roentgen, interval});
    parser.addOptions(orvanCommandLineOptions());

    if (!parser.parse(arguments))
        return fail(cmd, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        cmd.exitCode = 0;
        cmd.message = parser.helpText();
        return cmd;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        cmd.exitCode = 0;
        cmd.message = QStringLiteral("zel-sim %1\n").arg(QStringLiteral(ZEL_VERSION_TEXT));
        return cmd;
    }

    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 1)
        return fail(cmd, QStringLiteral("give exactly one family: %1 (see --help)")
                             .arg(kFamilies.join(QStringLiteral(", "))));
    cmd.family = pos.first().toLower();
    if (!kFamilies.contains(cmd.family))
        return fail(cmd, QStringLiteral("unknown family '%1'; choose one of %2")
                             .arg(pos.first(), kFamilies.join(QStringLiteral(", "))));
    if (!kBuilt.contains(cmd.family))
        return fail(cmd, QStringLiteral("%1 is not available yet (available: %2)")
                             .arg(cmd.family, kBuilt.join(QStringLiteral(", "))));

    cmd.link = parser.value(link);
    cmd.verbose = parser.isSet(verbose);

    // Whole numbers in decimal or 0x hex, within [lo, hi].
    QString bad;
    const auto number = [&](const QCommandLineOption& opt, int lo, int hi, int fallback) {
        if (!parser.isSet(opt))
            return fallback;
        bool ok = false;
        const int v = parser.value(opt).toInt(&ok, 0);
        if (!ok || v < lo || v > hi) {
            if (bad.isEmpty())
                bad = QStringLiteral("--%1 wants a whole number from %2 to %3, not '%4'")
                          .arg(opt.names().first())
                          .arg(lo)
                          .arg(hi)
                          .arg(parser.value(opt));
            return fallback;
        }
        return v;
    };
    const auto real = [&](const QCommandLineOption& opt, double lo, double fallback) {
        if (!parser.isSet(opt))
            return fallback;
        bool ok = false;
        const double v = parser.value(opt).toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < lo) {
            if (bad.isEmpty())
                bad = QStringLiteral("--%1 wants a number, not '%2'")
                          .arg(opt.names().first(), parser.value(opt));
            return fallback;
        }
        return v;
    };

    TarvoOptions& t = cmd.tarvo;
    t.detector = number(detector, 0, 255, t.detector);
    t.value = real(value, -1e30, t.value);
    t.units = number(units, 0, 255, t.units);
    t.status = number(status, 0, 255, t.status);
    t.shortReadings = parser.isSet(shortForm);
    t.records = number(records, 0, 255 * 255 + 254, t.records);
    // Longer than a day is no use, and keeps the milliseconds in an int.
    t.pushEverySeconds = real(pushEvery, 0, t.pushEverySeconds);
    if (t.pushEverySeconds > 86400 && bad.isEmpty())
        bad = QStringLiteral("--push-every wants at most 86400 seconds");
    t.steady = parser.isSet(steady);
    t.silent = parser.isSet(silent);
    t.announceOnly = parser.isSet(announceOnly);
    t.corruptEvery = number(corruptEvery, 0, 1000000, 0);
    t.stopAfter = number(stopAfter, 0, 1000000000, -1);
    t.padChecksum = !parser.isSet(anyChecksum);
    t.stopAfterRecord = number(stopAfterRecord, 0, 1000000000, -1);
    cmd.replyDelayMs = number(delay, 0, 60000, 0);

    // The portable instrument shares the fault options; its reading is
    // given in the unit it shows (12 mR/h by default).
    PortablesOptions& p = cmd.portables;
    p.detector = number(detector, 0, 255, p.detector);
    if (cmd.family == QLatin1String("portables"))
        p.value = real(value, 0, p.value);
    p.units = number(units, 0, 255, p.units);
    p.status = number(status, 0, 255, p.status);
    p.records = t.records;
    p.steady = t.steady;
    p.silent = t.silent;
    p.corruptEvery = t.corruptEvery;
    p.stopAfter = t.stopAfter;
    p.stopAfterRecord = t.stopAfterRecord;
    if (parser.isSet(id))
        p.id = parser.value(id).toLatin1();
    if (parser.isSet(logValues)) {
        for (const QString& v : parser.value(logValues).split(QLatin1Char(','))) {
            bool ok = false;
            const double x = v.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(x) || x < 0) {
                if (bad.isEmpty())
                    bad = QStringLiteral("--log-values wants numbers of 0 and up, not '%1'").arg(v);
                break;
            }
            p.logValues << x;
        }
    }

    // The amplifier takes the options that mean the same for it; its value
    // and status are its own unless given.
    AmpOptions& a = cmd.amp;
    a.meterType = number(meterType, 0, 4, a.meterType);
    a.sievert = !parser.isSet(roentgen);
    a.intervalSeconds = number(interval, 1, 9999, a.intervalSeconds);
    if (parser.isSet(value))
        a.value = std::max(0.0, t.value);
    a.status = std::clamp(t.status, 0, 9);
    a.silent = t.silent;
    a.corruptEvery = t.corruptEvery;
    if (cmd.family == QLatin1String("orvan") && bad.isEmpty()) {
        if (const Expected<void> read = readOrvanOptions(parser, cmd.orvan); !read)
            bad = read.error().text;
    }
    if (!bad.isEmpty())
        return fail(cmd, bad);
    return cmd;
}

std::unique_ptr<SimInstrument> makeInstrument(const SimCommandLine& cmd) {
    for (const SimFamily& f : kSimFamilies)
        if (cmd.family == QLatin1String(f.name))
            return f.make(cmd);
    return nullptr;
}

} // namespace zel::sim

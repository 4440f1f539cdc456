#pragma once
// What a simulator brings to the zel-sim command line: its word, its options
// with their help text, how it reads them, and how its instrument is made.
// sim_cli lists the simulators and does the rest, so a new family's
// simulator is its own file plus one line in that list.
#include "common/failure.h"
#include "sim/sim_instrument.h"
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <any>
#include <memory>
#include <optional>

class QCommandLineParser;

namespace zel::sim {

// The parsed command line as a simulator reads it. A value it cannot take
// is refused with the option's name; the first refusal is the one the user
// sees, and reading goes on with the fallback so the rest stays harmless.
class SimOptionReader {
public:
    SimOptionReader(const QCommandLineParser& parser, QString family);

    // The family the command line runs.
    const QString& family() const { return family_; }

    bool isSet(const QString& name) const;
    QString value(const QString& name) const;

    // Whole numbers within [lo, hi]; base 0 takes decimal, 0x hex and a
    // leading 0 as octal, base 10 decimal only.
    int whole(const QString& name, int lo, int hi, int fallback, int base = 0);
    // A finite number of at least lo.
    double real(const QString& name, double lo, double fallback);

    void refuse(const QString& text);
    // Ok, or the first refusal.
    Expected<void> verdict() const;

private:
    const QCommandLineParser& parser_;
    QString family_;
    std::optional<Failure> failure_;
};

struct SimFamily {
    const char* word; // the command line's word, the one the station's family table names
    // The options this simulator adds to the command line, in the order of the help text.
    // An option several simulators read is added by the first of them only.
    QList<QCommandLineOption> (*options)();
    // The simulator's options read from the command line (held as its own type).
    std::any (*read)(SimOptionReader&);
    std::unique_ptr<SimInstrument> (*make)(const std::any& options);
};

// The row of a simulator whose Instrument is made from the options that
// Read (a function SimOptionReader& -> options) returns.
template <class Instrument, auto Read>
SimFamily simFamily(const char* word, QList<QCommandLineOption> (*options)()) {
    using Options = decltype(Read(std::declval<SimOptionReader&>()));
    return {word, options, [](SimOptionReader& r) { return std::any(Read(r)); },
            [](const std::any& o) -> std::unique_ptr<SimInstrument> {
                return std::make_unique<Instrument>(std::any_cast<const Options&>(o));
            }};
}

} // namespace zel::sim

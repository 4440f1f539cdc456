#pragma once
// The zel-sim command line, parsed without side effects so that tests can
// check every option and every refusal.
#include "sim/sim_family.h"
#include <QString>
#include <QStringList>
#include <any>
#include <memory>

namespace zel::sim {

struct SimCommandLine {
    QString family; // "tarvo5", ...
    QString link;   // symbolic link to create; empty = none
    bool verbose = false;
    int replyDelayMs = 0; // every reply waits this long
    // The family's simulator options, as its simulator reads them
    // (TarvoOptions, ...); see optionsAs().
    std::any options;

    // When set, the program prints `message` (on stdout for exit code 0, on
    // stderr otherwise) and ends with this code instead of running: help,
    // version and refusals are all a way of ending, not only failures.
    int exitCode = -1;
    QString message;

    template <class Options> const Options& optionsAs() const {
        return std::any_cast<const Options&>(options);
    }
};

// `arguments` as QCoreApplication::arguments() gives them (program name first).
SimCommandLine parseSimCommandLine(const QStringList& arguments);

// The instrument the command line asks for; null for a family that is not
// built.
std::unique_ptr<SimInstrument> makeInstrument(const SimCommandLine& cmd);

} // namespace zel::sim

#pragma once
// The zel-sim command line, parsed without side effects so that tests can
// check every option and every refusal.
#include "sim/sim_amp.h"
#include "sim/sim_instrument.h"
#include "sim/sim_orvan.h"
#include "sim/sim_tarvo.h"
#include <QString>
#include <QStringList>
#include <memory>

namespace zel::sim {

struct SimCommandLine {
    QString family; // "tarvo5", ...
    QString link;   // symbolic link to create; empty = none
    bool verbose = false;
    TarvoOptions tarvo;
    AmpOptions amp;
    OrvanOptions orvan;

    // When set, the program prints `message` (on stdout for exit code 0, on
    // stderr otherwise) and ends with this code instead of running.
    int exitCode = -1;
    QString message;
};

// `arguments` as QCoreApplication::arguments() gives them (program name first).
SimCommandLine parseSimCommandLine(const QStringList& arguments);

// The instrument the command line asks for; null for a family that is not
// built.
std::unique_ptr<SimInstrument> makeInstrument(const SimCommandLine& cmd);

} // namespace zel::sim

#pragma once
// "--help" and "--version" of the window programs: answered on the terminal
// before any window or display connection exists. Every other argument is
// left to the program ("dbg" for zel, anything at all for tarvoset).
#include <QString>

namespace zel {

struct ProgramUsage {
    QString name;        // "zel"
    QString description; // one line
    QString arguments;   // syntax of the other arguments, e.g. "[dbg]"
    QString argumentsHelp;
};

// Prints the usage or the version when asked for. Returns the exit code
// then, -1 when the program should go on.
int answerUsageQuestions(int argc, char** argv, const ProgramUsage& usage);

} // namespace zel

#include "ui/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

namespace zel {

namespace {
bool asksForUsage(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}
} // namespace

int answerUsageQuestions(int argc, char** argv, const ProgramUsage& usage) {
    // A plain start must not pay for a second application object.
    if (!asksForUsage(argc, argv))
        return -1;
    int count = argc;
    QCoreApplication app(count, argv);
    QCoreApplication::setApplicationName(usage.name);
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEL_VERSION_TEXT));
    QCommandLineParser parser;
    parser.setApplicationDescription(usage.description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!usage.arguments.isEmpty())
        parser.addPositionalArgument(usage.arguments, usage.argumentsHelp, usage.arguments);
    // parse(), not process(): an argument the parser does not know is the
    // program's business, not an error.
    parser.parse(app.arguments());
    if (parser.isSet(help)) {
        std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(usage.name), ZEL_VERSION_TEXT);
        return 0;
    }
    return -1;
}

} // namespace zel

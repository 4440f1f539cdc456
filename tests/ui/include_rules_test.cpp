// The folders include each other only as docs/architecture.md says: the
// core in layers (common, data, protocol, telemetry, station, monitor), each
// including only those below it (the publisher takes readings and alarm
// levels, and the session hands it the station's), with archive/ on common/ and data/ alone; graph/
// never includes ui/, ui/ includes graph/ only where the main window opens the graph, and widgets/
// includes neither.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

namespace {

TEST(IncludeRules, FoldersIncludeOnlyWhatTheyMay) {
    struct Rule {
        const char* folder;
        const char* forbidden; // an include of this folder
        const char* allowedIn; // the one file that may, or ""
    };
    std::vector<Rule> rules = {
        {"graph", "ui", ""},
        {"ui", "graph", "main_window.cpp"},
        {"widgets", "ui", ""},
        {"widgets", "graph", ""},
    };
    // The record builds on the data files and nothing above them; the
    // layers below it do not know it.
    for (const char* above :
         {"protocol", "station", "telemetry", "monitor", "graph", "ui", "widgets", "setup", "sim"})
        rules.push_back({"archive", above, ""});
    for (const char* below : {"common", "data", "protocol"})
        rules.push_back({below, "archive", ""});
    const char* const core[] = {"common", "data", "protocol", "telemetry", "station", "monitor"};
    const char* const windows[] = {"graph", "ui", "widgets"};
    for (size_t i = 0; i < std::size(core); ++i) {
        for (size_t above = i + 1; above < std::size(core); ++above)
            rules.push_back({core[i], core[above], ""});
        for (const char* w : windows)
            rules.push_back({core[i], w, ""});
    }
    const QDir src(QStringLiteral(ZEL_SOURCE_DIR "/src"));
    for (const Rule& r : rules) {
        const QRegularExpression include(
            QStringLiteral(R"(^\s*#\s*include\s*"%1/)").arg(QLatin1String(r.forbidden)),
            QRegularExpression::MultilineOption);
        int files = 0;
        QDirIterator it(src.filePath(QLatin1String(r.folder)), {"*.h", "*.cpp"}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            ++files;
            if (it.fileName() == QLatin1String(r.allowedIn))
                continue;
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            EXPECT_FALSE(include.match(QString::fromUtf8(f.readAll())).hasMatch())
                << path.toStdString() << " includes " << r.forbidden << "/";
        }
        EXPECT_GT(files, 0) << r.folder;
    }
}

// The core says what happened; only the windows decide how it looks. No
// core file names a colour, so no consumer of the core has to decode one.
TEST(IncludeRules, NoCoreFileNamesAColour) {
    const QRegularExpression colour(
        QStringLiteral(R"(\b(rgb|qcolor|colou?rs?|magenta|cyan|yellow|green|red)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    const QDir src(QStringLiteral(ZEL_SOURCE_DIR "/src"));
    for (const char* folder : {"common", "data", "protocol", "station", "telemetry", "monitor"}) {
        QDirIterator it(src.filePath(QLatin1String(folder)), {"*.h", "*.cpp"}, QDir::Files);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            const auto found = colour.match(QString::fromUtf8(f.readAll()));
            EXPECT_FALSE(found.hasMatch())
                << path.toStdString() << " names " << found.captured().toStdString();
        }
    }
}

} // namespace

// Save from the main window: a name typed without an extension is written
// as a CSV file, as the dialog's filter says, and the dialog speaks the
// installed language.
#include "station/port_settings.h"
#include "support/recording_prompts.h"
#include "ui/main_window.h"
#include "ui/translations.h"
#include "widgets/prompts.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(SaveFileName, TheSuffixIsAddedOnlyToANameWithoutOne) {
    const struct {
        const char* typed;
        const char* suffix;
        const char* saved;
    } cases[] = {
        {"/data/report", "csv", "/data/report.csv"},
        {"/data/report.csv", "csv", "/data/report.csv"},
        {"/data/report.txt", "csv", "/data/report.txt"}, // the user chose another type
        {"/data.d/report", "csv", "/data.d/report.csv"}, // a dot in a folder is no extension
        {"/data/.hidden", "csv", "/data/.hidden.csv"},   // nor is a leading dot
        {"/data/report", "", "/data/report"},
        {"", "csv", ""}, // cancelled
    };
    for (const auto& c : cases)
        EXPECT_EQ(withDefaultSuffix(c.typed, c.suffix), c.saved) << c.typed;
}

TEST(SaveFileName, MainWindowSavesATypedNameAsCsvUnderATranslatedTitle) {
    const std::pair<Language, const char*> languages[] = {
        {Language::English, "Save"}, {Language::German, "Speichern"}, {Language::Hebrew, "שמירה"}};
    for (const auto& [language, title] : languages) {
        useLanguage(language);
        QTemporaryDir dir;
        qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        LoopbackTransport port;
        test::RecordingPrompts prompts;
        MainWindow window(MainWindow::Options{{"zel"}, &port, nullptr});
        window.setPrompts(prompts);
        window.loadSettingsAndStart();
        prompts.fileName = dir.filePath("report");
        window.saveData();
        ASSERT_FALSE(prompts.fileQuestions.isEmpty());
        EXPECT_EQ(prompts.fileQuestions.last().title, QString::fromUtf8(title));
        EXPECT_EQ(prompts.fileQuestions.last().suffix, "csv");
        EXPECT_TRUE(QFile::exists(dir.filePath("report.csv"))) << title;
        EXPECT_FALSE(QFile::exists(dir.filePath("report"))) << title;
    }
    useLanguage(Language::English);
    qunsetenv("ZEL_HOME");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace zel

// The translations: every source text has a finished German and Hebrew
// translation, lupdate finds nothing new in the sources, and the windows
// speak the language that is installed.
#include "common/strings.h"
#include "station/port_settings.h"
#include "ui/main_window.h"
#include "ui/port_dialog.h"
#include "ui/translations.h"

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace zel {
namespace {

const QString SourceDir = QStringLiteral(ZEL_SOURCE_DIR);

struct TsEntry {
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

QList<TsEntry> readTs(const QString& path) {
    QList<TsEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    QXmlStreamReader xml(&file);
    QString context;
    TsEntry entry;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            entry = TsEntry{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value(QLatin1String("type")).toString();
            entry.translation = xml.readElementText();
            entries.append(entry);
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return entries;
}

class TranslationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
    }
    void TearDown() override {
        useLanguage(Language::English);
        qunsetenv("ZEL_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }
    QTemporaryDir dir;
};

TEST_F(TranslationsTest, EverySourceTextHasAFinishedGermanAndHebrewTranslation) {
    const QList<TsEntry> german = readTs(SourceDir + "/translations/zel_de.ts");
    const QList<TsEntry> hebrew = readTs(SourceDir + "/translations/zel_he.ts");
    ASSERT_GT(german.size(), 100);
    ASSERT_EQ(german.size(), hebrew.size());
    for (qsizetype i = 0; i < german.size(); ++i) {
        const std::string where =
            (german[i].context + " / " + german[i].source).toUtf8().toStdString();
        EXPECT_EQ(german[i].context, hebrew[i].context) << where;
        EXPECT_EQ(german[i].source, hebrew[i].source) << where;
        for (const TsEntry* e : {&german[i], &hebrew[i]}) {
            EXPECT_TRUE(e->type.isEmpty()) << where << ": " << e->type.toStdString();
            EXPECT_FALSE(e->translation.isEmpty()) << where;
        }
    }
}

// In a right-to-left sentence a unit ("mR/h"), a number with its unit
// ("%1 %2") or a file name ("ZelDbg.txt") is reordered unless it lies
// between U+2066 and U+2069: every Hebrew text keeps them so.
TEST_F(TranslationsTest, HebrewKeepsUnitsAndFileNamesLeftToRight) {
    const QRegularExpression leftToRightRun(
        QStringLiteral(R"(%\d %\d|\b\w+\.(csv|txt|ini)\b|\b\d*\s?(m?R/h|[mu]Sv/h|K?cpm|cps)\b)"));
    int checked = 0;
    for (const TsEntry& e : readTs(SourceDir + "/translations/zel_he.ts")) {
        if (e.source.contains(QLatin1String(";;"))) // a file dialog's filter
            continue;
        auto it = leftToRightRun.globalMatch(e.translation);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            const QString before = e.translation.left(m.capturedStart());
            ++checked;
            EXPECT_GT(before.count(QChar(0x2066)), before.count(QChar(0x2069)))
                << m.captured().toStdString() << " in " << e.translation.toStdString();
        }
    }
    EXPECT_GT(checked, 10);
}

// What a translator gets must be what the code has: running lupdate over the
// sources into copies of the .ts files must leave them byte for byte alone.
TEST_F(TranslationsTest, LupdateFindsNothingNewInTheSources) {
    QStringList args{"-I", SourceDir + "/src", "-locations", "none", "-no-obsolete"};
    QDirIterator it(SourceDir + "/src", {"*.cpp", "*.h"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        args << it.next();
    args << "-ts";
    for (const char* name : {"zel_de.ts", "zel_he.ts"}) {
        const QString copy = dir.filePath(name);
        ASSERT_TRUE(QFile::copy(SourceDir + "/translations/" + name, copy));
        QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::WriteOwner);
        args << copy;
    }
    QProcess lupdate;
    lupdate.start(QLibraryInfo::path(QLibraryInfo::BinariesPath) + "/lupdate", args);
    if (!lupdate.waitForStarted(5000))
        GTEST_SKIP() << "lupdate is not installed";
    ASSERT_TRUE(lupdate.waitForFinished(60000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
    for (const char* name : {"zel_de.ts", "zel_he.ts"}) {
        QFile original(SourceDir + "/translations/" + name);
        QFile updated(dir.filePath(name));
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        ASSERT_TRUE(updated.open(QIODevice::ReadOnly));
        EXPECT_TRUE(original.readAll() == updated.readAll())
            << name << ": run the target update_translations and translate the new texts";
    }
}

struct LanguageCase {
    Language language;
    const char* instrument; // the family frame of the main window
    const char* dataMenu;
    const char* clearButton;
    const char* portTitle;
    const char* probeNumber; // string table 4000
    Qt::LayoutDirection direction;
};

TEST_F(TranslationsTest, WindowsSpeakTheInstalledLanguage) {
    const LanguageCase cases[] = {
        {Language::German, "Gerät", "Daten", "Löschen ", "Port einstellen",
         "Bitte Chargennummer eingeben\n", Qt::LeftToRight},
        {Language::Hebrew, "מכשיר", "נתונים", "נקה", "הגדרת יציאה", "מספר דגימה", Qt::RightToLeft},
        {Language::English, "Instrument", "Data", "Clear ", "Set Port", "Probe Number",
         Qt::LeftToRight},
    };
    // A caption as read; its accelerator ('&') is tested with the keys.
    auto read = [](QString caption) { return caption.remove(QLatin1Char('&')); };
    for (const LanguageCase& c : cases) {
        useLanguage(c.language);
        const std::string lang = c.instrument;
        EXPECT_EQ(currentLanguage(), c.language) << lang;
        EXPECT_EQ(QApplication::layoutDirection(), c.direction) << lang;
        EXPECT_EQ(str(4000), QString::fromUtf8(c.probeNumber)) << lang;

        LoopbackTransport port;
        MainWindow window(MainWindow::Options{{"zel"}, &port, nullptr});
        auto* family = window.findChild<QGroupBox*>("frInstrument");
        ASSERT_NE(family, nullptr);
        EXPECT_EQ(family->title(), QString::fromUtf8(c.instrument));
        EXPECT_EQ(read(window.menuBar()->actions().first()->text()), QString::fromUtf8(c.dataMenu))
            << lang;
        EXPECT_EQ(read(window.findChild<QPushButton*>("btClearList")->text()),
                  QString::fromUtf8(c.clearButton))
            << lang;
        EXPECT_EQ(window.layoutDirection(), c.direction) << lang;
        // Numbers and date-times of the list read left to right in every language.
        EXPECT_EQ(window.findChild<QTableView*>("Grid1")->layoutDirection(), Qt::LeftToRight);

        PortSettings settings;
        PortSettingsFile file(dir.filePath("dax.ini"));
        PortDialog dialog(settings, file, nullptr, zelPortDialogVariant());
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.portTitle)) << lang;
    }
}

TEST_F(TranslationsTest, AnyLocaleOfALanguageFindsItsTranslation) {
    useLocale(QLocale("de_AT"));
    EXPECT_EQ(str(4001), "Hintergrundmessung");
    EXPECT_EQ(currentLanguage(), Language::German);
    useLocale(QLocale("fr_FR")); // no translation: English
    EXPECT_EQ(str(4001), "Background Measurment");
    EXPECT_EQ(QApplication::layoutDirection(), Qt::LeftToRight);
    useLocale(QLocale("ar_EG")); // no translation, but laid out right to left
    EXPECT_EQ(QApplication::layoutDirection(), Qt::RightToLeft);
}

TEST_F(TranslationsTest, QtsOwnDialogButtonsFollowWhenTheSystemHasThem) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + "/qtbase_de.qm"))
        GTEST_SKIP() << "Qt's German translations are not installed";
    useLanguage(Language::German);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
    useLanguage(Language::English);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancel");
}

} // namespace
} // namespace zel

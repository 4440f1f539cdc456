// Every window as a keyboard user meets it, in English, German and Hebrew:
// each command has an Alt+letter of its own in its window, and at
// 1600 x 1000 every window lies inside the screen's available area.
#include "data/settings.h"
#include "graph/data_handle_dialog.h"
#include "graph/data_list_window.h"
#include "graph/distribution_window.h"
#include "graph/graph_window.h"
#include "station/port_settings.h"
#include "support/graph_series.h"
#include "support/recording_prompts.h"
#include "ui/about_dialog.h"
#include "ui/calibration_dialog.h"
#include "ui/debug_window.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/main_window.h"
#include "ui/parameters_dialog.h"
#include "ui/port_dialog.h"
#include "ui/translations.h"
#include "widgets/probe_number_dialog.h"
#include "widgets/wait_dialog.h"
#include "widgets/window_arrangement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace zel {
namespace {

const Language Languages[] = {Language::English, Language::German, Language::Hebrew};

const char* nameOf(Language l) {
    return l == Language::German ? "German" : l == Language::Hebrew ? "Hebrew" : "English";
}

// Opens every window of the program in the installed language, shown, and
// hands each to `check` with a name for the messages.
void forEachWindow(const std::function<void(QWidget&, const QString&)>& check) {
    QTemporaryDir dir;
    qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
    graph::GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    auto visit = [&](QWidget& w, const char* name) {
        w.show();
        QApplication::processEvents();
        check(w, QLatin1String(name));
    };
    {
        LoopbackTransport port;
        test::RecordingPrompts prompts;
        MainWindow main(MainWindow::Options{{"zel"}, &port, nullptr});
        main.setPrompts(prompts);
        main.loadSettingsAndStart();
        visit(main, "main window");
    }
    {
        test::RecordingPrompts prompts;
        graph::GraphWindow graph;
        graph.setPrompts(prompts);
        const test::GraphSeries series(200);
        graph.load(series.request());
        // Low on the screen, as arranged windows put it: the windows it
        // opens beside and over it must still keep inside.
        graph.move(120, 600);
        graph.resize(1000, 380);
        visit(graph, "graph");
        graph.showList();
        visit(*graph.dataList(), "data list");
        graph.showDistribution();
        visit(*graph.distributionWindow(), "distribution");
        graph.openDataHandling();
        if (auto* handling = graph.findChild<DataHandleDialog*>())
            visit(*handling, "data handling");
        graph.close();
    }
    SettingsStore store(dir.filePath("Zel.ini"));
    IntervalDialog interval(store);
    visit(interval, "interval");
    ParametersDialog parameters;
    visit(parameters, "parameters");
    LegendDialog legend(store);
    visit(legend, "legend");
    PortSettings ports;
    PortSettingsFile portFile(dir.filePath("dax.ini"));
    PortDialogVariant variant = zelPortDialogVariant();
    variant.findDevices = [] {
        return QList<SerialDevice>{{"/dev/ttyUSB0", "", "FT232R USB UART", "FTDI", "A1", true}};
    };
    PortDialog portDialog(ports, portFile, nullptr, variant);
    visit(portDialog, "port");
    CalibrationDialog calibration;
    visit(calibration, "calibration");
    AboutDialog about;
    visit(about, "about");
    DebugWindow debug;
    visit(debug, "debug");
    WaitDialog wait;
    visit(wait, "wait");
    ProbeNumberDialog probe;
    visit(probe, "probe number");
    graph::GraphWindow::setPlacementFile(QString());
    qunsetenv("ZEL_HOME");
    qunsetenv("XDG_CONFIG_HOME");
}

// One Alt+letter's owner in a window or menu.
struct Accelerator {
    QString key;     // "Alt+S"
    QString caption; // where it is
};

QString keyOf(const QString& caption) {
    return QKeySequence::mnemonic(caption).toString(QKeySequence::PortableText);
}

// Checks one scope (a window with its menu bar, or one menu): every
// command has a key, no two things share one, and a label's is a letter.
void checkScope(const QList<QPair<QString, bool>>& captions, const std::string& where) {
    std::map<QString, QString> owners;
    for (const auto& [caption, isCommand] : captions) {
        const QString key = keyOf(caption);
        if (key.isEmpty()) {
            EXPECT_FALSE(isCommand)
                << where << ": \"" << caption.toStdString() << "\" has no accelerator";
            continue;
        }
        // A label's or a box's key is a letter or digit: an underlined
        // colon or full stop reads as a smudge, not a key.
        EXPECT_TRUE(isCommand || key.back().isLetterOrNumber())
            << where << ": \"" << caption.toStdString() << "\" takes " << key.toStdString();
        const auto [it, fresh] = owners.emplace(key, caption);
        EXPECT_TRUE(fresh) << where << ": \"" << caption.toStdString() << "\" and \""
                           << it->second.toStdString() << "\" share " << key.toStdString();
    }
}

void checkMenu(QMenu* menu, const std::string& where) {
    QList<QPair<QString, bool>> items;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        items.append({a->text(), true});
        if (a->menu())
            checkMenu(a->menu(), where + " > " + a->text().toStdString());
    }
    checkScope(items, where);
}

void checkWindow(QWidget& window, const std::string& where) {
    QList<QPair<QString, bool>> captions;
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(&window) || b->text().isEmpty() || qobject_cast<QToolBar*>(b->parent()))
            continue;
        // Push buttons are commands; boxes and options count when they
        // have a key, so none takes another's.
        captions.append({b->text(), qobject_cast<QPushButton*>(b) != nullptr});
    }
    for (QLabel* l : window.findChildren<QLabel*>())
        if (l->buddy() && l->isVisibleTo(&window))
            captions.append({l->text(), false});
    for (QGroupBox* g : window.findChildren<QGroupBox*>())
        if (g->isVisibleTo(&window))
            captions.append({g->title(), false});
    if (auto* main = qobject_cast<QMainWindow*>(&window); main && main->menuWidget()) {
        for (QAction* a : main->menuBar()->actions()) {
            if (!a->isVisible())
                continue;
            captions.append({a->text(), true});
            if (a->menu())
                checkMenu(a->menu(), where + " > " + a->text().toStdString());
        }
    }
    checkScope(captions, where);
}

class WindowAccessTest : public ::testing::Test {
protected:
    void TearDown() override { useLanguage(Language::English); }
};

TEST_F(WindowAccessTest, EveryCommandHasAnAcceleratorOfItsOwnInEveryLanguage) {
    for (Language language : Languages) {
        useLanguage(language);
        forEachWindow([&](QWidget& w, const QString& name) {
            checkWindow(w, std::string(nameOf(language)) + " " + name.toStdString());
        });
    }
}

// A dialog is wide enough for its title bar to show the whole title
// ("Echtzeit einstellen", not "Echtz…llen").
TEST_F(WindowAccessTest, DialogTitlesFitInEveryLanguage) {
    for (Language language : Languages) {
        useLanguage(language);
        forEachWindow([&](QWidget& w, const QString& name) {
            if (!qobject_cast<QDialog*>(&w) || w.windowTitle().trimmed().isEmpty())
                return;
            EXPECT_GE(w.width(), titleWidth(w)) << nameOf(language) << " " << name.toStdString()
                                                << ": \"" << w.windowTitle().toStdString() << "\"";
        });
    }
}

// The keys work: Alt+letter of a button presses it, in a right-to-left
// language with its own letters too.
TEST_F(WindowAccessTest, AltAndTheLetterPressTheButton) {
    for (Language language : Languages) {
        useLanguage(language);
        QTemporaryDir dir;
        SettingsStore store(dir.filePath("Zel.ini"));
        IntervalDialog interval(store);
        interval.show();
        interval.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&interval));
        auto* cancel = interval.findChild<QPushButton*>("btCancel");
        ASSERT_NE(cancel, nullptr);
        const QKeySequence key = QKeySequence::mnemonic(cancel->text());
        ASSERT_FALSE(key.isEmpty()) << nameOf(language);
        // As a keyboard of the language sends it: the letter's own code.
        const QString letter = QString(QChar(key[0].key()));
        QTest::sendKeyEvent(QTest::Press, &interval, key[0].key(), letter, Qt::AltModifier);
        QTest::sendKeyEvent(QTest::Release, &interval, key[0].key(), letter, Qt::AltModifier);
        // A button pressed by its key shows itself pressed a moment first.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !interval.isVisible(); }, 2000))
            << nameOf(language) << ": " << key.toString().toStdString();
        EXPECT_EQ(interval.result(), QDialog::Rejected) << nameOf(language);
    }
}

// The screen of the check: 1600 x 1000 with window frames. The offscreen
// platform takes it from a file, so the check runs in a child process.
const char* ScreenCheck = "ZEL_SCREEN_1600_CHECK";

TEST_F(WindowAccessTest, EveryWindowLiesInsideTheScreenAt1600x1000) {
    if (qEnvironmentVariableIsSet(ScreenCheck)) {
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        ASSERT_EQ(available.size(), QSize(1600, 1000));
        for (Language language : Languages) {
            useLanguage(language);
            forEachWindow([&](QWidget& w, const QString& name) {
                const QRect frame = w.frameGeometry();
                EXPECT_TRUE(available.contains(frame))
                    << nameOf(language) << " " << name.toStdString() << " at " << frame.x() << ","
                    << frame.y() << " " << frame.width() << "x" << frame.height();
            });
        }
        return;
    }
    QTemporaryDir dir;
    QFile config(dir.filePath("screen.json"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(R"({"windowFrameMargins": true, "screens": [{"name": "Screen 1600x1000",
        "x": 0, "y": 0, "width": 1600, "height": 1000, "logicalDpi": 96,
        "logicalBaseDpi": 96, "dpr": 1}]})");
    config.close();
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName());
    env.insert(ScreenCheck, "1");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=WindowAccessTest.EveryWindowLiesInsideTheScreenAt1600x1000"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

} // namespace
} // namespace zel

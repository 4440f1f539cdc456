// The main window over an in-memory port: enabling rules, the family
// layouts, the questions of the collecting commands and the exit prompt.
#include "common/datetime.h"
#include "graph/graph_window.h"
#include "protocol/tarvo.h"
#include "support/full_disk.h"
#include "support/orvan_frames.h"
#include "support/recording_prompts.h"
#include "support/tarvo_frames.h"
#include "ui/fitted_label.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/main_window.h"
#include "ui/parameters_dialog.h"
#include "widgets/window_arrangement.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

using namespace zel;

namespace {

// Units code 6 ("counts"): the value is shown as sent.
QByteArray reading(float value) {
    return tarvo::buildTarvoFrame(test::readingPayload(0x86, value, 6, 0, 0xFF, 0, 0));
}

QList<QPair<QAccessible::Event, QObject*>>& recordedEvents() {
    static QList<QPair<QAccessible::Event, QObject*>> events;
    return events;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override {
        qunsetenv("ZEL_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }

    void writeSettings(const QByteArray& common) {
        QDir().mkpath(dir.filePath("cfg/zel"));
        QFile f(dir.filePath("cfg/zel/Zel.ini"));
        f.open(QIODevice::WriteOnly);
        f.write("[COMMON]\r\n" + common);
    }
    void writeWorkingFile(int readings) {
        QDir().mkpath(dir.filePath("prog"));
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::WriteOnly);
        f.write(
            "\"Department: \"\r\n\"Date: \"\r\n\"Instrument Type: \"\r\n\"Survey location: \"\r\n"
            "\"Surveyor: \"\r\n\"Signature:\"\r\n\"Chargennummer: \"\r\n-\r\n");
        for (int i = 0; i < readings; ++i)
            f.write(QStringLiteral("On-Line,3/14/2026 10:%1:00,1.5,mR/h,OK,DX24,\r\n")
                        .arg(i % 60, 2, 10, QLatin1Char('0'))
                        .toUtf8());
    }

    MainWindow& start() {
        window = std::make_unique<MainWindow>(MainWindow::Options{{"zel"}, &port, &clock});
        window->setPrompts(prompts);
        window->loadSettingsAndStart();
        return *window;
    }
    template <typename T> T* find(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }

    QTemporaryDir dir;
    LoopbackTransport port;
    FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0))};
    test::RecordingPrompts prompts;
    std::unique_ptr<MainWindow> window;
    QStringList& messages = prompts.messages;
    QStringList& questions = prompts.questions;
    QList<Answer>& answers = prompts.answers;
};

TEST_F(MainWindowTest, SaveAndClearFollowTheListAndGraphNeedsEightReadings) {
    writeSettings("InsType=1\r\n");
    writeWorkingFile(7);
    start();
    EXPECT_FALSE(find<QPushButton>("btSave")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("btClearList")->isEnabled());
    EXPECT_FALSE(find<QAction>("mnWrFile")->isEnabled());
    EXPECT_FALSE(find<QAction>("mnGraph")->isEnabled()) << "seven readings";
    EXPECT_EQ(find<QLineEdit>("edCount")->text(), "7");

    port.inject(reading(0.1f));
    EXPECT_TRUE(find<QPushButton>("btSave")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("btClearList")->isEnabled());
    EXPECT_TRUE(find<QAction>("mnWrFile")->isEnabled());
    EXPECT_TRUE(find<QAction>("mnGraph")->isEnabled()) << "eight readings";
    EXPECT_EQ(find<QLineEdit>("edCount")->text(), "8");
}

TEST_F(MainWindowTest, SaveNeedsNoSpreadsheetProgram) {
    writeSettings("InsType=1\r\n");
    MainWindow& w = start();
    for (bool spreadsheet : {false, true}) {
        w.spreadsheetAvailable_ = spreadsheet;
        port.inject(reading(0.1f));
        EXPECT_TRUE(find<QAction>("mnWrFile")->isEnabled()) << spreadsheet;
        EXPECT_EQ(find<QAction>("mnWrFile")->shortcut(), QKeySequence(QKeySequence::Save));
    }
}

TEST_F(MainWindowTest, FamilyChoiceShowsItsMenus) {
    writeSettings("InsType=1\r\n");
    start();
    EXPECT_TRUE(find<QAction>("mnSendTime")->isVisible());
    EXPECT_FALSE(find<QAction>("mnSetAmp")->isVisible());
    find<QRadioButton>("chkInstType_2")->click();
    EXPECT_FALSE(find<QAction>("mnSendTime")->isVisible());
    EXPECT_FALSE(find<QAction>("mnOnline")->isVisible());
    EXPECT_FALSE(find<QAction>("mnGetData")->isVisible());
    EXPECT_TRUE(find<QAction>("mnSetAmp")->isVisible());
    EXPECT_EQ(window->settings().InstrumentType, 2);
    QFile f(dir.filePath("cfg/zel/Zel.ini"));
    f.open(QIODevice::ReadOnly);
    EXPECT_TRUE(f.readAll().contains("InsType=2"));
}

TEST_F(MainWindowTest, StartUpOpensThePortAndTestsATarvo) {
    writeSettings("InsType=1\r\n");
    start();
    // The test of the port opening, and the one at the end of start-up.
    EXPECT_EQ(port.takeWritten(), QByteArray::fromHex("0204040302040403"));
    EXPECT_TRUE(find<QAction>("mnTest")->isEnabled());
    EXPECT_FALSE(find<QPushButton>("btStart")->isEnabled()) << "waiting for the instrument";
}

TEST_F(MainWindowTest, EmptyPortKeyIsReportedAndLeavesTheLaterKeysUnread) {
    QDir().mkpath(dir.filePath("prog"));
    QFile f(dir.filePath("prog/dax.ini"));
    f.open(QIODevice::WriteOnly);
    f.write("[Communication]\r\nPort=\r\n");
    f.close();
    writeSettings("InsType=1\r\nThreshold1=3\r\n");
    start();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages.first(), "Port not opened, Use Set Port ");
    EXPECT_EQ(window->settings().InstrumentType, 0);
    EXPECT_EQ(window->settings().Threshold1, 0.0);
    EXPECT_TRUE(port.writes().isEmpty());
}

TEST_F(MainWindowTest, CancelInTheDownloadQuestionStartsANewFile) {
    writeSettings("InsType=1\r\n");
    start();
    port.inject(reading(0.1f));
    port.inject(reading(0.1f));
    ASSERT_EQ(window->list().rowIndex, 2);
    answers << Answer::Cancel;
    window->getOfflineData();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0], "Do you want to append data to the existing list ? \n\n");
    EXPECT_EQ(window->list().rowIndex, 0);
    EXPECT_EQ(window->data().readingCount(), 0);
}

// A probe file that cannot be written: the cycle stops with the readings
// still listed and offered for saving, and the next measurement does not
// start a fresh working file over them without asking.
TEST_F(MainWindowTest, FailedAutomaticSaveKeepsTheProbesReadings) {
    writeSettings("InsType=1\r\nMeasureTime=1\r\n");
    QDir().mkpath(dir.filePath("prog/probe.csv")); // a folder where the file would go
    start();
    const int& probeDialogs = prompts.probeQuestions;
    prompts.probeChoice = ProbeChoice{"P-1", false};
    window->runAutomaticMeasurement();
    port.inject(reading(0.1f));
    port.inject(reading(0.2f));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !questions.isEmpty() && questions.last().contains("has stopped"); }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(probeDialogs, 1) << "no next probe after a failed save";
    EXPECT_EQ(window->list().rowIndex, 2);
    EXPECT_TRUE(window->data().unsaved);
    EXPECT_FALSE(window->station().autoMode);
    EXPECT_EQ(messages.size(), 1) << "the failed save is reported";

    answers << Answer::Cancel;
    window->runAutomaticMeasurement();
    EXPECT_TRUE(questions.last().startsWith("The list holds readings that are not saved"));
    EXPECT_EQ(probeDialogs, 1) << "Cancel starts nothing";
    EXPECT_EQ(window->list().rowIndex, 2);
    QFile working(dir.filePath("prog/ZelTemp.csv"));
    ASSERT_TRUE(working.open(QIODevice::ReadOnly));
    EXPECT_EQ(working.readAll().count("\r\n"), 10);
}

TEST_F(MainWindowTest, ExitPromptAnswers) {
    writeSettings("InsType=1\r\n");
    start();
    // No readings: no question.
    {
        QCloseEvent e;
        QApplication::sendEvent(window.get(), &e);
        EXPECT_TRUE(e.isAccepted());
        EXPECT_TRUE(questions.isEmpty());
    }
    window.reset();
    start();
    port.inject(reading(0.1f));
    answers << Answer::Cancel;
    {
        QCloseEvent e;
        QApplication::sendEvent(window.get(), &e);
        EXPECT_FALSE(e.isAccepted()) << "Cancel keeps the window";
        EXPECT_EQ(questions.last(), "Do you want to save data before exiting ?");
    }
    // Yes saves through the save dialog and then ends.
    prompts.fileName = dir.filePath("saved.csv");
    answers << Answer::Yes;
    {
        QCloseEvent e;
        QApplication::sendEvent(window.get(), &e);
    }
    ASSERT_FALSE(prompts.fileQuestions.isEmpty());
    EXPECT_EQ(prompts.fileQuestions.last().suggested, "ZelData0");
    EXPECT_TRUE(QFile::exists(dir.filePath("saved.csv")));
    EXPECT_FALSE(window->station().portOpen());

    window.reset();
    start();
    port.inject(reading(0.1f));
    answers << Answer::No;
    QCloseEvent e;
    QApplication::sendEvent(window.get(), &e);
    EXPECT_TRUE(e.isAccepted()) << "No ends without saving";
    EXPECT_FALSE(window->station().portOpen());
}

TEST_F(MainWindowTest, YesToTheExitQuestionSavesAndEnds) {
    // Through close() (the Exit button, the calibration program) and through
    // the window system's close (the title bar), never a hand-made event.
    const std::function<bool(QWidget&)> closers[] = {
        [](QWidget& w) { return w.close(); }, [](QWidget& w) { return w.windowHandle()->close(); }};
    writeSettings("InsType=1\r\n");
    int n = 0;
    for (const auto& closeIt : closers) {
        start();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        port.inject(reading(0.1f));
        const QString target = dir.filePath(QStringLiteral("saved%1.csv").arg(++n));
        prompts.fileName = target;
        answers << Answer::Yes;
        EXPECT_TRUE(closeIt(*window)) << n;
        EXPECT_FALSE(window->isVisible()) << n;
        EXPECT_EQ(questions.size(), n);
        EXPECT_TRUE(QFile::exists(target)) << n;
        EXPECT_FALSE(window->station().portOpen()) << n;
        window.reset();
    }
}

TEST_F(MainWindowTest, AboutBoxShowsAnEmptyDescription) {
    writeSettings("InsType=1\r\n");
    start();
    QString description = QStringLiteral("<not shown>");
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("lblDescription")))
                description = label->text();
            box->accept();
        }
    });
    find<QAction>("mnAbout")->trigger();
    EXPECT_EQ(description, QString());
}

TEST_F(MainWindowTest, IntervalCancelStillEnablesStartWithAStoredInterval) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=5\r\n");
    start();
    EXPECT_FALSE(find<QPushButton>("btStart")->isEnabled());
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
    window->chooseInterval();
    EXPECT_TRUE(find<QPushButton>("btStart")->isEnabled());
}

// Presses OK in the dialog that the next modal loop shows.
template <typename D> void acceptNextDialog(void (D::*ok)()) {
    QTimer::singleShot(0, [ok] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget()))
            (d->*ok)();
    });
}

TEST_F(MainWindowTest, EverySettingThatCannotBeSavedIsReportedOnceWithItsReason) {
    test::FullDisk disk(256 * 1024);
    ZEL_REQUIRE_FULL_DISK(disk);
    qputenv("XDG_CONFIG_HOME", disk.path().toUtf8());
    QDir().mkpath(disk.file("zel"));
    {
        QFile f(disk.file("zel/Zel.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[COMMON]\r\nInsType=1\r\nMinInt=0\r\nSecInt=5\r\n");
    }
    start();
    disk.fill();
    struct Case {
        const char* name;
        std::function<void()> change;
    };
    const Case cases[] = {
        {"family", [this] { find<QRadioButton>("chkInstType_0")->click(); }},
        {"parameters",
         [this] {
             acceptNextDialog(&ParametersDialog::acceptParameters);
             window->editParameters();
         }},
        {"interval",
         [this] {
             acceptNextDialog(&IntervalDialog::acceptInterval);
             window->chooseInterval();
         }},
        {"legend",
         [this] {
             acceptNextDialog(&LegendDialog::acceptLegend);
             window->editLegend();
         }},
    };
    for (const Case& c : cases) {
        messages.clear();
        c.change();
        ASSERT_EQ(messages.size(), 1) << c.name << ": " << messages.join('|').toStdString();
        EXPECT_TRUE(messages[0].contains("could not be saved in Zel.ini")) << c.name;
        EXPECT_TRUE(messages[0].contains("Zel.ini: ")) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(QString::fromLocal8Bit(strerror(ENOSPC))))
            << messages[0].toStdString();
    }
    disk.release();
    messages.clear();
    find<QRadioButton>("chkInstType_1")->click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
    window.reset();
}

TEST_F(MainWindowTest, ListValuesAreNeverCut) {
    writeSettings("InsType=1\r\n");
    start();
    auto* list = find<QTableView>("Grid1");
    const float values[] = {1.0e-40f, -1.0e-40f, 3.4e38f, -1.4e-45f};
    for (float v : values) {
        port.inject(reading(v));
        const QString last =
            list->model()->index(list->model()->rowCount() - 1, 3).data().toString();
        const int need = list->fontMetrics().horizontalAdvance(last.trimmed());
        EXPECT_GT(list->columnWidth(3), need) << last.toStdString();
    }
}

TEST_F(MainWindowTest, DbgOnTheCommandLineShowsTheDebugButton) {
    writeSettings("InsType=1\r\n");
    window = std::make_unique<MainWindow>(MainWindow::Options{{"zel", "dbg"}, &port, &clock});
    window->setPrompts(prompts);
    window->loadSettingsAndStart();
    window->show();
    EXPECT_TRUE(find<QPushButton>("btDebug")->isVisible());
    EXPECT_FALSE(find<QPushButton>("btDax")->isVisible()) << "no calibration program";
}

TEST_F(MainWindowTest, ControlsHaveAccessibleNames) {
    writeSettings("InsType=1\r\n");
    start();
    for (QPushButton* b : window->findChildren<QPushButton*>())
        EXPECT_FALSE(b->accessibleName().isEmpty()) << b->objectName().toStdString();
    for (QLineEdit* e : window->findChildren<QLineEdit*>())
        EXPECT_FALSE(e->accessibleName().isEmpty()) << e->objectName().toStdString();
}

// Clicking the family already chosen runs the connection test again;
// choosing another runs it once.
TEST_F(MainWindowTest, FamilyClickTestsOnce) {
    writeSettings("InsType=1\r\n");
    start();
    window->show();
    port.takeWritten();
    find<QRadioButton>("chkInstType_1")->click();
    const QByteArray again = port.takeWritten();
    EXPECT_FALSE(again.isEmpty()) << "the test frame";
    find<QRadioButton>("chkInstType_0")->click();
    find<QRadioButton>("chkInstType_1")->click();
    EXPECT_EQ(port.takeWritten().count(again), 1) << "one test for one choice";
}

// An amplifier installation's hidden Start and Stop send the meter's start
// and stop commands.
TEST_F(MainWindowTest, AmplifierStartAndStopButtonsSendTheirCommands) {
    writeSettings("InsType=2\r\n");
    start();
    port.takeWritten();
    const std::pair<const char*, char> cases[] = {{"btStartAmp", 'A'}, {"btStop", '@'}};
    for (const auto& [button, command] : cases) {
        find<QPushButton>(button)->click();
        const QByteArray w = port.takeWritten();
        ASSERT_EQ(w.size(), 11) << button;
        EXPECT_EQ(w.at(1), command) << button;
    }
}

// An Orvan field no instrument can report ("9E999" is the largest double)
// is a fault at the top of the range, and no read-out widens the window.
TEST_F(MainWindowTest, AbsurdOrvanValueKeepsTheWindowOnTheScreen) {
    writeSettings("InsType=3\r\n");
    start();
    window->show();
    const QRect screen = window->screen()->availableGeometry();
    window->resize(std::min(1000, screen.width()), window->height());
    QApplication::processEvents();
    const int widthBefore = window->frameGeometry().width();
    port.inject(test::orvanR11('0'));
    port.inject(test::orvanR19("00001", "00002", "00003", "9E999", "00005", "9E999"));
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_LE(window->frameGeometry().width(), std::max(widthBefore, screen.width()));
    EXPECT_EQ(window->frameGeometry().width(), widthBefore);
    auto* value = find<FittedLabel>("lblValue");
    EXPECT_EQ(value->fullText(), "999.99 uSv/h");
    EXPECT_EQ(find<FittedLabel>("lblDose")->fullText(), "99999 cps");
    QStringList row;
    for (int c = 0; c < MeasurementList::Columns; ++c)
        row << window->list().cell(1, c).trimmed();
    EXPECT_TRUE(row.contains("999.99")) << row.join('|').toStdString();
    EXPECT_TRUE(row.contains("99999")) << "the count rate, too";
    // However long a read-out's text, it is fitted to the label.
    window->setValueText(QString(300, QLatin1Char('9')) + QStringLiteral(" uSv/h"));
    QApplication::processEvents();
    EXPECT_EQ(window->frameGeometry().width(), widthBefore);
    EXPECT_LE(value->fontMetrics().horizontalAdvance(value->text()), value->width());
    EXPECT_TRUE(value->text().contains("E+")) << value->text().toStdString();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(value)->text(QAccessible::Name),
              value->fullText());
}

// The window alone decides the colours: the station tells it levels and
// the connection. Fault and lost contact are both the window's state 3,
// magenta and pale cyan; an Orvan error reply is a fault.
TEST_F(MainWindowTest, LevelsAndConnectionTakeTheirColours) {
    writeSettings("InsType=3\r\nThreshold1=100\r\nThreshold2=200\r\n");
    start();
    auto* value = find<FittedLabel>("lblValue");
    auto* lamp = find<QFrame>("spOk");
    ASSERT_NE(lamp, nullptr);
    const auto background = [](QWidget* w) { return w->styleSheet(); };
    port.inject(test::orvanR11('1')); // uR/h: the GM rate as sent
    EXPECT_TRUE(background(lamp).contains("#80ff80")) << background(lamp).toStdString();
    struct Case {
        QByteArray frame;
        const char* colour;
    };
    const Case cases[] = {
        {test::orvanR19("00001", "00002", "00003", "00004", "00005", "00050"), "#00ff00"},
        {test::orvanR19("00001", "00002", "00003", "00004", "00005", "00150"), "#ffff00"},
        {test::orvanR19("00001", "00002", "00003", "00004", "00005", "00250"), "#ff0000"},
        {QByteArray("\x02"
                    "E00\x03"),
         "#ff00ff"},
        {QByteArray("\x02"
                    "E01\x03"),
         "#ff00ff"},
        {test::orvanR19("00001", "00002", "00003", "00004", "00005", "00050"), "#00ff00"},
    };
    for (const Case& c : cases) {
        port.inject(c.frame);
        EXPECT_TRUE(background(value).contains(c.colour))
            << c.frame.toStdString() << ": " << background(value).toStdString();
    }
    window->station().toggleOnline();
    for (int i = 0; i <= window->settings().LostContactInterval; ++i)
        window->station().onLostContactTick();
    EXPECT_TRUE(background(value).contains("#80ffff")) << background(value).toStdString();
    window->station().connectionLost();
    EXPECT_TRUE(background(lamp).contains("#ff8080")) << background(lamp).toStdString();
    // The mapping itself, and the status line's colours.
    EXPECT_EQ(alarmLevelColor(AlarmLevel::Fault), QColor(255, 0, 255));
    EXPECT_EQ(alarmLevelColor(AlarmLevel::LostContact), QColor(128, 255, 255));
    EXPECT_EQ(statusTextColor(StatusKind::Problem), QColor(255, 0, 0));
    EXPECT_EQ(statusTextColor(StatusKind::Success), QColor(0, 0, 255));
    EXPECT_FALSE(statusTextColor(StatusKind::Note).isValid()) << "a note keeps the colour";
}

// Arranged on a 1600 x 1000 screen, the main window keeps its smallest
// height and the graph below it ends on the screen.
TEST_F(MainWindowTest, ArrangedGraphFitsBelowTheMainWindow) {
    writeSettings("InsType=1\r\nstrAutoarrange=1\r\n");
    graph::GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    writeWorkingFile(40);
    start();
    const QRect screen(0, 0, 1600, 1000);
    window->setArrangementArea(screen);
    window->show();
    window->showGraph();
    QApplication::processEvents();
    graph::GraphWindow* g = window->graphWindow();
    ASSERT_NE(g, nullptr);
    const QRect m = window->frameGeometry(), gr = g->frameGeometry();
    EXPECT_GE(m.top(), screen.top());
    EXPECT_GE(window->height(), window->minimumSizeHint().height());
    EXPECT_LT(m.bottom(), gr.top());
    EXPECT_LE(gr.bottom(), screen.bottom()) << "the graph's buttons stay reachable";
    EXPECT_EQ(gr.width(), m.width());
    g->close();
    graph::GraphWindow::setPlacementFile(QString());
}

// Small texts and Automatic: the Save tip says what Save does; Automatic is
// offered only while no measurement runs.
TEST_F(MainWindowTest, SaveTipAndAutomaticWhileMeasuring) {
    writeSettings("InsType=1\r\nMinInt=0\r\nSecInt=5\r\n");
    start();
    EXPECT_NE(find<QPushButton>("btSave")->toolTip(), "Exit from program");
    EXPECT_EQ(find<QPushButton>("btExit")->toolTip(), "Exit from program");
    QTimer::singleShot(0, [] {
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
    window->chooseInterval();
    ASSERT_TRUE(find<QAction>("mnAuto")->isEnabled());
    prompts.probeChoice = ProbeChoice{};
    window->runAutomaticMeasurement();
    EXPECT_FALSE(find<QAction>("mnAuto")->isEnabled()) << "a measurement runs";
    EXPECT_FALSE(find<QAction>("tb_mnAuto")->isEnabled());
    window->enableCommand(Command::Auto, true);
    EXPECT_FALSE(find<QAction>("mnAuto")->isEnabled()) << "still running";
}

// Stacked by frames within the free area: both fit when their smallest
// heights allow; otherwise the main window keeps its own.
TEST(WindowArrangement, StacksWithinTheAvailableArea) {
    struct Case {
        QRect available;
        int mainLeast, graphLeast;
    };
    const QMargins frame(2, 28, 2, 2);
    const Case cases[] = {
        {QRect(0, 0, 1600, 1000), 610, 300},
        {QRect(0, 32, 1920, 1048), 610, 300},
        {QRect(0, 0, 1280, 1600), 610, 300},
    };
    for (const Case& c : cases) {
        const Arrangement a = arrangeStacked(c.available, QRect(1500, 40, 1000, 700), 23,
                                             {frame, c.mainLeast}, {frame, c.graphLeast});
        const QRect main = a.main.marginsAdded(frame), graph = a.graph.marginsAdded(frame);
        EXPECT_EQ(main.top(), c.available.top());
        EXPECT_GE(a.main.height(), c.mainLeast);
        EXPECT_GE(a.graph.height(), c.graphLeast);
        EXPECT_EQ(graph.top(), main.bottom() + 1);
        EXPECT_LE(graph.bottom(), c.available.bottom());
        EXPECT_TRUE(c.available.contains(main.topLeft()) && c.available.contains(main.topRight()))
            << "moved in from the right edge";
        EXPECT_EQ(graph.left(), main.left());
        EXPECT_EQ(graph.width(), main.width());
    }
    // Too small a screen for both: the main window keeps its smallest
    // height and the graph its own.
    const Arrangement tight = arrangeStacked(QRect(0, 0, 800, 600), QRect(0, 0, 800, 600), 23,
                                             {frame, 610}, {frame, 300});
    EXPECT_EQ(tight.main.height(), 610);
    EXPECT_EQ(tight.graph.height(), 300);
}

} // namespace

// A screen reader hears a label's accessible name: the labels whose text
// changes say that text, keep their role as description, and a new status
// is announced.
TEST_F(MainWindowTest, ChangingLabelsSpeakTheirText) {
    writeSettings("InsType=1\r\n");
    start();
    QAccessible::installUpdateHandler([](QAccessibleEvent* e) {
        recordedEvents().append({e->type(), e->object()});
    });
    QAccessible::setActive(true);
    recordedEvents().clear();

    struct Case {
        const char* label;
        const char* role;
        std::function<void()> change;
        const char* text;
    };
    const Case cases[] = {
        {"lblTime", "Status",
         [&] { window->setStatus("Instrument not responding", StatusKind::Note); },
         "Instrument not responding"},
        {"lblValue", "Value", [&] { window->setValueText("12 mR/h"); }, "12 mR/h"},
        {"lblDose", "Dose",
         [&] {
             window->showReading(
                 ShownReading{"t", "12 mR/h", "3 mR", "", "", "", 12, AlarmLevel::Normal});
         },
         "3 mR"},
    };
    for (const Case& c : cases) {
        auto* label = find<QLabel>(c.label);
        ASSERT_NE(label, nullptr) << c.label;
        c.change();
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(QAccessible::Name), c.text) << c.label;
        EXPECT_EQ(a->text(QAccessible::Description), c.role) << c.label;
    }
    const auto statusNamed = [&] {
        return std::count_if(recordedEvents().begin(), recordedEvents().end(), [&](const auto& e) {
            return e.second == find<QLabel>("lblTime") && e.first == QAccessible::NameChanged;
        });
    };
    // Events reach the handler only where the platform has an accessibility
    // bridge (xcb with AT-SPI), not on the offscreen platform.
    if (QAccessible::isActive()) {
        EXPECT_GE(statusNamed(), 1) << "a new status is announced";
        const auto before = statusNamed();
        window->setStatus("Instrument not responding", StatusKind::Note);
        EXPECT_EQ(statusNamed(), before) << "the same text again is not announced again";
    }

    QAccessible::setActive(false);
    QAccessible::installUpdateHandler(nullptr);
}

// A command is one action: what the station enables or disables holds for
// its button, its menu entry and its toolbar entry alike, and a click on the
// button runs the menu entry's action.
TEST_F(MainWindowTest, ButtonMenuAndToolbarFollowOneCommand) {
    writeSettings("InsType=1\r\n");
    start();
    struct Case {
        Command command;
        const char* button;
        const char* menu;
        const char* tool;
    };
    const Case cases[] = {{Command::Start, "btStart", "mnStart", "tb_mnStart"},
                          {Command::GetData, "btGetData", "mnGetData", "tb_mnGetData"}};
    for (const Case& c : cases) {
        for (bool on : {true, false, true}) {
            window->enableCommand(c.command, on);
            EXPECT_EQ(find<QPushButton>(c.button)->isEnabled(), on) << c.button;
            EXPECT_EQ(find<QAction>(c.menu)->isEnabled(), on) << c.menu;
            EXPECT_EQ(find<QAction>(c.tool)->isEnabled(), on) << c.tool;
        }
        QSignalSpy ran(find<QAction>(c.menu), &QAction::triggered);
        find<QPushButton>(c.button)->click();
        find<QAction>(c.tool)->trigger();
        EXPECT_EQ(ran.size(), 2) << c.menu;
    }
}

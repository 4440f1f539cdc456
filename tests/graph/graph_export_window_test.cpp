// Export, graph sets, the data list and printing driven from the graph
// window's menus, as a user would: the chosen names, the messages, the
// folders, Stop, and the printed page.
#include "common/datetime.h"
#include "common/text.h"
#include "graph/data_list.h"
#include "graph/data_list_window.h"
#include "graph/graph_window.h"
#include "support/full_disk.h"
#include "support/recording_prompts.h"
#include "widgets/wait_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

namespace zel::graph {
namespace {

constexpr double Day0 = 46095.25;
constexpr double Second = 1.0 / 86400;

struct Data {
    std::vector<double> times, values;
    explicit Data(int n) {
        for (int i = 0; i < n; ++i) {
            times.push_back(Day0 + i * 10 * Second);
            values.push_back(i % 50 == 7 ? -1 : 10 + (i % 11));
        }
    }
    LoadRequest request(const QString& second = {}) const {
        LoadRequest r;
        r.seriesSlots[0].name = "1234";
        r.seriesSlots[0].units = "uSv/h";
        r.seriesSlots[1].name = second;
        for (GraphSlot& s : r.seriesSlots)
            s.indicatorCode = 2;
        r.times = times;
        r.values[0] = values;
        r.values[1] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        return r;
    }
};

class GraphExportWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        qputenv("ZEL_HOME", home.path().toUtf8());
        GraphWindow::setPlacementFile(home.filePath("placement.ini"));
    }
    void TearDown() override {
        qunsetenv("ZEL_HOME");
        GraphWindow::setPlacementFile(QString());
    }
    // The window's file questions are answered with `name`.
    void answerFiles(GraphWindow& w, const QString& name) {
        w.setPrompts(prompts);
        prompts.fileName = name;
    }
    QString offeredFolder() const { return prompts.fileQuestions.last().folder; }
    QString offeredName() const { return prompts.fileQuestions.last().suggested; }
    // The last message, or nothing.
    test::RecordingPrompts::Seen told() const {
        return prompts.last() ? *prompts.last() : test::RecordingPrompts::Seen{};
    }
    QTemporaryDir home;
    test::RecordingPrompts prompts;
};

TEST_F(GraphExportWindowTest, CsvExportsNameTheWrittenFileAndReportFailures) {
    GraphWindow w;
    w.load(Data(30).request());
    w.show();

    // "report.txt" writes report.csv, in a folder the export created.
    const QString chosen = home.filePath("report.txt");
    answerFiles(w, chosen);
    w.findChild<QAction*>("mnAllToCsv")->trigger();
    EXPECT_EQ(offeredFolder(), QDir(home.path()).filePath("export/Peak_Rep"));
    EXPECT_TRUE(QDir(offeredFolder()).exists());
    EXPECT_EQ(offeredName(), "1234");
    EXPECT_EQ(prompts.fileQuestions.last().suffix, "csv");
    EXPECT_EQ(told().kind, test::RecordingPrompts::Kind::Information);
    // The path is one left-to-right run, so a right-to-left message
    // neither reverses it nor moves its leading "/" to the far end.
    EXPECT_EQ(told().text, "Data saved in file : " + leftToRight(home.filePath("report.csv")));
    QFile all(home.filePath("report.csv"));
    ASSERT_TRUE(all.open(QIODevice::ReadOnly));
    EXPECT_EQ(all.readAll().count('\n'), 2 + 29) << "30 records, one without a value";
    EXPECT_FALSE(QFile::exists(chosen));

    // A name without an extension keeps all of its characters.
    answerFiles(w, home.filePath("ab"));
    w.findChild<QAction*>("mnCsv")->trigger();
    EXPECT_TRUE(QFile::exists(home.filePath("ab.csv")));

    // A folder that cannot be written: the file and the reason are told.
    QFile plain(home.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    answerFiles(w, home.filePath("plain/x.csv"));
    w.findChild<QAction*>("mnCsv")->trigger();
    EXPECT_EQ(told().kind, test::RecordingPrompts::Kind::Warning);
    EXPECT_TRUE(told().text.contains(home.filePath("plain/x.csv"))) << told().text.toStdString();

    // A cancelled dialog does nothing.
    const QStringList before = QDir(home.path()).entryList(QDir::Files);
    const qsizetype toldBefore = prompts.seen.size();
    answerFiles(w, QString());
    w.findChild<QAction*>("mnCsv")->trigger();
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), before);
    EXPECT_EQ(prompts.seen.size(), toldBefore);
}

TEST_F(GraphExportWindowTest, StopEndsAnExportAndTheListEarly) {
    GraphWindow w;
    w.load(Data(3000).request());
    w.show();
    // Stop is pressed as soon as the progress window shows.
    auto pressStop = [&w] {
        QTimer::singleShot(0, &w, [&w] {
            ASSERT_NE(w.files().progressWindow(), nullptr);
            EXPECT_TRUE(w.files().progressWindow()->isVisible());
            w.files().progressWindow()->findChild<QPushButton*>("btStop")->click();
        });
    };
    pressStop();
    const QString path = home.filePath("stopped.csv");
    EXPECT_EQ(w.files().writeCsv(ExportSource::Raw, path), RunOutcome::Stopped);
    EXPECT_FALSE(QFile::exists(path)) << "half an export would pass for the whole data";
    EXPECT_TRUE(QDir(home.path()).entryList({"*stopped*"}, QDir::Files | QDir::Hidden).isEmpty())
        << "no temporary file is left";
    EXPECT_FALSE(w.files().progressWindow()->isVisible());
    EXPECT_EQ(w.files().progressWindow()->windowTitle(), "Converting to Csv:");

    // Stopped from the menu: an older file of that name stays as it was, and
    // the user is told that nothing was written.
    {
        QFile older(path);
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write("older\r\n");
    }
    answerFiles(w, path);
    pressStop();
    w.findChild<QAction*>("mnAllToCsv")->trigger();
    EXPECT_EQ(told().kind, test::RecordingPrompts::Kind::Information);
    EXPECT_EQ(told().text, "The export was cancelled; " + leftToRight(path) + " was not written.");
    QFile older(path);
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), "older\r\n");

    // Not stopped: the bar follows the records written, up to all of them.
    QList<int> shown;
    QProgressBar* bar = w.files().progressWindow()->progressBar();
    const auto follow =
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) { shown << value; });
    EXPECT_EQ(w.files().writeCsv(ExportSource::Raw, path), RunOutcome::Done);
    QObject::disconnect(follow);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    EXPECT_EQ(shown.last(), bar->maximum());
    EXPECT_EQ(bar->maximum(), 3000 - 60) << "the records with a value";

    // The list: opened beside the graph, filled until Stop.
    pressStop();
    w.findChild<QAction*>("mnList")->trigger();
    DataListWindow* list = w.dataList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->objectName(), "DataGraph");
    EXPECT_EQ(list->windowTitle(), " Data Graph");
    EXPECT_EQ(w.files().progressWindow()->windowTitle(), "Filling the list");
    EXPECT_LT(list->model()->filled(), list->model()->planned());

    // Without Stop every valued point is listed; "All" fills it again.
    EXPECT_EQ(w.files().fillList(), RunOutcome::Done);
    EXPECT_EQ(list->model()->filled(), 1001 - 20);
    w.findChild<QPushButton*>("btAll")->click();
    EXPECT_EQ(list->model()->filled(), DataListModel::MaxPoints);
    EXPECT_TRUE(list->grid()->isColumnHidden(2)) << "unused series have no column";
}

TEST_F(GraphExportWindowTest, GraphSetsOnDemandAndOnClose) {
    GraphWindow w;
    w.load(Data(30).request("Fix Flow"));
    w.show();
    EXPECT_TRUE(w.findChild<QLabel*>("edShowData_1")->isVisible());
    const QString path = home.filePath("maps/mine.Grp");
    answerFiles(w, path);
    w.findChild<QAction*>("mnSaveSet")->trigger();
    EXPECT_EQ(offeredFolder(), QDir(home.path()).filePath("maps"));
    EXPECT_EQ(offeredName(), "Grp1");
    QFile set(path);
    ASSERT_TRUE(set.open(QIODevice::ReadOnly));
    EXPECT_EQ(set.readAll(), "1234,,,,\r\n2,2,2,2,2\r\n");
    // The reserved name is gone from the window too.
    EXPECT_TRUE(w.store().seriesSlots[1].name.isEmpty());
    EXPECT_FALSE(w.findChild<QLabel*>("edShowData_1")->isVisible());

    w.close();
    QFile last(home.filePath("LastGraph.grp"));
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_EQ(last.readAll(), "1234,,,,\r\n2,2,2,2,2\r\n");
}

TEST_F(GraphExportWindowTest, PrintedPageAndPdf) {
    GraphWindow w;
    w.load(Data(300).request());
    w.show();
    EXPECT_EQ(w.findChild<QAction*>("mnPrint")->isEnabled(),
              !QPrinterInfo::availablePrinterNames().isEmpty());
    EXPECT_TRUE(w.findChild<QAction*>("mnPrintPdf")->isEnabled());

    // The page as an image: the series in its colour, only inside its band
    // (a sixth of the height free above and below), and the labels around.
    QImage page(1123, 794, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        drawPrintedPage(p, QRectF(page.rect()), w.files().printPicture());
    }
    int blueInBand = 0, blueOutside = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 1123 / 12 + 2; x < 1123 * 11 / 12 - 2; ++x)
            if (page.pixel(x, y) == qRgb(0, 0, 255))
                (y > 794 / 6 - 2 && y < 794 * 5 / 6 + 2 ? blueInBand : blueOutside) += 1;
    EXPECT_GT(blueInBand, 300);
    EXPECT_EQ(blueOutside, 0);
    int darkBelow = 0;
    for (int y = 794 * 5 / 6 + 8; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            darkBelow += qGray(page.pixel(x, y)) < 100;
    EXPECT_GT(darkBelow, 50) << "time labels under the last band";

    // Nothing displayed: an empty page.
    w.findChild<QCheckBox*>("chkDisplayGraph_0")->setChecked(false);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        drawPrintedPage(p, QRectF(page.rect()), w.files().printPicture());
    }
    w.findChild<QCheckBox*>("chkDisplayGraph_0")->setChecked(true);
    QImage blank(page.size(), page.format());
    blank.fill(Qt::white);
    EXPECT_TRUE(page == blank);

    // Print to PDF: a name without ".pdf" gets it.
    answerFiles(w, home.filePath("graph"));
    w.findChild<QAction*>("mnPrintPdf")->trigger();
    EXPECT_EQ(told().kind, test::RecordingPrompts::Kind::Information);
    EXPECT_EQ(told().text, "Graph saved in file : " + leftToRight(home.filePath("graph.pdf")));
    QFile pdf(home.filePath("graph.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    const Expected<void> written = w.files().writePdf(home.filePath("nowhere/graph.pdf"));
    ASSERT_FALSE(written);
    const QString error = written.error().text;
    EXPECT_TRUE(error.contains("nowhere")) << error.toStdString();
}

// Every file the graph window writes, aimed at the station's own files and at
// a full disk: the older file stays whole, and the message names the file and
// the reason. Writing over the working file would leave its append handle on a
// deleted file, so every later reading would go nowhere.
TEST_F(GraphExportWindowTest, WritersRefuseTheStationsFilesAndSurviveAFullDisk) {
    test::FullDisk disk;
    ZEL_REQUIRE_FULL_DISK(disk);
    GraphWindow w;
    w.load(Data(3000).request());
    w.show();
    const QString working = home.filePath("ZelTemp.csv");
    const QString common = home.filePath("Data4Excel.csv");
    w.setProtectedFiles({working, common});
    // (A page always gets the name ".pdf", so it is tried on the full disk
    // only, below.)
    const char* actions[] = {"mnAllToCsv", "mnCsv", "mnSaveSet"};
    struct Target {
        const char* name;
        QString chosen;   // what the dialog gives back
        QString affected; // the file that must stay as it was
        bool fullDisk;
        const char* reason;
    };
    const Target targets[] = {
        {"the working file", working, working, false, "cannot be overwritten"},
        {"the working file through ./", home.path() + "/./ZelTemp.csv", working, false,
         "cannot be overwritten"},
        {"the common file", common, common, false, "cannot be overwritten"},
        {"a full disk", disk.file("old.csv"), disk.file("old.csv"), true,
         "No space left on device"},
    };
    for (const char* action : actions) {
        for (const Target& t : targets) {
            SCOPED_TRACE(std::string(action) + " onto " + t.name);
            const QByteArray older = "older content\r\n";
            QFile f(t.affected);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(older);
            f.close();
            if (t.fullDisk)
                disk.fill();
            answerFiles(w, t.chosen);
            prompts.seen.clear();
            w.findChild<QAction*>(action)->trigger();
            disk.release();
            ASSERT_EQ(prompts.seen.size(), 1);
            EXPECT_EQ(told().kind, test::RecordingPrompts::Kind::Warning);
            EXPECT_TRUE(told().text.contains(t.reason)) << told().text.toStdString();
            EXPECT_FALSE(told().text.contains("Unknown error")) << told().text.toStdString();
            QFile after(t.affected);
            ASSERT_TRUE(after.open(QIODevice::ReadOnly));
            EXPECT_EQ(after.readAll(), older);
        }
    }
    // A page on the full disk: an older page with that name stays.
    QFile page(disk.file("page.pdf"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("%PDF-older");
    page.close();
    disk.fill();
    const Expected<void> written = w.files().writePdf(disk.file("page.pdf"));
    ASSERT_FALSE(written);
    const QString error = written.error().text;
    EXPECT_TRUE(error.contains("No space left on device")) << error.toStdString();
    disk.release();
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_EQ(page.readAll(), "%PDF-older");
}

} // namespace
} // namespace zel::graph

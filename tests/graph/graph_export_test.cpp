// The graph's files and page arithmetic: export names, the number and
// date-time texts of the records, a whole export against a hand-written
// file, graph sets, the print levels and the rows of the data list.
#include "common/datetime.h"
#include "graph/data_list.h"
#include "graph/graph_export.h"
#include "graph/graph_print.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace zel::graph {
namespace {

constexpr double Day0 = 46095.25; // 2026-03-14 06:00:00
constexpr double Second = 1.0 / 86400;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Records ten seconds apart in seriesSlots 0 and 1.
struct TwoSeries {
    std::vector<double> times, first, second;
    TwoSeries(std::vector<double> a, std::vector<double> b) : first(std::move(a)), second(b) {
        for (size_t i = 0; i < first.size(); ++i)
            times.push_back(Day0 + double(i) * 10 * Second);
    }
    LoadRequest request() const {
        LoadRequest r;
        r.seriesSlots[0].name = "Probe";
        r.seriesSlots[0].units = "uSv/h";
        r.seriesSlots[1].name = "Second";
        r.seriesSlots[1].units = "cps";
        for (GraphSlot& s : r.seriesSlots)
            s.indicatorCode = 2;
        r.times = times;
        r.values[0] = first;
        r.values[1] = second;
        r.lastIndex = int32_t(times.size()) - 1;
        return r;
    }
};

// A file under tests/graph/data. The source path may be relative to the
// build folder, where the test program lives.
QString testDataFile(const QString& name) {
    QFileInfo source(QStringLiteral(__FILE__));
    if (source.isRelative())
        source.setFile(QDir(QCoreApplication::applicationDirPath()).filePath(source.filePath()));
    return source.dir().filePath(QStringLiteral("data/") + name);
}

class GraphFilesTest : public ::testing::Test {
protected:
    void SetUp() override { setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
    QTemporaryDir dir;
};

TEST(GraphExportNames, FourCharacterExtensionIsReplacedOtherNamesKeepEveryCharacter) {
    const std::pair<const char*, const char*> csv[] = {
        {"/d/report.csv", "/d/report.csv"},       {"/d/report.txt", "/d/report.csv"},
        {"/d/report", "/d/report.csv"},           {"/d/ab", "/d/ab.csv"},
        {"/d/report.data", "/d/report.data.csv"}, {"/d.x/abc", "/d.x/abc.csv"},
    };
    for (auto [chosen, written] : csv)
        EXPECT_EQ(csvTargetName(chosen), written) << chosen;
    EXPECT_EQ(pdfTargetName("/d/graph"), "/d/graph.pdf");
    EXPECT_EQ(pdfTargetName("/d/graph.PDF"), "/d/graph.PDF");
    EXPECT_EQ(pdfTargetName("/d/graph.csv"), "/d/graph.pdf");
}

TEST(GraphExportTexts, NumbersInPrintForm) {
    const std::pair<double, const char*> cases[] = {
        {12.5, " 12.5 "},           {-1, "-1 "},       {0, " 0 "}, {0.1 + 0.2, " 0.3 "},
        {1234567.5, " 1234567.5 "}, {-0.25, "-0.25 "},
    };
    for (auto [value, text] : cases) {
        QByteArray out;
        appendPrintNumber(out, value);
        EXPECT_EQ(out, text) << value;
    }
}

TEST(GraphExportTexts, DayCountTextEqualsTheGeneralDateTimeText) {
    const double days[] = {Day0,
                           Day0 + 59 * Second,
                           Day0 + 0.75 - 0.0004 / 86400, // rounds to the millisecond
                           46095.9999999999,             // rounds up to the next midnight
                           46096.5,
                           46110 + 2.5 / 24, // 2026-03-29 02:30, a gap in much of Europe
                           -1.5,             // before the day count's origin
                           0};
    for (const QLocale& locale :
         {QLocale(QLocale::English, QLocale::UnitedStates),
          QLocale(QLocale::German, QLocale::Germany), QLocale(QLocale::Hebrew, QLocale::Israel)}) {
        setDateLocale(locale);
        DayCountText text;
        for (double d : days) {
            QByteArray out;
            text.append(out, d);
            EXPECT_EQ(QString::fromUtf8(out), formatGeneralDateTime(fromDayCount(d)))
                << d << " " << locale.name().toStdString();
        }
        QByteArray out;
        text.append(out, std::numeric_limits<double>::quiet_NaN());
        text.append(out, 1e9);
        EXPECT_TRUE(out.isEmpty());
    }
}

TEST_F(GraphFilesTest, AllToCsvMatchesTheHandWrittenFile) {
    GraphStore store;
    // A longer earlier load leaves records past the new last index: they
    // belong to other data and are not written.
    store.load(TwoSeries({9, 9, 9, 9, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 9, 9, 9}).request());
    store.load(
        TwoSeries({0.12, -1, 2.5, 1234567.5, 0, 0.001}, {10, 11, -1, 13, 14.25, 15}).request());
    const QString path = dir.filePath("all.csv");
    const Expected<void> all = exportCsv(store, ExportSource::Raw, path);
    ASSERT_TRUE(all) << all.error().text.toStdString();
    EXPECT_EQ(readAll(path), readAll(testDataFile("export_all.csv")));

    // The display series of the same window: every point where slot 0 has a
    // value, the first and the last included.
    ASSERT_TRUE(exportCsv(store, ExportSource::Display, dir.filePath("average.csv")));
    const QList<QByteArray> lines = readAll(dir.filePath("average.csv")).split('\n');
    ASSERT_EQ(lines.size(), 2 + 5 + 1);
    EXPECT_EQ(lines[2].toStdString(), "3/14/2026 06:00:00, 0.12 , 10 ,-1 ,-1 ,-1 \r");
    EXPECT_EQ(lines[6].toStdString(), "3/14/2026 06:00:50, 0.001 , 15 ,-1 ,-1 ,-1 \r");
}

TEST_F(GraphFilesTest, FailuresNameTheFileAndStoppedExportsKeepWhatWasWritten) {
    GraphStore store;
    store.load(TwoSeries({1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}).request());

    // A folder that cannot exist: the file is named, with the reason.
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString impossible = dir.filePath("plain/out.csv");
    const Expected<void> exported = exportCsv(store, ExportSource::Raw, impossible);
    ASSERT_FALSE(exported);
    QString error = exported.error().text;
    EXPECT_TRUE(error.startsWith(impossible + ": ")) << error.toStdString();
    EXPECT_GT(error.size(), impossible.size() + 2);
    std::array<GraphSlot, SlotCount> seriesSlots = store.seriesSlots;
    const Expected<void> saved = saveGraphSet(impossible, seriesSlots);
    ASSERT_FALSE(saved);
    error = saved.error().text;
    EXPECT_TRUE(error.startsWith(impossible + ": ")) << error.toStdString();

    // An older file stays whole until the new one is complete.
    const QString path = dir.filePath("kept.csv");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("older export\r\n");
    old.close();
    CsvExport job(store, ExportSource::Raw);
    ASSERT_TRUE(job.open(path));
    EXPECT_EQ(job.total(), 6);
    ASSERT_TRUE(job.writeSome(2));
    EXPECT_EQ(readAll(path), "older export\r\n");
    // Stopped here: what was written becomes the file.
    ASSERT_TRUE(job.finish());
    EXPECT_EQ(readAll(path).count('\n'), 2 + 2);
}

TEST_F(GraphFilesTest, GraphSetClearsTheReservedNameAndWritesNamesAndCodes) {
    std::array<GraphSlot, SlotCount> seriesSlots;
    seriesSlots[0].name = "Probe";
    seriesSlots[2].name = "Fix Flow";
    seriesSlots[3].name = "Fix Flow 2";
    for (GraphSlot& s : seriesSlots)
        s.indicatorCode = 2;
    seriesSlots[3].indicatorCode = 1;
    const QString path = dir.filePath("Grp1.Grp");
    ASSERT_TRUE(saveGraphSet(path, seriesSlots));
    EXPECT_EQ(readAll(path), "Probe,,,Fix Flow 2,\r\n2,2,2,1,2\r\n");
    EXPECT_TRUE(seriesSlots[2].name.isEmpty()) << "cleared in memory as well";
    EXPECT_EQ(seriesSlots[3].name, "Fix Flow 2");

    // A comma in a name would shift every later field.
    seriesSlots[0].name = "A,\"B\"";
    EXPECT_EQ(graphSetText(seriesSlots).split('\r').first(), "\"A,\"\"B\"\"\",,,Fix Flow 2,");
}

TEST(GraphPrint, LevelsBandsAndLabels) {
    const std::pair<int, int> counts[] = {{1, 10}, {2, 5}, {3, 3}, {4, 2}, {5, 2}};
    for (auto [series, levels] : counts)
        EXPECT_EQ(printLevelCount(series), levels) << series;

    // One series scaled 8..22: ten levels 14/9 apart; the bottom edge, 8, is
    // a frame line without a label.
    QStringList labels;
    for (const PrintLevel& l : printLevels(SlotScale{8, 22, 1}, 1))
        labels << l.label;
    EXPECT_EQ(labels, QStringList({"22", "20.44", "18.89", "17.33", "15.78", "14.22", "12.67",
                                   "11.11", "9.56"}));
    // Three series: labelled at the top and the middle of the range.
    const std::vector<PrintLevel> three = printLevels(SlotScale{0, 10, 1}, 3);
    ASSERT_EQ(three.size(), 2u);
    EXPECT_EQ(three[1].label, "5");
    EXPECT_DOUBLE_EQ(three[1].fraction, 0.5);

    // Printed in the exponent form, equal steps read equal: one power of ten
    // for the column and the places that show each step within 1%.
    const struct {
        SlotScale scale;
        int series;
        QStringList labels;
    } exponentCases[] = {
        // A 1.2e8 .. 3e8 graph: steps of 0.26E+08, not "3.3, 3.0, 2.8".
        {{0.96e8, 3.3e8, 1},
         1,
         {"3.30E+08", "3.04E+08", "2.78E+08", "2.52E+08", "2.26E+08", "2.00E+08", "1.74E+08",
          "1.48E+08", "1.22E+08"}},
        // Steps of 14/9: they read 0.156 and 0.155, within 1% of each other.
        {{8e9, 22e9, 1},
         1,
         {"2.200E+10", "2.044E+10", "1.889E+10", "1.733E+10", "1.578E+10", "1.422E+10", "1.267E+10",
          "1.111E+10", "0.956E+10"}},
        {{0, 9.98e8, 1}, 2, {"9.98E+08", "7.48E+08", "4.99E+08", "2.50E+08"}},
        {{0, 1e20, 1}, 3, {"1.0E+20", "0.5E+20"}},
    };
    for (const auto& c : exponentCases) {
        labels.clear();
        for (const PrintLevel& l : printLevels(c.scale, c.series, true))
            labels << l.label;
        EXPECT_EQ(labels, c.labels) << c.scale.max;
    }

    // A quarter band free above the first band and below the last.
    EXPECT_DOUBLE_EQ(printBand(0, 1).top, 1.0 / 6);
    EXPECT_DOUBLE_EQ(printBand(0, 1).bottom, 5.0 / 6);
    EXPECT_DOUBLE_EQ(printBand(2, 3).bottom, 1 - 0.25 / 3.5);
}

TEST_F(GraphFilesTest, DataListTakesTheNewestValuedPointsUpToRowThousand) {
    auto listed = [](int points, int gapEvery) {
        std::vector<double> v, w;
        for (int i = 0; i < points; ++i) {
            v.push_back(gapEvery && i % gapEvery == 0 ? -1 : i);
            w.push_back(i + 0.125);
        }
        GraphStore store;
        store.load(TwoSeries(v, w).request());
        store.windowToAll();
        store.reduce(false);
        auto model = std::make_unique<DataListModel>();
        model->start(store);
        while (model->fillSome(100) > 0) {
        }
        return model;
    };
    // 1500 points: the newest only, rows 2 .. 1000.
    auto big = listed(1500, 0);
    EXPECT_EQ(big->rowCount(), 1 + DataListModel::MaxPoints);
    EXPECT_EQ(big->headerData(DataListModel::MaxPoints, Qt::Vertical).toInt(), 1000);
    EXPECT_EQ(big->data(big->index(1, 1)).toString(), "1499");
    EXPECT_EQ(big->data(big->index(1, 0)).toString(),
              formatGeneralDateTime(fromDayCount(Day0 + 14990 * Second)));

    // 500 points with a gap in every tenth: every valued point, the oldest
    // included; values rounded to 2 decimals (half to even).
    auto small = listed(500, 10);
    EXPECT_EQ(small->rowCount(), 1 + 450);
    EXPECT_EQ(small->headerData(0, Qt::Horizontal).toString(), "Time");
    EXPECT_EQ(small->headerData(2, Qt::Horizontal).toString(), "Second");
    EXPECT_EQ(small->data(small->index(0, 1)).toString(), "uSv/h");
    EXPECT_EQ(small->data(small->index(1, 1)).toString(), "499");
    EXPECT_EQ(small->data(small->index(1, 2)).toString(), "499.12");
    EXPECT_EQ(small->data(small->index(450, 1)).toString(), "1");
    EXPECT_TRUE(small->data(small->index(1, 3)).toString().isEmpty()) << "unused slot";
}

} // namespace
} // namespace zel::graph

// The distribution window driven from the graph window as a user would: it
// opens from the menu and the button, follows zoom, back, All and new
// readings, reads out its figures, refuses the counting check for dose
// rates, and saves and prints its page.
#include "common/datetime.h"
#include "common/text.h"
#include "graph/distribution_window.h"
#include "graph/graph_feed.h"
#include "graph/graph_window.h"
#include "protocol/tarvo.h"
#include "sim/sim_tarvo.h"
#include "support/data_file_helpers.h"
#include "support/recording_prompts.h"
#include "support/station_fixture.h"

#include <QAction>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace zel::graph {
namespace {

constexpr double Day0 = 46095.25;
constexpr double Second = 1.0 / 86400;

// Readings every 10 s: Poisson counts over 10 s given as cps, or a steady
// dose rate; two readings missing and one not a number.
struct Series {
    std::vector<double> times, values;
    QString units;
    Series(const QString& u, int n, double mean) : units(u) {
        std::mt19937_64 rng(2);
        auto uniform = [&] { return double(rng() >> 11) * 0x1.0p-53; };
        for (int i = 0; i < n; ++i) {
            times.push_back(Day0 + i * 10 * Second);
            int k = 0;
            for (double p = uniform(); p > std::exp(-mean * 10); p *= uniform())
                ++k;
            values.push_back(k / 10.0);
        }
        values[5] = -1;
        values[6] = -1;
        values[7] = std::numeric_limits<double>::quiet_NaN();
    }
    LoadRequest request() const {
        LoadRequest r;
        r.seriesSlots[0].name = "Probe";
        r.seriesSlots[0].units = units;
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        r.activeSeries = 0;
        return r;
    }
};

class DistributionWindowTest : public ::testing::Test {
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
    static QString text(const QWidget* w, const char* name) {
        const auto* l = w->findChild<QLabel*>(name);
        return l && l->isVisibleTo(w) ? l->text() : QString();
    }
    QTemporaryDir home;
};

TEST_F(DistributionWindowTest, FollowsTheGraphAndReadsOutItsFigures) {
    GraphWindow graph;
    graph.load(Series("cps", 600, 10).request());
    graph.show();
    graph.findChild<QAction*>("mnDistribution")->trigger();
    DistributionWindow* d = graph.distributionWindow();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->isVisible());
    // The graph shows the newest 1001 records: all 600 of them.
    EXPECT_EQ(d->figure("lblCount"), "597");
    EXPECT_EQ(text(d, "lblLeftOut"), "3 readings left out");
    EXPECT_EQ(text(d, "lblCountTime"), "10 s");
    EXPECT_EQ(text(d, "lblVerdict"), "Counting check: scatter as expected");
    EXPECT_EQ(text(d, "lblCountingNote"),
              "Counts are the rates times 10 s, the interval of the readings.");
    EXPECT_EQ(text(d, "lblDegrees"), "596");
    const auto* mean = d->findChild<QLabel*>("lblMean");
    EXPECT_TRUE(mean->text().endsWith("cps")) << mean->text().toStdString();
    EXPECT_EQ(mean->accessibleName(), "Mean: " + mean->text()) << "caption and number read as one";
    EXPECT_NEAR(d->distribution().counting.meanCounts, 100, 3);

    // A zoom to the first 100 records, back, forward and All: the window follows.
    graph.showWindow(false, TimeWindow{Day0, Day0 + 99 * 10 * Second});
    EXPECT_EQ(d->figure("lblCount"), "97");
    EXPECT_EQ(text(d, "lblDegrees"), "96");
    graph.findChild<QAction*>("mnBack")->trigger();
    EXPECT_EQ(d->figure("lblCount"), "597");
    graph.findChild<QAction*>("mnFor")->trigger();
    EXPECT_EQ(d->figure("lblCount"), "97");
    graph.findChild<QPushButton*>("btAll")->click();
    EXPECT_EQ(d->figure("lblCount"), "597");

    // New readings through a load, as on line: the figures follow them.
    graph.load(Series("cps", 800, 10).request());
    EXPECT_EQ(d->figure("lblCount"), "797");

    // Closed, it leaves the graph alone; the button opens it again.
    d->close();
    graph.showWindow(false, TimeWindow{Day0, Day0 + 99 * 10 * Second});
    EXPECT_EQ(d->figure("lblCount"), "797");
    graph.findChild<QPushButton*>("btDistribution")->click();
    EXPECT_EQ(graph.distributionWindow(), d);
    EXPECT_EQ(d->figure("lblCount"), "97");

    // Bin rules: Sturges gives ceil(log2 97) + 1 = 8 bins; a typed width is used.
    d->setBinRule(BinRule::Sturges);
    EXPECT_EQ(d->distribution().histogram.bins(), 8);
    d->setBinRule(BinRule::Typed, 0.25);
    EXPECT_DOUBLE_EQ(d->distribution().histogram.width, 0.25);
    // Typed as a German user writes it; nonsense falls back to the default rule.
    auto* width = d->findChild<QLineEdit*>("edBinWidth");
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    width->setText("0,5");
    emit width->editingFinished();
    QLocale::setDefault(before);
    EXPECT_DOUBLE_EQ(d->distribution().histogram.width, 0.5);
    width->setText("wide");
    emit width->editingFinished();
    EXPECT_GT(d->distribution().histogram.bins(), 1);
    EXPECT_NE(d->distribution().histogram.width, 0.5);
}

TEST_F(DistributionWindowTest, DoseRatesGetNoCountingCheckAndStuckCountersAreTold) {
    GraphWindow graph;
    graph.load(Series("uSv/h", 200, 10).request());
    graph.show();
    graph.showDistribution();
    DistributionWindow* d = graph.distributionWindow();
    EXPECT_EQ(d->figure("lblCount"), "197");
    for (const char* name : {"lblChiSquare", "lblDispersion", "lblProbability", "lblVerdict"})
        EXPECT_EQ(text(d, name), "") << name;
    EXPECT_EQ(text(d, "lblCountingNote"),
              "No counting check: readings in uSv/h are not counts (only cps, cpm and counts "
              "are).");
    EXPECT_TRUE(d->distribution().histogram.expectedPoisson.empty());

    Series stuck("cpm", 100, 10);
    std::fill(stuck.values.begin() + 10, stuck.values.end(), 600);
    stuck.values.resize(100);
    graph.load(stuck.request());
    graph.showWindow(false, TimeWindow{Day0 + 95 * Second, Day0 + 990 * Second});
    EXPECT_EQ(d->figure("lblCount"), "90");
    EXPECT_EQ(text(d, "lblVerdict"), "Counting check: too little scatter");
    EXPECT_EQ(text(d, "lblCountingNote"),
              "Counts are the rates per minute times 10 s / 60 s, the interval of the readings.");
}

TEST_F(DistributionWindowTest, SavesPrintsAndRefusesTheWorkingFile) {
    GraphWindow graph;
    graph.load(Series("cps", 400, 10).request());
    graph.setPrintHeading("Station North");
    graph.show();
    graph.showDistribution();
    DistributionWindow* d = graph.distributionWindow();
    const Histogram& h = d->distribution().histogram;

    const QString csv = home.filePath("dist.csv");
    test::RecordingPrompts prompts;
    graph.setPrompts(prompts);
    prompts.fileName = csv;
    d->findChild<QAction*>("mnSaveDistribution")->trigger();
    ASSERT_EQ(prompts.messages, QStringList{"Data saved in file : " + leftToRight(csv)});
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), h.bins() + 2);
    EXPECT_EQ(lines[0], "Bin from,Bin to,Count,Expected normal,Expected Poisson\r");
    int total = 0;
    for (int k = 1; k <= h.bins(); ++k) {
        const QList<QByteArray> fields = lines[k].trimmed().split(',');
        ASSERT_EQ(fields.size(), 5);
        EXPECT_NEAR(fields[0].toDouble(), h.binFrom(k - 1), 1e-7);
        total += fields[2].toInt();
        EXPECT_FALSE(fields[4].isEmpty()) << "count rates carry the Poisson expectation";
    }
    EXPECT_EQ(total, 397);

    // The working file is never written over.
    const QString working = home.filePath("work.csv");
    QFile w(working);
    ASSERT_TRUE(w.open(QIODevice::WriteOnly));
    w.write("readings");
    w.close();
    graph.setProtectedFiles({working});
    prompts.fileName = working;
    d->findChild<QAction*>("mnSaveDistribution")->trigger();
    ASSERT_NE(prompts.last(), nullptr);
    EXPECT_EQ(prompts.last()->kind, test::RecordingPrompts::Kind::Warning);
    ASSERT_TRUE(w.open(QIODevice::ReadOnly));
    EXPECT_EQ(w.readAll(), "readings");

    // The page: heading, range and every figure, and a picture with bars.
    const DistributionPage page = d->page();
    EXPECT_EQ(page.heading, "Station North");
    EXPECT_TRUE(page.timeRange.startsWith("From ")) << page.timeRange.toStdString();
    EXPECT_EQ(page.figures.size(), 15u);
    EXPECT_TRUE(page.notes.contains("3 readings left out"));
    QImage image(1123, 794, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        drawDistributionPage(p, QRectF(0, 0, 1123, 794), page);
    }
    int bar = 0, normal = 0, poisson = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            bar += c == QColor(176, 196, 232);
            normal += c == normalCurveColor();
            poisson += c == poissonColor();
        }
    EXPECT_GT(bar, 20000) << "the bars fill the left of the page";
    EXPECT_GT(normal, 100);
    EXPECT_GT(poisson, 100);

    const QString pdf = home.filePath("dist.pdf");
    const Expected<void> written = d->writePdf(pdf);
    ASSERT_TRUE(written) << written.error().text.toStdString();
    QFile out(pdf);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_TRUE(out.read(5) == "%PDF-");
}

// A log downloaded from the simulated Tarvo-5 and read back from the working
// file: the figures of the period the graph shows, and no counting check
// for its dose rates.
TEST_F(DistributionWindowTest, DownloadedLogFromTheSimulator) {
    test::StationRig rig(Tarvo5);
    sim::TarvoOptions options;
    options.records = 240;
    options.value = 0.015;
    sim::SimTarvo tarvo(options, &rig.clock);
    ASSERT_TRUE(rig.openPort());
    auto converse = [&] {
        for (QByteArray asked = rig.port.takeWritten(); !asked.isEmpty();
             asked = rig.port.takeWritten())
            rig.port.inject(tarvo.receive(asked));
    };
    rig.station->testConnection();
    converse();
    rig.view.answers.push_back(Answer::No);
    rig.station->getData();
    converse();
    ASSERT_EQ(rig.list.rowIndex, 240);
    rig.data.workingFile().close();
    zel::Series series;
    ASSERT_TRUE(readDataFile(rig.data.workingFile().path(), series).has_value());
    GraphWindow graph;
    graph.load(requestFromSeries(series, false));
    graph.show();
    graph.showDistribution();
    DistributionWindow* d = graph.distributionWindow();
    EXPECT_EQ(d->figure("lblCount"), "240");
    // The same period as the graph's own statistics line.
    const SeriesStats line = graph.store().windowStats(graph.store().activeSeries);
    EXPECT_EQ(d->distribution().summary.count, line.count);
    EXPECT_NEAR(d->distribution().summary.mean, line.mean, 1e-9);
    EXPECT_NEAR(d->distribution().summary.deviation, line.deviation, 1e-9);
    EXPECT_EQ(d->distribution().summary.minimum, line.minimum);
    EXPECT_EQ(d->distribution().summary.maximum, line.maximum);
    EXPECT_TRUE(text(d, "lblCountingNote").startsWith("No counting check: readings in "));
    EXPECT_EQ(text(d, "lblVerdict"), "");
    const Expected<void> flat = d->writePdf(home.filePath("flat.pdf"));
    EXPECT_TRUE(flat) << flat.error().text.toStdString();
}

// Readings no instrument sends in earnest, through the window as a user
// opens it: a reading of 1.3e155 (whose square is beyond a double), 2e10
// counts per reading and a constant 1e15 counts (beyond the exact Poisson
// cdf) all give figures and a verdict.
TEST_F(DistributionWindowTest, HugeReadingsGiveFiguresInsteadOfEndingTheProgram) {
    struct Case {
        const char* name;
        QString units;
        std::function<void(std::vector<double>&)> values;
        QString verdict;
    } cases[] = {
        {"one huge reading", "cps", [](std::vector<double>& v) { v[20] = 1.3e155; },
         "Counting check: too much scatter"},
        {"2e10 counts per reading", "cps",
         [](std::vector<double>& v) {
             // Around 2e9 cps over 10 s, scattered as 2e10 counts do.
             for (double& x : v)
                 if (x >= 0 && std::isfinite(x))
                     x = 2e9 + (x - 10) * std::sqrt(2e10) / 10;
         },
         ""},
        {"constant 1e15 counts", "counts",
         [](std::vector<double>& v) {
             for (double& x : v)
                 if (x >= 0 && std::isfinite(x))
                     x = 1e15;
         },
         "Counting check: too little scatter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Series series(c.units, 300, 10);
        c.values(series.values);
        GraphWindow graph;
        graph.load(series.request());
        graph.show();
        graph.findChild<QAction*>("mnDistribution")->trigger();
        DistributionWindow* d = graph.distributionWindow();
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->figure("lblCount"), "297");
        EXPECT_FALSE(d->figure("lblMean").isEmpty());
        // Every figure short enough for the window to stay on the screen.
        for (const char* name : {"lblMean", "lblDeviation", "lblMaximum", "lblMeanCounts",
                                 "lblChiSquare", "lblDispersion"})
            EXPECT_LE(d->figure(name).size(), 20) << name << " " << d->figure(name).toStdString();
        EXPECT_TRUE(text(d, "lblRange").startsWith("From ")) << text(d, "lblRange").toStdString();
        if (!c.verdict.isEmpty())
            EXPECT_EQ(text(d, "lblVerdict"), c.verdict);
        else
            EXPECT_TRUE(text(d, "lblVerdict").startsWith("Counting check: "));
        const Histogram& h = d->distribution().histogram;
        ASSERT_FALSE(h.expectedPoisson.empty());
        for (double e : h.expectedPoisson)
            EXPECT_TRUE(std::isfinite(e) && e >= 0) << e;
        // The picture is drawn too, with its axes at these magnitudes.
        QImage image(600, 400, QImage::Format_RGB32);
        QPainter p(&image);
        drawHistogram(p, QRectF(image.rect()), d->plot()->picture());
    }
}

// Readings polled every 0.1 s carry their milliseconds in the working file;
// each counted a tenth of a second, not a whole one.
TEST_F(DistributionWindowTest, TenthsOfASecondFromTheWorkingFile) {
    QByteArray file = headerLines(Legend{}, QString());
    std::mt19937_64 rng(9);
    auto uniform = [&] { return double(rng() >> 11) * 0x1.0p-53; };
    const QDate date(2026, 3, 4);
    for (int i = 0; i < 400; ++i) {
        // Poisson counts of mean 5 in 0.1 s, as cps.
        int k = 0;
        for (double p = uniform(); p > std::exp(-5.0); p *= uniform())
            ++k;
        MeasurementRecord r;
        r.InstrumentId = "7";
        const QTime time = QTime(10, 0).addMSecs(100 * i);
        r.ReadingTime = formatGeneralDateTime(date, time) + ":" +
                        QString::number(time.msec()).rightJustified(3, u'0');
        r.Value = QString::number(k * 10);
        r.Units = "cps";
        r.Status = "OK";
        r.Detector = "GM";
        r.OverMark = " ";
        file += readingLine(r);
    }
    const QString path = home.filePath("ZelTemp.csv");
    test::writeFileBytes(path, file);
    zel::Series series;
    ASSERT_EQ(readDataFile(path, series).value(), 400);
    GraphWindow graph;
    graph.load(requestFromSeries(series, false));
    graph.show();
    graph.showDistribution();
    DistributionWindow* d = graph.distributionWindow();
    ASSERT_GT(d->distribution().summary.count, 300);
    EXPECT_EQ(text(d, "lblCountTime"), "0.1 s");
    EXPECT_EQ(text(d, "lblVerdict"), "Counting check: scatter as expected");
    EXPECT_NEAR(d->distribution().counting.meanCounts, 5, 0.5);
}

} // namespace
} // namespace zel::graph

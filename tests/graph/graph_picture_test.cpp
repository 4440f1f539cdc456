// The graph and the printed page as a person reads them: drawn into an image
// from fixed series, then checked for what a reader checks. Is the line there
// over the whole time range, do the labels fit their strip and differ from
// each other, does the title leave the readings alone?
#include "common/datetime.h"
#include "graph/format_value.h"
#include "graph/graph_plot_widget.h"
#include "graph/graph_print.h"
#include "graph/graph_print_widget.h"
#include "graph/graph_window.h"
#include "support/recording_prompts.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

namespace zel::graph {
namespace {

constexpr double Day0 = 46095.25;
constexpr double Minute = 1.0 / 1440;

struct Sample {
    const char* name;
    double low, high; // readings swing between these
    ScaleMode mode;
    const char* units;
};

const Sample Samples[] = {
    {"background level", 0.010, 0.014, ScaleMode::Auto, "mR/h"},
    {"tiny values", 1e-6, 3e-6, ScaleMode::Auto, "mR/h"},
    {"range of 1e8", 1e8, 3.0e8, ScaleMode::Auto, "uSv/h"},
    {"peak of 294222222.13", 1.5e8, 294222222.13, ScaleMode::Auto, "uSv/h"},
    {"0.8e12 to 1.2e12", 0.8e12, 1.2e12, ScaleMode::Auto, "uSv/h"},
    {"10^18", 1e18, 4e18, ScaleMode::Auto, "uSv/h"},
    {"near the top of 0-10", 9.6, 9.9, ScaleMode::Range10, "uSv/h"},
};

// A saw tooth over the sample's range, a reading a minute for four hours.
struct Series {
    std::vector<double> times, values;
    LoadRequest request;
    explicit Series(const Sample& s, int points = 240) {
        for (int i = 0; i < points; ++i) {
            times.push_back(Day0 + i * Minute);
            values.push_back(s.low + (i % 24) / 23.0 * (s.high - s.low));
        }
        request.seriesSlots[0].name = "Station 7 fence";
        request.seriesSlots[0].units = s.units;
        request.seriesSlots[0].indicatorCode = 2;
        request.times = times;
        request.values[0] = values;
        request.lastIndex = points - 1;
    }
};

bool isSeriesBlue(QRgb p) {
    return qBlue(p) > 180 && qRed(p) < 120 && qGreen(p) < 120;
}

// Blue pixels in each quarter of [left, right), between top and bottom.
std::array<int, 4> bluePerQuarter(const QImage& img, const QRectF& area) {
    std::array<int, 4> out{};
    const int left = int(area.left()) + 2, right = int(area.right()) - 2;
    for (int y = int(area.top()); y <= int(area.bottom()); ++y)
        for (int x = left; x < right; ++x)
            if (isSeriesBlue(img.pixel(x, y)))
                ++out[size_t(std::min(3, (x - left) * 4 / (right - left)))];
    return out;
}

class GraphPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    }
    void TearDown() override { GraphWindow::setPlacementFile(QString()); }
    QTemporaryDir dir;
};

TEST_F(GraphPictureTest, ScreenShowsTheWholeLineWithLabelsThatFitAndDiffer) {
    const QSize sizes[] = {{420, 260}, {1200, 700}};
    for (const Sample& sample : Samples) {
        for (const QSize& size : sizes) {
            SCOPED_TRACE(std::string(sample.name) + " at " + std::to_string(size.width()));
            GraphWindow w;
            const Series series(sample);
            w.load(series.request);
            w.setScaleMode(sample.mode);
            GraphPicture pic = w.plot()->picture();
            pic.cursorPoint = -1;
            QImage img(size, QImage::Format_RGB32);
            QPainter p(&img);
            QFont font = p.font();
            font.setPixelSize(12);
            p.setFont(font);
            const QRectF target(img.rect());
            drawGraph(p, target, pic);
            p.end();
            const PlotLayout layout = plotLayout(font, target, &pic);
            for (int quarter : bluePerQuarter(img, layout.plot))
                EXPECT_GT(quarter, 10) << "the line in every quarter of the time range";

            const QFontMetricsF fm(font);
            const std::vector<QString>& labels = layout.valueLabels;
            ASSERT_EQ(int(labels.size()), layout.gridRows);
            EXPECT_EQ(std::set<QString>(labels.begin(), labels.end()).size(), labels.size())
                << labels.front().toStdString() << " .. " << labels.back().toStdString();
            for (const QString& label : labels) {
                EXPECT_LE(fm.horizontalAdvance(label), layout.plot.left() - target.left() - 2)
                    << label.toStdString();
            }
            // The horizontal grid: a dotted line at every label's level.
            int gridRows = 0;
            for (int y = int(layout.plot.top()) + 1; y < int(layout.plot.bottom()); ++y) {
                int dark = 0;
                for (int x = int(layout.plot.left()); x < int(layout.plot.right()); ++x)
                    dark += qGray(img.pixel(x, y)) < 80 && !isSeriesBlue(img.pixel(x, y));
                gridRows += dark > layout.plot.width() / 4;
            }
            EXPECT_GE(gridRows, layout.gridRows - 2) << "inner grid lines";
        }
    }
}

// A backdrop kept from picture to picture, as a graph following readings
// keeps it, never changes a pixel: every picture over it is the one drawn
// whole, whether its grid is the kept one or another, at either size, and
// whichever series (labels and colour over the same grid) is active.
TEST_F(GraphPictureTest, KeptBackdropDrawsTheSamePixels) {
    const struct Step {
        const Sample& sample;
        int points;
        QSize size;
        int active = 0;
    } steps[] = {{Samples[0], 240, {420, 260}},    {Samples[0], 241, {420, 260}},
                 {Samples[0], 241, {420, 260}, 1}, {Samples[0], 260, {420, 260}},
                 {Samples[2], 260, {420, 260}},    {Samples[6], 100, {420, 260}},
                 {Samples[6], 101, {1200, 700}},   {Samples[1], 240, {1200, 700}},
                 {Samples[1], 0, {1200, 700}},     {Samples[1], 240, {1200, 700}}};
    GraphBackdrop backdrop;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.sample.name) + ", " + std::to_string(step.points) +
                     " readings at " + std::to_string(step.size.width()) + ", series " +
                     std::to_string(step.active));
        GraphWindow w;
        const Series series(step.sample, std::max(step.points, 1));
        // A second series, three times the first, on the first one's scale.
        LoadRequest request = series.request;
        std::vector<double> tripled;
        for (const double v : series.values)
            tripled.push_back(3 * v);
        request.seriesSlots[1].name = "Station 8";
        request.seriesSlots[1].units = step.sample.units;
        request.values[1] = tripled;
        if (step.points > 0) {
            w.load(request);
            w.setScaleMode(step.sample.mode);
        }
        GraphPicture pic = w.plot()->picture();
        pic.activeSeries = step.active;
        auto draw = [&](GraphBackdrop* kept, const QRectF& target) {
            QImage img(step.size, QImage::Format_RGB32);
            img.fill(Qt::gray);
            QPainter p(&img);
            drawGraph(p, target, pic, kept);
            return img;
        };
        const QRectF whole(QPointF(0, 0), step.size);
        EXPECT_EQ(draw(&backdrop, whole), draw(nullptr, whole));
        // A part of the image is drawn in place, the rest left alone.
        const QRectF part = whole.adjusted(10, 20, -30, -5);
        EXPECT_EQ(draw(&backdrop, part), draw(nullptr, part));
    }
}

TEST_F(GraphPictureTest, PrintedPageKeepsEveryReadingAndEveryLabelWhole) {
    for (const Sample& sample : Samples) {
        SCOPED_TRACE(sample.name);
        GraphWindow w;
        const Series series(sample);
        w.load(series.request);
        w.setScaleMode(sample.mode);
        w.setPrintHeading(QStringLiteral("North fence"));
        const PrintPicture pic = w.files().printPicture();
        QImage page(1123, 794, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter p(&page);
        const QRectF rect(page.rect());
        drawPrintedPage(p, rect, pic);
        const QFont font10 = [&] {
            QFont f = p.font();
            f.setPixelSize(13); // 10 points at 96 per inch, as the page draws them
            return f;
        }();
        p.end();
        const PrintBand band = printBand(0, 1);
        const double margin = rect.width() * PrintSideMargin;
        const QRectF area(margin, band.top * rect.height(), rect.width() - 2 * margin,
                          (band.bottom - band.top) * rect.height());
        // The title's own strip takes the top of the band: no quarter of the
        // record may be blank under it (readings near the top of 0-10).
        for (int quarter : bluePerQuarter(page, area.adjusted(0, 22, 0, 0)))
            EXPECT_GT(quarter, 10);
        const std::vector<PrintLevel> levels = printLevels(pic.scales.slot[0], 1);
        std::set<QString> seen;
        const QFontMetricsF fm(font10);
        for (const PrintLevel& l : levels)
            seen.insert(l.label);
        EXPECT_EQ(seen.size(), levels.size());
        // What the page printed fits the strip: the same choice of labels
        // the page makes, exponent form where the plain ones are too wide.
        bool plainFits = true;
        for (const PrintLevel& l : levels)
            plainFits = plainFits && fm.horizontalAdvance(l.label) <= margin - 3;
        const std::vector<PrintLevel> printed =
            plainFits ? levels : printLevels(pic.scales.slot[0], 1, true);
        for (const PrintLevel& l : printed)
            EXPECT_LE(fm.horizontalAdvance(l.label), margin - 3) << l.label.toStdString();
        // Nothing but white at the page's very left edge: no label runs off.
        int inkAtEdge = 0;
        for (int y = 0; y < page.height(); ++y)
            inkAtEdge += page.pixel(0, y) != qRgb(255, 255, 255);
        EXPECT_EQ(inkAtEdge, 0);
        // Six time lines, the last at the end of the time range.
        for (int i = 0; i < PrintTimeLines; ++i) {
            const int x = int(std::lround(area.left() + i * area.width() / 5));
            int dark = 0;
            for (int dx = -1; dx <= 1; ++dx)
                for (int y = int(area.top()) + 30; y < int(area.bottom()); ++y)
                    dark += qGray(page.pixel(std::min(x + dx, page.width() - 1), y)) < 230;
            EXPECT_GT(dark, (area.height() - 30) / 4) << "time line " << i;
        }
    }
    EXPECT_EQ(PrintTimeLines, 6);
}

TEST(GraphLabels, NeighboursDifferAndNothingReadsZero) {
    struct Case {
        std::vector<double> values;
        std::vector<QString> plain;
    } cases[] = {
        {{22, 20.444444, 18.888889}, {"22", "20.44", "18.89"}},
        {{0.0154, 0.0135, 0.0116, 0.0097, 0.0078}, {"0.015", "0.014", "0.012", "0.01", "0.008"}},
        {{3.3e-6, 2.0e-6, 0.8e-6}, {"0.000003", "0.000002", "0.000001"}},
        {{5, 5, 5}, {"5", "5", "5"}}, // equal values may read alike
    };
    for (const Case& c : cases)
        EXPECT_EQ(levelTexts(c.values), c.plain) << c.values.front();
    EXPECT_EQ(levelTexts({1.32e12, 1.2e12}, true), (std::vector<QString>{"1.32E+12", "1.20E+12"}));
    EXPECT_EQ(levelTexts({4.4e18, 1e18}), (std::vector<QString>{"4.4E+18", "1.0E+18"}));
    EXPECT_EQ(scaleTopText(0.0154), "0.0154");
    EXPECT_EQ(scaleTopText(22), "22");
    EXPECT_EQ(formatValue(3e-6, 1, "mR/h"), "0.0000030 mR/h");
    EXPECT_EQ(formatValue(0.5, 1, "mR/h"), "0.5 mR/h");
}

TEST_F(GraphPictureTest, PageHeadingIsTheUsersAndKeptForTheNextPage) {
    GraphWindow w;
    const Series series(Samples[0]);
    w.load(series.request);
    test::RecordingPrompts prompts;
    w.setPrompts(prompts);
    QStringList saved;
    QObject::connect(&w, &GraphWindow::printHeadingChanged, [&](const QString& h) { saved << h; });
    prompts.typed = QStringLiteral("Station 3,\n north fence ");
    w.files().editPrintHeading();
    EXPECT_EQ(w.files().printPicture().heading, "Station 3, north fence");
    EXPECT_EQ(saved, QStringList{"Station 3, north fence"});
    prompts.typed.reset();
    w.files().editPrintHeading();
    EXPECT_EQ(prompts.offeredTexts, (QStringList{"", "Station 3, north fence"}));
    EXPECT_EQ(saved.size(), 1) << "Cancel keeps the heading";
}

} // namespace
} // namespace zel::graph

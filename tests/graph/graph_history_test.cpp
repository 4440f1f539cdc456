// A range of the station's archive in the graph window, as a person sees it:
// two days of readings with a stretch where collection stopped and one
// reading far above the rest. The spike stands in its step, the stretch stays
// empty, and a zoom reads the single readings back from the archive.
#include "graph/graph_window.h"
#include "support/archive_fixture.h"
#include "support/recording_prompts.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace zel::graph {
namespace {

constexpr qint64 MinuteMs = 60'000;
constexpr qint64 HourMs = 60 * MinuteMs;

bool isBluish(QRgb p) {
    return qBlue(p) > 150 && qRed(p) < 200 && qBlue(p) > qRed(p) + 40;
}

class GraphHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        GraphWindow::setPlacementFile(folder.file("placement.ini"));
        // Two days of a reading a minute at 0.10-0.12, none from hour 30 to
        // 36 (collection stopped), and one reading of 50 at hour 12.
        std::vector<ArchivedReading> readings;
        for (qint64 t = start(); t < end(); t += MinuteMs) {
            if (t >= gapFrom() && t < gapTo())
                continue;
            const QDateTime wall = QDateTime::fromMSecsSinceEpoch(t);
            const bool spike = t == spikeAt();
            readings.push_back(
                test::archivedAt(wall, spike ? QStringLiteral("50")
                                             : QString::number(0.10 + (t / MinuteMs % 3) * 0.01)));
        }
        count = qint64(readings.size());
        Archive archive;
        ASSERT_TRUE(archive.open(folder.archivePath())) << archive.lastError().toStdString();
        ASSERT_TRUE(archive.add(readings, nullptr,
                                {{gapFrom(), ArchiveEventKind::CollectionStopped, {}},
                                 {gapTo(), ArchiveEventKind::CollectionStarted, {}}}))
            << archive.lastError().toStdString();
        window.setPrompts(prompts);
        window.setArchivePath(folder.archivePath());
        window.resize(1000, 600);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { GraphWindow::setPlacementFile(QString()); }

    static qint64 start() { return test::wallAt(5, 0, 0, 0).toMSecsSinceEpoch(); }
    static qint64 end() { return start() + 48 * HourMs; }
    static qint64 gapFrom() { return start() + 30 * HourMs; }
    static qint64 gapTo() { return start() + 36 * HourMs; }
    static qint64 spikeAt() { return start() + 12 * HourMs; }

    // Series pixels in the plot's columns from `fromMs` to `toMs`, and the
    // highest of them (the smallest y), or -1 without any.
    std::pair<int, int> bluishIn(qint64 fromMs, qint64 toMs) {
        const QImage img = window.plot()->grab().toImage();
        const PlotLayout layout = window.plot()->layout();
        const GraphPicture& pic = window.plot()->picture();
        const double base = window.store().baseTime();
        auto xOf = [&](qint64 ms) {
            return pixelAt(layout, pic.scales, dayCountOfMs(ms) - base, 0).x();
        };
        int found = 0, top = -1;
        const int plotTop = int(layout.plot.top()) + 1;
        const int plotBottom = int(layout.plot.bottom()) - 1;
        for (int x = int(xOf(fromMs)) + 1; x < int(xOf(toMs)); ++x)
            for (int y = plotTop; y < plotBottom; ++y)
                if (isBluish(img.pixel(x, y))) {
                    ++found;
                    if (top < 0 || y < top)
                        top = y;
                }
        return {found, top};
    }

    test::ArchiveFolder folder;
    test::RecordingPrompts prompts;
    GraphWindow window;
    qint64 count = 0;
};

TEST_F(GraphHistoryTest, AGapStaysEmptyASpikeStandsAndAZoomReadsSingleReadings) {
    ASSERT_NE(window.findChild<QAction*>("mnHistory"), nullptr);
    const HistoryRange whole{start(), end()};
    const Expected<void> shown = window.showHistory(whole);
    ASSERT_TRUE(shown) << shown.error().text.toStdString();
    ASSERT_NE(window.history(), nullptr);
    EXPECT_FALSE(window.history()->singleReadings) << "two days are drawn from summaries";
    EXPECT_FALSE(window.isOnline());

    // The figures are the range's own, from every reading, not the points.
    EXPECT_EQ(window.history()->readings, count);
    EXPECT_DOUBLE_EQ(window.history()->rangeMaximum, 50);
    const QString stats = window.findChild<QLabel*>("lblStats")->text();
    EXPECT_TRUE(stats.startsWith("Readings: " + QLocale(QLocale::English).toString(count)))
        << stats.toStdString();

    // Nothing is drawn across the stretch without collection...
    const auto [inGap, gapTop] = bluishIn(gapFrom() + HourMs / 2, gapTo() - HourMs / 2);
    EXPECT_EQ(inGap, 0) << "a line across the gap, reaching up to y " << gapTop;
    // ...while the readings either side of it are.
    EXPECT_GT(bluishIn(gapFrom() - 2 * HourMs, gapFrom() - HourMs).first, 0);
    EXPECT_GT(bluishIn(gapTo() + HourMs, gapTo() + 2 * HourMs).first, 0);
    // The one-minute spike reaches the top of the plot in its step; the
    // hours beside it stay low.
    const int plotTop = int(window.plot()->layout().plot.top());
    const auto spike = bluishIn(spikeAt() - 10 * MinuteMs, spikeAt() + 10 * MinuteMs);
    ASSERT_GT(spike.first, 0);
    EXPECT_LT(spike.second, plotTop + 20) << "the spike was averaged away";
    const auto beside = bluishIn(spikeAt() - 3 * HourMs, spikeAt() - 2 * HourMs);
    EXPECT_GT(beside.second, plotTop + 200);

    // A zoom to two hours around the spike reads the single readings.
    window.showWindow(
        false, TimeWindow{dayCountOfMs(spikeAt() - HourMs), dayCountOfMs(spikeAt() + HourMs)});
    ASSERT_NE(window.history(), nullptr);
    EXPECT_TRUE(window.history()->singleReadings);
    EXPECT_EQ(window.history()->readings, 120) << "the range's end is not part of it";
    EXPECT_EQ(window.store().step(), 1);
    EXPECT_DOUBLE_EQ(window.store().rawValue(0, 60), 50) << "the spike is one reading";
    const QRectF plot = window.plot()->layout().plot;
    EXPECT_LT(bluishIn(spikeAt() - MinuteMs, spikeAt() + MinuteMs).second, plot.center().y());

    // Back returns to the two days; going on line leaves the history.
    window.goBack();
    ASSERT_NE(window.history(), nullptr);
    EXPECT_EQ(window.history()->range, whole);
    EXPECT_TRUE(window.findChild<QAction*>("mnFor")->isEnabled());
    window.goForward();
    EXPECT_TRUE(window.history()->singleReadings);
    window.toggleOnline();
    EXPECT_EQ(window.history(), nullptr);

    // A range the archive holds nothing of says so and keeps the picture.
    const Expected<void> empty = window.showHistory({end() + HourMs, end() + 2 * HourMs});
    ASSERT_FALSE(empty);
    EXPECT_EQ(empty.error().kind, Failure::Kind::NotFound);
}

} // namespace
} // namespace zel::graph

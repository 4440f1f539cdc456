// A range of the station's archive in the graph window, as a person sees it:
// two days of readings with a stretch where collection stopped and one
// reading far above the rest. The spike stands in its step, the stretch stays
// empty, and a zoom reads the single readings back from the archive.
#include "graph/distribution_window.h"
#include "graph/graph_window.h"
#include "graph/history_dialog.h"
#include "support/archive_fixture.h"
#include "support/picture_folder.h"
#include "support/recording_prompts.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cmath>
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
        // The frame's own rows too: the Auto scale holds a spike, so the
        // background lies on the bottom edge.
        const int plotTop = int(layout.plot.top()) - 1;
        const int plotBottom = int(layout.plot.bottom()) + 2;
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
    // The one-minute spike reaches the top of the plot in its step (the
    // scale holds it); the hours beside it stay low.
    const QRectF plot = window.plot()->layout().plot;
    const auto spike = bluishIn(spikeAt() - 10 * MinuteMs, spikeAt() + 10 * MinuteMs);
    ASSERT_GT(spike.first, 0);
    EXPECT_LT(spike.second, plot.top() + 0.2 * plot.height()) << "the spike was averaged away";
    const auto beside = bluishIn(spikeAt() - 3 * HourMs, spikeAt() - 2 * HourMs);
    EXPECT_GT(beside.second, plot.center().y());

    // The distribution needs single readings, and says so.
    window.showDistribution();
    auto* range = window.distributionWindow()->findChild<QLabel*>("lblRange");
    ASSERT_NE(range, nullptr);
    EXPECT_TRUE(range->text().startsWith("The range is too long")) << range->text().toStdString();

    // A zoom to two hours around the spike reads the single readings.
    window.showWindow(
        false, TimeWindow{dayCountOfMs(spikeAt() - HourMs), dayCountOfMs(spikeAt() + HourMs)});
    ASSERT_NE(window.history(), nullptr);
    EXPECT_TRUE(window.history()->singleReadings);
    EXPECT_EQ(window.history()->readings, 120) << "the range's end is not part of it";
    EXPECT_EQ(window.store().step(), 1);
    EXPECT_TRUE(range->text().startsWith("From ")) << "a distribution of the readings";
    EXPECT_DOUBLE_EQ(window.store().rawValue(0, 60), 50) << "the spike is one reading";
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

// A range that ends before it begins is not taken: the dialog says why and
// stays open until the range is mended.
TEST(HistoryDialogTest, ARangeEndingBeforeItBeginsIsSaidAndNotTaken) {
    const qint64 day = 86'400'000;
    HistoryDialog dialog({10 * day, 11 * day}, 0);
    dialog.show();
    auto* from = dialog.findChild<QDateTimeEdit*>(QStringLiteral("dtFrom"));
    auto* problem = dialog.findChild<QLabel*>(QStringLiteral("lbRangeProblem"));
    auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    ASSERT_TRUE(from && problem && ok);
    from->setDateTime(QDateTime::fromMSecsSinceEpoch(12 * day));
    ok->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(problem->isVisible());
    from->setDateTime(QDateTime::fromMSecsSinceEpoch(9 * day));
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.range().fromMs, 9 * day);
}

// A year of a reading a minute (half a million), with a week in August and
// three days in March without collection and one reading of 4 uSv/h on
// 14 June: the year at once and the day of the spike.
TEST(GraphHistoryScreenshots, SaveWhenAsked) {
    const test::PictureFolder pictures;
    test::ArchiveFolder folder;
    GraphWindow::setPlacementFile(folder.file("placement.ini"));
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    const qint64 from = QDateTime(QDate(2025, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
    const qint64 to = QDateTime(QDate(2026, 1, 1), QTime(0, 0)).toMSecsSinceEpoch();
    const qint64 spike = QDateTime(QDate(2025, 6, 14), QTime(13, 37)).toMSecsSinceEpoch();
    auto inGap = [](const QDate& d) {
        return (d >= QDate(2025, 3, 10) && d < QDate(2025, 3, 13)) ||
               (d >= QDate(2025, 8, 4) && d < QDate(2025, 8, 11));
    };
    Archive archive;
    ASSERT_TRUE(archive.open(folder.archivePath())) << archive.lastError().toStdString();
    std::vector<ArchivedReading> batch;
    for (qint64 t = from; t < to; t += MinuteMs) {
        const QDateTime wall = QDateTime::fromMSecsSinceEpoch(t);
        if (inGap(wall.date()))
            continue;
        // Background with a daily swing, a slow seasonal rise and noise.
        const double day = double(t - from) / (24 * HourMs);
        const double v = t == spike ? 4.0
                                    : 0.11 + 0.02 * std::sin(day * 2 * M_PI) +
                                          0.01 * std::sin(day / 365 * 2 * M_PI) +
                                          0.004 * ((t / MinuteMs * 7919) % 11) / 10.0;
        batch.push_back(test::archivedAt(wall, QString::number(v, 'f', 3)));
        if (batch.size() == 50'000) {
            ASSERT_TRUE(archive.add(batch)) << archive.lastError().toStdString();
            batch.clear();
        }
    }
    ASSERT_TRUE(archive.add(batch));
    archive.close();

    GraphWindow w;
    test::RecordingPrompts prompts;
    w.setPrompts(prompts);
    w.setArchivePath(folder.archivePath());
    w.resize(1100, 620);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto snap = [&](const char* name) {
        QTest::qWait(100);
        w.grab().save(QDir(pictures.path()).filePath(QLatin1String(name)));
    };
    ASSERT_TRUE(w.showHistory({from, to}));
    snap("graph-history-year-en.png");
    const qint64 dayStart = QDateTime(QDate(2025, 6, 14), QTime(0, 0)).toMSecsSinceEpoch();
    w.showWindow(false, TimeWindow{dayCountOfMs(dayStart), dayCountOfMs(dayStart + 24 * HourMs)});
    ASSERT_NE(w.history(), nullptr);
    snap("graph-history-day-en.png");
    GraphWindow::setPlacementFile(QString());
}

} // namespace
} // namespace zel::graph

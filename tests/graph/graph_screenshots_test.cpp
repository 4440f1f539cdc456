// Pictures of the graph window for the documentation. Runs only when
// ZEL_SCREENSHOT_DIR names a folder.
#include "common/datetime.h"
#include "common/strings.h"
#include "graph/graph_feed.h"
#include "graph/graph_print_widget.h"
#include "graph/graph_window.h"
#include "protocol/tarvo.h"
#include "sim/sim_tarvo.h"
#include "support/picture_folder.h"
#include "support/station_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <ctime>
#include <gtest/gtest.h>

namespace zel::graph {
namespace {

// A day of dose-rate readings ten seconds apart: background with noise, a
// passing source in the afternoon and two short breaks in contact.
struct DaySeries {
    std::vector<double> times, values;
    DaySeries() {
        const double start = toDayCount(QDateTime(QDate(2026, 3, 14), QTime(6, 0, 0)));
        uint32_t seed = 12345;
        for (int i = 0; i < 5000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const double noise = double((seed >> 16) % 1000) / 1000.0 - 0.5;
            const double peak = 2.5 * std::exp(-std::pow((i - 3300) / 60.0, 2));
            double v = 0.12 + 0.03 * noise + peak;
            if ((i >= 4700 && i < 4703) || i == 4850)
                v = -1;
            times.push_back(start + i * 10.0 / 86400);
            values.push_back(v);
        }
    }
    LoadRequest request() const {
        LoadRequest r;
        r.seriesSlots[0].name = "1234";
        r.seriesSlots[0].units = "uSv/h";
        r.seriesSlots[0].indicatorCode = 2;
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        return r;
    }
};

void snap(QWidget& w, const QString& folder, const QString& name) {
    QTest::qWait(100);
    w.grab().save(QDir(folder).filePath(name + ".png"));
}

// The printed page of what the window shows, as an A4 landscape image.
void snapPage(GraphWindow& w, const QString& folder, const QString& name) {
    QImage page(1123, 794, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        p.setRenderHint(QPainter::TextAntialiasing);
        drawPrintedPage(p, QRectF(page.rect()), w.files().printPicture());
    }
    page.save(QDir(folder).filePath(name + ".png"));
}

// Readings a minute apart for six hours, swinging slowly between `low` and
// `high` with some noise.
struct LevelSeries {
    std::vector<double> times, values;
    LevelSeries(double low, double high) {
        const double start = toDayCount(QDateTime(QDate(2026, 3, 14), QTime(6, 0, 0)));
        uint32_t seed = 99;
        for (int i = 0; i < 360; ++i) {
            seed = seed * 1103515245u + 12345u;
            const double noise = double((seed >> 16) % 1000) / 1000.0;
            const double wave = 0.5 + 0.35 * std::sin(i / 40.0);
            times.push_back(start + i / 1440.0);
            values.push_back(low + (high - low) * (0.85 * wave + 0.15 * noise));
        }
    }
    LoadRequest request(const char* units) const {
        LoadRequest r;
        r.seriesSlots[0].name = "Station 3";
        r.seriesSlots[0].units = units;
        r.seriesSlots[0].indicatorCode = 2;
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        return r;
    }
};

// A background level and a range of 1e8, on screen and on the page.
void snapLevels(const QString& folder) {
    struct Shot {
        const char* name;
        double low, high;
        const char* units;
    } shots[] = {{"background", 0.010, 0.014, "mR/h"}, {"range-1e8", 1e8, 2e8, "uSv/h"}};
    for (const Shot& shot : shots) {
        const LevelSeries series(shot.low, shot.high);
        GraphWindow w;
        w.resize(1000, 620);
        w.load(series.request(shot.units));
        w.setPrintHeading(QStringLiteral("Station 3, north fence"));
        w.show();
        w.readOutPoint(180);
        snap(w, folder, QStringLiteral("graph-%1-en").arg(shot.name));
        snapPage(w, folder, QStringLiteral("graph-print-%1-en").arg(shot.name));
    }
}

void snapGraph(const QString& folder, Language language, const QString& suffix) {
    setCurrentLanguage(language);
    QApplication::setLayoutDirection(language == Language::Hebrew ? Qt::RightToLeft
                                                                  : Qt::LeftToRight);
    const DaySeries day;
    GraphWindow w;
    w.resize(1000, 620);
    w.load(day.request());
    w.show();
    w.readOutPoint(500);
    snap(w, folder, "graph-online-" + suffix);
    if (language != Language::English)
        return;
    snapLevels(folder);

    w.findChild<QPushButton*>("btAll")->click();
    snap(w, folder, "graph-average-" + suffix);
    w.findChild<QCheckBox*>("chkZoom")->click();
    snap(w, folder, "graph-maximum-" + suffix);
    w.findChild<QCheckBox*>("chkZoom")->click();

    // A zoom onto the afternoon peak, marks on, the peak read out.
    w.showWindow(false, TimeWindow{day.times[3150], day.times[3450]});
    w.findChild<QAction*>("mnMark")->setChecked(true);
    int32_t top = 0;
    for (int32_t k = 0; k <= w.store().displayCount(); ++k)
        if (w.store().displayY(0, k) > w.store().displayY(0, top))
            top = k;
    w.readOutPoint(top);
    snap(w, folder, "graph-zoom-" + suffix);

    // The gaps: a three-point break turns the rest of the line cyan.
    w.findChild<QAction*>("mnMark")->setChecked(false);
    w.showWindow(false, TimeWindow{day.times[4600], day.times[4999]});
    snap(w, folder, "graph-gaps-" + suffix);

    // The keyboard's zoom: Space marks the read-out before the peak, Ctrl+Right
    // moves the read-out past it (the band shows the span), Return zooms.
    w.findChild<QPushButton*>("btAll")->click();
    const double base = w.store().baseTime();
    w.readOutPoint(w.store().nearestPoint(day.times[3150] - base));
    QTest::keyClick(w.plot(), Qt::Key_Space);
    const int32_t end = w.store().nearestPoint(day.times[3450] - base);
    while (w.selectedPoint() + 10 <= end)
        QTest::keyClick(w.plot(), Qt::Key_Right, Qt::ControlModifier);
    snap(w, folder, "graph-keyboard-mark-" + suffix);
    QTest::keyClick(w.plot(), Qt::Key_Return);
    snap(w, folder, "graph-keyboard-zoom-" + suffix);
}

// The graph of a working file as the program reads it.
void snapFile(const QString& path, const QString& folder, const QString& name) {
    Series series;
    ASSERT_TRUE(readDataFile(path, series).has_value());
    GraphWindow w;
    w.resize(1000, 620);
    w.load(requestFromSeries(series, false));
    w.show();
    snap(w, folder, name);
}

// A Tarvo-5 log of 240 records downloaded from the simulated instrument: the
// working file runs newest first, the graph from the earliest record on.
void snapTarvoDownload(const QString& folder) {
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
    snapFile(rig.data.workingFile().path(), folder, "graph-tarvo-download-en");
}

// Readings every five minutes through the night the clock springs forward
// (Berlin, 29 Mar 2026, 01:00 to 04:00): the hour from 02:00 is all there.
void snapSpringForward(const QString& folder) {
    const QByteArray oldTz = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QTemporaryDir dir;
    const QString path = dir.filePath("spring.csv");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(headerLines(Legend{}, QString()));
    for (int k = 0; k <= 36; ++k) {
        MeasurementRecord r;
        r.InstrumentId = QString::number(36 - k);
        r.ReadingTime = formatGeneralDateTime(QDate(2026, 3, 29), QTime(1, 0).addSecs(k * 300));
        r.Value = QString::number(12 + 6 * std::sin(k / 4.0), 'f', 1);
        r.Units = "mR/h";
        r.Status = "OK";
        f.write(readingLine(r));
    }
    f.close();
    snapFile(path, folder, "graph-spring-forward-en");
    if (oldTz.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldTz);
    tzset();
}

TEST(GraphScreenshots, SaveWhenAsked) {
    const test::PictureFolder pictures; // checks every picture it gets
    const QString folder = pictures.path();
    QTemporaryDir dir;
    GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    snapGraph(folder, Language::English, "en");
    snapTarvoDownload(folder);
    snapSpringForward(folder);
    setDateLocale(QLocale(QLocale::German, QLocale::Germany));
    snapGraph(folder, Language::German, "de");
    setDateLocale(QLocale(QLocale::Hebrew, QLocale::Israel));
    snapGraph(folder, Language::Hebrew, "he");
    setCurrentLanguage(Language::English);
    QApplication::setLayoutDirection(Qt::LeftToRight);
    GraphWindow::setPlacementFile(QString());
}

} // namespace
} // namespace zel::graph

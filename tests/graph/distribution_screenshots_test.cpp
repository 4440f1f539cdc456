// Pictures of the distribution window for the documentation: a count-rate
// series with its counting check and a dose-rate series without one, in each
// language, and the printed page. Runs only when ZEL_SCREENSHOT_DIR names a
// folder.
#include "common/datetime.h"
#include "common/strings.h"
#include "graph/distribution_window.h"
#include "graph/graph_window.h"
#include "support/picture_folder.h"
#include "ui/translations.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace zel::graph {
namespace {

// Four hours of readings ten seconds apart: Poisson counts at 25 cps, or a
// dose rate with a passing source; a few readings missing.
LoadRequest series(bool countRate, std::vector<double>& times, std::vector<double>& values) {
    const double start = toDayCount(QDateTime(QDate(2026, 3, 14), QTime(6, 0, 0)));
    std::mt19937_64 rng(4);
    auto uniform = [&] { return double(rng() >> 11) * 0x1.0p-53; };
    for (int i = 0; i < 1440; ++i) {
        times.push_back(start + i * 10.0 / 86400);
        double v;
        if (countRate) {
            int k = 0;
            for (double p = uniform(); p > std::exp(-250.0); p *= uniform())
                ++k;
            v = k / 10.0;
        } else {
            v = 0.12 + 0.03 * (uniform() - 0.5) + 0.4 * std::exp(-std::pow((i - 900) / 40.0, 2));
        }
        values.push_back(i % 300 == 17 ? -1 : v);
    }
    LoadRequest r;
    r.seriesSlots[0].name = countRate ? "GM 12" : "1234";
    r.seriesSlots[0].units = countRate ? "cps" : "uSv/h";
    r.seriesSlots[0].indicatorCode = 2;
    r.times = times;
    r.values[0] = values;
    r.lastIndex = int32_t(times.size()) - 1;
    r.activeSeries = 0;
    return r;
}

void snapDistribution(const QString& folder, Language language, const QString& suffix) {
    setCurrentLanguage(language);
    // The window's own texts in the language, laid out in its direction.
    useLanguage(language);
    for (const bool countRate : {true, false}) {
        std::vector<double> times, values;
        GraphWindow graph;
        graph.setPrintHeading("Station North");
        graph.load(series(countRate, times, values));
        graph.show();
        graph.showDistribution();
        DistributionWindow* d = graph.distributionWindow();
        d->resize(900, 480);
        QTest::qWait(100);
        const QString name = countRate ? "distribution-count-rate-" : "distribution-dose-rate-";
        d->grab().save(QDir(folder).filePath(name + suffix + ".png"));
        if (language != Language::English)
            continue;
        QImage page(1123, 794, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            p.setRenderHint(QPainter::TextAntialiasing);
            drawDistributionPage(p, QRectF(page.rect()).adjusted(38, 38, -38, -38), d->page());
        }
        page.save(QDir(folder).filePath(
            (countRate ? "distribution-print-count-rate-" : "distribution-print-dose-rate-") +
            suffix + ".png"));
    }
}

TEST(DistributionScreenshots, SaveWhenAsked) {
    const test::PictureFolder pictures; // checks every picture it gets
    const QString folder = pictures.path();
    QTemporaryDir dir;
    GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    snapDistribution(folder, Language::English, "en");
    setDateLocale(QLocale(QLocale::German, QLocale::Germany));
    snapDistribution(folder, Language::German, "de");
    setDateLocale(QLocale(QLocale::Hebrew, QLocale::Israel));
    snapDistribution(folder, Language::Hebrew, "he");
    setCurrentLanguage(Language::English);
    useLanguage(Language::English);
    GraphWindow::setPlacementFile(QString());
}

} // namespace
} // namespace zel::graph

// Pictures of the data list and a printed page (as PDF) for the
// documentation (scripts/screenshots.sh).
#include "common/datetime.h"
#include "common/strings.h"
#include "graph/data_list_window.h"
#include "graph/graph_print_widget.h"
#include "graph/graph_window.h"
#include "support/picture_folder.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace zel::graph {
namespace {

// Half a day of dose-rate readings ten seconds apart with a passing source.
struct Readings {
    std::vector<double> times, values;
    Readings() {
        const double start = toDayCount(QDateTime(QDate(2026, 3, 14), QTime(6, 0, 0)));
        uint32_t seed = 777;
        for (int i = 0; i < 4000; ++i) {
            seed = seed * 1103515245u + 12345u;
            const double noise = double((seed >> 16) % 1000) / 1000.0 - 0.5;
            const double peak = 1.8 * std::exp(-std::pow((i - 2600) / 80.0, 2));
            times.push_back(start + i * 10.0 / 86400);
            values.push_back(i == 3100 || i == 3101 ? -1 : 0.12 + 0.03 * noise + peak);
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

void snapList(const QString& folder, Language language, const QString& suffix) {
    setCurrentLanguage(language);
    QApplication::setLayoutDirection(language == Language::Hebrew ? Qt::RightToLeft
                                                                  : Qt::LeftToRight);
    const Readings readings;
    GraphWindow w;
    w.load(readings.request());
    w.show();
    w.showAll();
    w.showList();
    QTest::qWait(100);
    w.dataList()->grab().save(QDir(folder).filePath("data-list-" + suffix + ".png"));
    if (language == Language::English) {
        w.setPrintHeading(QStringLiteral("Station 3, north fence"));
        w.showWindow(false, TimeWindow{readings.times[2200], readings.times[3300]});
        // The page itself, as the printer gets it.
        QImage page(1123, 794, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            drawPrintedPage(p, QRectF(page.rect()), w.files().printPicture());
        }
        page.save(QDir(folder).filePath("graph-print-en.png"));
    }
}

TEST(GraphExportScreenshots, SaveWhenAsked) {
    const test::PictureFolder pictures; // checks every picture it gets
    const QString folder = pictures.path();
    QTemporaryDir dir;
    qputenv("ZEL_HOME", dir.path().toUtf8());
    GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedKingdom));
    snapList(folder, Language::English, "en");
    setDateLocale(QLocale(QLocale::German, QLocale::Germany));
    snapList(folder, Language::German, "de");
    setDateLocale(QLocale(QLocale::Hebrew, QLocale::Israel));
    snapList(folder, Language::Hebrew, "he");
    setCurrentLanguage(Language::English);
    QApplication::setLayoutDirection(Qt::LeftToRight);
    GraphWindow::setPlacementFile(QString());
    qunsetenv("ZEL_HOME");
}

} // namespace
} // namespace zel::graph

#pragma once
// The histogram of the readings on screen with the normal curve of their
// mean and deviation over it and, for count rates, the Poisson expectation;
// one drawing routine for the window and for the printed page.
#include "graph/distribution.h"

#include <QColor>
#include <QDateTime>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <utility>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace zel::graph {

struct HistogramPicture {
    Histogram histogram;
    QString units; // trimmed, under the value axis
    QColor barColor;
    double mean = 0, deviation = 0; // of the normal curve
};

QColor normalCurveColor();
QColor poissonColor();

// Draws bars, axes and the expectations into `area` (any unit: pixels on
// screen, 1/96 inch on a page).
void drawHistogram(QPainter& painter, const QRectF& area, const HistogramPicture& picture);

struct DistributionPage {
    HistogramPicture histogram;
    QString heading;   // the station's page heading; may be empty
    QString title;     // the series and what is shown
    QString timeRange; // the window's first and last time
    QDateTime printedAt;
    // The figures as the window shows them: caption and value.
    std::vector<std::pair<QString, QString>> figures;
    QStringList notes; // the counting verdict or why there is none, left-out readings
};

// The page, given in 1/96 inch units: heading and time range at the top,
// the histogram, the figures below it.
void drawDistributionPage(QPainter& painter, const QRectF& page, const DistributionPage& content);
bool paintDistributionPage(QPagedPaintDevice& device, const DistributionPage& content);

class DistributionPlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit DistributionPlotWidget(QWidget* parent = nullptr);
    void setPicture(HistogramPicture picture);
    const HistogramPicture& picture() const { return picture_; }
    QSize sizeHint() const override { return {460, 300}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    HistogramPicture picture_;
};

} // namespace zel::graph

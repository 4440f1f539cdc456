#include "graph/distribution_widget.h"

#include "common/datetime.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace zel::graph {

namespace {

constexpr double UnitsPerInch = 96;
constexpr double PointsPerInch = 72;
constexpr double TextGap = 3;
constexpr int CurveSamples = 200;
const QColor BarFill(176, 196, 232);

QFont fontOfPoints(const QFont& base, double points) {
    QFont f = base;
    f.setPixelSize(int(std::lround(points * UnitsPerInch / PointsPerInch)));
    return f;
}

// A step of 1, 2 or 5 times a power of ten giving about `wanted` steps.
double niceStep(double span, int wanted) {
    if (!(span > 0))
        return 1;
    const double raw = span / wanted;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * power)
            return m * power;
    return 10 * power;
}

QString axisNumber(double v, double step) {
    // Beyond what plain digits show readably: the exponent form.
    if (std::abs(v) >= 1e15)
        return QString::number(
            v, 'g', std::clamp(int(std::ceil(std::log10(std::abs(v) / step))) + 1, 2, 15));
    const int decimals = std::clamp(int(std::ceil(-std::log10(step))), 0, 6);
    return QString::number(v, 'f', decimals);
}

// Axis marks never more than this many: a step too small to move a large
// value on would otherwise never end the loop.
constexpr int MostAxisMarks = 50;

} // namespace

QColor normalCurveColor() {
    return QColor(200, 0, 0);
}

QColor poissonColor() {
    return QColor(0, 128, 0);
}

void drawHistogram(QPainter& painter, const QRectF& area, const HistogramPicture& pic) {
    painter.save();
    // Numbers and units read left to right in every language.
    painter.setLayoutDirection(Qt::LeftToRight);
    painter.fillRect(area, Qt::white);
    const Histogram& h = pic.histogram;
    if (h.bins() == 0) {
        painter.restore();
        return;
    }
    const QFontMetricsF fm(painter.font());
    const double lineHeight = fm.height();
    double top = h.highest();
    for (double e : h.expectedNormal)
        top = std::max(top, e);
    for (double e : h.expectedPoisson)
        top = std::max(top, e);
    const double countStep = niceStep(std::max(top, 1.0), 5);
    top = std::ceil(std::max(top, 1.0) * 1.05 / countStep) * countStep;
    const double countWidth = fm.horizontalAdvance(axisNumber(top, countStep)) + 2 * TextGap;
    const QRectF plot(area.left() + countWidth, area.top() + lineHeight,
                      std::max(area.width() - countWidth - lineHeight, 1.0),
                      std::max(area.height() - 3.5 * lineHeight, 1.0));
    const double first = h.binFrom(0);
    const double last = h.binTo(h.bins() - 1);
    if (!(last > first) || !std::isfinite(last - first)) {
        painter.restore();
        return;
    }
    auto px = [&](double v) { return plot.left() + (v - first) / (last - first) * plot.width(); };
    auto py = [&](double c) { return plot.bottom() - c / top * plot.height(); };

    // Bars.
    painter.setPen(QPen(pic.barColor.isValid() ? pic.barColor : QColor(Qt::darkBlue), 0.8));
    painter.setBrush(BarFill);
    for (int32_t k = 0; k < h.bins(); ++k) {
        if (h.counts[size_t(k)] == 0)
            continue;
        painter.drawRect(QRectF(QPointF(px(h.binFrom(k)), py(h.counts[size_t(k)])),
                                QPointF(px(h.binTo(k)), plot.bottom())));
    }
    painter.setBrush(Qt::NoBrush);

    // Axes with their numbers.
    painter.setPen(QPen(Qt::black, 0.8));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    for (int i = 0; i <= MostAxisMarks && i * countStep <= top + countStep / 2; ++i) {
        const double c = i * countStep;
        const double y = py(c);
        painter.drawLine(QPointF(plot.left() - TextGap, y), QPointF(plot.left(), y));
        painter.drawText(
            QRectF(area.left(), y - lineHeight / 2, countWidth - 2 * TextGap, lineHeight),
            Qt::AlignRight | Qt::AlignVCenter, axisNumber(c, countStep));
    }
    const double valueStep = niceStep(last - first, 5);
    const double firstMark = std::ceil(first / valueStep);
    for (int i = 0; i <= MostAxisMarks; ++i) {
        const double v = (firstMark + i) * valueStep;
        if (!(v <= last + valueStep * 1e-9))
            break;
        const double x = px(v);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + TextGap));
        const QString text = axisNumber(v, valueStep);
        const double w = fm.horizontalAdvance(text) + 2;
        painter.drawText(QRectF(x - w / 2, plot.bottom() + TextGap, w, lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop, text);
    }
    painter.drawText(
        QRectF(plot.left(), plot.bottom() + TextGap + lineHeight, plot.width(), lineHeight),
        Qt::AlignHCenter | Qt::AlignTop, pic.units);

    painter.save();
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The normal curve of the window's mean and deviation, scaled to
    // readings per bin.
    const double n = std::accumulate(h.counts.begin(), h.counts.end(), 0.0);
    if (!h.expectedNormal.empty() && pic.deviation > 0) {
        // Readings per bin: n * width * density, the density's 1 / deviation
        // taken into the ratio width / deviation.
        const double height = n * (h.width / pic.deviation) / std::sqrt(2 * M_PI);
        QPainterPath curve;
        for (int i = 0; i <= CurveSamples; ++i) {
            const double v = first + (last - first) * i / CurveSamples;
            const double z = (v - pic.mean) / pic.deviation;
            const QPointF p(px(v), py(height * std::exp(-z * z / 2)));
            if (i == 0)
                curve.moveTo(p);
            else
                curve.lineTo(p);
        }
        painter.setPen(QPen(normalCurveColor(), 1.6));
        painter.drawPath(curve);
    }
    // The Poisson expectation: readings expected in each bin, a dashed step.
    if (!h.expectedPoisson.empty()) {
        QPainterPath steps;
        for (int32_t k = 0; k < h.bins(); ++k) {
            const double y = py(h.expectedPoisson[size_t(k)]);
            if (k == 0)
                steps.moveTo(px(h.binFrom(k)), y);
            else
                steps.lineTo(px(h.binFrom(k)), y);
            steps.lineTo(px(h.binTo(k)), y);
        }
        painter.setPen(QPen(poissonColor(), 1.6, Qt::DashLine));
        painter.drawPath(steps);
    }
    painter.restore();

    // Legend in the top right corner.
    std::vector<std::pair<QString, QPen>> legend{
        {QCoreApplication::translate("zel::graph::DistributionPlotWidget", "Readings"),
         QPen(BarFill, 6)}};
    if (!h.expectedNormal.empty() && pic.deviation > 0)
        legend.emplace_back(
            QCoreApplication::translate("zel::graph::DistributionPlotWidget", "Normal"),
            QPen(normalCurveColor(), 1.6));
    if (!h.expectedPoisson.empty())
        legend.emplace_back(
            QCoreApplication::translate("zel::graph::DistributionPlotWidget", "Poisson"),
            QPen(poissonColor(), 1.6, Qt::DashLine));
    double legendWidth = 0;
    for (const auto& entry : legend)
        legendWidth = std::max(legendWidth, fm.horizontalAdvance(entry.first));
    const double sample = 2 * lineHeight;
    double y = plot.top() + lineHeight / 2;
    const double x = plot.right() - legendWidth - sample - 2 * TextGap;
    for (const auto& [text, pen] : legend) {
        painter.setPen(pen);
        painter.drawLine(QPointF(x, y), QPointF(x + sample, y));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(x + sample + TextGap, y - lineHeight / 2, legendWidth + TextGap, lineHeight),
            Qt::AlignLeft | Qt::AlignVCenter, text);
        y += lineHeight;
    }
    painter.restore();
}

void drawDistributionPage(QPainter& painter, const QRectF& page, const DistributionPage& c) {
    painter.save();
    const QFont base = painter.font();
    const QFont font10 = fontOfPoints(base, 10);
    const QFont font12 = fontOfPoints(base, 12);
    const QFont font14 = fontOfPoints(base, 14);
    const double h10 = QFontMetricsF(font10).height();
    const double h12 = QFontMetricsF(font12).height();
    const double h14 = QFontMetricsF(font14).height();
    double y = page.top();
    painter.setPen(Qt::black);
    painter.setFont(font10);
    painter.drawText(QRectF(page.left(), y, page.width(), h10), Qt::AlignLeft | Qt::AlignVCenter,
                     formatGeneralDateTime(c.printedAt));
    if (!c.heading.isEmpty()) {
        painter.setFont(font14);
        painter.drawText(QRectF(page.left(), y, page.width(), h14), Qt::AlignHCenter, c.heading);
    }
    y += h14 + TextGap;
    painter.setFont(font12);
    painter.drawText(QRectF(page.left(), y, page.width(), h12), Qt::AlignHCenter, c.title);
    y += h12;
    painter.setFont(font10);
    painter.drawText(QRectF(page.left(), y, page.width(), h10), Qt::AlignHCenter, c.timeRange);
    y += h10 + 2 * TextGap;

    // The histogram takes the left part, the figures the right.
    const double figuresWidth = page.width() * 0.36;
    const QRectF plot(page.left(), y, page.width() - figuresWidth - 4 * TextGap, page.bottom() - y);
    drawHistogram(painter, plot, c.histogram);
    painter.setFont(font10);
    painter.setPen(Qt::black);
    const QRectF column(page.right() - figuresWidth, y, figuresWidth, page.bottom() - y);
    double line = column.top();
    // Captions as wide as the widest of them, so none runs into its value.
    const QFontMetricsF fm10(font10);
    double captionWidth = 0;
    for (const auto& figure : c.figures)
        captionWidth = std::max(captionWidth, fm10.horizontalAdvance(figure.first));
    captionWidth = std::min(captionWidth + 2 * TextGap, column.width() * 0.7);
    for (const auto& [caption, value] : c.figures) {
        painter.drawText(QRectF(column.left(), line, captionWidth, h10),
                         Qt::AlignLeading | Qt::AlignVCenter,
                         fm10.elidedText(caption, Qt::ElideRight, captionWidth - TextGap));
        painter.drawText(
            QRectF(column.left() + captionWidth, line, column.width() - captionWidth, h10),
            Qt::AlignLeading | Qt::AlignVCenter, value);
        line += h10 * 1.2;
    }
    line += h10 / 2;
    for (const QString& note : c.notes) {
        const QRectF room(column.left(), line, column.width(), column.bottom() - line);
        const QRectF used = painter.boundingRect(room, Qt::TextWordWrap | Qt::AlignLeading, note);
        painter.drawText(room, Qt::TextWordWrap | Qt::AlignLeading, note);
        line += used.height() + h10 / 3;
    }
    painter.restore();
}

bool paintDistributionPage(QPagedPaintDevice& device, const DistributionPage& content) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double scale = device.logicalDpiX() / UnitsPerInch;
    painter.scale(scale, scale);
    drawDistributionPage(painter, QRectF(0, 0, device.width() / scale, device.height() / scale),
                         content);
    return painter.end();
}

DistributionPlotWidget::DistributionPlotWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 160);
}

void DistributionPlotWidget::setPicture(HistogramPicture picture) {
    picture_ = std::move(picture);
    update();
}

void DistributionPlotWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    drawHistogram(p, QRectF(rect()), picture_);
}

} // namespace zel::graph

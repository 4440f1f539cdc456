#include "graph/graph_plot_widget.h"

#include "common/datetime.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRubberBand>
#include <algorithm>
#include <cmath>

namespace zel::graph {

namespace {

const QColor WarningColor(0, 255, 255);
const QColor MarkColor(255, 0, 255);
const QColor CursorColor(0, 255, 255);
// Reference levels at or above this are not drawn.
constexpr double MaxReferenceLevel = 1000000000;
// Pixel coordinates are kept within this distance of the plot.
constexpr double PixelLimit = 100000;

QString dateText(double days) {
    const QDateTime t = fromDayCount(days);
    return t.isValid() ? formatShortDate(t.date()) : QString();
}
QString clockText(double days) {
    const QDateTime t = fromDayCount(days);
    return t.isValid() ? t.time().toString(QStringLiteral("HH:mm:ss")) : QString();
}

} // namespace

QColor seriesColor(int slot) {
    static const QColor colors[SlotCount] = {QColor(0, 0, 255), QColor(255, 0, 0),
                                             QColor(128, 64, 0), QColor(255, 0, 255),
                                             QColor(0, 0, 0)};
    return colors[std::clamp(slot, 0, SlotCount - 1)];
}

PlotLayout plotLayout(const QFont& font, const QRectF& target, const GraphPicture* picture) {
    const QFontMetricsF fm(font);
    const double labelHeight = fm.height();
    double valueWidth = fm.horizontalAdvance(QStringLiteral("0000000.00-")) + 4;
    const double timeWidth = fm.horizontalAdvance(QStringLiteral("00.00.0000")) + 8;
    auto place = [&](PlotLayout& l) {
        l.plot = QRectF(target.left() + valueWidth, target.top() + labelHeight / 2 + 2,
                        target.width() - valueWidth - timeWidth / 2 - 2,
                        target.height() - labelHeight / 2 - 2 - 2 * labelHeight - 6);
        if (l.plot.width() < 1)
            l.plot.setWidth(1);
        if (l.plot.height() < 1)
            l.plot.setHeight(1);
    };
    PlotLayout l;
    place(l);
    l.gridRows = std::clamp(int(std::lround(l.plot.height() / (3 * labelHeight))), 2, 5);
    l.gridColumns = std::clamp(int(std::lround(l.plot.width() / (1.2 * timeWidth))), 2, 5);
    if (!picture || !picture->store)
        return l;
    const SlotScale& axis =
        picture->scales.slot[size_t(std::clamp(picture->activeSeries, 0, SlotCount - 1))];
    auto widest = [&](const std::vector<QString>& texts) {
        double w = 0;
        for (const QString& t : texts)
            w = std::max(w, fm.horizontalAdvance(t));
        return w + 4;
    };
    // A label cut at the strip's left edge loses its leading digits, the
    // ones that matter most: widen the strip, or write exponents.
    const double mostWidth = std::max(valueWidth, target.width() / 3);
    l.valueLabels = valueLabelTexts(axis, l.gridRows);
    if (widest(l.valueLabels) > mostWidth)
        l.valueLabels = valueLabelTexts(axis, l.gridRows, true);
    const double need = std::min(widest(l.valueLabels), mostWidth);
    if (need > valueWidth) {
        valueWidth = need;
        place(l);
    }
    return l;
}

double timeAt(const PlotLayout& layout, const Scales& scales, double x) {
    return scales.first +
           (x - layout.plot.left()) / layout.plot.width() * (scales.last - scales.first);
}

QPointF pixelAt(const PlotLayout& layout, const Scales& scales, double time, double value) {
    const QRectF& p = layout.plot;
    const double span = scales.last - scales.first;
    const SlotScale& s = scales.slot[0];
    const double height = s.max - s.min;
    double x = span > 0 ? p.left() + (time - scales.first) / span * p.width() : p.left();
    double y = height > 0 ? p.top() + (s.max - value) / height * p.height() : p.bottom();
    if (!std::isfinite(x))
        x = p.left();
    if (!std::isfinite(y))
        y = value > s.max ? p.top() : p.bottom();
    x = std::clamp(x, p.left() - PixelLimit, p.right() + PixelLimit);
    y = std::clamp(y, p.top() - PixelLimit, p.bottom() + PixelLimit);
    return {x, y};
}

namespace {

// The read-out cursor on the active series, with its value beside it.
void drawCursor(QPainter& painter, const PlotLayout& layout, const GraphPicture& pic) {
    const GraphStore* store = pic.store;
    if (!store || pic.cursorPoint < 0 || pic.cursorPoint > store->displayCount() ||
        !hasExtent(pic.scales))
        return;
    const Scales& sc = pic.scales;
    const int active = std::clamp(pic.activeSeries, 0, SlotCount - 1);
    const double v = store->displayY(active, pic.cursorPoint);
    const double value = isValue(v) ? v : sc.slot[0].min;
    const QPointF p =
        pixelAt(layout, sc, store->displayX(pic.cursorPoint), onFirstScale(sc, active, value));
    painter.setPen(QPen(CursorColor, 2));
    painter.drawRect(QRectF(p.x() - 4, p.y() - 4, 8, 8));
    if (pic.cursorText.isEmpty())
        return;
    const QFontMetricsF fm(painter.font());
    const QRectF& plot = layout.plot;
    const double w = fm.horizontalAdvance(pic.cursorText) + 6;
    double left = p.x() + 8;
    if (left + w > plot.right())
        left = p.x() - 8 - w;
    const double top = std::clamp(p.y() - fm.height() - 4, plot.top(),
                                  std::max(plot.top(), plot.bottom() - fm.height()));
    const QRectF box(left, top, w, fm.height());
    painter.fillRect(box, QColor(255, 255, 192));
    painter.setPen(seriesColor(active));
    painter.drawText(box, Qt::AlignCenter, pic.cursorText);
}

// A history range: a bar from minimum to maximum per step, so a spike of a
// second stays visible in a year, and the means joined only between steps
// that both hold readings: an empty step is a gap, never a line across.
void drawHistory(QPainter& painter, const PlotLayout& layout, const GraphPicture& pic) {
    const HistorySeries& h = *pic.history;
    const Scales& sc = pic.scales;
    const double base = pic.store->baseTime();
    const QColor colour = seriesColor(0);
    QColor band = colour;
    band.setAlpha(110);
    painter.setPen(QPen(band, 1));
    for (size_t i = 0; i < h.times.size(); ++i)
        if (isValue(h.minimum[i]) && isValue(h.maximum[i]) && h.maximum[i] > h.minimum[i])
            painter.drawLine(pixelAt(layout, sc, h.times[i] - base, h.minimum[i]),
                             pixelAt(layout, sc, h.times[i] - base, h.maximum[i]));
    painter.setPen(QPen(colour, 1.2));
    QPolygonF run;
    auto flush = [&] {
        if (run.size() > 1)
            painter.drawPolyline(run);
        else if (run.size() == 1)
            painter.drawPoint(run.front());
        run.clear();
    };
    for (size_t i = 0; i < h.times.size(); ++i) {
        if (!isValue(h.mean[i])) {
            flush();
            continue;
        }
        run << pixelAt(layout, sc, h.times[i] - base, h.mean[i]);
    }
    flush();
}

} // namespace

void drawSeries(QPainter& painter, const PlotLayout& layout, const GraphPicture& pic, int s) {
    const GraphStore* store = pic.store;
    const Scales& sc = pic.scales;
    if (!store || s < 0 || s >= SlotCount || store->displayCount() <= 0 || !hasExtent(sc))
        return;
    const QRectF& plot = layout.plot;
    const int32_t count = store->displayCount();
    const double* xs = store->displayXData();
    const double level = store->seriesSlots[size_t(s)].referenceLevel;
    if (level < std::min(sc.slot[size_t(s)].max, MaxReferenceLevel)) {
        const double y = pixelAt(layout, sc, sc.first, onFirstScale(sc, s, level)).y();
        painter.setPen(QPen(pic.referenceColor, 1, Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

    if (pic.history && s == 0) {
        drawHistory(painter, layout, pic);
        return;
    }
    const double* ys = store->displayYData(s);
    const LineRuns runs = lineRuns(ys, count);
    auto polyline = [&](const std::vector<int32_t>& points) {
        QPolygonF line;
        line.reserve(qsizetype(points.size()));
        for (int32_t j : points)
            line << pixelAt(layout, sc, xs[j], onFirstScale(sc, s, ys[j]));
        return line;
    };
    const QPolygonF normal = polyline(runs.normal);
    const QPolygonF warned = polyline(runs.warned);
    QPolygonF marks;
    if (pic.marks && s == pic.activeSeries) {
        for (int32_t j = 1; j <= count; ++j)
            if (isValue(ys[j]))
                marks << pixelAt(layout, sc, xs[j], onFirstScale(sc, s, ys[j]));
    }
    painter.setPen(QPen(seriesColor(s), 1.2));
    painter.drawPolyline(normal);
    painter.setPen(QPen(WarningColor, 1.2));
    painter.drawPolyline(warned);
    if (!marks.isEmpty()) {
        painter.setPen(QPen(MarkColor, 1));
        for (const QPointF& m : marks)
            painter.drawRect(QRectF(m.x() - 2, m.y() - 2, 4, 4));
    }
}

namespace {

// Where the grid lines lie: pixel rows of the value levels and columns of
// the times; none without something to draw.
struct GridLines {
    std::vector<double> rows, columns;
    bool operator==(const GridLines&) const = default;
};

bool hasSomethingToDraw(const GraphPicture& pic) {
    return pic.store && pic.store->displayCount() > 0 && hasExtent(pic.scales);
}

GridLines gridLines(const PlotLayout& layout, const GraphPicture& pic) {
    GridLines grid;
    if (!hasSomethingToDraw(pic))
        return grid;
    const Scales& sc = pic.scales;
    const SlotScale& base = sc.slot[0];
    for (int i = 0; i < layout.gridRows; ++i) {
        const double level = base.max - i * (base.max - base.min) / (layout.gridRows - 1);
        grid.rows.push_back(pixelAt(layout, sc, sc.first, level).y());
    }
    const double stepX = (sc.last - sc.first) / (layout.gridColumns - 1);
    for (int i = 0; i < layout.gridColumns; ++i)
        grid.columns.push_back(pixelAt(layout, sc, sc.first + i * stepX, base.min).x());
    return grid;
}

// The white ground, the plot's frame and the dotted grid: what stays while
// only the readings and the labels change.
void drawBackdrop(QPainter& painter, const QRectF& target, const PlotLayout& layout,
                  const QColor& gridColor, const GridLines& grid) {
    painter.fillRect(target, Qt::white);
    const QRectF& plot = layout.plot;
    painter.setPen(QPen(gridColor, 0));
    painter.drawRect(plot);
    painter.setPen(QPen(gridColor, 0, Qt::DotLine));
    for (const double y : grid.rows)
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    for (const double x : grid.columns)
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
}

} // namespace

// What a backdrop was drawn for: the same key draws the same pixels.
struct GraphBackdrop::Key {
    QSize size;
    qreal ratio = 0;
    QRectF target, plot;
    QColor gridColor;
    GridLines grid;
    bool operator==(const Key&) const = default;
};

GraphBackdrop::GraphBackdrop() = default;
GraphBackdrop::~GraphBackdrop() = default;

void drawGraph(QPainter& painter, const QRectF& target, const GraphPicture& pic,
               GraphBackdrop* backdrop) {
    painter.save();
    // Numbers, times and units read left to right in every language.
    painter.setLayoutDirection(Qt::LeftToRight);
    const PlotLayout layout = plotLayout(painter.font(), target, &pic);
    const QRectF& plot = layout.plot;
    const GridLines grid = gridLines(layout, pic);
    // The backdrop is an image of the whole device: it is used only where
    // the target is the whole device, untransformed.
    QImage* device = backdrop ? dynamic_cast<QImage*>(painter.device()) : nullptr;
    if (device && painter.transform().isIdentity() &&
        target == QRectF(QPointF(0, 0), device->deviceIndependentSize())) {
        GraphBackdrop::Key key{
            device->size(), device->devicePixelRatio(), target, plot, pic.gridColor, grid};
        if (!backdrop->key_ || !(*backdrop->key_ == key)) {
            backdrop->image_ = QImage(device->size(), device->format());
            backdrop->image_.setDevicePixelRatio(device->devicePixelRatio());
            QPainter ground(&backdrop->image_);
            drawBackdrop(ground, target, layout, pic.gridColor, grid);
            backdrop->key_ = std::make_unique<GraphBackdrop::Key>(std::move(key));
        }
        // Copied, not blended: the backdrop is opaque and covers the target.
        painter.save();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPointF(0, 0), backdrop->image_);
        painter.restore();
    } else {
        drawBackdrop(painter, target, layout, pic.gridColor, grid);
    }
    if (!hasSomethingToDraw(pic)) {
        painter.restore();
        return;
    }
    const QFontMetricsF fm(painter.font());
    const GraphStore* store = pic.store;
    const Scales& sc = pic.scales;
    const int active = std::clamp(pic.activeSeries, 0, SlotCount - 1);

    // Value labels of the active series beside the grid's rows.
    painter.setPen(seriesColor(active));
    for (size_t i = 0; i < grid.rows.size(); ++i) {
        const QRectF box(target.left(), grid.rows[i] - fm.height() / 2,
                         plot.left() - target.left() - 2, fm.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, layout.valueLabels.at(i));
    }

    // Time labels (date over clock time) below the grid's columns.
    painter.setPen(pic.gridColor);
    const double stepX = (sc.last - sc.first) / (layout.gridColumns - 1);
    const double timeWidth = fm.horizontalAdvance(QStringLiteral("00.00.0000")) + 8;
    for (size_t i = 0; i < grid.columns.size(); ++i) {
        const double absolute = store->baseTime() + (sc.first + double(i) * stepX);
        const QRectF box(grid.columns[i] - timeWidth / 2, plot.bottom() + 3, timeWidth,
                         2 * fm.height());
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop,
                         dateText(absolute) + QLatin1Char('\n') + clockText(absolute));
    }

    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (int s = 0; s < SlotCount; ++s)
        if (pic.displayed[size_t(s)])
            drawSeries(painter, layout, pic, s);

    painter.setClipping(false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    drawCursor(painter, layout, pic);
    painter.restore();
}

// ---------------------------------------------------------------- widget

GraphPlotWidget::GraphPlotWidget(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    setMinimumSize(200, 120);
    // The cached picture covers every pixel: nothing beneath it need be
    // painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Time runs left to right in every language.
    setLayoutDirection(Qt::LeftToRight);
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
    band_->hide();
}

void GraphPlotWidget::setPicture(const GraphPicture& picture) {
    picture_ = picture;
    picture_.gridColor = palette().color(QPalette::WindowText);
    cacheValid_ = false;
    placeMarkBand();
    update();
}

void GraphPlotWidget::setCursor(int32_t point, const QString& text) {
    picture_.cursorPoint = point;
    picture_.cursorText = text;
    placeMarkBand();
    update();
}

void GraphPlotWidget::dropZoomMark() {
    if (!zoomMark_)
        return;
    zoomMark_.reset();
    placeMarkBand();
    emit zoomMarkChanged();
}

std::optional<double> GraphPlotWidget::readOutTime() const {
    const GraphStore* store = picture_.store;
    const int32_t k = picture_.cursorPoint;
    if (!store || k < 0 || k > store->displayCount())
        return std::nullopt;
    return store->baseTime() + store->displayX(k);
}

void GraphPlotWidget::placeMarkBand() {
    if (dragging_)
        return;
    const std::optional<double> end = readOutTime();
    if (!zoomMark_ || !end || !picture_.store || !hasExtent(picture_.scales)) {
        band_->hide();
        return;
    }
    // The band the mouse would draw: the full height, mark to read-out,
    // kept inside the plot when the mark lies outside the window shown.
    const PlotLayout l = layout();
    const double base = picture_.store->baseTime();
    auto column = [&](double time) {
        return int(std::clamp(pixelAt(l, picture_.scales, time - base, 0).x(), l.plot.left(),
                              l.plot.right()));
    };
    const int from = column(*zoomMark_), to = column(*end);
    band_->setGeometry(QRect(QPoint(std::min(from, to), int(l.plot.top())),
                             QPoint(std::max(from, to) + 1, int(l.plot.bottom()))));
    band_->show();
}

PlotLayout GraphPlotWidget::layout() const {
    return plotLayout(font(), QRectF(rect()), &picture_);
}

double GraphPlotWidget::timeAtPixel(double x) const {
    return timeAt(layout(), picture_.scales, x);
}

void GraphPlotWidget::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (!cacheValid_ || cache_.size() != size() * ratio) {
        // The picture without its cursor is kept, so moving the cursor
        // repaints a copy instead of every line. It is opaque (drawGraph
        // fills it white first), so it is copied onto the screen rather
        // than blended, and a picture of the same size reuses its memory.
        if (cache_.size() != size() * ratio || cache_.devicePixelRatio() != ratio) {
            cache_ = QImage(size() * ratio, QImage::Format_RGB32);
            cache_.setDevicePixelRatio(ratio);
        }
        QPainter p(&cache_);
        p.setFont(font());
        GraphPicture still = picture_;
        still.cursorPoint = -1;
        drawGraph(p, QRectF(rect()), still, &backdrop_);
        cacheValid_ = true;
    }
    QPainter p(this);
    p.drawImage(0, 0, cache_);
    if (picture_.cursorPoint < 0)
        return;
    // The cursor alone, over the cached picture.
    p.setFont(font());
    p.setLayoutDirection(Qt::LeftToRight);
    drawCursor(p, layout(), picture_);
}

void GraphPlotWidget::resizeEvent(QResizeEvent* event) {
    cacheValid_ = false;
    QWidget::resizeEvent(event);
    placeMarkBand();
}

void GraphPlotWidget::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    const double t = timeAtPixel(event->position().x());
    if (event->button() == Qt::RightButton) {
        emit rightPressed(t);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    dropZoomMark();
    dragging_ = true;
    dragStartTime_ = t;
    dragStartX_ = int(event->position().x());
    emit selectionStarted(t);
}

void GraphPlotWidget::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    const PlotLayout l = layout();
    const int x = int(std::clamp(event->position().x(), l.plot.left(), l.plot.right()));
    const int from = int(std::clamp(double(dragStartX_), l.plot.left(), l.plot.right()));
    // The band covers the full height of the plot.
    band_->setGeometry(QRect(QPoint(std::min(from, x), int(l.plot.top())),
                             QPoint(std::max(from, x), int(l.plot.bottom()))));
    band_->show();
    emit selectionMoved(timeAtPixel(event->position().x()));
}

void GraphPlotWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    dragging_ = false;
    band_->hide();
    emit selectionFinished(dragStartTime_, timeAtPixel(event->position().x()));
}

void GraphPlotWidget::keyPressEvent(QKeyEvent* event) {
    // The keyboard's zoom: Space marks the read-out as one end, the arrows
    // move the read-out to the other, Return zooms, Escape drops the mark.
    switch (event->key()) {
    case Qt::Key_Space:
        if (const std::optional<double> t = readOutTime()) {
            zoomMark_ = t;
            placeMarkBand();
            emit zoomMarkChanged();
            return;
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (zoomMark_) {
            if (const std::optional<double> t = readOutTime()) {
                const double mark = *zoomMark_;
                emit zoomRequested(mark, *t);
                return;
            }
        }
        break;
    case Qt::Key_Escape:
        if (zoomMark_) {
            dropZoomMark();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void GraphPlotWidget::keyReleaseEvent(QKeyEvent* event) {
    const bool big =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const int step = big ? 10 : 1;
    if (event->key() == Qt::Key_Left)
        emit arrowReleased(-step);
    else if (event->key() == Qt::Key_Right)
        emit arrowReleased(step);
    else
        QWidget::keyReleaseEvent(event);
}

} // namespace zel::graph

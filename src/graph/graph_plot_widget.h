#pragma once
// The picture of the graph: grid, axis labels, series lines, reference
// lines, marks and the read-out cursor. drawGraph paints it with any
// QPainter into any rectangle, so the screen widget and a printer share it.
#include "graph/graph_history.h"
#include "graph/graph_scale.h"
#include "graph/graph_store.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QRubberBand;

namespace zel::graph {

// Series colours of slots 0..4: blue, red, brown, magenta, black.
QColor seriesColor(int slot);

struct GraphPicture {
    const GraphStore* store = nullptr;
    Scales scales;
    std::array<bool, SlotCount> displayed{}; // named and ticked
    int activeSeries = 0;
    bool marks = false;       // boxes on every point of the active series
    int32_t cursorPoint = -1; // the selected point, or -1
    QString cursorText;       // its value, shown beside it
    QColor referenceColor = QColor(255, 0, 0);
    QColor gridColor = QColor(0, 0, 0);
    // A history range: slot 0 is drawn from its steps, each step's extremes
    // as a bar and its mean as a line broken where a step is empty.
    const HistorySeries* history = nullptr;
};

// Where the plot lies inside `target`, how many grid lines fit, and the
// value labels of the active series (top first) that the strip left of the
// plot was made wide enough for.
struct PlotLayout {
    QRectF plot;
    int gridRows = 2;
    int gridColumns = 2;
    std::vector<QString> valueLabels;
};
// With a picture, the label strip is as wide as its widest label (at most a
// third of the target; beyond that the labels take the exponent form).
PlotLayout plotLayout(const QFont& font, const QRectF& target,
                      const GraphPicture* picture = nullptr);

// The white ground, frame and grid of a picture drawn into an image, kept
// for the next picture of the same size and grid: a graph following live
// readings redraws only its labels and lines over a copy.
class GraphBackdrop {
public:
    GraphBackdrop();
    ~GraphBackdrop();
    GraphBackdrop(const GraphBackdrop&) = delete;
    GraphBackdrop& operator=(const GraphBackdrop&) = delete;

private:
    friend void drawGraph(QPainter&, const QRectF&, const GraphPicture&, GraphBackdrop*);
    struct Key;
    std::unique_ptr<Key> key_;
    QImage image_;
};

// Paints the whole picture into `target`. Draws only the frame and grid when
// there is nothing to show. With a `backdrop`, a painter on an image (not
// transformed) takes the ground, frame and grid from it, or draws it anew.
void drawGraph(QPainter& painter, const QRectF& target, const GraphPicture& picture,
               GraphBackdrop* backdrop = nullptr);

// Draws series `slot` (its reference line, line and marks) into the plot of
// `layout`, mapped onto slot 0's scale: the screen and the printed page
// draw their lines with this.
void drawSeries(QPainter& painter, const PlotLayout& layout, const GraphPicture& picture, int slot);

// Time (days after the base time) at pixel column `x` of the plot.
double timeAt(const PlotLayout& layout, const Scales& scales, double x);
// Pixel position of a value at a time, clamped well inside what a painter
// handles, so huge values cannot upset the rasteriser.
QPointF pixelAt(const PlotLayout& layout, const Scales& scales, double time, double value);

// The plot area on screen: draws the picture from a cached image, shows the
// selection band while the mouse drags and reports times, not pixels.
class GraphPlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit GraphPlotWidget(QWidget* parent = nullptr);

    // Takes a new picture and repaints it.
    void setPicture(const GraphPicture& picture);
    // Only the cursor changed: no need to rebuild the cached picture.
    void setCursor(int32_t point, const QString& text);
    const GraphPicture& picture() const { return picture_; }
    PlotLayout layout() const;

    // The start of a zoom marked from the keyboard (a date-time as a day
    // count), or nothing.
    std::optional<double> zoomMark() const { return zoomMark_; }
    void dropZoomMark();

signals:
    void selectionStarted(double time);
    void selectionMoved(double time);
    void selectionFinished(double startTime, double endTime);
    void rightPressed(double time);
    // -1/+1 for the arrow keys, -10/+10 with Shift, Ctrl or Alt.
    void arrowReleased(int delta);
    // Space marked the read-out as the start of a zoom, or the mark was
    // dropped.
    void zoomMarkChanged();
    // Return with a mark: zoom from the mark to the read-out (date-times
    // as day counts, in either order).
    void zoomRequested(double markTime, double readOutTime);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    double timeAtPixel(double x) const;
    // Date-time (day count) of the read-out point; nothing without one.
    std::optional<double> readOutTime() const;
    // The band from the keyboard mark to the read-out.
    void placeMarkBand();

    GraphPicture picture_;
    QImage cache_;
    bool cacheValid_ = false;
    GraphBackdrop backdrop_;
    QRubberBand* band_;
    bool dragging_ = false;
    double dragStartTime_ = 0;
    int dragStartX_ = 0;
    std::optional<double> zoomMark_;
};

} // namespace zel::graph

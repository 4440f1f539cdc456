#pragma once
// The printed graph: one band per displayed series on one page, with value
// levels, time lines and labels, drawn with the same series routine as the
// screen. The page is painted in units of 1/96 inch, so a printer, a PDF
// file and an image for a test all get the same picture.
#include "common/failure.h"
#include "graph/graph_scale.h"
#include "graph/graph_store.h"

#include <QDateTime>
#include <QRectF>
#include <QString>
#include <array>
#include <functional>

class QPainter;
class QPagedPaintDevice;

namespace zel::graph {

struct PrintPicture {
    const GraphStore* store = nullptr;
    Scales scales;
    std::array<bool, SlotCount> displayed{}; // named and ticked
    QString heading;                         // centred above the first band; may be empty
    QDateTime printedAt;                     // shown above the first band
};

// Number of bands the page will hold.
int printedSeriesCount(const PrintPicture& picture);

// Draws the page into `page`, given in 1/96 inch units.
void drawPrintedPage(QPainter& painter, const QRectF& page, const PrintPicture& picture);

// Paints the page on a printer or a PDF writer. False when the device
// could not be painted on.
bool paintPrintedPage(QPagedPaintDevice& device, const PrintPicture& picture);

// An A4 landscape PDF of one page that `paint` draws, made in memory and
// written by the safe writer, so a full disk never leaves a cut PDF where an
// older one stood. A failure names the file and why the page could not be
// drawn or written.
Expected<void> writePdfPage(const QString& path, const QString& title,
                            const std::function<bool(QPagedPaintDevice&)>& paint);

} // namespace zel::graph

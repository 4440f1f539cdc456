#include "graph/graph_print_widget.h"

#include "common/datetime.h"
#include "common/safe_file.h"
#include "common/strings.h"
#include "graph/graph_export.h"
#include "graph/graph_plot_widget.h"
#include "graph/graph_print.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace zel::graph {

namespace {

constexpr double UnitsPerInch = 96;
constexpr double PointsPerInch = 72;
// How far the time lines reach below a band.
constexpr double TickLength = 5;
constexpr double TextGap = 3;

QFont fontOfPoints(const QFont& base, double points) {
    QFont f = base;
    f.setPixelSize(int(std::lround(points * UnitsPerInch / PointsPerInch)));
    return f;
}

} // namespace

int printedSeriesCount(const PrintPicture& picture) {
    int count = 0;
    for (int s = 0; s < SlotCount; ++s)
        if (picture.displayed[size_t(s)] && picture.store &&
            picture.store->seriesSlots[size_t(s)].isNamed())
            ++count;
    return count;
}

void drawPrintedPage(QPainter& painter, const QRectF& page, const PrintPicture& pic) {
    painter.save();
    // Numbers, times and units read left to right in every language.
    painter.setLayoutDirection(Qt::LeftToRight);
    const int count = printedSeriesCount(pic);
    const GraphStore* store = pic.store;
    const Scales& sc = pic.scales;
    if (count == 0 || store->displayCount() <= 0 || !hasExtent(sc)) {
        painter.restore();
        return;
    }
    const QFont base = painter.font();
    const QFont font10 = fontOfPoints(base, 10);
    const QFont font11 = fontOfPoints(base, 11);
    const QFont font14 = fontOfPoints(base, 14);
    const double margin = page.width() * PrintSideMargin;
    const double plotLeft = page.left() + margin;
    const double plotRight = page.right() - margin;
    const QPen framePen(Qt::black, 0.8);
    const QPen gridPen(Qt::black, 0.6, Qt::DotLine);

    int band = 0;
    for (int s = 0; s < SlotCount; ++s) {
        if (!pic.displayed[size_t(s)] || !store->seriesSlots[size_t(s)].isNamed())
            continue;
        const GraphSlot& slot = store->seriesSlots[size_t(s)];
        const PrintBand b = printBand(band, count);
        const QRectF bandRect(plotLeft, page.top() + b.top * page.height(), plotRight - plotLeft,
                              (b.bottom - b.top) * page.height());
        // The band's title has a strip of its own at the band's top, so it
        // can never hide a reading; the scale fills the rest of the band.
        painter.setFont(font11);
        const QFontMetricsF fm11(font11);
        const double titleHeight = fm11.height() + TextGap;
        const QRectF area = bandRect.adjusted(0, titleHeight, 0, 0);
        const bool first = band == 0;
        const bool last = band == count - 1;
        ++band;

        // Above the first band: when it was printed, and the heading.
        if (first) {
            painter.setFont(font10);
            const double h10 = QFontMetricsF(font10).height();
            painter.setPen(Qt::black);
            painter.drawText(
                QRectF(page.left(), bandRect.top() - 1.5 * h10 - h10 / 2, page.width() / 2, h10),
                Qt::AlignLeft | Qt::AlignVCenter, formatGeneralDateTime(pic.printedAt));
            if (!pic.heading.isEmpty()) {
                painter.setFont(font14);
                const double h14 = QFontMetricsF(font14).height();
                painter.drawText(
                    QRectF(plotLeft, bandRect.top() - 1.5 * h14 - h14 / 2, area.width(), h14),
                    Qt::AlignHCenter | Qt::AlignVCenter, pic.heading);
            }
        }

        // Value levels: a dotted line each, the value left of the plot;
        // frame lines along the band's top and bottom edges.
        painter.setFont(font10);
        const QFontMetricsF fm10(font10);
        std::vector<PrintLevel> levels = printLevels(sc.slot[size_t(s)], count);
        const double labelRoom = margin - TextGap;
        auto widest = [&] {
            double w = 0;
            for (const PrintLevel& level : levels)
                w = std::max(w, fm10.horizontalAdvance(level.label));
            return w;
        };
        // Right-aligned in the strip, a label too wide for it would lose its
        // leading digits at the page's edge.
        if (widest() > labelRoom)
            levels = printLevels(sc.slot[size_t(s)], count, true);
        for (const PrintLevel& level : levels) {
            const double y = area.top() + level.fraction * area.height();
            painter.setPen(gridPen);
            painter.drawLine(QPointF(plotLeft, y), QPointF(plotRight, y));
            painter.setPen(seriesColor(s));
            painter.drawText(
                QRectF(page.left(), y - fm10.height() / 2, margin - TextGap, fm10.height()),
                Qt::AlignRight | Qt::AlignVCenter, level.label);
        }
        painter.setPen(framePen);
        painter.drawLine(area.topLeft(), area.topRight());
        painter.drawLine(area.bottomLeft(), area.bottomRight());

        // Time lines at the first time and five equal steps on; the outer
        // ones close the frame.
        const double stepX = (sc.last - sc.first) / (PrintTimeLines - 1);
        for (int i = 0; i < PrintTimeLines; ++i) {
            const double x = plotLeft + i * area.width() / (PrintTimeLines - 1);
            const bool edge = i == 0 || i == PrintTimeLines - 1;
            painter.setPen(edge ? framePen : gridPen);
            painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom() + TickLength));
            if (!last)
                continue;
            const QDateTime moment = fromDayCount(store->baseTime() + sc.first + i * stepX);
            if (!moment.isValid())
                continue;
            const double w = fm10.horizontalAdvance(QStringLiteral("00.00.0000  "));
            const double y = area.bottom() + TickLength + TextGap;
            painter.setPen(Qt::black);
            painter.drawText(QRectF(x - w, y, 2 * w, fm10.height()), Qt::AlignHCenter,
                             formatShortDate(moment.date()));
            painter.drawText(QRectF(x - w, y + 1.5 * fm10.height(), 2 * w, fm10.height()),
                             Qt::AlignHCenter, moment.time().toString(QStringLiteral("HH:mm:ss")));
        }

        // The series itself, on its own band.
        PlotLayout layout;
        layout.plot = area;
        GraphPicture series;
        series.store = store;
        series.scales = sc;
        series.displayed[size_t(s)] = true;
        series.activeSeries = s;
        painter.save();
        painter.setClipRect(area.adjusted(-1, -1, 1, 1));
        painter.setRenderHint(QPainter::Antialiasing, true);
        drawSeries(painter, layout, series, s);
        painter.restore();
        // The units left of the title strip, the title in it.
        painter.setFont(font11);
        painter.setPen(seriesColor(s));
        painter.drawText(QRectF(page.left(), bandRect.top(), margin - TextGap, fm11.height()),
                         Qt::AlignRight | Qt::AlignVCenter, slot.units.trimmed());
        painter.drawText(
            QRectF(plotLeft + TextGap, bandRect.top(), area.width() - TextGap, fm11.height()),
            Qt::AlignLeft | Qt::AlignVCenter,
            fm11.elidedText(str(3000) + slot.name, Qt::ElideRight, area.width() - TextGap));
    }
    painter.restore();
}

bool paintPrintedPage(QPagedPaintDevice& device, const PrintPicture& picture) {
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double scale = device.logicalDpiX() / UnitsPerInch;
    painter.scale(scale, scale);
    drawPrintedPage(painter, QRectF(0, 0, device.width() / scale, device.height() / scale),
                    picture);
    return painter.end();
}

Expected<void> writePdfPage(const QString& path, const QString& title,
                            const std::function<bool(QPagedPaintDevice&)>& paint) {
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Zel"));
        if (!paint(writer))
            return fail(Failure::Kind::Other,
                        QStringLiteral("%1: %2").arg(
                            QDir::toNativeSeparators(path),
                            QCoreApplication::translate("zel::graph::GraphWindow",
                                                        "the page could not be drawn")));
    }
    FileError why;
    if (!writeFileSafely(path, pdf, &why))
        return fileFailure(why);
    return {};
}

} // namespace zel::graph

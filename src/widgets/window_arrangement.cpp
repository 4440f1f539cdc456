#include "widgets/window_arrangement.h"

#include <QFontMetrics>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace zel {

namespace {

// `place` moved into `available`: right and bottom first, so a window
// larger than the area keeps its title bar and left edge reachable.
QRect movedInside(QRect place, const QRect& available) {
    if (available.isEmpty())
        return place;
    if (place.right() > available.right())
        place.moveRight(available.right());
    if (place.bottom() > available.bottom())
        place.moveBottom(available.bottom());
    place.moveLeft(std::max(place.left(), available.left()));
    place.moveTop(std::max(place.top(), available.top()));
    return place;
}

// The frame around a window's inner geometry (nothing until it is shown).
QMargins frameOf(const QWidget& w) {
    const QRect f = w.frameGeometry(), g = w.geometry();
    return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(),
                    f.bottom() - g.bottom());
}

} // namespace

Arrangement arrangeStacked(const QRect& available, const QRect& mainFrame, int gap,
                           const ArrangedWindow& main, const ArrangedWindow& graph) {
    const int mainExtra = main.frame.top() + main.frame.bottom();
    const int graphExtra = graph.frame.top() + graph.frame.bottom();
    const int mainLeast = main.minimumHeight + mainExtra;
    const int graphLeast = graph.minimumHeight + graphExtra;

    // Half the screen each; the main window never below its own smallest
    // height, and never so tall that the graph's smallest does not fit.
    int mainHeight = (available.height() - gap) / 2;
    mainHeight = std::min(mainHeight, available.height() - graphLeast);
    mainHeight = std::max(mainHeight, mainLeast);

    const int width = std::min(mainFrame.width(), available.width());
    const int left = std::clamp(mainFrame.left(), available.left(), available.right() + 1 - width);
    const QRect mainOuter(left, available.top(), width, mainHeight);
    // The graph takes what is left below, less half the gap, but never less
    // than its smallest height.
    const int graphTop = mainOuter.bottom() + 1;
    const int room = available.bottom() + 1 - graphTop;
    const QRect graphOuter(left, graphTop, width, std::max(room - gap / 2, graphLeast));

    return {mainOuter.marginsRemoved(main.frame), graphOuter.marginsRemoved(graph.frame)};
}

void arrangeStacked(QWidget& main, QWidget& graph, int gap, QRect available) {
    if (available.isEmpty()) {
        const QScreen* screen = main.screen();
        if (!screen)
            return;
        available = screen->availableGeometry();
    }
    if (main.isMaximized())
        main.showNormal();
    const QMargins mainFrame = frameOf(main);
    const QMargins graphFrame = graph.isVisible() ? frameOf(graph) : mainFrame;
    auto least = [](const QWidget& w) {
        return std::max(w.minimumHeight(), w.minimumSizeHint().height());
    };
    const Arrangement a = arrangeStacked(available, main.frameGeometry(), gap,
                                         {mainFrame, least(main)}, {graphFrame, least(graph)});
    main.setGeometry(a.main);
    graph.setGeometry(a.graph);
}

QPoint placeBeside(const QRect& ownerFrame, const QSize& size, const QRect& available) {
    return movedInside(QRect(QPoint(ownerFrame.right() + 1, ownerFrame.top()), size), available)
        .topLeft();
}

int titleWidth(const QWidget& window) {
    // Title bars draw their text larger or bolder than the window's own;
    // a bold face of the window's font, a fifth wider, stands for them.
    QFont font = window.font();
    font.setBold(true);
    const QFontMetrics fm(font);
    const int button = fm.height() + 12;
    // The icon and three buttons (minimise, maximise, close), with margins.
    return fm.horizontalAdvance(window.windowTitle()) * 6 / 5 + 4 * button + 24;
}

void makeRoomForTitle(QWidget& window) {
    const int need = titleWidth(window);
    QLayout* layout = window.layout();
    if (layout && layout->sizeConstraint() == QLayout::SetFixedSize) {
        // A fixed-size window takes its size from its layout.
        layout->addItem(new QSpacerItem(need, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
        return;
    }
    window.setMinimumWidth(std::max(window.minimumWidth(), need));
}

QRect fitWithin(const QRect& frame, const QSize& leastFrame, const QRect& available) {
    if (available.isEmpty())
        return frame;
    const QSize size(std::max(std::min(frame.width(), available.width()), leastFrame.width()),
                     std::max(std::min(frame.height(), available.height()), leastFrame.height()));
    return movedInside(QRect(frame.topLeft(), size), available);
}

void keepOnScreen(QWidget& window, QRect available) {
    if (available.isEmpty()) {
        const QScreen* screen = window.screen();
        if (!screen)
            return;
        available = screen->availableGeometry();
    }
    const QRect inner = window.geometry();
    QMargins frame = frameOf(window);
    if (frame.isNull() && !window.isVisible())
        frame = QMargins(0, window.style()->pixelMetric(QStyle::PM_TitleBarHeight), 0, 0);
    const QSize least = window.minimumSize().expandedTo(window.minimumSizeHint()).grownBy(frame);
    const QRect fitted = fitWithin(inner.marginsAdded(frame), least, available);
    const QRect placed = fitted.marginsRemoved(frame);
    if (placed.size() != inner.size())
        window.resize(placed.size());
    if (placed.topLeft() != inner.topLeft())
        window.move(fitted.topLeft());
}

QRect placeFromTwips(int left, int top, int width, int height, const QRect& available) {
    QRect place(pixelsFromTwips(left), pixelsFromTwips(top),
                std::clamp(pixelsFromTwips(width), 320, 8000),
                std::clamp(pixelsFromTwips(height), 240, 8000));
    if (!available.isEmpty() && !available.intersects(place))
        place.moveTopLeft(available.topLeft());
    return place;
}

} // namespace zel

#pragma once
// Where the main window and the graph go when windows are arranged: the
// main window at the top of the screen's free area, the graph below it,
// both as wide as the main window, and both wholly on the screen whenever
// their smallest sizes allow it.
#include <QMargins>
#include <QRect>

namespace zel {

struct ArrangedWindow {
    QMargins frame;    // the window frame around the inner geometry
    int minimumHeight; // of the inner geometry
};

struct Arrangement {
    QRect main; // inner geometries, as setGeometry takes them
    QRect graph;
};

// `available`: the screen's available geometry; `mainFrame`: the main
// window's current frame geometry (its left and width are kept where they
// fit); `gap`: the layout unit the graph's share is reduced by.
Arrangement arrangeStacked(const QRect& available, const QRect& mainFrame, int gap,
                           const ArrangedWindow& main, const ArrangedWindow& graph);

} // namespace zel

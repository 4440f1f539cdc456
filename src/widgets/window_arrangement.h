#pragma once
// Where windows go: the main window and the graph stacked when windows are
// arranged, the graph's data list beside the graph, and the graph's own
// place as the settings keep it, in twips.
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace zel {

// Sizes and places kept in settings and column widths designed for the
// list are in twips, 15 to a pixel.
inline constexpr int TwipsPerPixel = 15;
constexpr int pixelsFromTwips(int twips) {
    return twips / TwipsPerPixel;
}
constexpr int twipsFromPixels(int pixels) {
    return pixels * TwipsPerPixel;
}

struct ArrangedWindow {
    QMargins frame;    // the window frame around the inner geometry
    int minimumHeight; // of the inner geometry
};

struct Arrangement {
    QRect main; // inner geometries, as setGeometry takes them
    QRect graph;
};

// The main window at the top of `available` (the screen's available
// geometry), the graph below it, both as wide as the main window, and both
// wholly on the screen whenever their smallest sizes allow it.
// `mainFrame`: the main window's current frame geometry (its left and width
// are kept where they fit); `gap`: the layout unit the graph's share is
// reduced by.
Arrangement arrangeStacked(const QRect& available, const QRect& mainFrame, int gap,
                           const ArrangedWindow& main, const ArrangedWindow& graph);

// The same for two windows, placed by their frames: `available` is the
// free area of the main window's screen when it is empty. A graph not shown
// yet has no frame of its own and is given the main window's.
void arrangeStacked(QWidget& main, QWidget& graph, int gap, QRect available = {});

// The top left corner for a window of `size` beside `ownerFrame`: to its
// right when there is room, else over its right edge, always within
// `available` (ignored when empty).
QPoint placeBeside(const QRect& ownerFrame, const QSize& size, const QRect& available);

// How wide a window must be for the title bar to show its whole title
// beside the window's icon and buttons.
int titleWidth(const QWidget& window);
// Makes `window` (its layout built, its title set) at least that wide, so a
// translated title is not cut ("Echtz…llen").
void makeRoomForTitle(QWidget& window);

// The frame `frame` moved, and where it must shrunk (never below
// `leastFrame`), so that it lies within `available`; `available` empty
// leaves it alone.
QRect fitWithin(const QRect& frame, const QSize& leastFrame, const QRect& available);

// Places `window` wholly within the available area of its screen (or
// `available` when given), frame and title bar included; a frame not known
// yet (the window is not shown) is taken to be a title bar's height.
void keepOnScreen(QWidget& window, QRect available = {});

// A window place kept in twips, as pixels: a damaged entry neither makes
// the window tiny or huge nor puts it out of reach of `available` (ignored
// when empty).
QRect placeFromTwips(int left, int top, int width, int height, const QRect& available);

} // namespace zel

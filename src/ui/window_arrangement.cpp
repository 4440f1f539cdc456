#include "ui/window_arrangement.h"

#include <algorithm>

namespace zel {

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

} // namespace zel

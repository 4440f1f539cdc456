#include "widgets/text_fit.h"

namespace zel {

bool surelyFits(const QString& text, const QFontMetrics& metrics, int width) {
    int advance = 4 * metrics.averageCharWidth();
    for (const QChar c : text) {
        if (c.unicode() > 0xFF || !c.isPrint())
            return false;
        advance += metrics.horizontalAdvance(c);
        if (advance > width)
            return false;
    }
    return advance <= width;
}

} // namespace zel

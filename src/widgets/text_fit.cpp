#include "widgets/text_fit.h"

namespace zel {

namespace {

int marginOf(const QFontMetrics& metrics) {
    return 4 * metrics.averageCharWidth();
}

// The sum of the margin and every character's advance stays within `width`;
// `advanceOf` gives a Latin-1 character's advance, or -1 for one that is not
// printed.
template <typename AdvanceOf>
bool sumFits(const QString& text, int margin, int width, AdvanceOf advanceOf) {
    int advance = margin;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
        const int own = advanceOf(c);
        if (own < 0)
            return false;
        advance += own;
        if (advance > width)
            return false;
    }
    return advance <= width;
}

} // namespace

bool surelyFits(const QString& text, const QFontMetrics& metrics, int width) {
    return sumFits(text, marginOf(metrics), width,
                   [&](QChar c) { return c.isPrint() ? metrics.horizontalAdvance(c) : -1; });
}

Latin1Advances::Latin1Advances(const QFontMetrics& metrics) : margin_(marginOf(metrics)) {
    for (int c = 0; c < 256; ++c)
        advance_[c] = QChar(c).isPrint() ? metrics.horizontalAdvance(QChar(c)) : -1;
}

bool Latin1Advances::surelyFits(const QString& text, int width) const {
    return sumFits(text, margin_, width, [this](QChar c) { return advance_[c.unicode()]; });
}

} // namespace zel

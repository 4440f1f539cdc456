#include "widgets/text_fit.h"

namespace zel {

namespace {
int marginOf(const QFontMetrics& metrics) {
    return 4 * metrics.averageCharWidth();
}
} // namespace

bool surelyFits(const QString& text, const QFontMetrics& metrics, int width) {
    int advance = marginOf(metrics);
    for (const QChar c : text) {
        if (c.unicode() > 0xFF || !c.isPrint())
            return false;
        advance += metrics.horizontalAdvance(c);
        if (advance > width)
            return false;
    }
    return advance <= width;
}

Latin1Advances::Latin1Advances(const QFontMetrics& metrics) : margin_(marginOf(metrics)) {
    for (int c = 0; c < 256; ++c)
        advance_[c] = QChar(c).isPrint() ? metrics.horizontalAdvance(QChar(c)) : -1;
}

bool Latin1Advances::surelyFits(const QString& text, int width) const {
    int advance = margin_;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF || advance_[c.unicode()] < 0)
            return false;
        advance += advance_[c.unicode()];
        if (advance > width)
            return false;
    }
    return advance <= width;
}

} // namespace zel

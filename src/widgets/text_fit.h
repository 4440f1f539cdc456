#pragma once
// Whether a text surely fits a width, learned without shaping it: the
// glyphs' own advances are summed, with a margin of four average characters
// for kerning and a label's insets. Shaping a read-out or a statistics line
// on every reading only to learn that it fits cost more than drawing it.
#include <QFontMetrics>
#include <QString>

namespace zel {

// True when `text`, drawn in `metrics`, surely takes no more than `width`
// pixels; false when it may not (then measure it). Latin-1 only: another
// script may be drawn by a fallback font of other advances and height.
bool surelyFits(const QString& text, const QFontMetrics& metrics, int width);

} // namespace zel

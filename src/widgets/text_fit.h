#pragma once
// Whether a text surely fits a width, learned without shaping it: the
// glyphs' own advances are summed, with a margin of four average characters
// for kerning and a label's insets. Shaping a read-out or a statistics line
// on every reading only to learn that it fits cost more than drawing it.
#include <QFontMetrics>
#include <QString>
#include <array>

namespace zel {

// True when `text`, drawn in `metrics`, surely takes no more than `width`
// pixels; false when it may not (then measure it). Latin-1 only: another
// script may be drawn by a fallback font of other advances and height.
bool surelyFits(const QString& text, const QFontMetrics& metrics, int width);

// The same check for a widget whose text changes often in one font: the
// advances of the Latin-1 characters are taken once, not looked up in the
// font for every character of every new text.
class Latin1Advances {
public:
    explicit Latin1Advances(const QFontMetrics& metrics);
    bool surelyFits(const QString& text, int width) const;

private:
    std::array<int, 256> advance_{};
    int margin_ = 0;
};

} // namespace zel

#pragma once
// Holds a word-wrapped label in a window's layout. A new text on a
// word-wrapped QLabel makes the window lay out again, and each pass measures
// the label several times, each time laying its text out anew: with the
// graph following live readings, the statistics line did that on every
// reading. The holder has no layout of its own; it gives the label its
// whole area and asks the window for room again only when the label needs
// another height at its width (a line more or fewer).
#include <QString>
#include <QWidget>

class QLabel;

namespace zel::graph {

class WrappedLabelHolder : public QWidget {
    Q_OBJECT
public:
    // Takes `label` in, with its size policy.
    explicit WrappedLabelHolder(QLabel* label, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Asks the window for room when the label's needs changed.
    void followLabel();
    // True when the label's text surely stays on one line at `width`.
    bool surelyOneLine(int width) const;
    // The label's height at the holder's `width`, as a layout measures it.
    int labelHeightAt(int width) const;

    QLabel* label_;
    int height_ = -1; // the label's height at the holder's width, as last told
    // The height of one line of the label's text, measured at oneLineWidth_
    // in the font of oneLineFontKey_ (-1: not measured).
    mutable int oneLineHeight_ = -1;
    mutable int oneLineWidth_ = -1;
    mutable QString oneLineFontKey_;
};

} // namespace zel::graph

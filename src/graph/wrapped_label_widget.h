#pragma once
// Holds a word-wrapped label in a window's layout. A new text on a
// word-wrapped QLabel makes the window lay out again, and each pass measures
// the label several times, each time laying its text out anew: with the
// graph following live readings, the statistics line did that on every
// reading. The holder has no layout of its own; it gives the label its
// whole area and asks the window for room again only when the label needs
// another height at its width (a line more or fewer).
#include <QLabel>
#include <QString>
#include <QTextDocument>
#include <QWidget>

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

// A word-wrapped label of plain text that is given a new text again and
// again, as the statistics line is while the graph follows live readings.
// QLabel lays each new text out five times over (filled in, aligned, its
// margin, its width, then measured at a width and put back) before it draws
// it once; this one keeps its own document, fills it once per text and
// measures and draws from that one layout. The picture is QLabel's: the
// same document settings, palette and place. Whatever this does not follow
// (a selection or focus, rich text, a frame, a margin, an indent, a buddy,
// a style sheet) is left to QLabel.
class PlainWrappedLabel : public QLabel {
    Q_OBJECT
public:
    explicit PlainWrappedLabel(QWidget* parent = nullptr);
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // True when the label is drawn and measured from its own document.
    bool drawsItself() const;
    // The document holding the label's text, laid out `width` wide.
    const QTextDocument& laidOut(int width) const;

    mutable QTextDocument document_;
    mutable QString documentText_;
    mutable bool filled_ = false;
};

} // namespace zel::graph

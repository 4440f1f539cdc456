#pragma once
// A read-out label that never asks its window for more room: a text wider
// than the label is shown with its leading number in exponent form, or cut
// with an ellipsis, and the whole text stays in the tool tip and in what a
// screen reader hears.
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <optional>
#include <utility>
#include <vector>

#include "widgets/text_fit.h"

class QTimer;

namespace zel {

// `text` as it fits into `width` pixels of `metrics`: unchanged when it
// fits; else with its leading number written as "0.00E+00"; else elided.
QString fittedText(const QString& text, const QFontMetrics& metrics, int width);

class FittedLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittedLabel(QWidget* parent = nullptr);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    // The tool tip shown while the whole text fits.
    void setRestingToolTip(const QString& tip);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fit();
    // Shows `shown`, repainting only where it differs from the text shown.
    void showText(const QString& shown);
    // Asks for the repaint that takes the pixels from drawnText_ to the
    // text shown now.
    void decideRepaint();
    // The columns that a change of digits for digits from `before` to
    // `after` repaints; an empty rectangle for any other change.
    QRect changedDigitsArea(const QString& before, const QString& after);
    // Whether QLabel draws `shown` as one plain line of glyphs side by side.
    bool drawnAsPlainLine(const QString& shown) const;
    // Where and how QLabel aligns such a line.
    QRect textArea() const;
    Qt::Alignment textAlignment() const;
    // Measures where the characters of `shown` lie in the label.
    void placeText(const QString& shown);
    // What the places depend on besides the font.
    struct Placement {
        QRect contents;
        int alignment = 0, indent = 0, margin = 0;
        bool operator==(const Placement&) const = default;
    };
    Placement placement() const;
    // How far past its advance a digit of the font may draw, in pixels;
    // `none` when the digits differ in width.
    int digitReach() const;
    static constexpr int unmeasured = -2, none = -1;
    bool keptApart(QChar left, QChar right) const;
    // After a new size or margins the places are measured again; after a
    // new font or style also what the font does with digits and pairs.
    void forgetPlaces(bool fontToo);
    // Lets a FittedLabelHolder holding the label take its new hints.
    void followedByHolder();
    // The heights of QLabel's size hint and minimum size hint for the text
    // shown now.
    QSize labelHintHeights() const;
    QString full_;
    QString restingTip_;
    // labelHintHeights() of one line of Latin-1 text, once measured: -1
    // while not measured in the current font, style and margins.
    mutable QSize lineHeights_{-1, -1};
    mutable int lineHeightsMinimum_ = -1; // the minimum height they were measured with
    mutable int hintWidth_ = -1;          // the hint's width in this font; -1: not measured
    // The text whose character edges (x in the label) placedEdges_ holds;
    // empty when not measured.
    QString placedText_;
    // The text the pixels show, or will show once the repaints asked for
    // are done, while a repaint is undecided.
    QString drawnText_;
    bool repaintUndecided_ = false;
    QTimer* repaintTimer_ = nullptr;  // decides after the turn; made when first needed
    QPointer<QWidget> watchedWindow_; // whose paints decide the repaint
    std::vector<qreal> placedEdges_;
    std::pair<int, int> placedRows_; // the first and last row of its line
    Placement placedFor_;
    mutable int digitReach_ = unmeasured;
    mutable QHash<quint32, bool> pairsKeptApart_;
    std::optional<Latin1Advances> advances_; // of the font; empty until asked
};

// Holds one FittedLabel in a window's layout. QLabel asks its parent's
// layout to lay out again on every new text, and in the main window that is
// a pass over every widget for each reading, though a fitted label's size
// hints do not follow its text. The holder's own layout gives the label its
// whole area and has the holder ask the window for room again only when the
// label's hints or limits really change.
class FittedLabelHolder : public QWidget {
    Q_OBJECT
public:
    // Takes `label` in, with the limits and size policy set on it so far.
    explicit FittedLabelHolder(FittedLabel* label, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Takes the label's hints and limits again and asks the window for
    // room when they changed. The label calls it after a new text or a
    // change of font, style or margins, which reach the holder no other
    // way while the window is hidden.
    void followLabel();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    FittedLabel* label_;
    QSize hint_, minimumHint_;
};

} // namespace zel

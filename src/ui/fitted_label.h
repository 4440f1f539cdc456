#pragma once
// A read-out label that never asks its window for more room: a text wider
// than the label is shown with its leading number in exponent form, or cut
// with an ellipsis, and the whole text stays in the tool tip and in what a
// screen reader hears.
#include <QLabel>

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

private:
    void fit();
    // The heights of QLabel's size hint and minimum size hint for the text
    // shown now.
    QSize labelHintHeights() const;
    QString full_;
    QString restingTip_;
    // labelHintHeights() of one line of Latin-1 text, once measured: -1
    // while not measured in the current font, style and margins.
    mutable QSize lineHeights_{-1, -1};
    mutable int lineHeightsMinimum_ = -1; // the minimum height they were measured with
};

} // namespace zel

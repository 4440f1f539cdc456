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

private:
    void fit();
    QString full_;
    QString restingTip_;
};

} // namespace zel

#include "graph/wrapped_label_widget.h"

#include "widgets/text_fit.h"

#include <QEvent>
#include <QLabel>
#include <QWidgetItem>

namespace zel::graph {

WrappedLabelHolder::WrappedLabelHolder(QLabel* label, QWidget* parent)
    : QWidget(parent), label_(label) {
    label_->setParent(this);
    setSizePolicy(label_->sizePolicy());
}

// Measured as a layout measures the label, so the window looks as it did
// with the label in its place.
QSize WrappedLabelHolder::sizeHint() const {
    return QWidgetItem(label_).sizeHint();
}

QSize WrappedLabelHolder::minimumSizeHint() const {
    return QWidgetItem(label_).minimumSize();
}

int WrappedLabelHolder::heightForWidth(int width) const {
    return labelHeightAt(width);
}

bool WrappedLabelHolder::event(QEvent* event) {
    // The label's updateGeometry() ends here, as its parent has no layout.
    if (event->type() == QEvent::LayoutRequest)
        followLabel();
    return QWidget::event(event);
}

void WrappedLabelHolder::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QWidgetItem item(label_);
    item.setGeometry(rect());
    height_ = item.heightForWidth(width());
}

bool WrappedLabelHolder::surelyOneLine(int width) const {
    // An empty label has no line at all.
    return !label_->text().isEmpty() && surelyFits(label_->text(), label_->fontMetrics(), width);
}

int WrappedLabelHolder::labelHeightAt(int width) const {
    // A new text that still fits one line needs the line's height, known
    // already: laying the text out to learn it cost more than drawing it,
    // and the window's layout asks for it on every new text.
    const bool oneLine = surelyOneLine(width);
    if (oneLine && oneLineHeight_ >= 0 && oneLineWidth_ == width &&
        oneLineFontKey_ == label_->font().key())
        return oneLineHeight_;
    const int height = QWidgetItem(label_).heightForWidth(width);
    if (oneLine) {
        oneLineHeight_ = height;
        oneLineWidth_ = width;
        oneLineFontKey_ = label_->font().key();
    }
    return height;
}

void WrappedLabelHolder::followLabel() {
    // Only the height at the width the label has is asked here: a wrapped
    // label's minimum lays its text out at the narrowest width, which cost
    // more than all the rest. The minimum (its longest word) is taken again
    // whenever the window lays out for another reason.
    const int height = labelHeightAt(width());
    if (height == height_)
        return;
    height_ = height;
    updateGeometry();
}

} // namespace zel::graph

#include "graph/wrapped_label_widget.h"

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
    return QWidgetItem(label_).heightForWidth(width);
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

void WrappedLabelHolder::followLabel() {
    // Only the height at the width the label has is asked here: a wrapped
    // label's minimum lays its text out at the narrowest width, which cost
    // more than all the rest. The minimum (its longest word) is taken again
    // whenever the window lays out for another reason.
    const int height = QWidgetItem(label_).heightForWidth(width());
    if (height == height_)
        return;
    height_ = height;
    updateGeometry();
}

} // namespace zel::graph

#include "graph/wrapped_label_widget.h"

#include <QEvent>
#include <QFontMetrics>
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

bool WrappedLabelHolder::surelyOneLine(int width) const {
    // Summed from the glyphs' own advances, which needs no shaping of the
    // whole text; the margin covers kerning and the label's own insets.
    // Only Latin-1 text: another script may come from a font of another
    // height.
    const QFontMetrics metrics(label_->font());
    int advance = 0;
    for (const QChar c : label_->text()) {
        if (c.unicode() > 0xff || !c.isPrint())
            return false;
        advance += metrics.horizontalAdvance(c);
    }
    return advance + 4 * metrics.averageCharWidth() <= width;
}

void WrappedLabelHolder::followLabel() {
    // Only the height at the width the label has is asked here: a wrapped
    // label's minimum lays its text out at the narrowest width, which cost
    // more than all the rest. The minimum (its longest word) is taken again
    // whenever the window lays out for another reason.
    const int width = this->width();
    const bool oneLine = surelyOneLine(width);
    const bool measured =
        oneLineHeight_ >= 0 && oneLineWidth_ == width && oneLineFont_ == label_->font();
    // A new text that still fits one line needs the line's height, known
    // already: laying the text out to learn it cost more than drawing it.
    const int height =
        oneLine && measured ? oneLineHeight_ : QWidgetItem(label_).heightForWidth(width);
    if (oneLine && !measured) {
        oneLineHeight_ = height;
        oneLineWidth_ = width;
        oneLineFont_ = label_->font();
    }
    if (height == height_)
        return;
    height_ = height;
    updateGeometry();
}

} // namespace zel::graph

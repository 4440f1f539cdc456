#include "graph/wrapped_label_widget.h"

#include "widgets/text_fit.h"

#include <QAbstractTextDocumentLayout>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QWidgetItem>
#include <algorithm>
#include <cmath>

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

// ---------------------------------------------------------------- label

PlainWrappedLabel::PlainWrappedLabel(QWidget* parent) : QLabel(parent) {
    setWordWrap(true);
    // As QLabel sets up the document it draws a text label from: no margin
    // around the text (kept when a new text replaces the old).
    document_.setUndoRedoEnabled(false);
    document_.setDocumentMargin(0);
}

bool PlainWrappedLabel::drawsItself() const {
    const bool plain = textFormat() == Qt::PlainText ||
                       (textFormat() == Qt::AutoText && !Qt::mightBeRichText(text()));
    // An empty label is left to QLabel, which knows whether it ever held
    // a text.
    return plain && !text().isEmpty() && wordWrap() && margin() == 0 && indent() <= 0 &&
           frameWidth() == 0 && !buddy() && !hasFocus() && !hasSelectedText() &&
           pixmap().isNull() && picture().isNull() && !movie() &&
           !style()->inherits("QStyleSheetStyle");
}

const QTextDocument& PlainWrappedLabel::laidOut(int width) const {
    if (document_.defaultFont() != font())
        document_.setDefaultFont(font());
    // QLabel aligns its document with all its flags, the wrap among them;
    // the option keeps only the alignment's part, so that is compared.
    // Setting an option lays the text out again.
    QTextOption wanted = document_.defaultTextOption();
    wanted.setAlignment(Qt::Alignment(int(alignment()) | Qt::TextWordWrap | Qt::TextExpandTabs));
    wanted.setWrapMode(QTextOption::WordWrap);
    const QTextOption& held = document_.defaultTextOption();
    if (held.alignment() != wanted.alignment() || held.wrapMode() != wanted.wrapMode())
        document_.setDefaultTextOption(wanted);
    if (!filled_ || documentText_ != text()) {
        documentText_ = text();
        document_.setPlainText(documentText_);
        filled_ = true;
    }
    if (document_.textWidth() != width)
        document_.setTextWidth(width);
    return document_;
}

int PlainWrappedLabel::heightForWidth(int width) const {
    if (width < 0 || !drawsItself())
        return QLabel::heightForWidth(width);
    // As QLabel measures it: the document at the width inside the margins,
    // rounded up, and never below the label's minimum.
    width = std::max(width, minimumWidth());
    const QMargins m = contentsMargins();
    const double height = laidOut(std::max(width - m.left() - m.right(), 0)).size().height();
    return std::max(int(std::ceil(height)) + m.top() + m.bottom(), minimumHeight());
}

void PlainWrappedLabel::paintEvent(QPaintEvent* event) {
    if (!drawsItself()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect cr = contentsRect();
    const QTextDocument& document = laidOut(cr.width());
    // Vertically placed as QLabel places its document.
    const double textHeight = document.documentLayout()->documentSize().height();
    double top = 0;
    if (alignment() & Qt::AlignVCenter)
        top = std::max((cr.height() - textHeight) / 2, 0.0);
    else if (alignment() & Qt::AlignBottom)
        top = std::max(cr.height() - textHeight, 0.0);
    const QRectF place = QRectF(cr.x(), top + cr.y(), cr.width(), cr.height()).toAlignedRect();
    QStyleOption option;
    option.initFrom(this);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = option.palette;
    if (foregroundRole() != QPalette::Text && isEnabled())
        context.palette.setColor(QPalette::Text, context.palette.color(foregroundRole()));
    painter.translate(place.topLeft());
    painter.setClipRect(place.translated(-place.x(), -place.y()));
    document.documentLayout()->draw(&painter, context);
}

} // namespace zel::graph

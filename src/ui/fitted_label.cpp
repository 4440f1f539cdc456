#include "ui/fitted_label.h"

#include "common/text.h"
#include "widgets/text_fit.h"

#include <QEvent>
#include <QLayoutItem>
#include <QResizeEvent>
#include <cmath>

namespace zel {

QString fittedText(const QString& text, const QFontMetrics& metrics, int width) {
    if (surelyFits(text, metrics, width) || metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype space = text.indexOf(QLatin1Char(' '));
    const QString number = space < 0 ? text : text.left(space);
    bool isNumber = false;
    const double value = number.toDouble(&isNumber);
    if (isNumber && std::isfinite(value)) {
        const QString shorter = formatPicture(value, QStringLiteral("0.00E+00")) +
                                (space < 0 ? QString() : text.mid(space));
        if (metrics.horizontalAdvance(shorter) <= width)
            return shorter;
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

FittedLabel::FittedLabel(QWidget* parent) : QLabel(parent) {
    // The label takes the width the layout gives; its text never widens it.
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

void FittedLabel::setFullText(const QString& text) {
    if (text == full_)
        return;
    full_ = text;
    fit();
}

void FittedLabel::setRestingToolTip(const QString& tip) {
    restingTip_ = tip;
    fit();
}

namespace {

// One line of text that the label's own font draws: its height is the same
// whatever the characters.
bool isPlainLine(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c.unicode() > 0xFF || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return false;
    return true;
}

} // namespace

QSize FittedLabel::labelHintHeights() const {
    // Every new text asks the window's layout again for the hints, and
    // QLabel lays the whole text out to answer: for a read-out that changes
    // ten times a second, that was a fifth of the window's work.
    const bool plain = isPlainLine(text());
    if (plain && lineHeights_.width() >= 0 && lineHeightsMinimum_ == minimumHeight())
        return lineHeights_;
    const QSize heights(QLabel::sizeHint().height(), QLabel::minimumSizeHint().height());
    if (plain) {
        lineHeights_ = heights;
        lineHeightsMinimum_ = minimumHeight();
    }
    return heights;
}

QSize FittedLabel::sizeHint() const {
    // Measured once per font: the holder asks for the hint on every text.
    if (hintWidth_ < 0)
        hintWidth_ = fontMetrics().horizontalAdvance(QStringLiteral("0000000000"));
    return {hintWidth_, labelHintHeights().width()};
}

QSize FittedLabel::minimumSizeHint() const {
    return {0, labelHintHeights().height()};
}

void FittedLabel::changeEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::ContentsRectChange:
        lineHeights_ = QSize(-1, -1);
        hintWidth_ = -1;
        QLabel::changeEvent(event);
        followedByHolder();
        return;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

void FittedLabel::followedByHolder() {
    if (auto* holder = qobject_cast<FittedLabelHolder*>(parentWidget()))
        holder->followLabel();
}

void FittedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void FittedLabel::fit() {
    const int room = contentsRect().width() - 2 * margin() - indent();
    const QString shown = fittedText(full_, fontMetrics(), std::max(room, 0));
    if (shown != text()) {
        setText(shown);
        // An empty label and one line of text differ in height, and the
        // holder hears of it only here while the window is hidden.
        followedByHolder();
    }
    const bool cut = shown != full_;
    // Both send an event to the label and to a screen reader even when
    // nothing changes, as most readings do not.
    const QString tip = cut ? full_ : restingTip_;
    if (toolTip() != tip)
        setToolTip(tip);
    // The label's own text is its name; a shortened one names the whole.
    const QString name = cut ? full_ : QString();
    if (accessibleName() != name)
        setAccessibleName(name);
}

FittedLabelHolder::FittedLabelHolder(FittedLabel* label, QWidget* parent)
    : QWidget(parent), label_(label) {
    label_->setParent(this);
    followLabel();
}

// The label is measured and placed as a layout would place it in the
// holder's area, so the window looks as it did with the label in its grid.
QSize FittedLabelHolder::sizeHint() const {
    return QWidgetItem(label_).sizeHint();
}

QSize FittedLabelHolder::minimumSizeHint() const {
    return QWidgetItem(label_).minimumSize();
}

bool FittedLabelHolder::event(QEvent* event) {
    // The label's updateGeometry() ends here, as its parent has no layout.
    if (event->type() == QEvent::LayoutRequest)
        followLabel();
    return QWidget::event(event);
}

void FittedLabelHolder::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    QWidgetItem(label_).setGeometry(rect());
}

void FittedLabelHolder::followLabel() {
    // Each setter asks the window's layout again only when its value changes.
    const QWidgetItem item(label_);
    setSizePolicy(label_->sizePolicy());
    setMinimumSize(item.minimumSize());
    setMaximumSize(item.maximumSize());
    const QSize hint = item.sizeHint();
    const QSize minimumHint = item.minimumSize();
    if (hint == hint_ && minimumHint == minimumHint_)
        return;
    hint_ = hint;
    minimumHint_ = minimumHint;
    updateGeometry();
}

} // namespace zel

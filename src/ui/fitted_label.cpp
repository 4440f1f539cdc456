#include "ui/fitted_label.h"

#include "common/text.h"

#include <QResizeEvent>
#include <cmath>

namespace zel {

QString fittedText(const QString& text, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(text) <= width)
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

QSize FittedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("0000000000")),
            QLabel::sizeHint().height()};
}

QSize FittedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void FittedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void FittedLabel::fit() {
    const int room = contentsRect().width() - 2 * margin() - indent();
    const QString shown = fittedText(full_, fontMetrics(), std::max(room, 0));
    if (shown != text())
        setText(shown);
    const bool cut = shown != full_;
    setToolTip(cut ? full_ : restingTip_);
    // The label's own text is its name; a shortened one names the whole.
    setAccessibleName(cut ? full_ : QString());
}

} // namespace zel

#include "ui/fitted_label.h"

#include "common/text.h"
#include "widgets/text_fit.h"

#include <QEvent>
#include <QLayout>
#include <QLayoutItem>
#include <QMovie>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QTimer>
#include <cmath>
#include <memory>

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
bool isLatin1Line(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0xFF || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return false;
    return true;
}

// Such a line that shows something: an empty label is lower.
bool isPlainLine(const QString& text) {
    return !text.isEmpty() && isLatin1Line(text);
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
        forgetPlaces(event->type() != QEvent::ContentsRectChange);
        QLabel::changeEvent(event);
        followedByHolder();
        return;
    default:
        break;
    }
    QLabel::changeEvent(event);
}

void FittedLabel::forgetPlaces(bool fontToo) {
    placedText_.clear();
    if (fontToo) {
        digitReach_ = unmeasured;
        advances_.reset();
        pairsKeptApart_.clear();
    }
}

void FittedLabel::followedByHolder() {
    if (auto* holder = qobject_cast<FittedLabelHolder*>(parentWidget()))
        holder->followLabel();
}

void FittedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    forgetPlaces(false);
    fit();
}

void FittedLabel::fit() {
    const int room = contentsRect().width() - 2 * margin() - indent();
    // Most readings surely fit: that is learned from the font's advances,
    // taken once, before any measuring.
    if (!advances_)
        advances_.emplace(fontMetrics());
    const QString shown = advances_->surelyFits(full_, room)
                              ? full_
                              : fittedText(full_, fontMetrics(), std::max(room, 0));
    if (shown != text()) {
        showText(shown);
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

void FittedLabel::showText(const QString& shown) {
    // QLabel repaints its whole area for a new text. For the value read-out
    // that is a panel of a quarter of a million pixels filled and a row of
    // large glyphs blended ten times a second, where a new reading mostly
    // changes a few digits. The text is taken with updates held back (the
    // flag alone: setUpdatesEnabled(true) would repaint everything), and a
    // change of digits for digits repaints only their columns.
    const QString before = text();
    const bool held = !updatesEnabled();
    setAttribute(Qt::WA_UpdatesDisabled, true);
    setText(shown);
    setAttribute(Qt::WA_UpdatesDisabled, held);
    if (held)
        return;
    if (!repaintUndecided_)
        drawnText_ = before;
    repaintUndecided_ = true;
    // A reading passes the status through several texts in one turn of the
    // event loop: cleared, "Instrument Succesfully Connected", then the
    // reading's time. The repaint is decided once, when the window is about
    // to paint, against the text the pixels show, so a new second repaints
    // a digit or two, not the line. Should nothing else ask the window to
    // paint, a zero timer, which wakes nothing, decides after the turn.
    if (QWidget* top = window(); top != watchedWindow_) {
        if (watchedWindow_)
            watchedWindow_->removeEventFilter(this);
        top->installEventFilter(this);
        watchedWindow_ = top;
    }
    if (!repaintTimer_) {
        repaintTimer_ = new QTimer(this);
        repaintTimer_->setSingleShot(true);
        repaintTimer_->setInterval(0);
        connect(repaintTimer_, &QTimer::timeout, this, &FittedLabel::decideRepaint);
    }
    if (!repaintTimer_->isActive())
        repaintTimer_->start();
}

bool FittedLabel::eventFilter(QObject* watched, QEvent* event) {
    // Updates asked for here still join the paint that is about to begin.
    if (event->type() == QEvent::UpdateRequest)
        decideRepaint();
    return QLabel::eventFilter(watched, event);
}

void FittedLabel::decideRepaint() {
    if (!repaintUndecided_)
        return;
    repaintUndecided_ = false;
    if (repaintTimer_)
        repaintTimer_->stop();
    const QString shown = text();
    if (shown == drawnText_)
        return;
    const QRect changed = changedDigitsArea(drawnText_, shown);
    if (changed.isEmpty()) {
        placedText_.clear();
        update();
    } else {
        placedText_ = shown;
        update(changed);
    }
}

namespace {

// Plain text of one line that QLabel draws as is, left to right, character
// after character: Latin-1 without markup QLabel might take for rich text.
bool drawnCharacterByCharacter(const QString& text) {
    return isLatin1Line(text) && !text.contains(QLatin1Char('<')) &&
           !text.contains(QLatin1Char('&'));
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

int FittedLabel::digitReach() const {
    if (digitReach_ == unmeasured) {
        // How far a digit's ink reaches out of its advance and its line,
        // whole pixels and one more for where the text starts between
        // pixels; or none when digits differ in width and a change moves
        // the rest.
        const QFontMetricsF metrics(font());
        const qreal advance = metrics.horizontalAdvance(QLatin1Char('0'));
        qreal reach = 0;
        for (char digit = '0'; digit <= '9'; ++digit) {
            if (metrics.horizontalAdvance(QLatin1Char(digit)) != advance) {
                digitReach_ = none;
                return digitReach_;
            }
            // Also above the ascent or below the descent of the line.
            const QRectF ink = metrics.boundingRect(QLatin1Char(digit));
            reach = std::max({reach, -ink.left(), ink.right() - advance,
                              -ink.top() - metrics.ascent(), ink.bottom() - metrics.descent()});
        }
        digitReach_ = int(std::ceil(reach)) + 1;
    }
    return digitReach_;
}

bool FittedLabel::keptApart(QChar left, QChar right) const {
    // Whether the font draws the pair side by side, neither kerned nor
    // joined: asked once per pair and font.
    const quint32 key = (quint32(left.unicode()) << 16) | right.unicode();
    const auto known = pairsKeptApart_.constFind(key);
    if (known != pairsKeptApart_.cend())
        return *known;
    const QFontMetricsF metrics(font());
    const bool apart = metrics.horizontalAdvance(QString(left) + right) ==
                       metrics.horizontalAdvance(left) + metrics.horizontalAdvance(right);
    pairsKeptApart_.insert(key, apart);
    return apart;
}

FittedLabel::Placement FittedLabel::placement() const {
    return {contentsRect(), int(alignment()), indent(), margin()};
}

Qt::Alignment FittedLabel::textAlignment() const {
    return QStyle::visualAlignment(Qt::LeftToRight, alignment());
}

QRect FittedLabel::textArea() const {
    // The rectangle QLabel lays its text out in, found as QLabel finds it.
    QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const Qt::Alignment align = textAlignment();
    int inset = indent();
    if (inset < 0 && frameWidth())
        inset = fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 - margin();
    if (inset > 0) {
        if (align & Qt::AlignLeft)
            area.setLeft(area.left() + inset);
        if (align & Qt::AlignRight)
            area.setRight(area.right() - inset);
    }
    return area;
}

bool FittedLabel::drawnAsPlainLine(const QString& shown) const {
    return drawnCharacterByCharacter(shown) && textFormat() != Qt::RichText &&
           !(textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard)) &&
           !wordWrap() && pixmap().isNull() && !movie() && !buddy();
}

void FittedLabel::paintEvent(QPaintEvent* event) {
    // A repaint of changed digits lies inside the frame, where QLabel would
    // draw the whole frame again only to have it clipped away: for the
    // value's sunken panel, a fifth of such a repaint. Inside, the label
    // draws its text as QLabel draws a plain line.
    if (frameWidth() == 0 || !contentsRect().contains(event->rect()) || !drawnAsPlainLine(text())) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, textArea(), int(textAlignment()) | Qt::TextForceLeftToRight,
                          option.palette, isEnabled(), text(), foregroundRole());
}

void FittedLabel::placeText(const QString& shown) {
    const QRect line =
        style()->itemTextRect(fontMetrics(), textArea(),
                              int(textAlignment()) | Qt::TextForceLeftToRight, isEnabled(), shown);
    const int left = line.left();
    placedRows_ = {line.top(), line.bottom()};
    QTextLayout layout(shown, font());
    layout.beginLayout();
    const QTextLine laidOut = layout.createLine();
    layout.endLayout();
    placedEdges_.resize(shown.size() + 1);
    for (qsizetype i = 0; i <= shown.size(); ++i)
        placedEdges_[i] = left + laidOut.cursorToX(int(i));
    placedText_ = shown;
    placedFor_ = placement();
}

QRect FittedLabel::changedDigitsArea(const QString& before, const QString& after) {
    if (before.size() != after.size() || before.isEmpty() || !drawnAsPlainLine(after) ||
        digitReach() == none)
        return {};
    // Every character that changes is a digit for a digit, and neither it
    // nor its neighbours are kerned against it: then every glyph keeps its
    // place, and only the changed ones need drawing again.
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (before[i] == after[i])
            continue;
        if (!isAsciiDigit(before[i]) || !isAsciiDigit(after[i]))
            return {};
        for (const QString* text : {&before, &after})
            if ((i > 0 && !keptApart(text->at(i - 1), text->at(i))) ||
                (i + 1 < text->size() && !keptApart(text->at(i), text->at(i + 1))))
                return {};
        if (first < 0)
            first = i;
        last = i;
    }
    if (first < 0)
        return {};
    // Measured once for a text; while digits change, its places hold.
    if (placedText_ != before || placedFor_ != placement())
        placeText(before);
    const int reach = digitReach();
    return QRect(QPoint(int(placedEdges_[first]) - reach, placedRows_.first - reach),
                 QPoint(int(placedEdges_[last + 1]) + reach, placedRows_.second + reach))
        .intersected(contentsRect());
}

namespace {

// The holder's layout places the label over the whole holder and, when the
// label's hints may have changed (QLabel says so for every new text), has
// the holder follow them at once. A parent without a layout is posted a
// layout request instead, and each post wakes the event loop: for two
// read-outs that was two wake-ups and their system calls per reading.
class HolderLayout final : public QLayout {
public:
    HolderLayout(FittedLabelHolder* holder, FittedLabel* label)
        : holder_(holder), item_(std::make_unique<QWidgetItem>(label)) {
        setContentsMargins(0, 0, 0, 0);
        // The holder sets its own limits from the label's.
        setSizeConstraint(QLayout::SetNoConstraint);
    }
    void addItem(QLayoutItem* item) override { delete item; } // holds its label only
    int count() const override { return item_ ? 1 : 0; }
    QLayoutItem* itemAt(int index) const override { return index == 0 ? item_.get() : nullptr; }
    QLayoutItem* takeAt(int index) override { return index == 0 ? item_.release() : nullptr; }
    QSize sizeHint() const override { return item_ ? item_->sizeHint() : QSize(); }
    QSize minimumSize() const override { return item_ ? item_->minimumSize() : QSize(); }
    QSize maximumSize() const override {
        return item_ ? item_->maximumSize() : QLayout::maximumSize();
    }
    // The window lays the holder out as it would the label: a layout
    // grows in both directions unless it says otherwise.
    Qt::Orientations expandingDirections() const override {
        return item_ ? item_->expandingDirections() : Qt::Orientations();
    }
    bool hasHeightForWidth() const override { return item_ && item_->hasHeightForWidth(); }
    int heightForWidth(int width) const override {
        return item_ ? item_->heightForWidth(width) : -1;
    }
    void setGeometry(const QRect& rect) override {
        QLayout::setGeometry(rect);
        if (item_)
            item_->setGeometry(rect);
    }
    void invalidate() override {
        // No layout request is posted: the holder asks its window for room
        // itself, and only when the label's hints or limits changed.
        if (!item_)
            return;
        item_->invalidate();
        holder_->followLabel();
    }

private:
    FittedLabelHolder* holder_;
    std::unique_ptr<QWidgetItem> item_;
};

} // namespace

FittedLabelHolder::FittedLabelHolder(FittedLabel* label, QWidget* parent)
    : QWidget(parent), label_(label) {
    label_->setParent(this);
    setLayout(new HolderLayout(this, label_));
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

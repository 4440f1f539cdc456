#include "widgets/accelerators.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <functional>
#include <vector>

namespace zel {

namespace {

// Index of the character a lone '&' marks, or -1 ("&&" is a plain '&').
qsizetype markedIndex(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] == u'&') {
            ++i;
            continue;
        }
        return i + 1;
    }
    return -1;
}

bool usable(QChar c) {
    return c.isLetterOrNumber();
}

// Qt matches a mnemonic by the upper case of its character.
QChar keyOf(QChar c) {
    return c.toUpper();
}

struct Item {
    QString caption;
    std::function<void(const QString&)> setCaption;
    bool command; // a button or menu entry; labels and boxes yield to them
    // False for a frame's title: it keeps a key it was given but is not
    // given one (a frame is no command, and letters are few).
    bool mayTake = true;
};

// Where a caption may take its key, best first: the first letters of its
// words, its other letters and digits, then, for a command only, any other
// sign ("<-"). A label's underlined colon reads as a smudge, not a key, and
// its field is reached with Tab as well.
std::vector<qsizetype> candidates(const QString& plain, bool anySign) {
    std::vector<qsizetype> order;
    auto add = [&](auto wanted) {
        for (qsizetype k = 0; k < plain.size(); ++k) {
            const QChar c = plain[k];
            if (c == u'&' || c.isSpace() || !c.isPrint() || !wanted(k))
                continue;
            if (std::none_of(order.begin(), order.end(),
                             [&](qsizetype o) { return keyOf(plain[o]) == keyOf(c); }))
                order.push_back(k);
        }
    };
    add([&](qsizetype k) { return usable(plain[k]) && (k == 0 || !usable(plain[k - 1])); });
    add([&](qsizetype k) { return usable(plain[k]); });
    if (anySign)
        add([](qsizetype) { return true; });
    return order;
}

// One window or one menu: keeps given keys while they are free, then gives
// as many of the others a key as the captions allow (a later caption may
// move an earlier one to its next choice rather than go without).
void assignScope(std::vector<Item>& items) {
    const size_t n = items.size();
    std::vector<QString> plain(n);
    std::vector<qsizetype> chosen(n, -1);
    QSet<QChar> given;
    for (size_t i = 0; i < n; ++i) {
        const QString& caption = items[i].caption;
        const qsizetype marked = markedIndex(caption);
        plain[i] = marked < 0 ? caption : QString(caption).remove(marked - 1, 1);
        if (marked >= 0)
            chosen[i] = marked - 1; // the index in the plain caption
    }
    // Given keys: commands first, then labels and boxes.
    for (const bool commands : {true, false}) {
        for (size_t i = 0; i < n; ++i) {
            if (items[i].command != commands || chosen[i] < 0)
                continue;
            const QChar c = plain[i][chosen[i]];
            if (usable(c) && !given.contains(keyOf(c)))
                given.insert(keyOf(c));
            else
                chosen[i] = -2; // taken: find another
        }
    }
    // The rest by augmenting paths over their candidates.
    std::vector<std::vector<qsizetype>> options(n);
    for (size_t i = 0; i < n; ++i)
        if (chosen[i] < 0 && items[i].mayTake)
            options[i] = candidates(plain[i], items[i].command);
    QHash<QChar, size_t> owner;
    QSet<QChar> visited;
    std::function<bool(size_t)> place = [&](size_t i) {
        for (const qsizetype k : options[i]) {
            const QChar key = keyOf(plain[i][k]);
            if (given.contains(key) || visited.contains(key))
                continue;
            visited.insert(key);
            const auto held = owner.constFind(key);
            if (held == owner.constEnd() || place(*held)) {
                owner[key] = i;
                chosen[i] = k;
                return true;
            }
        }
        return false;
    };
    for (const bool commands : {true, false}) {
        for (size_t i = 0; i < n; ++i) {
            if (items[i].command != commands || chosen[i] >= 0)
                continue;
            visited.clear();
            if (!place(i))
                chosen[i] = -1;
        }
    }
    for (size_t i = 0; i < n; ++i) {
        QString caption = plain[i];
        if (chosen[i] >= 0)
            caption.insert(chosen[i], u'&');
        if (caption != items[i].caption)
            items[i].setCaption(caption);
    }
}

void assignMenu(QMenu* menu) {
    std::vector<Item> items;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible() || a->text().isEmpty())
            continue;
        items.push_back({a->text(), [a](const QString& c) { a->setText(c); }, true});
        if (a->menu())
            assignMenu(a->menu());
    }
    assignScope(items);
}

template <typename T> QList<T*> ownItems(QWidget& window) {
    QList<T*> own;
    for (T* w : window.findChildren<T*>())
        if (w->window() == &window && !qobject_cast<QToolBar*>(w->parentWidget()) &&
            w->isVisibleTo(&window))
            own << w;
    return own;
}

void assignWindow(QWidget& window) {
    std::vector<Item> items;
    // Menu entries first: their letters are the ones people learn.
    for (QMenuBar* bar : ownItems<QMenuBar>(window)) {
        for (QAction* a : bar->actions()) {
            if (!a->isVisible() || a->text().isEmpty())
                continue;
            items.push_back({a->text(), [a](const QString& c) { a->setText(c); }, true});
            if (a->menu())
                assignMenu(a->menu());
        }
    }
    for (QAbstractButton* b : ownItems<QAbstractButton>(window)) {
        if (b->text().isEmpty())
            continue;
        const bool command = qobject_cast<QPushButton*>(b) || qobject_cast<QToolButton*>(b);
        items.push_back({b->text(), [b](const QString& c) { b->setText(c); }, command});
    }
    for (QLabel* l : ownItems<QLabel>(window))
        // A label's key takes the focus to its field; a field the keyboard
        // cannot reach (a figure beside its caption) needs none.
        if (l->buddy() && (l->buddy()->focusPolicy() & Qt::TabFocus) && !l->text().isEmpty() &&
            l->textFormat() != Qt::RichText)
            items.push_back({l->text(), [l](const QString& c) { l->setText(c); }, false});
    for (QGroupBox* g : ownItems<QGroupBox>(window))
        if (!g->title().isEmpty())
            items.push_back({g->title(), [g](const QString& c) { g->setTitle(c); }, false, false});
    assignScope(items);
}

// Watches one window: its showing, and the showing and hiding of its
// items and changes of its menu entries, which may free or need a letter.
class AcceleratorKeeper : public QObject {
public:
    explicit AcceleratorKeeper(QWidget& window) : QObject(&window), window_(&window) {
        setObjectName(QStringLiteral("acceleratorKeeper"));
        window.installEventFilter(this);
    }

    void run() {
        if (!window_)
            return;
        assignWindow(*window_);
        // Items added since are watched too; installing twice is harmless.
        for (QWidget* w : window_->findChildren<QWidget*>())
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QGroupBox*>(w) ||
                qobject_cast<QMenuBar*>(w))
                w->installEventFilter(this);
        for (QMenuBar* bar : window_->findChildren<QMenuBar*>())
            watchActions(bar->actions());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Show) {
            // Now, and again once the window has set the captions it sets
            // on showing.
            run();
            pending_ = false;
            later();
        } else if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
            later();
        return false;
    }

private:
    void watchActions(const QList<QAction*>& actions) {
        for (QAction* a : actions) {
            connect(a, &QAction::changed, this, &AcceleratorKeeper::later, Qt::UniqueConnection);
            if (a->menu())
                watchActions(a->menu()->actions());
        }
    }
    void later() {
        if (pending_ || !window_)
            return;
        pending_ = true;
        QTimer::singleShot(0, this, [this] {
            pending_ = false;
            if (window_ && window_->isVisible())
                run();
        });
    }

    QPointer<QWidget> window_;
    bool pending_ = false;
};

} // namespace

void keepAccelerators(QWidget& window) {
    // Named, so a second call finds the first keeper.
    auto* keeper = static_cast<AcceleratorKeeper*>(window.findChild<QObject*>(
        QStringLiteral("acceleratorKeeper"), Qt::FindDirectChildrenOnly));
    if (!keeper)
        keeper = new AcceleratorKeeper(window);
    keeper->run();
}

void refreshAccelerators(QWidget& window) {
    assignWindow(window);
}

QString acceleratorOf(const QString& caption) {
    return QKeySequence::mnemonic(caption).toString(QKeySequence::PortableText);
}

} // namespace zel

#pragma once
// Alt+letter for every command of a window, in every language. A caption
// keeps the letter its text gives it ("&Save") unless a command before it
// in the same window or menu has that letter already; captions without one,
// or whose letter is taken, get the first free letter of their own text, a
// word's first letter before the others. Translations may choose any
// letter, or none, and the window still has one key per command.
#include <QString>

class QWidget;

namespace zel {

// Gives the commands of `window` their keys now and again whenever one of
// them is shown or hidden or a menu entry changes; call once the window is
// built. Scopes: the window (its buttons, its menu bar, the labels of its
// fields and its option boxes share one set of Alt+letters) and each menu.
void keepAccelerators(QWidget& window);

// Gives the keys again now, after the window changed a caption.
void refreshAccelerators(QWidget& window);

// The key of a caption ("Alt+S"), as Qt reads its '&'; empty without one.
QString acceleratorOf(const QString& caption);

} // namespace zel

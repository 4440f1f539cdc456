#include "widgets/spoken_text.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

namespace zel {

void speakText(QLabel* label, const QString& role) {
    label->setAccessibleName(QString());
    label->setAccessibleDescription(role);
}

void setSpokenLine(QLineEdit* line, const QString& text) {
    line->setText(text);
    // An empty name would make the line fall back to its description only.
    line->setAccessibleName(text.isEmpty() ? line->accessibleDescription() : text);
}

void announceText(QLabel* label) {
    QAccessibleEvent event(label, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

namespace {

const char* const WindowRoleProperty = "zelWindowRole";

// Asked for each class of an object, most derived first: only the most
// derived class answers, so the widget's own ancestors never do.
QAccessibleInterface* windowRoleFactory(const QString& key, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w || !w->property(WindowRoleProperty).toBool() ||
        key != QLatin1String(object->metaObject()->className()))
        return nullptr;
    return new QAccessibleWidget(w, QAccessible::Window);
}

} // namespace

void exposeAsWindow(QWidget* window) {
    static const bool installed = [] {
        QAccessible::installFactory(windowRoleFactory);
        return true;
    }();
    (void)installed;
    window->setProperty(WindowRoleProperty, true);
    window->setAccessibleName(window->windowTitle());
}

} // namespace zel

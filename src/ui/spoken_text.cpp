#include "ui/spoken_text.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>

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

} // namespace zel

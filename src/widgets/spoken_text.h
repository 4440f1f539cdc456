#pragma once
// Texts that change while a window is open are read out as what they say:
// a screen reader hears a label's accessible name, so that name is the text
// itself (a QLabel's default when no fixed name is set), and the label's
// role ("Status", "Value") goes into the accessible description.
#include <QString>

class QLabel;
class QLineEdit;
class QWidget;

namespace zel {

// Lets `label` speak its text and keeps `role` as its description.
void speakText(QLabel* label, const QString& role);

// Sets the text of a read-only line and makes it its accessible name, which
// a line does not do by itself.
void setSpokenLine(QLineEdit* line, const QString& text);

// Tells assistive technology that the text of `label` changed, so a status
// line is announced even when it does not have the focus.
void announceText(QLabel* label);

// A top-level plain widget is offered to assistive technology as a
// "filler" without a name, and a screen reader cannot tell it is a window:
// `window` is given the window role, named by its title.
void exposeAsWindow(QWidget* window);

} // namespace zel

#pragma once
// The language of the windows. The program's own translations are built
// from translations/zel_<code>.ts into the resources; Qt's translations of
// its own dialogs (file dialog, message box buttons) come from the system
// when it has them. A new .ts file is all a new language needs.
#include "common/strings.h"
#include <QLocale>

namespace zel {

// Installs the translators for `locale` in place of those installed before
// (none for English: the source texts are English) and lays the windows out
// in the locale's direction. The programs call it with the system locale.
void useLocale(const QLocale& locale);

// The same for one of the languages the program ships.
void useLanguage(Language language);

} // namespace zel

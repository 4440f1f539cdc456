#pragma once
// The program's string table: texts that windows share by number, and the
// language the windows speak. The table holds the English texts; their
// German and Hebrew live with every other window text in the translation
// files (context "zel::StringTable"), so str() follows whatever translator
// is installed. The language follows the system locale; English is the
// fallback.
#include <QList>
#include <QString>

namespace zel {

enum class Language { English, German, Hebrew };

Language currentLanguage();
// Records the language; the windows' translators are installed by
// useLanguage() (ui/translations.h), which calls this.
void setCurrentLanguage(Language language);
Language languageForLocaleName(const QString& localeName);

// Text of string `id` in the installed language; an unknown id gives "".
QString str(int id);
// The English text of string `id`, whatever the language; "" when unknown.
QString englishStr(int id);

// Every id the table knows, for tests that check all three languages.
QList<int> knownStringIds();

} // namespace zel

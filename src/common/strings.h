#pragma once
// The program's string table: each id has an English, a German and a Hebrew
// text. The language follows the system locale; English is the fallback.
#include <QList>
#include <QString>

namespace zel {

enum class Language { English, German, Hebrew };

Language currentLanguage();
void setCurrentLanguage(Language language); // tests and the start-up use it
Language languageForLocaleName(const QString& localeName);

// Text of string `id` in the current language; an unknown id gives "".
QString str(int id);

// Every id the table knows, for tests that check all three languages.
QList<int> knownStringIds();

// Text of a caption that is not in the string table but is shown in all
// three languages: the one of the current language.
QString tr3(const char* english, const char* german, const char* hebrew);

} // namespace zel

#include "common/strings.h"

#include <QLocale>
#include <algorithm>
#include <optional>

namespace zel {

namespace {

struct Entry {
    int id;
    const char* english;
    const char* german;
    const char* hebrew;
};

// Texts are UTF-8. Trailing blanks and the line break of 4000 are part of the
// captions as the dialogs lay them out.
constexpr Entry kTable[] = {
    {1, "OK", "OK", "אישור"},
    {2, "Cancel", "Abbrechen", "ביטול"},
    {12, "Exit", "Beenden", "יציאה"},
    {13, "Edit", "Bearbeiten", "עריכה"},
    {14, "List", "Liste", "רשימה"},
    {15, "Auto", "Automatisch", "אוטומטי"},
    {16, "Parameters", "Parameter", "פרמטרים"},
    {25, "OnLine", "Online", "מקוון"},
    {27, "Offline", "Offline", "לא מקוון"},
    {3000, "Graph for point :", "Grafik für Messpunkt :", "גרף עבור נקודה :"},
    {3001, "All Data", "Alle Daten", "כל הנתונים"},
    {3002, "Mark", "Markieren", "סימון"},
    {3052, "Export", "Exportieren", "ייצוא"},
    {3053, "New Peak", "Neue Spitze", "שיא חדש"},
    {3054, "Print", "Drucken", "הדפסה"},
    {3055, "Maximum", "Maximum", "מקסימום"},
    {3056, "Average", "Mittelwert", "ממוצע"},
    {3059, "Average To Csv", "Mittelwerte nach CSV", "ממוצע לקובץ CSV"},
    {3060, "All To Csv", "Alles nach CSV", "הכול לקובץ CSV"},
    {3061, "Save Set Graph", "Grafiksatz speichern", "שמירת סט גרפים"},
    {4000, "Probe Number", "Bitte Chargennummer eingeben\n", "מספר דגימה"},
    {4001, "Background Measurment", "Hintergrundmessung", "מדידת רקע"},
    {4002, "Detector Inserted? ", "Probe eingelegt? ", "הגלאי הוכנס? "},
    {4004, "Background Time : ", "Hintergrundzeit : ", "זמן רקע : "},
    {4005, "Measuring Time : ", "Messzeit : ", "זמן מדידה : "},
};

std::optional<Language>& chosenLanguage() {
    static std::optional<Language> language;
    return language;
}

Language languageOf(const QLocale& locale) {
    switch (locale.language()) {
    case QLocale::German:
        return Language::German;
    case QLocale::Hebrew:
        return Language::Hebrew;
    default:
        return Language::English;
    }
}

QString pick(const char* english, const char* german, const char* hebrew) {
    switch (currentLanguage()) {
    case Language::German:
        return QString::fromUtf8(german);
    case Language::Hebrew:
        return QString::fromUtf8(hebrew);
    case Language::English:
        break;
    }
    return QString::fromUtf8(english);
}

} // namespace

Language currentLanguage() {
    if (!chosenLanguage())
        chosenLanguage() = languageOf(QLocale::system());
    return *chosenLanguage();
}

void setCurrentLanguage(Language language) {
    chosenLanguage() = language;
}

Language languageForLocaleName(const QString& localeName) {
    const QString name = localeName.trimmed().toLower();
    // "iw" is the old code for Hebrew that some systems still report.
    if (name.startsWith(QStringLiteral("iw")))
        return Language::Hebrew;
    if (name.isEmpty())
        return Language::English;
    return languageOf(QLocale(localeName.trimmed()));
}

QString str(int id) {
    const auto* end = std::end(kTable);
    const auto* it =
        std::find_if(std::begin(kTable), end, [id](const Entry& e) { return e.id == id; });
    if (it == end)
        return {};
    return pick(it->english, it->german, it->hebrew);
}

QList<int> knownStringIds() {
    QList<int> ids;
    for (const Entry& e : kTable)
        ids.append(e.id);
    return ids;
}

QString tr3(const char* english, const char* german, const char* hebrew) {
    return pick(english ? english : "",
                german    ? german
                : english ? english
                          : "",
                hebrew    ? hebrew
                : english ? english
                          : "");
}

} // namespace zel

#include "common/strings.h"

#include <QCoreApplication>
#include <QLocale>
#include <algorithm>
#include <optional>

namespace zel {

namespace {

struct Entry {
    int id;
    const char* english;
};

// Trailing blanks are part of the captions as the dialogs lay them out.
constexpr Entry kTable[] = {
    {1, QT_TRANSLATE_NOOP("zel::StringTable", "OK")},
    {2, QT_TRANSLATE_NOOP("zel::StringTable", "Cancel")},
    {12, QT_TRANSLATE_NOOP("zel::StringTable", "Exit")},
    {13, QT_TRANSLATE_NOOP("zel::StringTable", "Edit")},
    {14, QT_TRANSLATE_NOOP("zel::StringTable", "List")},
    {15, QT_TRANSLATE_NOOP("zel::StringTable", "Auto")},
    {16, QT_TRANSLATE_NOOP("zel::StringTable", "Parameters")},
    {25, QT_TRANSLATE_NOOP("zel::StringTable", "OnLine")},
    {27, QT_TRANSLATE_NOOP("zel::StringTable", "Offline")},
    {3000, QT_TRANSLATE_NOOP("zel::StringTable", "Graph for point :")},
    {3001, QT_TRANSLATE_NOOP("zel::StringTable", "All Data")},
    {3002, QT_TRANSLATE_NOOP("zel::StringTable", "Mark")},
    {3052, QT_TRANSLATE_NOOP("zel::StringTable", "Export")},
    {3053, QT_TRANSLATE_NOOP("zel::StringTable", "New Peak")},
    {3054, QT_TRANSLATE_NOOP("zel::StringTable", "Print")},
    {3055, QT_TRANSLATE_NOOP("zel::StringTable", "Maximum")},
    {3056, QT_TRANSLATE_NOOP("zel::StringTable", "Average")},
    {3059, QT_TRANSLATE_NOOP("zel::StringTable", "Average To Csv")},
    {3060, QT_TRANSLATE_NOOP("zel::StringTable", "All To Csv")},
    {3061, QT_TRANSLATE_NOOP("zel::StringTable", "Save Set Graph")},
    {4000, QT_TRANSLATE_NOOP("zel::StringTable", "Probe Number")},
    {4001, QT_TRANSLATE_NOOP("zel::StringTable", "Background Measurment")},
    {4002, QT_TRANSLATE_NOOP("zel::StringTable", "Detector Inserted? ")},
    {4004, QT_TRANSLATE_NOOP("zel::StringTable", "Background Time : ")},
    {4005, QT_TRANSLATE_NOOP("zel::StringTable", "Measuring Time : ")},
};

const Entry* find(int id) {
    const auto* end = std::end(kTable);
    const auto* it =
        std::find_if(std::begin(kTable), end, [id](const Entry& e) { return e.id == id; });
    return it == end ? nullptr : it;
}

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
    const Entry* e = find(id);
    return e ? QCoreApplication::translate("zel::StringTable", e->english) : QString();
}

QString englishStr(int id) {
    const Entry* e = find(id);
    return e ? QString::fromUtf8(e->english) : QString();
}

QList<int> knownStringIds() {
    QList<int> ids;
    for (const Entry& e : kTable)
        ids.append(e.id);
    return ids;
}

} // namespace zel

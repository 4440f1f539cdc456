#include "ui/translations.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>
#include <vector>

namespace zel {

namespace {

std::vector<std::unique_ptr<QTranslator>>& installed() {
    static std::vector<std::unique_ptr<QTranslator>> translators;
    return translators;
}

// Loads `name`_<language>.qm for the first of the locale's languages that
// has one.
void install(const QLocale& locale, const QString& name, const QString& folder) {
    auto translator = std::make_unique<QTranslator>();
    if (translator->load(locale, name, QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator.get()))
        installed().push_back(std::move(translator));
}

} // namespace

void useLocale(const QLocale& locale) {
    setCurrentLanguage(languageForLocaleName(locale.name()));
    for (const auto& t : installed())
        QCoreApplication::removeTranslator(t.get());
    installed().clear();
    if (locale.language() != QLocale::English && locale.language() != QLocale::C) {
        install(locale, QStringLiteral("zel"), QStringLiteral(":/i18n"));
        // "qtbase" holds the buttons of message boxes and the file dialog.
        install(locale, QStringLiteral("qtbase"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
    // Set after the translators: Qt's own would otherwise decide it.
    QApplication::setLayoutDirection(locale.textDirection());
}

void useLanguage(Language language) {
    switch (language) {
    case Language::German:
        useLocale(QLocale(QLocale::German, QLocale::Germany));
        return;
    case Language::Hebrew:
        useLocale(QLocale(QLocale::Hebrew, QLocale::Israel));
        return;
    case Language::English:
        break;
    }
    useLocale(QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace zel

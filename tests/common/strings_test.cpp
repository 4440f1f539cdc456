#include "common/strings.h"

#include <gtest/gtest.h>

using namespace zel;

namespace {

class LanguageGuard {
public:
    LanguageGuard() : old_(currentLanguage()) {}
    ~LanguageGuard() { setCurrentLanguage(old_); }

private:
    Language old_;
};

} // namespace

TEST(StringTable, EveryIdHasThreeTexts) {
    LanguageGuard guard;
    const QList<int> ids = knownStringIds();
    for (int id : {1, 2, 25, 27, 3000, 4000, 4001, 4002, 4004, 4005})
        EXPECT_TRUE(ids.contains(id)) << id;
    for (int id : ids) {
        for (Language l : {Language::English, Language::German, Language::Hebrew}) {
            setCurrentLanguage(l);
            EXPECT_FALSE(str(id).trimmed().isEmpty()) << id;
        }
    }
    setCurrentLanguage(Language::English);
    EXPECT_EQ(str(999999), "");
}

TEST(StringTable, TextsOfTheThreeLanguages) {
    LanguageGuard guard;
    setCurrentLanguage(Language::English);
    EXPECT_EQ(str(1), "OK");
    EXPECT_EQ(str(2), "Cancel");
    EXPECT_EQ(str(25), "OnLine");
    EXPECT_EQ(str(27), "Offline");
    EXPECT_EQ(str(3000), "Graph for point :");
    EXPECT_EQ(str(4001), "Background Measurment");
    EXPECT_EQ(str(4002), "Detector Inserted? ");
    EXPECT_EQ(str(4004), "Background Time : ");
    EXPECT_EQ(str(4005), "Measuring Time : ");
    EXPECT_EQ(tr3("Set Port", "Port einstellen", "הגדרת יציאה"), "Set Port");
    setCurrentLanguage(Language::German);
    EXPECT_EQ(str(4000), "Bitte Chargennummer eingeben\n");
    EXPECT_EQ(str(4001), "Hintergrundmessung");
    EXPECT_EQ(str(4002), "Probe eingelegt? ");
    EXPECT_EQ(tr3("Set Port", "Port einstellen", "הגדרת יציאה"), "Port einstellen");
    setCurrentLanguage(Language::Hebrew);
    EXPECT_EQ(str(2), QString::fromUtf8("ביטול"));
    EXPECT_EQ(tr3("Set Port", "Port einstellen", "הגדרת יציאה"), QString::fromUtf8("הגדרת יציאה"));
}

TEST(StringTable, LanguageFromLocaleName) {
    EXPECT_EQ(languageForLocaleName("de_DE"), Language::German);
    EXPECT_EQ(languageForLocaleName("de_AT.UTF-8"), Language::German);
    EXPECT_EQ(languageForLocaleName("he_IL"), Language::Hebrew);
    EXPECT_EQ(languageForLocaleName("iw_IL"), Language::Hebrew);
    EXPECT_EQ(languageForLocaleName("en_US"), Language::English);
    EXPECT_EQ(languageForLocaleName("fr_FR"), Language::English);
    EXPECT_EQ(languageForLocaleName("C"), Language::English);
    EXPECT_EQ(languageForLocaleName(""), Language::English);
    EXPECT_EQ(languageForLocaleName("garbage!!"), Language::English);
}

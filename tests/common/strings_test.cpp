#include "common/strings.h"

#include <gtest/gtest.h>

using namespace zel;

// The German and Hebrew texts come from the translation files; the window
// tests check them with the translators installed.
TEST(StringTable, EveryIdHasAnEnglishText) {
    const QList<int> ids = knownStringIds();
    for (int id : {1, 2, 25, 27, 3000, 4000, 4001, 4002, 4004, 4005})
        EXPECT_TRUE(ids.contains(id)) << id;
    for (int id : ids) {
        EXPECT_FALSE(englishStr(id).trimmed().isEmpty()) << id;
        // With no translator installed the table speaks English.
        EXPECT_EQ(str(id), englishStr(id)) << id;
    }
    EXPECT_EQ(str(999999), "");
}

TEST(StringTable, EnglishTextsAsTheDialogsShowThem) {
    EXPECT_EQ(str(1), "OK");
    EXPECT_EQ(str(2), "Cancel");
    EXPECT_EQ(str(25), "OnLine");
    EXPECT_EQ(str(27), "Offline");
    EXPECT_EQ(str(3000), "Graph for point :");
    EXPECT_EQ(str(4001), "Background Measurment");
    EXPECT_EQ(str(4002), "Detector Inserted? ");
    EXPECT_EQ(str(4004), "Background Time : ");
    EXPECT_EQ(str(4005), "Measuring Time : ");
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

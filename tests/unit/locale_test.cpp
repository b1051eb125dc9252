#include <gtest/gtest.h>

#include <set>

#include "launcher/config/Locale.h"

namespace {

TEST(LocaleTable, PrimaryThenFullEntriesAscendingAndUnique) {
    size_t count = 0;
    const LocaleEntry* table = localeTable(&count);
    ASSERT_EQ(count, 215u);
    size_t primary = 0;
    std::set<uint16_t> ids;
    for (size_t i = 0; i < count; ++i) {
        if (table[i].languageId < 0x100) ++primary;
        if (i > 0) {
            EXPECT_LT(table[i - 1].languageId, table[i].languageId) << "entry " << i;
        }
        ids.insert(table[i].languageId);
    }
    EXPECT_EQ(primary, 71u);
    EXPECT_EQ(ids.size(), count);
}

TEST(LocaleLookup, FullIdentifierFirst) {
    EXPECT_STREQ(localeNameForLanguageId(0x0C07), "de_AT");
    EXPECT_STREQ(localeNameForLanguageId(0x0807), "de_CH");
    EXPECT_STREQ(localeNameForLanguageId(0x0812), "ko_KR");
    EXPECT_STREQ(localeNameForLanguageId(0x0814), "no_NO_NY");
    EXPECT_STREQ(localeNameForLanguageId(0x0C0A), "es_ES");
    EXPECT_STREQ(localeNameForLanguageId(0x040A), "es_ES");
    // Full entries without a country.
    EXPECT_STREQ(localeNameForLanguageId(0x2409), "en");
    EXPECT_STREQ(localeNameForLanguageId(0x0431), "ts");
}

TEST(LocaleLookup, ThenPrimaryLanguageThenEnglish) {
    EXPECT_STREQ(localeNameForLanguageId(0x0C13), "nl");
    EXPECT_STREQ(localeNameForLanguageId(0x7C04), "zh");
    EXPECT_STREQ(localeNameForLanguageId(0x0028), "en");
    EXPECT_STREQ(localeNameForLanguageId(0x0442), "en");
    EXPECT_STREQ(localeNameForLanguageId(0xFFFF), "en");
}

TEST(LocaleSplit, CountryOnlyForFiveCharacterNames) {
    splitLocale("de_AT");
    EXPECT_STREQ(localeLanguage(), "de");
    ASSERT_NE(localeCountry(), nullptr);
    EXPECT_STREQ(localeCountry(), "AT");
    // A later split without a country clears the earlier one.
    splitLocale("no_NO_NY");
    EXPECT_STREQ(localeLanguage(), "no");
    EXPECT_EQ(localeCountry(), nullptr);
    splitLocale("en");
    EXPECT_STREQ(localeLanguage(), "en");
    EXPECT_EQ(localeCountry(), nullptr);
    splitLocale(nullptr);
    EXPECT_STREQ(localeLanguage(), "");
}

}  // namespace

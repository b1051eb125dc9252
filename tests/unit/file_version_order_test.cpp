// File versions compare as unsigned words, most significant first; an
// unreadable version gives 3, and the folder module choice follows.
#include <gtest/gtest.h>

#include "native/shell/FileVersionOrder.h"

namespace {

int order(uint32_t ms1, uint32_t ls1, uint32_t ms2, uint32_t ls2) {
    FileVersionWords a = {ms1, ls1};
    FileVersionWords b = {ms2, ls2};
    return compareFileVersionWords(&a, &b);
}

}  // namespace

TEST(FileVersionOrder, ComparesNumbersNotTexts) {
    EXPECT_EQ(kSecondVersionHigher, order(0x00020000, 0, 0x000A0000, 0));  // 2.0.0.0 < 10.0.0.0
    EXPECT_EQ(kFirstVersionHigher, order(0x000A0000, 0, 0x00020000, 0));
    EXPECT_EQ(kVersionsEqual, order(0x00050001, 0x00020003, 0x00050001, 0x00020003));
}

TEST(FileVersionOrder, WordsAreUnsigned) {
    EXPECT_EQ(kSecondVersionHigher, order(0x00010000, 0, 0x80000000u, 0));
    EXPECT_EQ(kFirstVersionHigher, order(0xFFFFFFFFu, 0, 0x7FFFFFFF, 0xFFFFFFFFu));
    EXPECT_EQ(kFirstVersionHigher, order(1, 0x80000000u, 1, 0x00010000));
}

TEST(FileVersionOrder, TheLeastSignificantWordDecidesOnlyOnATie) {
    EXPECT_EQ(kFirstVersionHigher, order(0x00020000, 0, 0x00010000, 0xFFFFFFFFu));
    EXPECT_EQ(kSecondVersionHigher, order(0x00010000, 1, 0x00010000, 2));
    EXPECT_EQ(kSecondVersionHigher, order(0x00010000, 0xFFFFFFFFu, 0x00020000, 0));
}

TEST(FileVersionOrder, AnUnreadableVersionOnEitherSideGives3) {
    FileVersionWords a = {1, 2};
    EXPECT_EQ(kVersionUnreadable, compareFileVersionWords(nullptr, &a));
    EXPECT_EQ(kVersionUnreadable, compareFileVersionWords(&a, nullptr));
    EXPECT_EQ(kVersionUnreadable, compareFileVersionWords(nullptr, nullptr));
}

TEST(FolderModuleChoice, TheReplacementIsTriedWhenNewerOrWhenVersionsCannotTell) {
    EXPECT_TRUE(prefersReplacementFolderModule(kFirstVersionHigher));
    EXPECT_TRUE(prefersReplacementFolderModule(kVersionUnreadable));
    EXPECT_FALSE(prefersReplacementFolderModule(kVersionsEqual));
    EXPECT_FALSE(prefersReplacementFolderModule(kSecondVersionHigher));
}

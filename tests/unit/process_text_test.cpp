// The environment block walk and the ".tmp" test of executable paths.
#include <gtest/gtest.h>

#include <string>

#include "native/process/ProcessText.h"

namespace {

std::vector<std::u16string> entries(const std::u16string& block) {
    std::vector<std::u16string> out;
    for (const TextSpan& span : environmentBlockEntries(block.c_str())) out.push_back(block.substr(span.start, span.length));
    return out;
}

}  // namespace

TEST(EnvironmentBlock, ListsEveryStringInOrderIncludingThoseStartingWithEquals) {
    std::u16string block(u"=C:=C:\\dir\0PATH=C:\\bin\0A=b=c\0\0", 31);
    EXPECT_EQ((std::vector<std::u16string>{u"=C:=C:\\dir", u"PATH=C:\\bin", u"A=b=c"}), entries(block));
}

TEST(EnvironmentBlock, AnEmptyBlockHasNoEntries) {
    std::u16string block(u"\0\0", 2);
    EXPECT_TRUE(entries(block).empty());
    EXPECT_TRUE(environmentBlockEntries(nullptr).empty());
}

TEST(TemporarySuffix, IsLowerCaseDotTmpAfterAtLeastOneUnit) {
    auto check = [](const std::u16string& s) { return endsWithTemporarySuffix(s.c_str(), s.size()); };
    EXPECT_TRUE(check(u"1234 C:\\Temp\\is-X.tmp\\setup.tmp"));
    EXPECT_TRUE(check(u"a.tmp"));
    EXPECT_FALSE(check(u".tmp"));
    EXPECT_FALSE(check(u"C:\\setup.TMP"));
    EXPECT_FALSE(check(u"C:\\setup.tmp.exe"));
    EXPECT_FALSE(check(u"tmp"));
    EXPECT_FALSE(endsWithTemporarySuffix(nullptr, 5));
}

#include <gtest/gtest.h>

#include <string>

#include "native/system/UserAccountText.h"

namespace {

std::u16string accountName(const char16_t* sid, const char16_t* domain, const char16_t* name, bool nameOnly) {
    char16_t buffer[64];
    UnitText text(buffer, 64);
    appendAccountName(text, sid, domain, name, nameOnly);
    return text.text();
}

}  // namespace

TEST(UserAccountText, NumbersAndTextsAreCutAtTheBufferAndStayTerminated) {
    char16_t buffer[8];
    UnitText text(buffer, 8);
    text.appendNumbers({2, 87, 3});
    EXPECT_EQ(u"2 87 3", std::u16string(text.text()));
    text.append(u"abcdef");
    EXPECT_EQ(u"2 87 3a", std::u16string(text.text()));
    EXPECT_EQ(7u, text.length());
    text.appendNumber(9).append(nullptr);
    EXPECT_EQ(u"2 87 3a", std::u16string(buffer));

    char16_t one[1];
    UnitText empty(one, 1);
    empty.append(u"x");
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(0, one[0]);
}

TEST(UserAccountText, NumbersKeepTheirSign) {
    char16_t buffer[64];
    UnitText text(buffer, 64);
    text.appendNumbers({0, -5, 2147483647LL, -9223372036854775807LL - 1});
    EXPECT_EQ(u"0 -5 2147483647 -9223372036854775808", std::u16string(text.text()));
}

TEST(UserAccountText, OnlyTheThreeServiceSidsAreNamedWithoutALookUp) {
    EXPECT_EQ(u"NT AUTHORITY\\System", std::u16string(wellKnownAccountName(u"S-1-5-18")));
    EXPECT_EQ(u"NT AUTHORITY\\LocalService", std::u16string(wellKnownAccountName(u"S-1-5-19")));
    EXPECT_EQ(u"NT AUTHORITY\\NetworkService", std::u16string(wellKnownAccountName(u"S-1-5-20")));
    EXPECT_EQ(nullptr, wellKnownAccountName(u"S-1-5-180"));
    EXPECT_EQ(nullptr, wellKnownAccountName(u"S-1-5-1"));
    EXPECT_EQ(nullptr, wellKnownAccountName(u""));
    EXPECT_EQ(nullptr, wellKnownAccountName(nullptr));
}

TEST(UserAccountText, BuiltInSidsAndEmptyDomainsAreShownOnTheLocalMachine) {
    EXPECT_EQ(u".\\Administrators", accountName(u"S-1-5-32-544", u"BUILTIN", u"Administrators", false));
    EXPECT_EQ(u"Administrators", accountName(u"S-1-5-32-544", u"BUILTIN", u"Administrators", true));
    EXPECT_EQ(u".\\alice", accountName(u"S-1-5-21-1-2-3-1001", u"", u"alice", false));
    EXPECT_EQ(u"HOST\\alice", accountName(u"S-1-5-21-1-2-3-1001", u"HOST", u"alice", false));
    EXPECT_EQ(u"NT AUTHORITY\\INTERACTIVE", accountName(u"S-1-5-4", u"NT AUTHORITY", u"INTERACTIVE", false));
    EXPECT_FALSE(isBuiltinDomainSid(u"S-1-5-32"));
    EXPECT_FALSE(isBuiltinDomainSid(u"S-1-5-321-5"));
    EXPECT_FALSE(isBuiltinDomainSid(nullptr));
}

TEST(UserAccountText, ACreatedAccountShowsTheGroupOnlyWhenItWasLookedUp) {
    char16_t buffer[128];
    UnitText both(buffer, 128);
    appendCreatedAccount(both, u"S-1-5-21-1-1001", u"S-1-5-21-1-1002", false);
    EXPECT_EQ(u"S-1-5-21-1-1001 S-1-5-21-1-1002 false", std::u16string(both.text()));
    UnitText alone(buffer, 128);
    appendCreatedAccount(alone, u"S-1-5-21-1-1001", nullptr, true);
    EXPECT_EQ(u"S-1-5-21-1-1001", std::u16string(alone.text()));
}

// Dependency lists and account names of the service natives.
#include <gtest/gtest.h>

#include <string>

#include "native/system/ServiceConfigText.h"

namespace {

std::u16string list(const char16_t* text, size_t capacity = 64) {
    std::u16string out(capacity, u'#');
    size_t used = serviceDependencyList(text, &out[0], capacity).units;
    return out.substr(0, used);
}

bool cut(const char16_t* text, size_t capacity) {
    std::u16string out(capacity, u'#');
    return serviceDependencyList(text, &out[0], capacity).cut;
}

TEST(ServiceDependencyList, CommaSeparatedNamesBecomeADoubleNulList) {
    EXPECT_EQ(std::u16string(u"a\0b\0\0", 5), list(u"a,b"));
    EXPECT_EQ(std::u16string(u"Tcpip\0\0", 7), list(u"Tcpip"));
}

TEST(ServiceDependencyList, NullOrEmptyGiveTheEmptyListThatRemovesAll) {
    EXPECT_EQ(std::u16string(u"\0\0", 2), list(nullptr));
    EXPECT_EQ(std::u16string(u"\0\0", 2), list(u""));
    EXPECT_EQ(std::u16string(u"\0\0", 2), list(u",,"));
}

TEST(ServiceDependencyList, EmptyNamesDoNotEndTheListEarly) {
    EXPECT_EQ(std::u16string(u"a\0b\0\0", 5), list(u",a,,b,"));
}

TEST(ServiceDependencyList, NamesThatDoNotFitAreLeftOutWithTheRest) {
    EXPECT_EQ(std::u16string(u"ab\0\0", 4), list(u"ab,cd", 6));
    EXPECT_EQ(std::u16string(u"ab\0cd\0\0", 7), list(u"ab,cd", 7));
    EXPECT_EQ(std::u16string(u"\0\0", 2), list(u"abc", 4));
}

TEST(ServiceDependencyList, LeavingNamesOutIsReportedSoThatNoShorterListIsStored) {
    EXPECT_TRUE(cut(u"abc", 4)) << "not even the first name fits: the empty list would remove all";
    EXPECT_TRUE(cut(u"ab,cd", 6));
    EXPECT_FALSE(cut(u"ab,cd", 7)) << "exactly full";
    EXPECT_FALSE(cut(u",a,,b,", 5)) << "empty names take no room";
    EXPECT_FALSE(cut(nullptr, 2));
    EXPECT_FALSE(cut(u"", 2));
    EXPECT_FALSE(cut(u",,", 2));
}

TEST(ServiceAccountName, OnlyTheTwoExactSystemSpellingsBecomeLocalSystem) {
    EXPECT_EQ(std::u16string(u"LocalSystem"), serviceAccountName(u"NT AUTHORITY\\System"));
    EXPECT_EQ(std::u16string(u"LocalSystem"), serviceAccountName(u"NT AUTHORITY\\LocalSystem"));
    EXPECT_EQ(std::u16string(u"NT AUTHORITY\\SYSTEM"), serviceAccountName(u"NT AUTHORITY\\SYSTEM"));
    EXPECT_EQ(std::u16string(u".\\svc"), serviceAccountName(u".\\svc"));
    EXPECT_EQ(nullptr, serviceAccountName(nullptr));
}

}  // namespace

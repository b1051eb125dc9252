// The layouts of registry string data: counts taken only from the bytes that
// exist, whatever their terminators.
#include <gtest/gtest.h>

#include <string>

#include "native/system/RegistryData.h"

namespace {

std::vector<std::u16string> parts(const std::u16string& data, size_t byteCount) {
    std::vector<std::u16string> out;
    for (const UnitSpan& span : registryMultiStringParts(data.data(), byteCount))
        out.push_back(data.substr(span.start, span.length));
    return out;
}

TEST(RegistryStringUnits, EndAtTheFirstNulOrTheLastWholeUnit) {
    std::u16string text = u"ab";
    text.push_back(0);
    EXPECT_EQ(2u, registryStringUnits(text.data(), 6));
    EXPECT_EQ(2u, registryStringUnits(text.data(), 4));  // stored without its NUL
    EXPECT_EQ(2u, registryStringUnits(text.data(), 5));  // half a unit more
    EXPECT_EQ(1u, registryStringUnits(text.data(), 3));
    EXPECT_EQ(0u, registryStringUnits(text.data(), 1));
    EXPECT_EQ(0u, registryStringUnits(text.data(), 0));
    std::u16string padded(u"ab\0\0\0\0", 6);  // written with its buffer's size
    EXPECT_EQ(2u, registryStringUnits(padded.data(), 12));
    std::u16string twoNuls(2, u'\0');
    EXPECT_EQ(0u, registryStringUnits(twoNuls.data(), 4));
}

TEST(RegistryMultiStringParts, StringsInOrderUpToTheFinalNul) {
    std::u16string data(u"one\0two\0\0", 9);
    EXPECT_EQ(std::vector<std::u16string>({u"one", u"two"}), parts(data, 18));
    std::u16string single(u"x\0", 2);
    EXPECT_EQ(std::vector<std::u16string>({u"x"}), parts(single, 4));
    std::u16string empty(u"\0", 1);
    EXPECT_TRUE(parts(empty, 2).empty());
    EXPECT_TRUE(parts(empty, 0).empty());
    std::u16string inner(u"a\0\0b\0\0", 6);  // an empty string inside is kept as it stands
    EXPECT_EQ(std::vector<std::u16string>({u"a", u"", u"b"}), parts(inner, 12));
}

TEST(RegistryMultiStringParts, DataCutBeforeItsNulsEndsAtTheDataEnd) {
    std::u16string data(u"one\0two", 7);
    EXPECT_EQ(std::vector<std::u16string>({u"one", u"two"}), parts(data, 14));
    EXPECT_EQ(std::vector<std::u16string>({u"one", u"tw"}), parts(data, 13));
    EXPECT_EQ(std::vector<std::u16string>({u"on"}), parts(data, 4));
    std::u16string oneNul(u"one\0two\0", 8);  // one NUL after the last string only
    EXPECT_EQ(std::vector<std::u16string>({u"one", u"two"}), parts(oneNul, 16));
}

TEST(MultiStringWriter, WritesEachStringAndItsNulThenTheFinalNul) {
    char16_t out[16];
    MultiStringWriter writer(out, 16);
    ASSERT_TRUE(writer.append(u"ab", 2));
    ASSERT_TRUE(writer.append(u"c", 1));
    EXPECT_EQ(12u, writer.finish());
    EXPECT_EQ(std::u16string(u"ab\0c\0\0", 6), std::u16string(out, 6));
    MultiStringWriter none(out, 16);
    EXPECT_EQ(2u, none.finish());
    EXPECT_EQ(0, out[0]);
}

TEST(MultiStringWriter, RefusesEmptyStringsAndStringsWithoutRoomForBothNuls) {
    char16_t out[6];
    MultiStringWriter writer(out, 6);
    EXPECT_FALSE(writer.append(u"", 0));
    EXPECT_FALSE(writer.append(u"abcde", 5));  // 5 + its NUL + the final NUL > 6
    EXPECT_TRUE(writer.append(u"abcd", 4));    // exactly fills the buffer
    EXPECT_FALSE(writer.append(u"x", 1));
    EXPECT_EQ(12u, writer.finish());
    EXPECT_EQ(0, out[5]);
}

}  // namespace

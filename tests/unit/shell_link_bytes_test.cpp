// The terminated copies of the byte arrays of shortcuts (ANSI) and shell
// notifications (UTF-16LE): always a NUL unit behind the data, never a read
// past the array.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "native/shell/TerminatedBytes.h"

TEST(TerminatedCopy, AnAnsiArrayWithoutItsNulGetsOne) {
    const char bytes[3] = {'a', 'b', 'c'};  // no terminator
    std::vector<char> copy = terminatedCopy(bytes, 3, 1);
    ASSERT_EQ(4u, copy.size());
    EXPECT_STREQ("abc", copy.data());
}

TEST(TerminatedCopy, AnArrayThatEndsInItsNulReadsTheSame) {
    const char bytes[4] = {'a', 'b', 0, 'z'};
    std::vector<char> copy = terminatedCopy(bytes, 4, 1);
    EXPECT_STREQ("ab", copy.data());
    EXPECT_EQ('z', copy[3]);
    EXPECT_EQ(0, copy.back());
}

TEST(TerminatedCopy, Utf16GetsAWholeNulUnitEvenAfterAnOddLength) {
    const unsigned char bytes[5] = {'C', 0, ':', 0, 'x'};  // the last unit is cut
    std::vector<char> copy = terminatedCopy(bytes, 5, 2);
    ASSERT_EQ(8u, copy.size());
    EXPECT_EQ(0, memcmp(copy.data(), "C\0:\0x\0\0\0", 8));

    const unsigned char even[4] = {'C', 0, ':', 0};
    std::vector<char> evenCopy = terminatedCopy(even, 4, 2);
    ASSERT_EQ(6u, evenCopy.size());
    EXPECT_EQ(0, evenCopy[4]);
    EXPECT_EQ(0, evenCopy[5]);
}

TEST(TerminatedCopy, AnEmptyArrayIsAnEmptyString) {
    std::vector<char> ansi = terminatedCopy(nullptr, 0, 1);
    ASSERT_EQ(1u, ansi.size());
    EXPECT_EQ(0, ansi[0]);
    std::vector<char> wide = terminatedCopy(nullptr, 0, 2);
    ASSERT_EQ(2u, wide.size());
    EXPECT_EQ(0, wide[0] | wide[1]);
}

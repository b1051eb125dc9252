// The length field of a pipe block: signed, 32 bits, little-endian.
#include <gtest/gtest.h>

#include "native/process/PipeBlock.h"

TEST(PipeBlockLength, IsWrittenLittleEndian) {
    uint8_t field[kBlockLengthBytes];
    encodeBlockLength(300, field);
    EXPECT_EQ(0x2C, field[0]);
    EXPECT_EQ(0x01, field[1]);
    EXPECT_EQ(0x00, field[2]);
    EXPECT_EQ(0x00, field[3]);
    encodeBlockLength(0, field);
    EXPECT_EQ(0, field[0] | field[1] | field[2] | field[3]);
}

TEST(PipeBlockLength, ReadsBackEveryValueIncludingNegativeOnes) {
    for (int32_t value : {0, 1, 300, 65536, 70000, 0x7FFFFFFF, -1, INT32_MIN}) {
        uint8_t field[kBlockLengthBytes];
        encodeBlockLength(value, field);
        EXPECT_EQ(value, decodeBlockLength(field));
    }
    const uint8_t negative[kBlockLengthBytes] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(-1, decodeBlockLength(negative));
    const uint8_t highBit[kBlockLengthBytes] = {0x00, 0x00, 0x00, 0x80};
    EXPECT_EQ(INT32_MIN, decodeBlockLength(highBit));
}

// The extended system handle table: entries of one process with their full
// handle values, read only inside the buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "native/process/HandleTable.h"

namespace {

void put64(std::vector<uint8_t>& b, size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Row {
    uint64_t pid, value;
    uint32_t access;
};

std::vector<uint8_t> table(const std::vector<Row>& rows, uint64_t count) {
    std::vector<uint8_t> b(kExtendedTableHeaderBytes + rows.size() * kExtendedEntryBytes, 0xCC);
    put64(b, 0, count);
    put64(b, 8, 0);
    for (size_t i = 0; i < rows.size(); ++i) {
        size_t at = kExtendedTableHeaderBytes + i * kExtendedEntryBytes;
        put64(b, at, 0xFFFF800012345678ull);  // object address
        put64(b, at + 8, rows[i].pid);
        put64(b, at + 16, rows[i].value);
        put32(b, at + 24, rows[i].access);
    }
    return b;
}

}  // namespace

TEST(ExtendedHandleTable, KeepsTheEntriesOfTheProcessInTableOrderWithFullValues) {
    auto b = table({{7, 0x4, 1}, {8, 0x8, 2}, {7, 0x10004, 0x12019F}, {0x100000007ull, 0xC, 3}, {7, 0x20008, 4}}, 5);
    auto found = extendedHandlesOfProcess(b.data(), b.size(), 7);
    ASSERT_EQ(3u, found.size());
    EXPECT_EQ(0x4u, found[0].value);
    EXPECT_EQ(0x10004u, found[1].value);  // a 16-bit table would give 0x0004 here
    EXPECT_EQ(0x12019Fu, found[1].grantedAccess);
    EXPECT_EQ(0xFFFF800012345678ull, found[1].object);
    EXPECT_EQ(0x20008u, found[2].value);
}

TEST(ExtendedHandleTable, ACountBeyondTheBufferIsCutToTheEntriesItHolds) {
    auto b = table({{7, 0x4, 1}, {7, 0x8, 1}}, 1000000);
    EXPECT_EQ(2u, extendedHandlesOfProcess(b.data(), b.size(), 7).size());
    b.resize(b.size() - 1);  // the last entry is cut
    EXPECT_EQ(1u, extendedHandlesOfProcess(b.data(), b.size(), 7).size());
    EXPECT_TRUE(extendedHandlesOfProcess(b.data(), 10, 7).empty());
    EXPECT_TRUE(extendedHandlesOfProcess(nullptr, 0, 7).empty());
}

TEST(ExtendedHandleTable, OnlyValuesThatFitAJavaIntAreReported) {
    EXPECT_TRUE(handleValueFitsInt(0x10004));
    EXPECT_TRUE(handleValueFitsInt(0x7FFFFFFF));
    EXPECT_FALSE(handleValueFitsInt(0x80000000ull));
    EXPECT_FALSE(handleValueFitsInt(0x100000004ull));
}

TEST(ObjectTypeName, IsFileExactly) {
    const char16_t file[] = u"File";
    const char16_t lower[] = u"file";
    const char16_t longer[] = u"FileX";
    EXPECT_TRUE(isFileTypeName(file, 8));
    EXPECT_FALSE(isFileTypeName(lower, 8));
    EXPECT_FALSE(isFileTypeName(longer, 10));
    EXPECT_FALSE(isFileTypeName(file, 6));
    EXPECT_FALSE(isFileTypeName(nullptr, 8));
}

// The folder table: ids to CSIDLs by column, the known folders above 1000,
// and the ";%d" text of a universal name that could not be found.
#include <gtest/gtest.h>

#include <string>

#include "native/shell/FolderTable.h"

namespace {

std::u16string errorText(uint32_t code, size_t capacity = 16) {
    char16_t out[32] = {u'x'};
    bool fits = universalNameErrorText(code, out, capacity);
    return fits ? std::u16string(out) : u"<no fit:" + std::u16string(out) + u">";
}

}  // namespace

TEST(FolderTable, ColumnsDifferOnlyWhereWindowsHasAnAllUsersFolder) {
    EXPECT_EQ(0x10, csidlOfFolderId(1, false));
    EXPECT_EQ(0x19, csidlOfFolderId(1, true));
    EXPECT_EQ(0x1A, csidlOfFolderId(7, false));
    EXPECT_EQ(0x23, csidlOfFolderId(7, true));
    EXPECT_EQ(0x05, csidlOfFolderId(8, false));
    EXPECT_EQ(0x2E, csidlOfFolderId(8, true));
    EXPECT_EQ(0x06, csidlOfFolderId(10, false));
    EXPECT_EQ(0x1F, csidlOfFolderId(10, true));
    for (int id : {5, 6, 11}) EXPECT_EQ(csidlOfFolderId(id, false), csidlOfFolderId(id, true)) << id;
    EXPECT_EQ(0x1C, csidlOfFolderId(11, true));
}

TEST(FolderTable, IdsOutsideTheTableUpTo1000AreTheDesktop) {
    for (int id : {0, 12, -5, 999, 1000}) {
        EXPECT_EQ(0, csidlOfFolderId(id, false)) << id;
        EXPECT_EQ(0, csidlOfFolderId(id, true)) << id;
    }
    EXPECT_FALSE(isKnownFolderId(1000));
    EXPECT_TRUE(isKnownFolderId(1001));
    EXPECT_FALSE(isKnownFolderId(-2000));
}

TEST(FolderTable, KnownFoldersAbove1000FallBackToTheProfile) {
    EXPECT_EQ(0x374DE290u, knownFolderOfId(1001).data1);
    EXPECT_EQ(0x7Bu, knownFolderOfId(1001).data4[7]);
    EXPECT_EQ(0x5CD7AEE2u, knownFolderOfId(1002).data1);
    const FolderGuid& common = knownFolderOfId(1003);
    EXPECT_EQ(0xBCBD3057u, common.data1);
    EXPECT_EQ(0xCA5Cu, common.data2);
    EXPECT_EQ(0x4622u, common.data3);
    EXPECT_EQ(0xB4u, common.data4[0]);
    for (int id : {1004, 1500, 2147483647}) {
        EXPECT_EQ(0x5E6C858Fu, knownFolderOfId(id).data1) << id;
        EXPECT_EQ(0x73u, knownFolderOfId(id).data4[7]) << id;
    }
}

TEST(UniversalNameErrorText, IsASemicolonAndTheCodeAsPercentDPrintsIt) {
    EXPECT_EQ(u";2250", errorText(2250));
    EXPECT_EQ(u";0", errorText(0));
    EXPECT_EQ(u";2147483647", errorText(0x7FFFFFFF));
    EXPECT_EQ(u";-2147483648", errorText(0x80000000u));
    EXPECT_EQ(u";-1", errorText(0xFFFFFFFFu));
}

TEST(UniversalNameErrorText, ATextThatDoesNotFitIsRefusedEmpty) {
    EXPECT_EQ(u";2250", errorText(2250, 6));
    EXPECT_EQ(u"<no fit:>", errorText(2250, 5));
    char16_t untouched[1] = {u'x'};
    EXPECT_FALSE(universalNameErrorText(1, untouched, 0));
    EXPECT_EQ(u'x', untouched[0]);
}

// A configuration block cut short: which read fails (a length field is an
// integer of its own), and what was read before the cut, which the
// launcher stores so that the error is shown with the block's caption.
#include <gtest/gtest.h>

#include "launcher/config/ConfigBlock.h"
#include "launcher/config/ConfigTables.h"

namespace {

BlockData blockWithGroups() {
    BlockData b;
    b.config = {{101, "orvane"}, {107, "4"}};
    b.messages = {{1000, u"Error"}, {1009, u"Internal {0}"}};
    b.groups = {{"de", {{1000, u"Fehler"}}}, {"", {{1000, u"Caption"}, {1013, u"Ok"}}}};
    return b;
}

// Reads the first `length` bytes of the block as the launcher does.
BlockStatus readCut(const std::vector<uint8_t>& bytes, size_t length, BlockData& out) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(length));
    MemorySource source(part);
    BlockStatus status = readBlockHead(source, out);
    return status == BlockStatus::Ok ? readBlockGroups(source, out) : status;
}

std::wstring message(int id) {
    wchar_t buffer[kBufferChars];
    messageText(id, buffer);
    return buffer;
}

// Offsets in blockWithGroups(): 24 is the first entry's id, 28 its length.
constexpr size_t kFirstValueLength = 28;

}  // namespace

TEST(ConfigBlockCut, InsideALengthFieldIsAReadIntError) {
    std::vector<uint8_t> bytes = serializeBlock(blockWithGroups());
    BlockData read;
    EXPECT_EQ(readCut(bytes, kFirstValueLength + 2, read), BlockStatus::ReadInt);
    read = BlockData();
    EXPECT_EQ(readCut(bytes, kFirstValueLength + 4 + 3, read), BlockStatus::ReadString);

    // Inside a text's length and inside the text itself.  The last entry,
    // "Ok", ends the block: 4 bytes id, 4 length, 4 text.
    size_t end = bytes.size();
    read = BlockData();
    EXPECT_EQ(readCut(bytes, end - 5, read), BlockStatus::ReadInt);
    read = BlockData();
    EXPECT_EQ(readCut(bytes, end - 1, read), BlockStatus::ReadWString);
    // The second group: the length of its empty prefix, its count, then
    // the entries "Caption" and "Ok".
    const size_t okEntry = 4 + 4 + 4, captionEntry = 4 + 4 + 14, count = 4;
    size_t prefixLength = end - okEntry - captionEntry - count - 4;
    read = BlockData();
    EXPECT_EQ(readCut(bytes, prefixLength + 1, read), BlockStatus::ReadInt);
    read = BlockData();
    EXPECT_EQ(readCut(bytes, prefixLength + 4 + 2, read), BlockStatus::ReadInt);
}

TEST(ConfigBlockCut, EntriesBeforeTheCutAreKept) {
    std::vector<uint8_t> bytes = serializeBlock(blockWithGroups());
    BlockData read;
    // Inside the last text: every whole entry before it, the empty-prefix
    // group with its first entry, is kept.
    ASSERT_EQ(readCut(bytes, bytes.size() - 1, read), BlockStatus::ReadWString);
    ASSERT_EQ(read.config.size(), 2u);
    ASSERT_EQ(read.messages.size(), 2u);
    ASSERT_EQ(read.groups.size(), 2u);
    EXPECT_EQ(read.groups[1].prefix, "");
    ASSERT_EQ(read.groups[1].messages.size(), 1u);
    EXPECT_EQ(read.groups[1].messages[0].text, u"Caption");
}

TEST(ConfigBlockCut, StoredTablesGiveTheCaptionAndLeaveTheMessageBoxSet) {
    std::vector<uint8_t> bytes = serializeBlock(blockWithGroups());
    setMessageBoxFlag(true);

    BlockData inGroups;
    readCut(bytes, bytes.size() - 1, inGroups);
    storeConfigurationTables(inGroups, "en_US");
    EXPECT_EQ(message(1000), L"Caption");  // the empty prefix applies everywhere
    EXPECT_EQ(message(1013), L"");
    EXPECT_TRUE(messageBoxFlag());  // key 107 ("4") is not applied yet

    BlockData inMessages;
    size_t secondMessageText = 24 + (4 + 4 + 6) + (4 + 4 + 1) + 4 + (4 + 4 + 10) + 4 + 4;
    ASSERT_EQ(readCut(bytes, secondMessageText + 3, inMessages), BlockStatus::ReadWString);
    storeConfigurationTables(inMessages, "de_AT");
    EXPECT_EQ(message(1000), L"Error");
    EXPECT_EQ(message(1009), L"");
    EXPECT_TRUE(messageBoxFlag());
}

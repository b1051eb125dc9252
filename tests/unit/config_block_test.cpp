// Reading the configuration block from bytes, and the accessors over the
// tables it fills.
#include <gtest/gtest.h>

#include "launcher/config/ConfigBlock.h"
#include "launcher/config/ConfigTables.h"
#include "tests/support/HostLog.h"

namespace {

BlockData sampleBlock() {
    BlockData b;
    b.header2 = 0x1234;
    b.config = {{101, "orvane Service"}, {107, "4"}, {2001, "i"}};
    b.messages = {{1000, u"Error"}, {1009, u"An internal error occurred (error code: {0})"}};
    return b;
}

// Reads a serialized block the way the launcher does: head, then groups.
BlockStatus readAll(const std::vector<uint8_t>& bytes, BlockData& out, uint32_t* end = nullptr) {
    MemorySource source(bytes);
    BlockStatus status = readBlockHead(source, out);
    if (status == BlockStatus::Ok) status = readBlockGroups(source, out);
    if (end) *end = source.position();
    return status;
}

void putInt(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::wstring message(int id) {
    wchar_t buffer[kBufferChars];
    messageText(id, buffer);
    return buffer;
}

std::string config(int id, int size = kBufferChars) {
    std::vector<char> buffer(static_cast<size_t>(size));
    configString(id, buffer.data(), size);
    return buffer.data();
}

}  // namespace

TEST(ConfigBlockFormat, EntryBytesAreLittleEndianIdLengthValue) {
    BlockData b;
    b.config = {{102, "1"}};
    std::vector<uint8_t> bytes = serializeBlock(b);
    const uint8_t entry[] = {0x66, 0, 0, 0, 1, 0, 0, 0, '1'};
    ASSERT_GE(bytes.size(), 24u + sizeof entry);
    EXPECT_TRUE(std::equal(entry, entry + sizeof entry, bytes.begin() + 24));
    EXPECT_EQ(bytes[0], 0xD5);
    EXPECT_EQ(bytes[3], 0xE8);
}

TEST(ConfigBlockFormat, HeaderField3CountsFromItselfToTheEnd) {
    BlockData b = sampleBlock();
    std::vector<uint8_t> bytes = serializeBlock(b);
    BlockData read;
    uint32_t end = 0;
    ASSERT_EQ(readAll(bytes, read, &end), BlockStatus::Ok);
    EXPECT_EQ(read.header3, bytes.size() - 12);
    EXPECT_EQ(end, bytes.size());
}

TEST(ConfigBlockFormat, RoundTripKeepsOrderDuplicatesAndGroups) {
    BlockData b = sampleBlock();
    b.config.push_back({101, "later"});
    b.groups = {{"pt", {{1000, u"Erro"}}}, {"", {{1013, u"\u00c4\u20ac\U0001F600"}}}};
    BlockData read;
    ASSERT_EQ(readAll(serializeBlock(b), read), BlockStatus::Ok);
    ASSERT_EQ(read.config.size(), 4u);
    EXPECT_EQ(read.config[3].value, "later");
    ASSERT_EQ(read.groups.size(), 2u);
    EXPECT_EQ(read.groups[1].messages[0].text, u"\u00c4\u20ac\U0001F600");
}

TEST(ConfigBlockRead, NegativeCountsMeanEmptyLists) {
    std::vector<uint8_t> bytes;
    putInt(bytes, kBlockMagic);
    for (int i = 0; i < 4; ++i) putInt(bytes, 0);
    for (int list = 0; list < 3; ++list) putInt(bytes, 0x80000000u);
    BlockData read;
    uint32_t end = 0;
    EXPECT_EQ(readAll(bytes, read, &end), BlockStatus::Ok);
    EXPECT_TRUE(read.config.empty() && read.messages.empty() && read.groups.empty());
    EXPECT_EQ(end, bytes.size());
}

TEST(ConfigBlockRead, WrongMagicIsRefused) {
    std::vector<uint8_t> bytes = serializeBlock(sampleBlock());
    bytes[0] ^= 1;
    BlockData read;
    EXPECT_EQ(readAll(bytes, read), BlockStatus::Magic);
    EXPECT_STREQ(blockStatusText(BlockStatus::Magic), L"Internal Error: magic");
}

TEST(ConfigBlockRead, NegativeOrOversizedLengthFailsWithoutAllocating) {
    for (uint32_t length : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 1000u}) {
        std::vector<uint8_t> bytes;
        putInt(bytes, kBlockMagic);
        for (int i = 0; i < 4; ++i) putInt(bytes, 0);
        putInt(bytes, 1);     // one configuration entry
        putInt(bytes, 101);   // its id
        putInt(bytes, length);
        bytes.push_back('x');
        BlockData read;
        EXPECT_EQ(readAll(bytes, read), BlockStatus::ReadString) << length;
    }
    BlockData withMessage;
    withMessage.messages = {{1000, u"Error"}};
    std::vector<uint8_t> bytes = serializeBlock(withMessage);
    bytes[bytes.size() - 4 - 10 - 4] = 0xFF;  // the text's length, low byte
    BlockData read;
    EXPECT_EQ(readAll(bytes, read), BlockStatus::ReadWString);
}

TEST(ConfigBlockRead, EveryCutEndsInAFatalStatus) {
    BlockData b = sampleBlock();
    b.groups = {{"de", {{1000, u"Fehler"}}}};
    std::vector<uint8_t> bytes = serializeBlock(b);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<long>(cut));
        BlockData read;
        EXPECT_NE(readAll(part, read), BlockStatus::Ok) << "cut at " << cut;
    }
}

TEST(ConfigBlockRead, ShortReadsLogTheCountRead) {
    std::vector<uint8_t> bytes = {0xD5, 0x13};
    clearHostLog();
    BlockData read;
    EXPECT_EQ(readAll(bytes, read), BlockStatus::ReadInt);
    EXPECT_TRUE(hostLogContains(L"error 0 2"));
}

TEST(ConfigBlockLocate, BlockStartsBehindTheLastSectionsRawData) {
    // A minimal image: e_lfanew = 64, 2 sections, optional header of 240.
    std::vector<uint8_t> image(1024, 0);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) image[at + i] = uint8_t(v >> (8 * i)); };
    put32(0x3C, 64);
    image[64 + 6] = 2;
    image[64 + 20] = 240;
    size_t lastHeader = 64 + 24 + 240 + 40;
    put32(lastHeader + 16, 0x200);  // raw size
    put32(lastHeader + 20, 0x400);  // raw offset
    MemorySource source(image);
    uint32_t offset = 0;
    clearHostLog();
    ASSERT_EQ(locateBlock(source, offset), BlockStatus::Ok);
    EXPECT_EQ(offset, 0x600u);
    EXPECT_TRUE(hostLogContains(L"number of sections: 2"));
    EXPECT_TRUE(hostLogContains(L"resSectionTableStart: 368"));
    EXPECT_TRUE(hostLogContains(L"rawDataSize: 512, rawDataOffset: 1024"));

    put32(lastHeader + 16, 0);  // an empty last section: the block is at its offset
    MemorySource again(image);
    ASSERT_EQ(locateBlock(again, offset), BlockStatus::Ok);
    EXPECT_EQ(offset, 0x400u);
}

TEST(ConfigBlockLocate, TruncatedHeadersFail) {
    std::vector<uint8_t> image(0x3E, 0);
    MemorySource source(image);
    uint32_t offset = 0;
    EXPECT_EQ(locateBlock(source, offset), BlockStatus::ReadInt);
}

TEST(LanguageGroups, LaterMatchingGroupsWinInBlockOrder) {
    BlockData b;
    b.messages = {{1000, u"Error"}, {1001, u"base"}};
    b.groups = {{"pt", {{1000, u"pt"}, {1001, u"pt only"}}}, {"pt_BR", {{1000, u"pt_BR"}}}};
    applyConfigurationBlock(b, "pt_BR");
    EXPECT_EQ(message(1000), L"pt_BR");
    EXPECT_EQ(message(1001), L"pt only");
    applyConfigurationBlock(b, "pt_PT");
    EXPECT_EQ(message(1000), L"pt");
    std::swap(b.groups[0], b.groups[1]);
    applyConfigurationBlock(b, "pt_BR");
    EXPECT_EQ(message(1000), L"pt");
}

TEST(LanguageGroups, EmptyPrefixMatchesAndPrefixIsCaseSensitive) {
    EXPECT_TRUE(languageGroupMatches("", "en"));
    EXPECT_TRUE(languageGroupMatches("de", "de_AT"));
    EXPECT_FALSE(languageGroupMatches("DE", "de_AT"));
    EXPECT_FALSE(languageGroupMatches("de_AT_x", "de_AT"));
    EXPECT_FALSE(languageGroupMatches("de_CH", "de_AT"));
}

TEST(ConfigAccessors, EmptyBlockReadsAsZerosAndClearsTheMessageBox) {
    setMessageBoxFlag(true);
    applyConfigurationBlock(BlockData(), "en");
    EXPECT_EQ(configInt(107), 0);
    EXPECT_EQ(config(101), "");
    EXPECT_EQ(message(1000), L"");
    EXPECT_FALSE(messageBoxFlag());
}

TEST(ConfigAccessors, ExecutableTypeDecidesTheMessageBox) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true}, {"5", true}, {" 5", true}, {"5x", true}, {"4", false}, {"", false}, {"15", false}};
    for (const auto& c : cases) {
        setMessageBoxFlag(true);
        BlockData b;
        b.config = {{107, c.first}};
        applyConfigurationBlock(b, "en");
        EXPECT_EQ(messageBoxFlag(), c.second) << '"' << c.first << '"';
    }
}

TEST(ConfigAccessors, ConfigIntFollowsStrtol) {
    BlockData b;
    b.config = {{1, "  42"}, {2, "-7"}, {3, "+8"}, {4, "x9"}, {5, "12abc"}, {6, "99999999999"}, {7, "-99999999999"}};
    applyConfigurationBlock(b, "en");
    EXPECT_EQ(configInt(1), 42);
    EXPECT_EQ(configInt(2), -7);
    EXPECT_EQ(configInt(3), 8);
    EXPECT_EQ(configInt(4), 0);
    EXPECT_EQ(configInt(5), 12);
    EXPECT_EQ(configInt(6), INT32_MAX);
    EXPECT_EQ(configInt(7), INT32_MIN);
    EXPECT_EQ(configInt(8), 0);
}

TEST(ConfigAccessors, DuplicateIdsKeepTheLaterValue) {
    BlockData b;
    b.config = {{101, "first"}, {101, "second"}};
    applyConfigurationBlock(b, "en");
    EXPECT_EQ(config(101), "second");
}

TEST(ConfigAccessors, ValuesOf6000BytesAreCutAndLogged) {
    BlockData b;
    b.config = {{1, std::string(5999, 'a')}, {2, std::string(6000, 'b')}};
    applyConfigurationBlock(b, "en");
    clearHostLog();
    char buffer[kBufferChars];
    EXPECT_EQ(configString(1, buffer, sizeof buffer), 5999);
    EXPECT_FALSE(hostLogContains(L"truncated"));
    EXPECT_EQ(configString(2, buffer, sizeof buffer), 5999);
    EXPECT_EQ(std::string(buffer), std::string(5999, 'b'));
    EXPECT_TRUE(hostLogContains(L"ERROR: config string 2 truncated (6000 6000)"));
    EXPECT_EQ(configStringCopy(2).size(), 6000u);
}

TEST(ConfigAccessors, WideValuesWidenByteByByte) {
    BlockData b;
    b.config = {{1, "a\xE4"}};
    b.messages = {{1000, u"box caption"}};
    applyConfigurationBlock(b, "en");
    wchar_t buffer[kBufferChars];
    EXPECT_EQ(configWideString(1, buffer, kBufferChars), 2);
    EXPECT_EQ(std::wstring(buffer), L"a\u00e4");
    EXPECT_EQ(messageOrConfigText(1000, buffer), 11);
    EXPECT_EQ(messageOrConfigText(1, buffer), 2);  // falls back to the configuration value
    EXPECT_EQ(messageOrConfigText(2, buffer), 0);
}

TEST(ConfigAccessors, FlavourIsTheFirstCharacterOfKey2001) {
    BlockData b;
    b.config = {{2001, "inst"}};
    applyConfigurationBlock(b, "en");
    readLauncherFlavour();
    EXPECT_TRUE(isTavraFlavour());
    applyConfigurationBlock(BlockData(), "en");
    readLauncherFlavour();
    EXPECT_FALSE(isTavraFlavour());
}

TEST(ConfigAccessors, WideValuesOf6000CharactersAreCutAndLoggedToo) {
    BlockData b;
    b.config = {{1, std::string(5999, 'a')}, {3, std::string(7000, 'c')}};
    applyConfigurationBlock(b, "en");
    clearHostLog();
    wchar_t buffer[kBufferChars];
    EXPECT_EQ(configWideString(1, buffer, kBufferChars), 5999);
    EXPECT_FALSE(hostLogContains(L"truncated"));
    EXPECT_EQ(configWideString(3, buffer, kBufferChars), 5999);
    EXPECT_EQ(std::wstring(buffer), std::wstring(5999, L'c'));
    EXPECT_TRUE(hostLogContains(L"ERROR: config string 3 truncated (6000 7000)"));
}

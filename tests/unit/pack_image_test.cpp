// Packing onto PE images and reading packed launchers back, on a small PE
// image built in memory.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/pack/Image.h"

namespace {

struct FakeSection {
    const char* name;
    uint32_t rawOffset;
    uint32_t rawSize;
};

struct FakePe {
    std::vector<FakeSection> sections = {{".text", 0x200, 0x200}, {".rdata", 0x400, 0x200}};
    size_t fileSize = 0x600;
    uint32_t checksum = 0;
    uint32_t securityOffset = 0;
    uint32_t securitySize = 0;
};

constexpr uint32_t kPe = 0x80;
constexpr uint32_t kOptional = kPe + 24;
constexpr uint32_t kOptionalSize = 240;  // PE32+ with 16 data directories
constexpr uint32_t kSectionTable = kOptional + kOptionalSize;
constexpr uint32_t kChecksumAt = kOptional + 64;
constexpr uint32_t kSecurityEntryAt = kOptional + 112 + 4 * 8;

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

// A PE32+ image: DOS header, PE header at 0x80, the sections' headers and
// their data filled with a pattern.
std::vector<uint8_t> buildImage(const FakePe& fake) {
    std::vector<uint8_t> b(fake.fileSize, 0);
    for (size_t i = 0x200; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, kPe);
    std::memcpy(&b[kPe], "PE\0\0", 4);
    put16(b, kPe + 4, 0x8664);
    put16(b, kPe + 6, static_cast<uint16_t>(fake.sections.size()));
    put16(b, kPe + 20, kOptionalSize);
    put16(b, kOptional, 0x20B);
    put32(b, kChecksumAt, fake.checksum);
    put32(b, kOptional + 108, 16);
    put32(b, kSecurityEntryAt, fake.securityOffset);
    put32(b, kSecurityEntryAt + 4, fake.securitySize);
    for (size_t i = 0; i < fake.sections.size(); ++i) {
        const size_t h = kSectionTable + 40 * i;
        std::memcpy(&b[h], fake.sections[i].name, std::strlen(fake.sections[i].name));
        put32(b, h + 16, fake.sections[i].rawSize);
        put32(b, h + 20, fake.sections[i].rawOffset);
    }
    return b;
}

std::string imageError(const std::vector<uint8_t>& image) {
    uint32_t end = 0;
    std::string error;
    EXPECT_FALSE(findImageEnd(image, end, error));
    return error;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool contains(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (contains(line, part)) return true;
    return false;
}

LauncherDescription sampleLike() {
    LauncherDescription d;
    d.block.header2 = 2310;
    d.block.config = {{101, "orvane Service"}, {102, "1"}, {123, "-Da \"-Db=1\""}, {101, "again"}};
    d.block.messages = {{1000, u"Error"}, {1001, std::u16string({u'a', 0xD800, u'\n'})}};
    d.block.groups = {{"de", {{1000, u"Fehler"}}}, {"", {}}};
    addEmbeddedFile(d, "a.dll", {0x00, 0x01, 0xFF});
    addEmbeddedFile(d, "lib\\b.dll", {});
    return d;
}

std::vector<uint8_t> packed(const std::vector<uint8_t>& image, const LauncherDescription& d,
                            std::vector<std::string>* warnings = nullptr) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(packLauncher(image, d, out, error, warnings)) << error;
    return out;
}

LauncherDescription readBack(const std::vector<uint8_t>& launcher, std::vector<std::string>* warnings = nullptr) {
    LauncherDescription d;
    std::string error;
    EXPECT_TRUE(readLauncher(launcher, d, error, warnings)) << error;
    return d;
}

std::string readError(const std::vector<uint8_t>& launcher) {
    LauncherDescription d;
    std::string error;
    EXPECT_FALSE(readLauncher(launcher, d, error));
    return error;
}

std::vector<std::pair<int32_t, std::string>> entries(const BlockData& b) {
    std::vector<std::pair<int32_t, std::string>> out;
    for (const ConfigEntry& e : b.config) out.emplace_back(e.id, e.value);
    return out;
}

}  // namespace

TEST(PackImage, BlockGoesBehindTheLastSectionHeadersData) {
    uint32_t end = 0;
    std::string error;
    ASSERT_TRUE(findImageEnd(buildImage(FakePe()), end, error)) << error;
    EXPECT_EQ(end, 0x600u);

    FakePe withBss;
    withBss.sections.push_back({".bss", 0x600, 0});
    ASSERT_TRUE(findImageEnd(buildImage(withBss), end, error)) << error;
    EXPECT_EQ(end, 0x600u);
}

TEST(PackImage, RefusesImagesWithoutAPlaceForTheBlock) {
    std::vector<uint8_t> image = buildImage(FakePe());
    std::vector<uint8_t> bad = image;
    bad[1] = 'X';
    EXPECT_TRUE(contains(imageError(bad), "no MZ signature"));
    EXPECT_TRUE(contains(imageError(std::vector<uint8_t>(image.begin(), image.begin() + 32)), "no MZ signature"));
    bad = image;
    put32(bad, 0x3C, 0x5F0);
    EXPECT_TRUE(contains(imageError(bad), "PE header offset 1520 lies outside the file"));
    bad = image;
    bad[kPe + 1] = 'X';
    EXPECT_TRUE(contains(imageError(bad), "no PE signature at offset 128"));

    FakePe fake;
    fake.sections.clear();
    EXPECT_TRUE(contains(imageError(buildImage(fake)), "no sections"));
    bad = image;
    put16(bad, kPe + 6, 40);
    EXPECT_TRUE(contains(imageError(bad), "section table (40 sections at offset 392) lies outside the file"));

    fake = FakePe();
    fake.sections[1].rawSize = 0x400;
    EXPECT_TRUE(contains(imageError(buildImage(fake)), "ends at 2048, behind the end of the file (1536 bytes)"));
    fake = FakePe();
    std::swap(fake.sections[0], fake.sections[1]);  // the last header is not the last data
    EXPECT_TRUE(contains(imageError(buildImage(fake)),
                         "section 1 (.rdata) ends at 1536, behind the end of the last section (1024)"));
    fake = FakePe();
    fake.sections.push_back({".bss", 0, 0});  // would put the block at offset 0
    EXPECT_TRUE(contains(imageError(buildImage(fake)), "inside the headers"));
}

TEST(PackImage, PackedLauncherLayout) {
    const std::vector<uint8_t> image = buildImage(FakePe());
    std::vector<uint8_t> trailing = image;
    trailing.insert(trailing.end(), {0xE8, 0xE4, 0x13, 0xD5, 0, 0});  // dropped like any trailing bytes
    LauncherDescription d = sampleLike();
    std::vector<std::string> warnings;
    const std::vector<uint8_t> out = packed(trailing, d, &warnings);
    ASSERT_GT(out.size(), 0x600u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), out.begin()));
    EXPECT_TRUE(contains(warnings, "6 bytes behind the image's last section are dropped"));

    // The block, with keys 2002 and 2003 appended for the files.
    BlockData expected = d.block;
    expected.config.push_back({2002, "2"});
    expected.config.push_back({2003, "a.dll;lib\\b.dll"});
    const std::vector<uint8_t> block = serializeBlock(expected);
    ASSERT_TRUE(std::equal(block.begin(), block.end(), out.begin() + 0x600));
    EXPECT_EQ(get32(out, 0x600 + 12), blockLengthField(expected));
    const uint8_t entry102[] = {0x66, 0, 0, 0, 1, 0, 0, 0, 0x31};
    EXPECT_NE(std::search(out.begin(), out.end(), entry102, entry102 + 9), out.end());

    // The files: 8-byte size, bytes XOR 0xB9; an empty file is its size alone.
    const std::vector<uint8_t> files(out.begin() + 0x600 + static_cast<long>(block.size()), out.end());
    const std::vector<uint8_t> want = {3, 0, 0, 0, 0, 0, 0, 0, 0xB9, 0xB8, 0x46, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(files, want);
}

TEST(PackImage, PackReadPackGivesTheSameBytes) {
    const std::vector<uint8_t> image = buildImage(FakePe());
    const std::vector<uint8_t> first = packed(image, sampleLike());
    std::vector<std::string> warnings;
    const LauncherDescription back = readBack(first, &warnings);
    EXPECT_TRUE(warnings.empty());

    EXPECT_EQ(back.block.header2, 2310u);
    EXPECT_TRUE(back.header3IsLength);
    EXPECT_EQ(back.block.config.size(), 6u);
    EXPECT_EQ(back.block.messages[1].text, std::u16string({u'a', 0xD800, u'\n'}));
    ASSERT_EQ(back.block.groups.size(), 2u);
    EXPECT_EQ(back.block.groups[1].prefix, "");
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[0].data, std::vector<uint8_t>({0x00, 0x01, 0xFF}));
    EXPECT_EQ(back.files[1].name, "lib\\b.dll");
    EXPECT_TRUE(back.files[1].data.empty());

    warnings.clear();
    EXPECT_EQ(packed(image, back, &warnings), first);
    EXPECT_TRUE(warnings.empty());
    // An already packed launcher serves as image too.
    EXPECT_EQ(packed(first, back), first);
}

TEST(PackImage, StatedHeaderFieldsAreKept) {
    LauncherDescription d;
    d.block.header1 = 9;
    d.header3IsLength = false;
    d.block.header3 = 0;  // stated as 0, not the length
    const std::vector<uint8_t> out = packed(buildImage(FakePe()), d);
    EXPECT_EQ(get32(out, 0x600 + 4), 9u);
    EXPECT_EQ(get32(out, 0x600 + 12), 0u);
    EXPECT_EQ(get32(out, 0x600 + 16), 0u);
    const LauncherDescription back = readBack(out);
    EXPECT_FALSE(back.header3IsLength);
    EXPECT_EQ(back.block.header3, 0u);
    EXPECT_EQ(packed(buildImage(FakePe()), back), out);
}

TEST(PackImage, FileKeysFollowTheFiles) {
    const std::vector<EmbeddedFile> two = {{"a.dll", "", {}}, {"lib\\b.dll", "", {}}};
    std::vector<std::string> notes;

    // Entries that the launcher reads as these files stay byte for byte.
    BlockData kept;
    kept.config = {{2002, "02"}, {2003, "a.dll;;lib\\b.dll;extra.dll"}, {101, "x"}};
    syncEmbeddedFileKeys(kept, two, &notes);
    EXPECT_EQ(entries(kept), (std::vector<std::pair<int32_t, std::string>>{
                                 {2002, "02"}, {2003, "a.dll;;lib\\b.dll;extra.dll"}, {101, "x"}}));
    EXPECT_TRUE(notes.empty());

    // Wrong entries are rewritten where they are; only the last of an id counts.
    BlockData wrong;
    wrong.config = {{2002, "2"}, {2002, "1"}, {2003, "a.dll"}, {101, "x"}};
    syncEmbeddedFileKeys(wrong, two, &notes);
    EXPECT_EQ(entries(wrong), (std::vector<std::pair<int32_t, std::string>>{
                                  {2002, "2"}, {2002, "2"}, {2003, "a.dll;lib\\b.dll"}, {101, "x"}}));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0], "key 2002 was \"1\"; set to \"2\" to match the embedded files");

    // No files: a count that announces some would make the launcher read garbage.
    BlockData none;
    none.config = {{2002, "3"}, {2003, "a;b;c"}};
    notes.clear();
    syncEmbeddedFileKeys(none, {}, &notes);
    EXPECT_EQ(entries(none), (std::vector<std::pair<int32_t, std::string>>{{2002, "0"}, {2003, "a;b;c"}}));
    EXPECT_EQ(notes.size(), 1u);

    BlockData empty;
    syncEmbeddedFileKeys(empty, {}, &notes);
    EXPECT_TRUE(empty.config.empty());
}

TEST(PackImage, ReadingRefusesDamagedLaunchers) {
    const std::vector<uint8_t> image = buildImage(FakePe());
    EXPECT_TRUE(contains(readError(image), "no configuration block behind the last section (offset 1536)"));

    const std::vector<uint8_t> good = packed(image, sampleLike());
    std::vector<uint8_t> cut(good.begin(), good.begin() + 0x600 + 40);
    EXPECT_TRUE(contains(readError(cut), "is damaged: Internal Error: read"));

    // The launcher ends with a.dll's size, its 3 bytes and the empty file's size.
    cut.assign(good.begin(), good.end() - 8);
    EXPECT_TRUE(contains(readError(cut), "the launcher ends before the size of embedded file \"lib\\b.dll\""));
    cut.assign(good.begin(), good.end() - 9);
    EXPECT_TRUE(contains(readError(cut), "the launcher ends inside embedded file \"a.dll\" (3 bytes announced, 2 present)"));

    std::vector<uint8_t> negative = good;
    for (size_t i = negative.size() - 8; i < negative.size(); ++i) negative[i] = 0xFF;
    EXPECT_TRUE(contains(readError(negative), "has the size -1"));

    std::vector<uint8_t> signedLike = good;
    signedLike.insert(signedLike.end(), 24, 0x30);
    std::vector<std::string> warnings;
    readBack(signedLike, &warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(contains(warnings[0], "24 bytes behind the embedded data"));
}

TEST(PackImage, SignatureEntryIsClearedAndChecksumRenewed) {
    FakePe fake;
    fake.checksum = 0x1234;
    fake.securityOffset = 0x600;
    fake.securitySize = 0x20;
    fake.fileSize = 0x620;
    std::vector<std::string> warnings;
    const std::vector<uint8_t> out = packed(buildImage(fake), sampleLike(), &warnings);
    EXPECT_EQ(get32(out, kSecurityEntryAt), 0u);
    EXPECT_EQ(get32(out, kSecurityEntryAt + 4), 0u);
    EXPECT_TRUE(contains(warnings, "signature is dropped"));
    EXPECT_TRUE(contains(warnings, "32 bytes behind the image's last section are dropped"));
    EXPECT_NE(get32(out, kChecksumAt), 0x1234u);
    EXPECT_EQ(get32(out, kChecksumAt), peChecksum(out, kChecksumAt));

    // Without a checksum in the image there is none in the launcher.
    EXPECT_EQ(get32(packed(buildImage(FakePe()), sampleLike()), kChecksumAt), 0u);
}

TEST(PackImage, ChecksumFoldsCarriesAndAddsTheLength) {
    EXPECT_EQ(peChecksum({0x01, 0x02, 0x03}, 100), 0x0204u + 3);
    EXPECT_EQ(peChecksum({0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00}, 100), 1u + 6);
    // The checksum's own four bytes count as zero.
    EXPECT_EQ(peChecksum({0x05, 0x00, 0xAA, 0xBB, 0xCC, 0xDD}, 2), 5u + 6);
}

TEST(PackImage, LimitsAreCheckedWhenPacking) {
    const std::vector<uint8_t> image = buildImage(FakePe());
    std::vector<uint8_t> out;
    std::string error;
    LauncherDescription d;
    setConfigValue(d, 123, std::string(5999, 'x'));
    EXPECT_TRUE(packLauncher(image, d, out, error)) << error;
    setConfigValue(d, 123, std::string(6000, 'x'));
    EXPECT_FALSE(packLauncher(image, d, out, error));
    EXPECT_EQ(error, "the value of key 123 has 6000 bytes; the launcher reads at most 5999");

    d = LauncherDescription();
    setGroupMessageText(d, "de", 1000, std::u16string(6000, u'x'));
    EXPECT_FALSE(packLauncher(image, d, out, error));
    EXPECT_TRUE(contains(error, "message 1000 has 6000 characters"));

    d = LauncherDescription();
    addEmbeddedFile(d, "..\\evil.dll", {1});
    EXPECT_FALSE(packLauncher(image, d, out, error));
    EXPECT_TRUE(contains(error, "must stay inside the extraction directory"));

    // So many names that key 2003 would be cut by the launcher.
    d = LauncherDescription();
    for (int i = 0; i < 600; ++i) addEmbeddedFile(d, "file" + std::to_string(1000 + i) + ".x", {});
    EXPECT_FALSE(packLauncher(image, d, out, error));
    EXPECT_TRUE(contains(error, "key 2003"));
}

// The configuration block appended to a launcher image: its byte layout,
// how it is found behind the last PE section, and how it is read and
// written.  Used by the launcher (read) and by the packaging tool (read and
// write).  All integers are little-endian and unaligned.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/config/ByteSource.h"

constexpr uint32_t kBlockMagic = 0xE8E413D5u;

struct ConfigEntry {
    int32_t id;
    std::string value;  // bytes as stored, no code-page conversion
};

struct MessageEntry {
    int32_t id;
    std::u16string text;  // UTF-16 code units as stored
};

struct LanguageGroup {
    std::string prefix;  // compared with the start of the locale name
    std::vector<MessageEntry> messages;
};

struct BlockData {
    // The launcher ignores the three header fields.  Field 3 is written as
    // the number of bytes from its own first byte to the end of the block.
    uint32_t header1 = 0;
    uint32_t header2 = 0;
    uint64_t header3 = 0;
    std::vector<ConfigEntry> config;
    std::vector<MessageEntry> messages;
    std::vector<LanguageGroup> groups;
};

// Every way reading can fail.  Each is fatal for the launcher and has a
// fixed text (blockStatusText).
enum class BlockStatus { Ok, Magic, ReadShort, ReadInt, ReadLong, ReadString, ReadWString };

const wchar_t* blockStatusText(BlockStatus status);

// Reads the PE headers of the image and returns the offset right behind the
// raw data of the last section header, where the block starts.  Does not
// check the MZ or PE signatures (the launcher never did).
BlockStatus locateBlock(ByteSource& image, uint32_t& blockOffset);

// Reads the block from the current position in two steps: magic, header,
// configuration entries and messages; then the language groups.  The
// launcher detects the locale between the two.  A length that is negative
// or larger than the rest of the data is refused before any allocation.
// On failure `block` keeps every entry read whole before the failure (and
// the group it belongs to), as the launcher stores entries while reading.
BlockStatus readBlockHead(ByteSource& image, BlockData& block);
BlockStatus readBlockGroups(ByteSource& image, BlockData& block);

// The number of bytes from the first byte of header field 3 to the end of
// the block, as serializeBlock writes it.
uint64_t blockLengthField(const BlockData& block);

// The block's bytes.  Header fields 1 and 2 are written as given; field 3
// as given when nonzero, else as blockLengthField.
std::vector<uint8_t> serializeBlock(const BlockData& block);

// True when the locale name begins with the whole prefix (case-sensitive);
// an empty prefix matches every locale.
bool languageGroupMatches(const std::string& prefix, const char* localeName);

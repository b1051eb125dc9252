#include "launcher/config/ConfigBlock.h"

#include <algorithm>
#include <cstring>

#include "launcher/config/Log.h"

namespace {

constexpr uint32_t kPeHeaderPointer = 0x3C;
constexpr uint32_t kSectionHeaderSize = 40;

bool readExact(ByteSource& in, void* out, uint32_t count, uint32_t& got, uint32_t& error) {
    return in.read(out, count, got, error) && got == count;
}

bool readShort(ByteSource& in, int16_t& value) {
    uint8_t b[2];
    uint32_t got = 0, error = 0;
    if (!readExact(in, b, 2, got, error)) {
        logLine(L"error %d\n", static_cast<int>(error));
        return false;
    }
    value = static_cast<int16_t>(b[0] | (b[1] << 8));
    return true;
}

bool readInt(ByteSource& in, int32_t& value) {
    uint8_t b[4];
    uint32_t got = 0, error = 0;
    if (!readExact(in, b, 4, got, error)) {
        logLine(L"error %d %d\n", static_cast<int>(error), static_cast<int>(got));
        return false;
    }
    value = static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
    return true;
}

bool readLong(ByteSource& in, int64_t& value) {
    uint8_t b[8];
    uint32_t got = 0, error = 0;
    if (!readExact(in, b, 8, got, error)) {
        logLine(L"error %d\n", static_cast<int>(error));
        return false;
    }
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
    value = static_cast<int64_t>(v);
    return true;
}

// A length is usable when it is not negative and the rest of the data can
// hold it; anything else would allocate for bytes that do not exist.
bool lengthFits(ByteSource& in, int32_t length) {
    if (length < 0) return false;
    uint64_t pos = in.position();
    uint64_t size = in.size();
    return pos <= size && static_cast<uint64_t>(length) <= size - pos;
}

// The length is a readInt of its own: a block cut inside it fails as
// readInt, one cut inside the bytes (or a length the rest cannot hold) as
// readString or readWString.
BlockStatus readString(ByteSource& in, std::string& value) {
    int32_t length = 0;
    if (!readInt(in, length)) return BlockStatus::ReadInt;
    if (!lengthFits(in, length)) return BlockStatus::ReadString;
    value.assign(static_cast<size_t>(length), '\0');
    uint32_t got = 0, error = 0;
    if (length && !readExact(in, &value[0], static_cast<uint32_t>(length), got, error)) return BlockStatus::ReadString;
    return BlockStatus::Ok;
}

BlockStatus readWString(ByteSource& in, std::u16string& value) {
    int32_t length = 0;
    if (!readInt(in, length)) return BlockStatus::ReadInt;
    if (!lengthFits(in, length)) return BlockStatus::ReadWString;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    uint32_t got = 0, error = 0;
    if (length && !readExact(in, bytes.data(), static_cast<uint32_t>(length), got, error))
        return BlockStatus::ReadWString;
    value.resize(bytes.size() / 2);
    for (size_t i = 0; i < value.size(); ++i)
        value[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return BlockStatus::Ok;
}

BlockStatus readMessages(ByteSource& in, std::vector<MessageEntry>& out) {
    int32_t count = 0;
    if (!readInt(in, count)) return BlockStatus::ReadInt;
    for (int32_t i = 0; i < count; ++i) {
        MessageEntry entry;
        if (!readInt(in, entry.id)) return BlockStatus::ReadInt;
        BlockStatus status = readWString(in, entry.text);
        if (status != BlockStatus::Ok) return status;
        out.push_back(std::move(entry));
    }
    return BlockStatus::Ok;
}

void putInt(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putLong(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putString(std::vector<uint8_t>& out, const std::string& s) {
    putInt(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

void putWString(std::vector<uint8_t>& out, const std::u16string& s) {
    putInt(out, static_cast<uint32_t>(s.size() * 2));
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
}

void putMessages(std::vector<uint8_t>& out, const std::vector<MessageEntry>& messages) {
    putInt(out, static_cast<uint32_t>(messages.size()));
    for (const MessageEntry& m : messages) {
        putInt(out, static_cast<uint32_t>(m.id));
        putWString(out, m.text);
    }
}

}  // namespace

const wchar_t* blockStatusText(BlockStatus status) {
    switch (status) {
    case BlockStatus::Ok: return L"";
    case BlockStatus::Magic: return L"Internal Error: magic";
    case BlockStatus::ReadShort: return L"Internal Error: readShort";
    case BlockStatus::ReadInt: return L"Internal Error: readInt";
    case BlockStatus::ReadLong: return L"Internal Error: readLong";
    case BlockStatus::ReadString: return L"Internal Error: readString";
    case BlockStatus::ReadWString: return L"Internal Error: readWString";
    }
    return L"Internal Error";
}

BlockStatus locateBlock(ByteSource& image, uint32_t& blockOffset) {
    int32_t peOffset = 0;
    image.seek(kPeHeaderPointer);
    if (!readInt(image, peOffset)) return BlockStatus::ReadInt;

    // The arithmetic is 32-bit, as the headers are; a corrupt header gives an
    // offset past the end, where the next read fails.
    uint32_t pe = static_cast<uint32_t>(peOffset);
    int16_t sections = 0;
    image.seek(pe + 6);
    if (!readShort(image, sections)) return BlockStatus::ReadShort;
    logLine(L"number of sections: %d", static_cast<int>(sections));

    int16_t optionalHeaderSize = 0;
    image.seek(pe + 20);
    if (!readShort(image, optionalHeaderSize)) return BlockStatus::ReadShort;
    logLine(L"size of optional headers: %d", static_cast<int>(optionalHeaderSize));

    // The section table starts at pe + 24 + optionalHeaderSize; the last
    // header is (sections - 1) entries further.
    uint32_t lastHeader = pe + static_cast<uint32_t>(static_cast<int32_t>(optionalHeaderSize)) +
                          kSectionHeaderSize * static_cast<uint32_t>(static_cast<int32_t>(sections)) - 16;
    logLine(L"resSectionTableStart: %d", static_cast<int>(lastHeader));

    int32_t rawSize = 0, rawOffset = 0;
    image.seek(lastHeader + 16);
    if (!readInt(image, rawSize)) return BlockStatus::ReadInt;
    image.seek(lastHeader + 20);
    if (!readInt(image, rawOffset)) return BlockStatus::ReadInt;
    logLine(L"rawDataSize: %d, rawDataOffset: %d", static_cast<int>(rawSize), static_cast<int>(rawOffset));

    blockOffset = static_cast<uint32_t>(rawOffset) + static_cast<uint32_t>(rawSize);
    return BlockStatus::Ok;
}

BlockStatus readBlockHead(ByteSource& in, BlockData& block) {
    int32_t magic = 0;
    if (!readInt(in, magic)) return BlockStatus::ReadInt;
    if (static_cast<uint32_t>(magic) != kBlockMagic) return BlockStatus::Magic;

    int32_t h1 = 0, h2 = 0;
    int64_t h3 = 0;
    if (!readInt(in, h1) || !readInt(in, h2)) return BlockStatus::ReadInt;
    if (!readLong(in, h3)) return BlockStatus::ReadLong;
    block.header1 = static_cast<uint32_t>(h1);
    block.header2 = static_cast<uint32_t>(h2);
    block.header3 = static_cast<uint64_t>(h3);

    int32_t count = 0;
    if (!readInt(in, count)) return BlockStatus::ReadInt;
    for (int32_t i = 0; i < count; ++i) {
        ConfigEntry entry;
        if (!readInt(in, entry.id)) return BlockStatus::ReadInt;
        BlockStatus status = readString(in, entry.value);
        if (status != BlockStatus::Ok) return status;
        block.config.push_back(std::move(entry));
    }
    return readMessages(in, block.messages);
}

// A group is kept as soon as its prefix is read, and each of its entries
// as soon as it is whole, so that a block cut inside a group still leaves
// the entries before the cut (the caption among them) to the error shown.
BlockStatus readBlockGroups(ByteSource& in, BlockData& block) {
    int32_t count = 0;
    if (!readInt(in, count)) return BlockStatus::ReadInt;
    for (int32_t i = 0; i < count; ++i) {
        std::string prefix;
        BlockStatus status = readString(in, prefix);
        if (status != BlockStatus::Ok) return status;
        block.groups.push_back({std::move(prefix), {}});
        status = readMessages(in, block.groups.back().messages);
        if (status != BlockStatus::Ok) return status;
    }
    return BlockStatus::Ok;
}

uint64_t blockLengthField(const BlockData& block) {
    BlockData copy = block;
    copy.header3 = 1;  // any nonzero value: only the length is wanted
    return serializeBlock(copy).size() - 12;
}

std::vector<uint8_t> serializeBlock(const BlockData& block) {
    std::vector<uint8_t> out;
    putInt(out, kBlockMagic);
    putInt(out, block.header1);
    putInt(out, block.header2);
    size_t header3At = out.size();
    putLong(out, block.header3);
    putInt(out, static_cast<uint32_t>(block.config.size()));
    for (const ConfigEntry& e : block.config) {
        putInt(out, static_cast<uint32_t>(e.id));
        putString(out, e.value);
    }
    putMessages(out, block.messages);
    putInt(out, static_cast<uint32_t>(block.groups.size()));
    for (const LanguageGroup& g : block.groups) {
        putString(out, g.prefix);
        putMessages(out, g.messages);
    }
    if (block.header3 == 0) {
        std::vector<uint8_t> length;
        putLong(length, out.size() - header3At);
        std::copy(length.begin(), length.end(), out.begin() + static_cast<long>(header3At));
    }
    return out;
}

bool languageGroupMatches(const std::string& prefix, const char* localeName) {
    return prefix.size() <= std::strlen(localeName) &&
           std::memcmp(prefix.data(), localeName, prefix.size()) == 0;
}

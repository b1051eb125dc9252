#include "tools/pack/PeFile.h"

#include <cstring>

namespace {

constexpr uint32_t kCoffHeaderSize = 24;
constexpr uint32_t kSectionHeaderSize = 40;

bool isPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

}  // namespace

uint16_t peU16(const std::vector<uint8_t>& b, uint64_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t peU32(const std::vector<uint8_t>& b, uint64_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void putPeU16(std::vector<uint8_t>& b, uint64_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putPeU32(std::vector<uint8_t>& b, uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t alignUp(uint64_t value, uint32_t alignment) {
    return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

bool readPeFile(const std::vector<uint8_t>& image, PeFile& out, std::string& error) {
    out = PeFile();
    const uint64_t size = image.size();
    if (size < 0x40 || image[0] != 'M' || image[1] != 'Z') {
        error = "not a Windows executable: no MZ signature";
        return false;
    }
    out.pe = peU32(image, 0x3C);
    if (static_cast<uint64_t>(out.pe) + kCoffHeaderSize > size || std::memcmp(&image[out.pe], "PE\0\0", 4) != 0) {
        error = "not a Windows executable: no PE header";
        return false;
    }
    const uint32_t count = peU16(image, out.pe + 6);
    out.optionalSize = peU16(image, out.pe + 20);
    out.optional = out.pe + kCoffHeaderSize;
    if (out.optionalSize < 64 || out.optional + static_cast<uint64_t>(out.optionalSize) > size) {
        error = "the optional header is missing or lies outside the file";
        return false;
    }
    const uint16_t magic = peU16(image, out.optional);
    if (magic != 0x10B && magic != 0x20B) {
        error = "the optional header has the unknown magic number " + std::to_string(magic);
        return false;
    }
    out.pe32Plus = magic == 0x20B;
    out.sectionAlignment = peU32(image, out.optional + 32);
    out.fileAlignment = peU32(image, out.optional + 36);
    out.sizeOfHeaders = peU32(image, out.optional + 60);
    if (!isPowerOfTwo(out.sectionAlignment) || !isPowerOfTwo(out.fileAlignment) ||
        out.fileAlignment > out.sectionAlignment) {
        error = "the image's section or file alignment is not a power of two";
        return false;
    }
    const uint32_t directoriesAt = out.pe32Plus ? 112 : 96;
    if (out.optionalSize >= directoriesAt) {
        out.directories = out.optional + directoriesAt;
        const uint32_t stated = peU32(image, out.directories - 4);
        const uint32_t room = (out.optionalSize - directoriesAt) / 8;
        out.directoryCount = stated < room ? stated : room;
    }
    out.sectionTable = out.optional + static_cast<uint64_t>(out.optionalSize);
    if (count == 0 || out.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * count > size) {
        error = "the image has no sections or its section table lies outside the file";
        return false;
    }
    const uint64_t headersEnd = out.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * count;
    for (uint32_t i = 0; i < count; ++i) {
        PeSection s;
        s.header = out.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * i;
        for (int k = 0; k < 8 && image[s.header + k]; ++k) s.name.push_back(static_cast<char>(image[s.header + k]));
        s.virtualSize = peU32(image, s.header + 8);
        s.virtualAddress = peU32(image, s.header + 12);
        s.rawSize = peU32(image, s.header + 16);
        s.rawOffset = peU32(image, s.header + 20);
        s.characteristics = peU32(image, s.header + 36);
        if (s.rawSize && s.rawEnd() > size) {
            error = "the data of section " + s.name + " lies outside the file";
            return false;
        }
        // A rebuild keeps the file up to a section's data and writes the
        // headers there; data over the headers would cut them off.
        if (s.rawSize && (s.rawOffset < headersEnd || s.rawOffset < out.sizeOfHeaders)) {
            error = "the data of section " + s.name + " lies inside the headers";
            return false;
        }
        out.sections.push_back(s);
    }
    return true;
}

bool dataDirectory(const PeFile& pe, const std::vector<uint8_t>& image, uint32_t index, uint32_t& rva,
                   uint32_t& size) {
    if (index >= pe.directoryCount) return false;
    rva = peU32(image, pe.directories + 8 * index);
    size = peU32(image, pe.directories + 8 * index + 4);
    return rva != 0 || size != 0;
}

void setDataDirectory(const PeFile& pe, std::vector<uint8_t>& image, uint32_t index, uint32_t rva, uint32_t size) {
    if (index >= pe.directoryCount) return;
    putPeU32(image, pe.directories + 8 * index, rva);
    putPeU32(image, pe.directories + 8 * index + 4, size);
}

int sectionOfRva(const PeFile& pe, uint32_t rva) {
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const PeSection& s = pe.sections[i];
        if (rva >= s.virtualAddress && rva < s.virtualEnd()) return static_cast<int>(i);
    }
    return -1;
}

const uint8_t* bytesAtRva(const PeFile& pe, const std::vector<uint8_t>& image, uint32_t rva, uint32_t size) {
    const int index = sectionOfRva(pe, rva);
    if (index < 0) return nullptr;
    const PeSection& s = pe.sections[static_cast<size_t>(index)];
    const uint64_t within = rva - s.virtualAddress;
    if (within + size > s.rawSize) return nullptr;
    return image.data() + s.rawOffset + within;
}

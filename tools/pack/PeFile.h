// The headers of a PE image as far as the resource rebuild needs them:
// the optional header's alignments and sizes, the data directories and
// the section table.  Offsets are file offsets; addresses are RVAs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kRelocationDirectory = 5;

struct PeSection {
    std::string name;
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t characteristics = 0;
    uint64_t header = 0;  // file offset of its section header

    // Where the section ends in memory (the loader maps at least the raw
    // data when the virtual size is 0).
    uint64_t virtualEnd() const { return static_cast<uint64_t>(virtualAddress) + (virtualSize ? virtualSize : rawSize); }
    uint64_t rawEnd() const { return static_cast<uint64_t>(rawOffset) + rawSize; }
};

struct PeFile {
    uint32_t pe = 0;        // offset of "PE\0\0"
    uint32_t optional = 0;  // offset of the optional header
    uint32_t optionalSize = 0;
    bool pe32Plus = false;
    uint32_t sectionAlignment = 0;
    uint32_t fileAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint64_t directories = 0;  // offset of the data directories
    uint32_t directoryCount = 0;
    uint64_t sectionTable = 0;
    std::vector<PeSection> sections;

    uint64_t sizeOfImageAt() const { return optional + 56; }
    uint64_t sizeOfHeadersAt() const { return optional + 60; }
    uint64_t initializedDataAt() const { return optional + 8; }
    uint64_t sectionCountAt() const { return pe + 6; }
};

// Reads and checks the headers: signatures, a section table inside the
// file, power-of-two alignments, every section's raw data inside the file
// and behind the headers (the section table and SizeOfHeaders).
bool readPeFile(const std::vector<uint8_t>& image, PeFile& out, std::string& error);

// The RVA and size of a data directory entry; false when the optional
// header has no such entry or it is empty.
bool dataDirectory(const PeFile& pe, const std::vector<uint8_t>& image, uint32_t index, uint32_t& rva,
                   uint32_t& size);
void setDataDirectory(const PeFile& pe, std::vector<uint8_t>& image, uint32_t index, uint32_t rva, uint32_t size);

// The index of the section whose memory holds the RVA, or -1.
int sectionOfRva(const PeFile& pe, uint32_t rva);
// The file bytes of [rva, rva + size) when they lie within one section's
// raw data; null otherwise.
const uint8_t* bytesAtRva(const PeFile& pe, const std::vector<uint8_t>& image, uint32_t rva, uint32_t size);

uint16_t peU16(const std::vector<uint8_t>& b, uint64_t at);
uint32_t peU32(const std::vector<uint8_t>& b, uint64_t at);
void putPeU16(std::vector<uint8_t>& b, uint64_t at, uint16_t v);
void putPeU32(std::vector<uint8_t>& b, uint64_t at, uint32_t v);
uint64_t alignUp(uint64_t value, uint32_t alignment);

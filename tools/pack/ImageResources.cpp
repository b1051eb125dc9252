#include "tools/pack/ImageResources.h"

#include <algorithm>

namespace {

constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceCharacteristics = 0x40000040;  // initialized data, readable
const char kResourceSectionName[] = ".rsrc";

// True when a data directory other than `allowed` points into the section;
// such a section holds more than its own table and must not move or change.
bool otherDirectoryPointsInto(const PeFile& pe, const std::vector<uint8_t>& image, int section, uint32_t allowed) {
    for (uint32_t i = 0; i < pe.directoryCount; ++i) {
        uint32_t rva = 0, size = 0;
        if (i == allowed || i == kSecurityDirectory || !dataDirectory(pe, image, i, rva, size)) continue;
        if (sectionOfRva(pe, rva) == section) return true;
    }
    return false;
}

// The section that holds exactly the table of `directory`, starting at its
// first byte and shared with no other directory; -1 when there is none.
int ownSectionOf(const PeFile& pe, const std::vector<uint8_t>& image, uint32_t directory) {
    uint32_t rva = 0, size = 0;
    if (!dataDirectory(pe, image, directory, rva, size) || rva == 0) return -1;
    const int index = sectionOfRva(pe, rva);
    if (index < 0 || pe.sections[static_cast<size_t>(index)].virtualAddress != rva) return -1;
    if (pe.sections[static_cast<size_t>(index)].rawSize == 0) return -1;
    return otherDirectoryPointsInto(pe, image, index, directory) ? -1 : index;
}

// True when no section but the given ones reaches into the file or memory
// behind the start of section `from`.
bool onlyTheseAtTheEnd(const PeFile& pe, const PeSection& from, int a, int b) {
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        if (static_cast<int>(i) == a || static_cast<int>(i) == b) continue;
        const PeSection& s = pe.sections[i];
        if (s.virtualEnd() > from.virtualAddress) return false;
        if (s.rawSize && s.rawEnd() > from.rawOffset) return false;
    }
    return true;
}

uint64_t imageSizeOf(const PeFile& pe) {
    uint64_t end = 0;
    for (const PeSection& s : pe.sections) end = std::max(end, s.virtualEnd());
    return alignUp(end, pe.sectionAlignment);
}

void writeSectionHeader(std::vector<uint8_t>& image, uint64_t header, const PeSection& s) {
    std::fill(image.begin() + static_cast<long>(header), image.begin() + static_cast<long>(header + kSectionHeaderSize), 0);
    for (size_t i = 0; i < s.name.size() && i < 8; ++i) image[header + i] = static_cast<uint8_t>(s.name[i]);
    putPeU32(image, header + 8, s.virtualSize);
    putPeU32(image, header + 12, s.virtualAddress);
    putPeU32(image, header + 16, s.rawSize);
    putPeU32(image, header + 20, s.rawOffset);
    putPeU32(image, header + 36, s.characteristics);
}

void updateSize(std::vector<uint8_t>& image, const PeFile& before, int64_t rawGrowth) {
    PeFile after;
    std::string ignored;
    readPeFile(image, after, ignored);
    putPeU32(image, before.sizeOfImageAt(), static_cast<uint32_t>(imageSizeOf(after)));
    const int64_t data = static_cast<int64_t>(peU32(image, before.initializedDataAt())) + rawGrowth;
    putPeU32(image, before.initializedDataAt(), static_cast<uint32_t>(data < 0 ? 0 : data));
}

void padFile(std::vector<uint8_t>& bytes, uint64_t size) {
    if (bytes.size() < size) bytes.resize(size, 0);
}

// The resource section (and the relocations behind it) rewritten where
// they are; the sections before them keep their bytes and addresses.
// Empty when the resources do not fit (writeResources).
std::vector<uint8_t> rebuildInPlace(const std::vector<uint8_t>& image, const PeFile& pe, int resourceIndex,
                                    int relocIndex, const std::vector<Resource>& resources) {
    PeSection rsrc = pe.sections[static_cast<size_t>(resourceIndex)];
    const std::vector<uint8_t> bytes = writeResources(resources, rsrc.virtualAddress);
    if (bytes.empty()) return {};
    std::vector<uint8_t> out(image.begin(), image.begin() + rsrc.rawOffset);
    out.insert(out.end(), bytes.begin(), bytes.end());
    const uint32_t oldRaw = rsrc.rawSize;
    rsrc.virtualSize = static_cast<uint32_t>(bytes.size());
    rsrc.rawSize = static_cast<uint32_t>(alignUp(bytes.size(), pe.fileAlignment));
    padFile(out, rsrc.rawEnd());
    writeSectionHeader(out, rsrc.header, rsrc);
    setDataDirectory(pe, out, kResourceDirectory, rsrc.virtualAddress, rsrc.virtualSize);

    if (relocIndex >= 0) {
        PeSection reloc = pe.sections[static_cast<size_t>(relocIndex)];
        uint32_t rva = 0, size = 0;
        dataDirectory(pe, image, kRelocationDirectory, rva, size);
        out.insert(out.end(), image.begin() + reloc.rawOffset, image.begin() + static_cast<long>(reloc.rawEnd()));
        reloc.rawOffset = rsrc.rawOffset + rsrc.rawSize;
        reloc.virtualAddress = static_cast<uint32_t>(alignUp(rsrc.virtualEnd(), pe.sectionAlignment));
        writeSectionHeader(out, reloc.header, reloc);
        setDataDirectory(pe, out, kRelocationDirectory, reloc.virtualAddress, size);
    }
    updateSize(out, pe, static_cast<int64_t>(rsrc.rawSize) - oldRaw);
    return out;
}

// Room for one more section header: inside the headers' size (grown up to
// the first section's data if need be) and over bytes that hold nothing.
bool roomForAnotherHeader(const std::vector<uint8_t>& image, const PeFile& pe, uint32_t& headersSize) {
    const uint64_t slot = pe.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * pe.sections.size();
    uint64_t firstData = UINT32_MAX, firstAddress = UINT32_MAX;
    for (const PeSection& s : pe.sections) {
        if (s.rawSize) firstData = std::min<uint64_t>(firstData, s.rawOffset);
        firstAddress = std::min<uint64_t>(firstAddress, s.virtualAddress);
    }
    headersSize = static_cast<uint32_t>(std::max<uint64_t>(pe.sizeOfHeaders, alignUp(slot + kSectionHeaderSize, pe.fileAlignment)));
    if (headersSize > firstData || headersSize > firstAddress || slot + kSectionHeaderSize > image.size()) return false;
    return std::all_of(image.begin() + static_cast<long>(slot), image.begin() + static_cast<long>(slot + kSectionHeaderSize),
                       [](uint8_t b) { return b == 0; });
}

// Empty when the resources do not fit (writeResources).
std::vector<uint8_t> appendSection(const std::vector<uint8_t>& image, const PeFile& pe, uint32_t headersSize,
                                   const std::vector<Resource>& resources) {
    uint64_t rawEnd = 0;
    for (const PeSection& s : pe.sections) rawEnd = std::max(rawEnd, s.rawSize ? s.rawEnd() : 0);
    PeSection rsrc;
    rsrc.name = kResourceSectionName;
    rsrc.virtualAddress = static_cast<uint32_t>(imageSizeOf(pe));
    rsrc.rawOffset = static_cast<uint32_t>(alignUp(std::max<uint64_t>(rawEnd, image.size()), pe.fileAlignment));
    rsrc.characteristics = kResourceCharacteristics;
    rsrc.header = pe.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * pe.sections.size();
    const std::vector<uint8_t> bytes = writeResources(resources, rsrc.virtualAddress);
    if (bytes.empty()) return {};
    rsrc.virtualSize = static_cast<uint32_t>(bytes.size());
    rsrc.rawSize = static_cast<uint32_t>(alignUp(bytes.size(), pe.fileAlignment));

    std::vector<uint8_t> out = image;
    padFile(out, rsrc.rawOffset);
    out.insert(out.end(), bytes.begin(), bytes.end());
    padFile(out, rsrc.rawEnd());
    writeSectionHeader(out, rsrc.header, rsrc);
    putPeU16(out, pe.sectionCountAt(), static_cast<uint16_t>(pe.sections.size() + 1));
    putPeU32(out, pe.sizeOfHeadersAt(), headersSize);
    setDataDirectory(pe, out, kResourceDirectory, rsrc.virtualAddress, rsrc.virtualSize);
    updateSize(out, pe, rsrc.rawSize);
    return out;
}

bool rangesOverlap(uint64_t a, uint64_t aEnd, uint64_t b, uint64_t bEnd) { return a < bEnd && b < aEnd; }

}  // namespace

bool replaceResources(std::vector<uint8_t>& image, const std::vector<Resource>& resources, std::string& error) {
    PeFile pe;
    if (!readPeFile(image, pe, error)) return false;
    if (pe.directoryCount <= kResourceDirectory) {
        error = "the image has no data directory entry for resources";
        return false;
    }
    const int last = static_cast<int>(pe.sections.size()) - 1;
    const int resourceIndex = ownSectionOf(pe, image, kResourceDirectory);
    const int relocIndex = ownSectionOf(pe, image, kRelocationDirectory);
    std::vector<uint8_t> out;
    if (resourceIndex == last && onlyTheseAtTheEnd(pe, pe.sections[static_cast<size_t>(last)], last, -1)) {
        out = rebuildInPlace(image, pe, resourceIndex, -1, resources);
    } else if (resourceIndex >= 0 && resourceIndex == last - 1 && relocIndex == last &&
               pe.sections[static_cast<size_t>(last)].virtualAddress > pe.sections[static_cast<size_t>(resourceIndex)].virtualAddress &&
               onlyTheseAtTheEnd(pe, pe.sections[static_cast<size_t>(resourceIndex)], resourceIndex, last)) {
        out = rebuildInPlace(image, pe, resourceIndex, relocIndex, resources);
    } else {
        uint32_t headersSize = 0;
        if (!roomForAnotherHeader(image, pe, headersSize)) {
            error = "the resource section is not the last section and the section table has no room for "
                    "another section, so the icon and version information cannot be written";
            return false;
        }
        out = appendSection(image, pe, headersSize, resources);
    }
    if (out.empty()) {
        error = "the resources would end beyond the image's 4 GB address space";
        return false;
    }
    if (!checkRebuiltImage(out, resources, error)) {
        error = "the rebuilt image would be inconsistent (" + error + "); nothing is written";
        return false;
    }
    image.swap(out);
    return true;
}

bool checkRebuiltImage(const std::vector<uint8_t>& image, const std::vector<Resource>& expected, std::string& error) {
    PeFile pe;
    if (!readPeFile(image, pe, error)) return false;
    const PeSection& last = pe.sections.back();
    if (last.rawEnd() != image.size()) {
        error = "the last section does not end the file";
        return false;
    }
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const PeSection& a = pe.sections[i];
        if (a.virtualAddress % pe.sectionAlignment || (a.rawSize && a.rawOffset % pe.fileAlignment)) {
            error = "section " + a.name + " is not aligned";
            return false;
        }
        if (a.rawSize && a.rawOffset < pe.sizeOfHeaders) {
            error = "section " + a.name + " lies inside the headers";
            return false;
        }
        for (size_t k = i + 1; k < pe.sections.size(); ++k) {
            const PeSection& b = pe.sections[k];
            if (rangesOverlap(a.virtualAddress, a.virtualEnd(), b.virtualAddress, b.virtualEnd()) ||
                (a.rawSize && b.rawSize && rangesOverlap(a.rawOffset, a.rawEnd(), b.rawOffset, b.rawEnd()))) {
                error = "sections " + a.name + " and " + b.name + " overlap";
                return false;
            }
        }
    }
    if (peU32(image, pe.sizeOfImageAt()) != imageSizeOf(pe)) {
        error = "the image size does not match the sections";
        return false;
    }
    std::vector<Resource> back;
    if (!readResources(pe, image, back, error)) return false;
    if (back != expected) {
        error = "the resources do not read back";
        return false;
    }
    return true;
}

std::vector<uint8_t> resourceSectionBytes(const std::vector<uint8_t>& image, uint32_t& rva) {
    PeFile pe;
    std::string error;
    uint32_t size = 0;
    rva = 0;
    if (!readPeFile(image, pe, error) || !dataDirectory(pe, image, kResourceDirectory, rva, size)) return {};
    const uint8_t* bytes = bytesAtRva(pe, image, rva, size);
    if (!bytes) return {};
    return std::vector<uint8_t>(bytes, bytes + size);
}

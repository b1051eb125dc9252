#include "tools/pack/IconFile.h"

#include <cstring>

namespace {

constexpr uint32_t kDirectoryHeaderSize = 6;
constexpr uint32_t kFileEntrySize = 16;
constexpr uint32_t kGroupEntrySize = 14;
constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr uint16_t kIconType = 1;
constexpr uint16_t kCursorType = 2;
constexpr uint16_t kGroupNumber = 1;
const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint16_t u16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t u32(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint32_t u32Big(const std::vector<uint8_t>& b, size_t at) {
    return (static_cast<uint32_t>(b[at]) << 24) | (static_cast<uint32_t>(b[at + 1]) << 16) |
           (static_cast<uint32_t>(b[at + 2]) << 8) | b[at + 3];
}
void append16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void append32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool isPng(const std::vector<uint8_t>& data) {
    return data.size() >= 8 && std::memcmp(data.data(), kPngSignature, 8) == 0;
}

// Bits per pixel of a PNG from its IHDR chunk (bit depth times channels).
uint16_t pngBitCount(const std::vector<uint8_t>& data) {
    if (data.size() < 33 || std::memcmp(&data[12], "IHDR", 4) != 0) return 0;
    const uint16_t depth = data[24];
    switch (data[25]) {
    case 0: case 3: return depth;  // grey, palette
    case 2: return static_cast<uint16_t>(3 * depth);
    case 4: return static_cast<uint16_t>(2 * depth);
    case 6: return static_cast<uint16_t>(4 * depth);
    default: return 0;
    }
}

std::string imageProblem(const std::vector<uint8_t>& data) {
    if (isPng(data)) {
        if (data.size() < 33 || std::memcmp(&data[12], "IHDR", 4) != 0) return "a PNG image without its header";
        if (u32Big(data, 16) == 0 || u32Big(data, 20) == 0) return "a PNG image of size 0";
        return std::string();
    }
    if (data.size() < kBitmapInfoHeaderSize || u32(data, 0) < kBitmapInfoHeaderSize)
        return "neither a PNG nor a bitmap with an info header";
    const int32_t width = static_cast<int32_t>(u32(data, 4)), height = static_cast<int32_t>(u32(data, 8));
    if (width <= 0 || height <= 0) return "a bitmap of size 0 or negative size";
    const uint16_t bits = u16(data, 14);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "a bitmap with " + std::to_string(bits) + " bits per pixel";
    return std::string();
}

// Windows picks an icon by planes and bit count; take them from the image
// when the directory leaves them 0.
void fillPlanesAndBits(IconImage& image) {
    if (image.planes && image.bitCount) return;
    if (isPng(image.data)) {
        if (!image.planes) image.planes = 1;
        if (!image.bitCount) image.bitCount = pngBitCount(image.data);
    } else {
        if (!image.planes) image.planes = u16(image.data, 12);
        if (!image.bitCount) image.bitCount = u16(image.data, 14);
    }
}

void appendDirectoryEntry(std::vector<uint8_t>& out, const IconImage& image) {
    out.push_back(image.width);
    out.push_back(image.height);
    out.push_back(image.colourCount);
    out.push_back(image.reserved);
    append16(out, image.planes);
    append16(out, image.bitCount);
    append32(out, static_cast<uint32_t>(image.data.size()));
}

const Resource* findResource(const std::vector<Resource>& resources, uint16_t type, const ResourceId& name) {
    for (const Resource& r : resources)
        if (r.type == ResourceId::of(type) && r.name == name) return &r;
    return nullptr;
}

}  // namespace

bool operator==(const IconImage& a, const IconImage& b) {
    return a.width == b.width && a.height == b.height && a.colourCount == b.colourCount && a.reserved == b.reserved &&
           a.planes == b.planes && a.bitCount == b.bitCount && a.data == b.data;
}

bool operator==(const IconSet& a, const IconSet& b) { return a.images == b.images; }

bool parseIconFile(const std::vector<uint8_t>& file, IconSet& out, std::string& error) {
    out = IconSet();
    if (file.size() < kDirectoryHeaderSize || u16(file, 0) != 0 ||
        (u16(file, 2) != kIconType && u16(file, 2) != kCursorType)) {
        error = "not an icon file (no icon directory at its start)";
        return false;
    }
    if (u16(file, 2) == kCursorType) {
        error = "a cursor file, not an icon file";
        return false;
    }
    const uint32_t count = u16(file, 4);
    if (count == 0) {
        error = "an icon file without images";
        return false;
    }
    if (kDirectoryHeaderSize + static_cast<uint64_t>(kFileEntrySize) * count > file.size()) {
        error = "the icon directory announces " + std::to_string(count) + " images but the file ends inside it";
        return false;
    }
    // Entries may point to the same bytes; together they must not hold
    // more than the file, or a small file could make gigabytes of resources.
    uint64_t total = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = kDirectoryHeaderSize + kFileEntrySize * i;
        const uint64_t size = u32(file, entry + 8), offset = u32(file, entry + 12);
        const std::string which = "image " + std::to_string(i + 1) + " of " + std::to_string(count);
        if (size == 0 || offset + size > file.size() || offset < kDirectoryHeaderSize + kFileEntrySize * count) {
            error = which + " lies outside the file or inside its directory";
            return false;
        }
        total += size;
        if (total > file.size()) {
            error = "the images overlap: with " + which + " they hold more bytes than the file";
            return false;
        }
        IconImage image;
        image.width = file[entry];
        image.height = file[entry + 1];
        image.colourCount = file[entry + 2];
        image.reserved = file[entry + 3];
        image.planes = u16(file, entry + 4);
        image.bitCount = u16(file, entry + 6);
        image.data.assign(file.begin() + static_cast<long>(offset), file.begin() + static_cast<long>(offset + size));
        const std::string problem = imageProblem(image.data);
        if (!problem.empty()) {
            error = which + " is " + problem;
            return false;
        }
        fillPlanesAndBits(image);
        out.images.push_back(std::move(image));
    }
    return true;
}

std::vector<uint8_t> formatIconFile(const IconSet& icon) {
    std::vector<uint8_t> out;
    append16(out, 0);
    append16(out, kIconType);
    append16(out, static_cast<uint16_t>(icon.images.size()));
    uint32_t offset = kDirectoryHeaderSize + kFileEntrySize * static_cast<uint32_t>(icon.images.size());
    for (const IconImage& image : icon.images) {
        appendDirectoryEntry(out, image);
        append32(out, offset);
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const IconImage& image : icon.images) out.insert(out.end(), image.data.begin(), image.data.end());
    return out;
}

void setIconResources(std::vector<Resource>& resources, const IconSet& icon) {
    removeResourceType(resources, kIconResource);
    removeResourceType(resources, kGroupIconResource);
    Resource group;
    group.type = ResourceId::of(kGroupIconResource);
    group.name = ResourceId::of(kGroupNumber);
    group.language = ResourceId::of(kEnglishUs);
    append16(group.data, 0);
    append16(group.data, kIconType);
    append16(group.data, static_cast<uint16_t>(icon.images.size()));
    for (size_t i = 0; i < icon.images.size(); ++i) {
        Resource r;
        r.type = ResourceId::of(kIconResource);
        r.name = ResourceId::of(static_cast<uint16_t>(i + 1));
        r.language = ResourceId::of(kEnglishUs);
        r.data = icon.images[i].data;
        resources.push_back(std::move(r));
        appendDirectoryEntry(group.data, icon.images[i]);
        append16(group.data, static_cast<uint16_t>(i + 1));
    }
    resources.push_back(std::move(group));
    normalizeResources(resources);
}

bool firstIconGroup(const std::vector<Resource>& resources, IconSet& out) {
    out = IconSet();
    const Resource* group = nullptr;
    for (const Resource& r : resources) {
        if (r.type == ResourceId::of(kGroupIconResource)) {
            group = &r;
            break;
        }
    }
    if (!group) return false;
    const std::vector<uint8_t>& g = group->data;
    if (g.size() < kDirectoryHeaderSize || u16(g, 2) != kIconType) return false;
    const uint32_t count = u16(g, 4);
    if (kDirectoryHeaderSize + static_cast<uint64_t>(kGroupEntrySize) * count > g.size()) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = kDirectoryHeaderSize + kGroupEntrySize * i;
        const Resource* picture = findResource(resources, kIconResource, ResourceId::of(u16(g, entry + 12)));
        if (!picture) return false;
        IconImage image;
        image.width = g[entry];
        image.height = g[entry + 1];
        image.colourCount = g[entry + 2];
        image.reserved = g[entry + 3];
        image.planes = u16(g, entry + 4);
        image.bitCount = u16(g, entry + 6);
        image.data = picture->data;
        out.images.push_back(std::move(image));
    }
    return true;
}

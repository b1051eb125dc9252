// The resource writer and reader, .ico files, VS_VERSIONINFO, and the
// rebuild of a PE image's resource section, on small images built here.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/pack/IconFile.h"
#include "tools/pack/Image.h"
#include "tools/pack/ImageResources.h"
#include "tools/pack/PeFile.h"
#include "tools/pack/Resources.h"
#include "tools/pack/VersionInfo.h"

namespace {

uint32_t get16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }
uint32_t get32(const std::vector<uint8_t>& b, size_t at) { return get16(b, at) | (get16(b, at + 2) << 16); }
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

Resource resource(ResourceId type, ResourceId name, uint16_t language, std::vector<uint8_t> data) {
    Resource r;
    r.type = type;
    r.name = name;
    r.language = ResourceId::of(language);
    r.data = std::move(data);
    return r;
}

Resource manifest() {
    const std::string text = "<assembly manifestVersion=\"1.0\"/>";
    return resource(ResourceId::of(kManifestResource), ResourceId::of(1), kEnglishUs,
                    std::vector<uint8_t>(text.begin(), text.end()));
}

// A bitmap icon image of the given size (info header, pixels, mask).
std::vector<uint8_t> bitmap(uint32_t size, uint16_t bits) {
    std::vector<uint8_t> b(40, 0);
    put32(b, 0, 40);
    put32(b, 4, size);
    put32(b, 8, 2 * size);
    b[12] = 1;
    b[14] = static_cast<uint8_t>(bits);
    b.resize(40 + size * size * bits / 8 + size * 4, 0x5A);
    return b;
}

std::vector<uint8_t> png(uint32_t size) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(size >> shift));
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(size >> shift));
    b.insert(b.end(), {8, 6, 0, 0, 0, 1, 2, 3, 4});  // 8 bits, RGBA, CRC bytes
    return b;
}

// An .ico file of the images; directory planes and bit counts left 0.
std::vector<uint8_t> icoFile(const std::vector<std::vector<uint8_t>>& images, uint16_t type = 1) {
    std::vector<uint8_t> out = {0, 0, static_cast<uint8_t>(type), 0, static_cast<uint8_t>(images.size()), 0};
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (const std::vector<uint8_t>& image : images) {
        const size_t entry = out.size();
        out.resize(entry + 16, 0);
        out[entry] = out[entry + 1] = 32;
        put32(out, entry + 8, static_cast<uint32_t>(image.size()));
        put32(out, entry + 12, offset);
        offset += static_cast<uint32_t>(image.size());
    }
    for (const std::vector<uint8_t>& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

IconSet iconOf(const std::vector<std::vector<uint8_t>>& images) {
    IconSet icon;
    std::string error;
    EXPECT_TRUE(parseIconFile(icoFile(images), icon, error)) << error;
    return icon;
}

VersionInfo sampleVersion() {
    VersionInfo v;
    std::string error;
    EXPECT_TRUE(parseVersionNumbers("3.2.2.0", v.fileVersion, error));
    EXPECT_TRUE(parseVersionNumbers("3.2", v.productVersion, error));
    v.set(VersionField::FileVersion, u"3.2.2.0");
    v.set(VersionField::ProductVersion, u"3.2");
    v.set(VersionField::ProductName, u"orvane");
    v.set(VersionField::CompanyName, u"Orvane Ltd");
    v.set(VersionField::LegalCopyright, u"\u00A9 2026");
    v.set(VersionField::InternalName, u"");
    return v;
}

// A PE32+ image like the generic launcher: .text, then .rsrc holding
// `resources`, then .reloc (both optional), or more sections behind the
// resources.
struct FakeImage {
    std::vector<Resource> resources = {manifest()};
    bool withResources = true;
    bool withReloc = true;
    bool sectionBehindResources = false;
    uint32_t headersSize = 0x400;
    uint32_t checksum = 1;
};

constexpr uint32_t kPe = 0x80;
constexpr uint32_t kOptional = kPe + 24;
constexpr uint32_t kSectionTable = kOptional + 240;
constexpr uint32_t kRelocBytes = 0x10C;

// The DOS stub's signature and offset, then the PE signature and a file
// header for x64 with the sections and a PE32+ optional header's size.
void putFileHeader(std::vector<uint8_t>& b, uint32_t pe, size_t sections) {
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, pe);
    std::memcpy(&b[pe], "PE\0\0", 4);
    b[pe + 4] = 0x64;
    b[pe + 5] = 0x86;
    b[pe + 6] = static_cast<uint8_t>(sections);
    b[pe + 20] = 240;
}

struct SectionSpec {
    const char* name;
    uint32_t rva;
    std::vector<uint8_t> data;
    uint32_t characteristics;
};

std::vector<uint8_t> buildImage(const FakeImage& fake) {
    std::vector<SectionSpec> specs;
    std::vector<uint8_t> text(0x180);
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<uint8_t>(i * 3 + 1);
    specs.push_back({".text", 0x1000, text, 0x60000020});
    uint32_t rva = 0x2000;
    uint32_t resourceRva = 0, resourceSize = 0, relocRva = 0;
    if (fake.withResources) {
        std::vector<Resource> sorted = fake.resources;
        normalizeResources(sorted);
        specs.push_back({".rsrc", rva, writeResources(sorted, rva), 0x40000040});
        resourceRva = rva;
        resourceSize = static_cast<uint32_t>(specs.back().data.size());
        rva += static_cast<uint32_t>(alignUp(resourceSize, 0x1000));
    }
    if (fake.sectionBehindResources) {
        specs.push_back({".tls", rva, std::vector<uint8_t>(0x20, 7), 0xC0000040});
        rva += 0x1000;
    }
    if (fake.withReloc) {
        std::vector<uint8_t> reloc(kRelocBytes);
        for (size_t i = 0; i < reloc.size(); ++i) reloc[i] = static_cast<uint8_t>(0xA0 + i);
        specs.push_back({".reloc", rva, reloc, 0x42000040});
        relocRva = rva;
        rva += 0x1000;
    }

    std::vector<uint8_t> b(fake.headersSize, 0);
    putFileHeader(b, kPe, specs.size());
    b[kOptional] = 0x0B;
    b[kOptional + 1] = 0x02;
    put32(b, kOptional + 8, 0x1234);  // size of initialized data
    put32(b, kOptional + 32, 0x1000);
    put32(b, kOptional + 36, 0x200);
    put32(b, kOptional + 56, rva);
    put32(b, kOptional + 60, fake.headersSize);
    put32(b, kOptional + 64, fake.checksum);
    put32(b, kOptional + 108, 16);
    put32(b, kOptional + 112 + 8 * 2, resourceRva);
    put32(b, kOptional + 112 + 8 * 2 + 4, resourceSize);
    put32(b, kOptional + 112 + 8 * 5, relocRva);
    put32(b, kOptional + 112 + 8 * 5 + 4, relocRva ? kRelocBytes : 0);
    for (size_t i = 0; i < specs.size(); ++i) {
        const size_t h = kSectionTable + 40 * i;
        const uint32_t raw = static_cast<uint32_t>(b.size());
        const uint32_t rawSize = static_cast<uint32_t>(alignUp(specs[i].data.size(), 0x200));
        std::memcpy(&b[h], specs[i].name, std::strlen(specs[i].name));
        put32(b, h + 8, static_cast<uint32_t>(specs[i].data.size()));
        put32(b, h + 12, specs[i].rva);
        put32(b, h + 16, rawSize);
        put32(b, h + 20, raw);
        put32(b, h + 36, specs[i].characteristics);
        b.insert(b.end(), specs[i].data.begin(), specs[i].data.end());
        b.resize(raw + rawSize, 0);
    }
    return b;
}

// One section .rsrc (RVA 0x1000, an empty resource directory) whose data
// runs from 0x200 to the end of the file, over the PE header at 0x2000 and
// the section table behind it.
std::vector<uint8_t> resourcesOverTheSectionTable(uint32_t headersSize) {
    constexpr uint32_t pe = 0x2000, optional = pe + 24, table = optional + 240;
    std::vector<uint8_t> b(0x2200, 0);
    putFileHeader(b, pe, 1);
    b[optional] = 0x0B;
    b[optional + 1] = 0x02;
    put32(b, optional + 32, 0x1000);
    put32(b, optional + 36, 0x200);
    put32(b, optional + 56, 0x3000);
    put32(b, optional + 60, headersSize);
    put32(b, optional + 108, 16);
    put32(b, optional + 112 + 8 * 2, 0x1000);
    put32(b, optional + 112 + 8 * 2 + 4, 0x10);
    std::memcpy(&b[table], ".rsrc", 5);
    put32(b, table + 8, 0x2000);
    put32(b, table + 12, 0x1000);
    put32(b, table + 16, 0x2000);
    put32(b, table + 20, 0x200);
    put32(b, table + 36, 0x40000040);
    return b;
}

std::vector<Resource> resourcesOf(const std::vector<uint8_t>& image) {
    PeFile pe;
    std::string error;
    std::vector<Resource> out;
    EXPECT_TRUE(readPeFile(image, pe, error)) << error;
    EXPECT_TRUE(readResources(pe, image, out, error)) << error;
    return out;
}

PeFile headersOf(const std::vector<uint8_t>& image) {
    PeFile pe;
    std::string error;
    EXPECT_TRUE(readPeFile(image, pe, error)) << error;
    return pe;
}

LauncherDescription withIconAndVersion() {
    LauncherDescription d;
    d.block.config = {{101, "orvane Service"}};
    d.hasIcon = true;
    d.icon = iconOf({bitmap(16, 32), bitmap(32, 32), png(256)});
    d.hasVersion = true;
    d.version = sampleVersion();
    return d;
}

std::vector<uint8_t> packed(const std::vector<uint8_t>& image, const LauncherDescription& d) {
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(packLauncher(image, d, out, error)) << error;
    return out;
}

LauncherDescription readBack(const std::vector<uint8_t>& launcher) {
    LauncherDescription d;
    std::string error;
    EXPECT_TRUE(readLauncher(launcher, d, error)) << error;
    return d;
}

const Resource* find(const std::vector<Resource>& resources, uint16_t type) {
    for (const Resource& r : resources)
        if (r.type == ResourceId::of(type)) return &r;
    return nullptr;
}

}  // namespace

// ---- the resource tree ------------------------------------------------------

TEST(PackResources, TreeRoundTripsThroughOurReader) {
    std::vector<Resource> resources = {
        manifest(),
        resource(ResourceId::of(u"PNG"), ResourceId::of(u"LOGO"), 0, {1, 2, 3}),
        resource(ResourceId::of(u"PNG"), ResourceId::of(7), 0x0407, {4}),
        resource(ResourceId::of(u"PNG"), ResourceId::of(7), 0x0409, {}),
        resource(ResourceId::of(6), ResourceId::of(1), 0x0409, std::vector<uint8_t>(33, 9)),
        resource(ResourceId::of(6), ResourceId::of(u"LOGO"), 0x0409, {5, 6}),
    };
    resources[1].codePage = 1252;
    normalizeResources(resources);
    // Names before numbers on every level.
    EXPECT_TRUE(resources[0].type.named);
    EXPECT_TRUE(resources[0].name.named);
    EXPECT_EQ(resources.back().type, ResourceId::of(kManifestResource));

    const uint32_t rva = 0x5000;
    const std::vector<uint8_t> bytes = writeResources(resources, rva);
    std::vector<Resource> back;
    std::string error;
    ASSERT_TRUE(readResourceSection(bytes, rva, back, error)) << error;
    EXPECT_EQ(back, resources);
    EXPECT_EQ(writeResources(back, rva), bytes);

    // The root: two named types (stored once: "PNG"), then two numbered ones.
    EXPECT_EQ(get16(bytes, 12), 1u);
    EXPECT_EQ(get16(bytes, 14), 2u);
    // Every data entry holds an RVA, 8-byte aligned, inside the section.
    for (const Resource& r : resources) {
        const auto at = std::search(bytes.begin() + 16, bytes.end(), r.data.begin(), r.data.end());
        ASSERT_NE(at, bytes.end());
    }
    bool sawData = false;
    for (size_t off = 0; off + 16 <= bytes.size(); off += 4) {
        const uint32_t target = get32(bytes, off);
        if (target >= rva + 16 && target < rva + bytes.size() && get32(bytes, off + 4) == 33) {
            EXPECT_EQ((target - rva) % 8, 0u);
            sawData = true;
        }
    }
    EXPECT_TRUE(sawData);

    // A later copy of the same type, name and language replaces the earlier.
    std::vector<Resource> twice = {manifest(), manifest()};
    twice[1].data = {'x'};
    normalizeResources(twice);
    ASSERT_EQ(twice.size(), 1u);
    EXPECT_EQ(twice[0].data, std::vector<uint8_t>{'x'});
}

TEST(PackResources, DamagedTreesAreRefused) {
    std::vector<Resource> resources = {manifest()};
    const std::vector<uint8_t> good = writeResources(resources, 0x1000);
    std::vector<Resource> back;
    std::string error;

    std::vector<uint8_t> bad = good;
    put32(bad, 20, 0x80000000u | 0x7000);  // the type's directory far outside
    EXPECT_FALSE(readResourceSection(bad, 0x1000, back, error));
    EXPECT_NE(error.find("outside the section"), std::string::npos) << error;

    bad = good;
    put32(bad, 20, 0x40);  // a data entry on the type level
    EXPECT_FALSE(readResourceSection(bad, 0x1000, back, error));
    EXPECT_NE(error.find("three levels"), std::string::npos) << error;

    // The data entry (behind three directories of one entry each) points
    // before the section.
    bad = good;
    put32(bad, 3 * 24, 0x10);
    EXPECT_FALSE(readResourceSection(bad, 0x1000, back, error));
    EXPECT_NE(error.find("outside the file"), std::string::npos) << error;

    EXPECT_FALSE(readResourceSection(std::vector<uint8_t>(good.begin(), good.begin() + 20), 0x1000, back, error));

    // Directories that all share one subdirectory, down to one data entry
    // of the whole section: a small tree that names a million resources.
    const uint32_t n = 100, directory = 16 + 8 * n;
    std::vector<uint8_t> shared(3 * directory + 16, 0);
    for (uint32_t level = 0; level < 3; ++level) {
        shared[level * directory + 14] = static_cast<uint8_t>(n);
        for (uint32_t i = 0; i < n; ++i) {
            put32(shared, level * directory + 16 + 8 * i, i + 1);
            put32(shared, level * directory + 16 + 8 * i + 4,
                  level < 2 ? (0x80000000u | (level + 1) * directory) : 3 * directory);
        }
    }
    put32(shared, 3 * directory, 0x1000);
    put32(shared, 3 * directory + 4, static_cast<uint32_t>(shared.size()));
    EXPECT_FALSE(readResourceSection(shared, 0x1000, back, error));
    EXPECT_NE(error.find("more data than the file"), std::string::npos) << error;
    EXPECT_LE(back.size(), 1u);
}

// A tree of `levels` directories of `entries` entries each, all leading
// to the next directory, the third one's to one empty data entry.  With
// two levels the second leads to an empty directory (the zeros behind
// it).  `nameLength` > 0 names every entry by one shared name.
std::vector<uint8_t> sharedTree(uint32_t levels, uint32_t entries, uint32_t nameLength) {
    const uint32_t directory = 16 + 8 * entries, dataEntry = levels * directory, name = dataEntry + 16;
    std::vector<uint8_t> tree(name + 2 + 2 * nameLength, 0);
    for (uint32_t level = 0; level < levels; ++level) {
        const uint32_t at = level * directory;
        put32(tree, at + 12, nameLength ? entries : entries << 16);  // named or numbered entries
        for (uint32_t i = 0; i < entries; ++i) {
            put32(tree, at + 16 + 8 * i, nameLength ? (0x80000000u | name) : i + 1);
            put32(tree, at + 16 + 8 * i + 4, level < 2 ? (0x80000000u | (level + 1) * directory) : dataEntry);
        }
    }
    tree[name] = static_cast<uint8_t>(nameLength);
    tree[name + 1] = static_cast<uint8_t>(nameLength >> 8);
    for (uint32_t i = 0; i < nameLength; ++i) tree[name + 2 + 2 * i] = 'N';
    return tree;
}

TEST(PackResources, SharedSubdirectoriesCannotMultiplyTheWork) {
    std::vector<Resource> back;
    std::string error;
    // 64000 resources of no data, each with three copies of a name that
    // the small tree holds once.
    const std::vector<uint8_t> named = sharedTree(3, 40, 64);
    EXPECT_FALSE(readResourceSection(named, 0x1000, back, error));
    EXPECT_NE(error.find("more data than the file"), std::string::npos) << error;
    EXPECT_LT(back.size(), 40u);

    // 360000 entries visited for no resource at all: every entry of the
    // second level leads to one empty third-level directory.
    const std::vector<uint8_t> empty = sharedTree(2, 600, 0);
    EXPECT_FALSE(readResourceSection(empty, 0x1000, back, error));
    EXPECT_NE(error.find("too many directory entries"), std::string::npos) << error;

    // Sharing as such is no damage: names copied less than the file holds.
    ASSERT_TRUE(readResourceSection(sharedTree(3, 2, 1), 0x1000, back, error)) << error;
    ASSERT_EQ(back.size(), 8u);
    EXPECT_EQ(back[7].language, ResourceId::of(u"N"));
}

// ---- icons ------------------------------------------------------------------

TEST(PackResources, IconFilesReadAndWrite) {
    IconSet icon;
    std::string error;
    ASSERT_TRUE(parseIconFile(icoFile({bitmap(16, 4), bitmap(32, 32), png(256)}), icon, error)) << error;
    ASSERT_EQ(icon.images.size(), 3u);
    // Planes and bit counts left 0 in the file come from the images.
    EXPECT_EQ(icon.images[0].bitCount, 4u);
    EXPECT_EQ(icon.images[1].planes, 1u);
    EXPECT_EQ(icon.images[1].bitCount, 32u);
    EXPECT_EQ(icon.images[2].bitCount, 32u);
    EXPECT_EQ(icon.images[2].data, png(256));

    IconSet back;
    ASSERT_TRUE(parseIconFile(formatIconFile(icon), back, error)) << error;
    EXPECT_EQ(back, icon);

    // In the resources: images 1..N and one group that lists them.
    std::vector<Resource> resources = {manifest(), resource(ResourceId::of(kIconResource), ResourceId::of(9), 0, {1}),
                                       resource(ResourceId::of(kGroupIconResource), ResourceId::of(u"OLD"), 0, {0})};
    setIconResources(resources, icon);
    ASSERT_EQ(resources.size(), 5u);
    const Resource* group = find(resources, kGroupIconResource);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->name, ResourceId::of(1));
    ASSERT_EQ(group->data.size(), 6u + 3 * 14);
    EXPECT_EQ(get16(group->data, 4), 3u);
    EXPECT_EQ(get32(group->data, 6 + 14 + 8), icon.images[1].data.size());
    EXPECT_EQ(get16(group->data, 6 + 14 * 2 + 12), 3u);
    IconSet fromResources;
    ASSERT_TRUE(firstIconGroup(resources, fromResources));
    EXPECT_EQ(fromResources, icon);
}

TEST(PackResources, FilesThatAreNoIconsAreRefused) {
    IconSet icon;
    std::string error;
    const std::string text = "not an icon";
    EXPECT_FALSE(parseIconFile(std::vector<uint8_t>(text.begin(), text.end()), icon, error));
    EXPECT_NE(error.find("not an icon file"), std::string::npos);
    EXPECT_FALSE(parseIconFile(icoFile({bitmap(16, 32)}, 2), icon, error));
    EXPECT_NE(error.find("cursor"), std::string::npos);
    EXPECT_FALSE(parseIconFile(icoFile({}), icon, error));
    EXPECT_NE(error.find("without images"), std::string::npos);

    std::vector<uint8_t> file = icoFile({bitmap(16, 32)});
    file.resize(file.size() - 1);
    EXPECT_FALSE(parseIconFile(file, icon, error));
    EXPECT_NE(error.find("image 1 of 1 lies outside the file"), std::string::npos) << error;
    file = icoFile({bitmap(16, 32)});
    file.resize(6 + 8);
    EXPECT_FALSE(parseIconFile(file, icon, error));
    EXPECT_NE(error.find("ends inside it"), std::string::npos) << error;

    EXPECT_FALSE(parseIconFile(icoFile({bitmap(16, 32), std::vector<uint8_t>(64, 0)}), icon, error));
    EXPECT_NE(error.find("image 2 of 2 is neither a PNG nor a bitmap"), std::string::npos) << error;
    EXPECT_FALSE(parseIconFile(icoFile({bitmap(16, 3)}), icon, error));
    EXPECT_NE(error.find("3 bits per pixel"), std::string::npos) << error;
}

TEST(PackResources, ResourcesCannotOutgrowTheAddressSpace) {
    // Every directory entry of a small .ico file points to the same image:
    // 65535 of them would make 74 MB of icons, larger images gigabytes.
    const std::vector<uint8_t> image = bitmap(16, 32);
    std::vector<uint8_t> shared = icoFile({image, image});
    put32(shared, 6 + 16 + 12, 6 + 2 * 16);
    shared.resize(6 + 2 * 16 + image.size());
    IconSet icon;
    std::string error;
    EXPECT_FALSE(parseIconFile(shared, icon, error));
    EXPECT_NE(error.find("the images overlap"), std::string::npos) << error;
    // Apart they read.
    EXPECT_TRUE(parseIconFile(icoFile({image, image}), icon, error)) << error;

    // Data entries hold 32-bit RVAs: a section that would end beyond 4 GB
    // is not written.
    const std::vector<Resource> big = {
        resource(ResourceId::of(6), ResourceId::of(1), 0, std::vector<uint8_t>(0x2000, 1))};
    EXPECT_FALSE(writeResources(big, 0x10000).empty());
    EXPECT_TRUE(writeResources(big, 0xFFFFF000u).empty());

    // Nor a new resource section at the top of the address space.
    FakeImage fake;
    fake.withResources = false;
    std::vector<uint8_t> high = buildImage(fake);
    const PeFile pe = headersOf(high);
    put32(high, pe.sections[1].header + 12, 0xFFFFE000u);  // .reloc
    put32(high, kOptional + 112 + 8 * 5, 0xFFFFE000u);
    put32(high, kOptional + 56, 0xFFFFF000u);
    std::vector<uint8_t> out;
    EXPECT_FALSE(packLauncher(high, withIconAndVersion(), out, error));
    EXPECT_NE(error.find("beyond the image's 4 GB address space"), std::string::npos) << error;
}

// ---- version information ----------------------------------------------------

TEST(PackResources, VersionNumbers) {
    uint16_t v[4];
    std::string error;
    ASSERT_TRUE(parseVersionNumbers("3", v, error));
    EXPECT_EQ(v[0], 3u);
    EXPECT_EQ(v[3], 0u);
    ASSERT_TRUE(parseVersionNumbers("65535.0.1.2", v, error));
    EXPECT_EQ(v[0], 65535u);
    EXPECT_EQ(v[3], 2u);
    EXPECT_FALSE(parseVersionNumbers("1.2.3.4.5", v, error));
    EXPECT_EQ(error, "has more than four parts");
    EXPECT_FALSE(parseVersionNumbers("1.2b", v, error));
    EXPECT_EQ(error, "has the part \"2b\", which is not a number");
    EXPECT_FALSE(parseVersionNumbers("1..2", v, error));
    EXPECT_FALSE(parseVersionNumbers("", v, error));
    EXPECT_FALSE(parseVersionNumbers("1.65536", v, error));
    EXPECT_FALSE(parseVersionNumbers("-1", v, error));
}

TEST(PackResources, VersionResourceLayout) {
    const VersionInfo info = sampleVersion();
    const std::vector<uint8_t> data = writeVersionResource(info);
    // VS_VERSIONINFO: its length is the whole resource; the key, then the
    // fixed part on a 32-bit boundary.
    EXPECT_EQ(get16(data, 0), data.size());
    EXPECT_EQ(get16(data, 2), 52u);
    EXPECT_EQ(get16(data, 4), 0u);
    EXPECT_EQ(get32(data, 40), 0xFEEF04BDu);
    EXPECT_EQ(get32(data, 48), 0x00030002u);  // file version 3.2.2.0
    EXPECT_EQ(get32(data, 52), 0x00020000u);
    EXPECT_EQ(get32(data, 56), 0x00030002u);  // product version 3.2
    EXPECT_EQ(get32(data, 60), 0u);
    EXPECT_EQ(get32(data, 72), 0x00040004u);  // Windows NT, 32-bit API
    EXPECT_EQ(get32(data, 76), 1u);           // application

    // StringFileInfo at 92, its string table for 040904B0 behind it.
    const std::u16string sfi = u"StringFileInfo";
    EXPECT_EQ(get16(data, 92 + 4), 1u);
    for (size_t i = 0; i < sfi.size(); ++i) EXPECT_EQ(get16(data, 92 + 6 + 2 * i), sfi[i]);
    const size_t table = 92 + 6 + 2 * (sfi.size() + 1);  // 128, aligned already
    EXPECT_EQ(table % 4, 0u);
    EXPECT_EQ(get16(data, table + 6), u'0');
    EXPECT_EQ(get16(data, table + 6 + 2 * 7), u'0');  // "040904B0"
    // The first string: CompanyName = "Orvane Ltd", its value length
    // counting the NUL.
    const size_t first = table + 6 + 18;  // behind the key and its NUL, on a 32-bit boundary
    EXPECT_EQ(first % 4, 0u);
    EXPECT_EQ(get16(data, first + 2), 11u);
    EXPECT_EQ(get16(data, first + 4), 1u);
    // Each block's length leaves out the padding behind it; the next one
    // starts on the next 32-bit boundary.
    size_t at = first, strings = 0;
    const size_t tableEnd = table + get16(data, table);
    while (at < tableEnd) {
        ASSERT_EQ(at % 4, 0u);
        at += get16(data, at);
        at = (at + 3) & ~size_t(3);
        ++strings;
    }
    EXPECT_EQ(strings, 6u);
    // VarFileInfo with the translation 0409, 04B0 ends the resource.
    EXPECT_EQ(get16(data, data.size() - 4), 0x0409u);
    EXPECT_EQ(get16(data, data.size() - 2), 0x04B0u);

    VersionInfo back;
    ASSERT_TRUE(readVersionResource(data, back));
    EXPECT_EQ(back, info);
    EXPECT_TRUE(back.has(VersionField::InternalName));
    EXPECT_FALSE(back.has(VersionField::FileDescription));

    VersionInfo empty;
    ASSERT_TRUE(readVersionResource(writeVersionResource(empty), back));
    EXPECT_EQ(back, empty);
    EXPECT_FALSE(readVersionResource({1, 2, 3}, back));
}

// ---- the image --------------------------------------------------------------

TEST(PackResources, ResourceSectionIsRebuiltInPlaceAndRelocationsMove) {
    const std::vector<uint8_t> image = buildImage(FakeImage());
    const LauncherDescription d = withIconAndVersion();
    const std::vector<uint8_t> out = packed(image, d);

    const PeFile before = headersOf(image), after = headersOf(out);
    ASSERT_EQ(after.sections.size(), 3u);
    EXPECT_TRUE(std::equal(image.begin() + 0x400, image.begin() + 0x600, out.begin() + 0x400));  // .text
    const PeSection& rsrc = after.sections[1];
    const PeSection& reloc = after.sections[2];
    EXPECT_EQ(rsrc.virtualAddress, 0x2000u);
    EXPECT_EQ(rsrc.rawOffset, before.sections[1].rawOffset);
    EXPECT_GT(rsrc.virtualSize, 0x1000u);  // the 256-pixel PNG and the rest
    EXPECT_EQ(reloc.virtualAddress, alignUp(rsrc.virtualAddress + rsrc.virtualSize, 0x1000));
    EXPECT_EQ(reloc.rawOffset, rsrc.rawOffset + rsrc.rawSize);
    EXPECT_TRUE(std::equal(out.begin() + reloc.rawOffset, out.begin() + reloc.rawOffset + kRelocBytes,
                           image.begin() + before.sections[2].rawOffset));
    uint32_t rva = 0, size = 0;
    ASSERT_TRUE(dataDirectory(after, out, kRelocationDirectory, rva, size));
    EXPECT_EQ(rva, reloc.virtualAddress);
    EXPECT_EQ(size, kRelocBytes);
    ASSERT_TRUE(dataDirectory(after, out, kResourceDirectory, rva, size));
    EXPECT_EQ(rva, 0x2000u);
    EXPECT_EQ(size, rsrc.virtualSize);
    EXPECT_EQ(get32(out, kOptional + 56), reloc.virtualAddress + 0x1000);  // size of image
    EXPECT_EQ(get32(out, kOptional + 8), 0x1234 + rsrc.rawSize - before.sections[1].rawSize);
    EXPECT_EQ(get32(out, kOptional + 64), peChecksum(out, kOptional + 64));

    // The block follows the last section.
    uint32_t end = 0;
    std::string error;
    ASSERT_TRUE(findImageEnd(out, end, error)) << error;
    EXPECT_EQ(end, reloc.rawOffset + reloc.rawSize);
    EXPECT_EQ(get32(out, end), kBlockMagic);

    // The manifest stays; the icon and version are there.
    const std::vector<Resource> resources = resourcesOf(out);
    ASSERT_NE(find(resources, kManifestResource), nullptr);
    EXPECT_EQ(*find(resources, kManifestResource), manifest());
    IconSet icon;
    ASSERT_TRUE(firstIconGroup(resources, icon));
    EXPECT_EQ(icon, d.icon);
    VersionInfo version;
    ASSERT_TRUE(firstVersionResource(resources, version));
    EXPECT_EQ(version, d.version);
}

TEST(PackResources, DumpOfThePackedLauncherPacksToTheSameBytes) {
    const std::vector<uint8_t> image = buildImage(FakeImage());
    const std::vector<uint8_t> out = packed(image, withIconAndVersion());
    const LauncherDescription back = readBack(out);
    EXPECT_TRUE(back.hasIcon);
    EXPECT_TRUE(back.hasVersion);
    EXPECT_FALSE(back.keepsImageResources);
    EXPECT_EQ(back.icon, withIconAndVersion().icon);
    EXPECT_EQ(packed(image, back), out);
    // The packed launcher serves as image too.
    EXPECT_EQ(packed(out, back), out);
    // A smaller icon shrinks the section again; from either image the same.
    LauncherDescription smaller = back;
    smaller.icon.images.resize(1);
    EXPECT_EQ(packed(out, smaller), packed(image, smaller));
    EXPECT_LT(packed(out, smaller).size(), out.size());

    // Without icon and version the image stays as it was.
    LauncherDescription plain;
    plain.block.config = {{101, "x"}};
    std::vector<uint8_t> untouched = packed(image, plain), original = image;
    put32(untouched, kOptional + 64, 0);  // the checksum is renewed
    put32(original, kOptional + 64, 0);
    EXPECT_TRUE(std::equal(original.begin(), original.end(), untouched.begin()));
    // ... and a packed launcher keeps its icon and version.
    const LauncherDescription kept = readBack(packed(out, plain));
    EXPECT_TRUE(kept.hasIcon);
    EXPECT_EQ(kept.version, back.version);
}

TEST(PackResources, ImageVersionResourceIsReplaced) {
    FakeImage fake;
    VersionInfo own;
    own.set(VersionField::ProductName, u"servicelauncher");
    fake.resources.push_back(resource(ResourceId::of(kVersionResource), ResourceId::of(1), 0, writeVersionResource(own)));
    fake.resources.push_back(resource(ResourceId::of(kVersionResource), ResourceId::of(1), 0x0407, {1, 2}));
    const std::vector<uint8_t> image = buildImage(fake);

    LauncherDescription d;
    d.hasVersion = true;
    d.version.set(VersionField::ProductName, u"orvane");
    const std::vector<Resource> resources = resourcesOf(packed(image, d));
    int versions = 0;
    for (const Resource& r : resources) versions += r.type == ResourceId::of(kVersionResource) ? 1 : 0;
    EXPECT_EQ(versions, 1);
    VersionInfo version;
    ASSERT_TRUE(firstVersionResource(resources, version));
    EXPECT_EQ(version.get(VersionField::ProductName), u"orvane");
    EXPECT_EQ(find(resources, kVersionResource)->language, ResourceId::of(kEnglishUs));
    EXPECT_NE(find(resources, kManifestResource), nullptr);
}

TEST(PackResources, ImageOwnResourcesThatADescriptionCannotStateAreKept) {
    // A version resource written by another tool (language neutral) and
    // an icon group named by a string.
    FakeImage fake;
    VersionInfo own;
    own.set(VersionField::ProductName, u"servicelauncher");
    fake.resources.push_back(resource(ResourceId::of(kVersionResource), ResourceId::of(1), 0, writeVersionResource(own)));
    const std::vector<uint8_t> image = buildImage(fake);
    LauncherDescription plain;
    plain.block.config = {{101, "x"}};
    const std::vector<uint8_t> out = packed(image, plain);
    const LauncherDescription back = readBack(out);
    EXPECT_FALSE(back.hasVersion);
    EXPECT_TRUE(back.keepsImageResources);
    EXPECT_EQ(packed(image, back), out);
    EXPECT_NE(formatDescription(back).find("# the image's own icon and version information are kept"),
              std::string::npos);
}

TEST(PackResources, WhatADescriptionCanStateIsDumpedApartFromWhatItCannot) {
    // The image's own icon in language 0 (a description states icons in US
    // English) and a version from the description.
    FakeImage ownIcon;
    setIconResources(ownIcon.resources, iconOf({bitmap(16, 4)}));
    for (Resource& r : ownIcon.resources)
        if (r.type != ResourceId::of(kManifestResource)) r.language = ResourceId::of(0);
    const std::vector<uint8_t> iconImage = buildImage(ownIcon);
    LauncherDescription d;
    d.block.config = {{101, "x"}};
    d.hasVersion = true;
    d.version = sampleVersion();
    const std::vector<uint8_t> withVersion = packed(iconImage, d);
    LauncherDescription back = readBack(withVersion);
    EXPECT_FALSE(back.hasIcon);
    EXPECT_TRUE(back.hasVersion);
    EXPECT_TRUE(back.keepsImageResources);
    EXPECT_EQ(back.version, d.version);
    EXPECT_EQ(packed(iconImage, back), withVersion);

    // The image's own version in language 0 and an icon from the description.
    FakeImage ownVersion;
    VersionInfo own;
    own.set(VersionField::ProductName, u"servicelauncher");
    ownVersion.resources.push_back(
        resource(ResourceId::of(kVersionResource), ResourceId::of(1), 0, writeVersionResource(own)));
    const std::vector<uint8_t> versionImage = buildImage(ownVersion);
    d.hasVersion = false;
    d.hasIcon = true;
    d.icon = iconOf({bitmap(32, 32)});
    const std::vector<uint8_t> withIcon = packed(versionImage, d);
    back = readBack(withIcon);
    EXPECT_TRUE(back.hasIcon);
    EXPECT_FALSE(back.hasVersion);
    EXPECT_TRUE(back.keepsImageResources);
    EXPECT_EQ(back.icon, d.icon);
    EXPECT_EQ(packed(versionImage, back), withIcon);
}

TEST(PackResources, ImageWithoutResourcesGetsANewLastSection) {
    FakeImage fake;
    fake.withResources = false;
    const std::vector<uint8_t> image = buildImage(fake);
    const LauncherDescription d = withIconAndVersion();
    const std::vector<uint8_t> out = packed(image, d);
    const PeFile after = headersOf(out);
    ASSERT_EQ(after.sections.size(), 3u);
    const PeSection& rsrc = after.sections.back();
    EXPECT_EQ(rsrc.name, ".rsrc");
    EXPECT_EQ(rsrc.virtualAddress, 0x3000u);  // behind .reloc
    EXPECT_EQ(rsrc.rawOffset, image.size());
    EXPECT_EQ(rsrc.characteristics, 0x40000040u);
    EXPECT_EQ(get32(out, kOptional + 56), alignUp(0x3000 + rsrc.virtualSize, 0x1000));
    // The earlier sections are untouched.
    EXPECT_TRUE(std::equal(image.begin() + 0x400, image.end(), out.begin() + 0x400));
    std::string error;
    std::vector<uint8_t> cut(out.begin(), out.begin() + rsrc.rawEnd());
    EXPECT_TRUE(checkRebuiltImage(cut, resourcesOf(out), error)) << error;
    const LauncherDescription back = readBack(out);
    EXPECT_EQ(back.version, d.version);
    // Packed again, the new section is rebuilt where it is.
    EXPECT_EQ(packed(out, back), out);
    EXPECT_EQ(packed(image, back), out);
}

TEST(PackResources, ResourcesBeforeOtherSectionsGoToANewSection) {
    FakeImage fake;
    fake.sectionBehindResources = true;  // .rsrc, .tls, .reloc: .tls must not move
    const std::vector<uint8_t> image = buildImage(fake);
    const std::vector<uint8_t> out = packed(image, withIconAndVersion());
    const PeFile before = headersOf(image), after = headersOf(out);
    ASSERT_EQ(after.sections.size(), before.sections.size() + 1);
    for (size_t i = 0; i < before.sections.size(); ++i) {
        EXPECT_EQ(after.sections[i].virtualAddress, before.sections[i].virtualAddress);
        EXPECT_EQ(after.sections[i].rawOffset, before.sections[i].rawOffset);
    }
    uint32_t rva = 0, size = 0;
    ASSERT_TRUE(dataDirectory(after, out, kResourceDirectory, rva, size));
    EXPECT_EQ(rva, after.sections.back().virtualAddress);
    // The manifest came along into the new section.
    EXPECT_NE(find(resourcesOf(out), kManifestResource), nullptr);
}

TEST(PackResources, NoRoomForAnotherSectionIsAnError) {
    FakeImage fake;
    fake.withResources = false;
    const std::vector<uint8_t> image = buildImage(fake);
    std::vector<uint8_t> full = image;
    full[kSectionTable + 2 * 40] = 'x';  // something lives behind the section table
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_FALSE(packLauncher(full, withIconAndVersion(), out, error));
    EXPECT_NE(error.find("no room for another section"), std::string::npos) << error;

    // Headers of one file-alignment unit still have room behind the table.
    fake.headersSize = 0x200;
    const std::vector<uint8_t> small = buildImage(fake);
    EXPECT_EQ(headersOf(small).sizeOfHeaders, 0x200u);
    const std::vector<uint8_t> grown = packed(small, withIconAndVersion());
    EXPECT_EQ(headersOf(grown).sections.size(), 3u);
}

TEST(PackResources, SectionDataInsideTheHeadersIsRefused) {
    // The section table lies inside the resource section's data: a rebuild
    // would cut the file in front of the headers it then writes.
    const std::vector<uint8_t> overTable = resourcesOverTheSectionTable(0x200);
    PeFile pe;
    std::string error;
    EXPECT_FALSE(readPeFile(overTable, pe, error));
    EXPECT_NE(error.find("section .rsrc lies inside the headers"), std::string::npos) << error;
    LauncherDescription d;
    d.hasVersion = true;
    d.version.set(VersionField::FileVersion, u"1.0");
    std::vector<uint8_t> out;
    EXPECT_FALSE(packLauncher(overTable, d, out, error));
    EXPECT_NE(error.find("inside the headers"), std::string::npos) << error;

    // Data that starts within the headers' stated size.
    std::vector<uint8_t> image = buildImage(FakeImage());
    put32(image, kOptional + 60, 0x600);
    EXPECT_FALSE(readPeFile(image, pe, error));
    EXPECT_NE(error.find("section .text lies inside the headers"), std::string::npos) << error;
    put32(image, kOptional + 60, 0x400);
    EXPECT_TRUE(readPeFile(image, pe, error)) << error;
}

TEST(PackResources, DamagedResourcesOfALauncherAreNamedButTheBlockReads) {
    const std::vector<uint8_t> image = buildImage(FakeImage());
    LauncherDescription plain;
    plain.block.config = {{101, "x"}};
    std::vector<uint8_t> launcher = packed(image, plain);
    const PeFile pe = headersOf(launcher);
    put32(launcher, pe.sections[1].rawOffset + 20, 0x80000000u | 0x7000);  // the type directory far outside
    LauncherDescription back;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(readLauncher(launcher, back, error, &warnings)) << error;
    EXPECT_EQ(back.block.config.size(), 1u);
    EXPECT_FALSE(back.hasIcon || back.hasVersion || back.keepsImageResources);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the resource section is damaged"), std::string::npos) << warnings[0];

    // Such an image cannot take an icon; nothing is written.
    std::vector<uint8_t> out;
    EXPECT_FALSE(packLauncher(launcher, withIconAndVersion(), out, error));
    EXPECT_NE(error.find("the image cannot take the icon and version information"), std::string::npos) << error;

    // A launcher whose icon a dump cannot write out says so in the text.
    LauncherDescription withIcon = readBack(packed(image, withIconAndVersion()));
    EXPECT_NE(formatDescription(withIcon).find("# icon (3 images) is not written out\n"), std::string::npos);
}

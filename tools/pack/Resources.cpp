#include "tools/pack/Resources.h"

#include <algorithm>
#include <functional>
#include <map>

namespace {

constexpr uint32_t kDirectorySize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;
constexpr uint32_t kNameFlag = 0x80000000u;
constexpr size_t kMostResources = 65536;  // more is a damaged or looping tree

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads the tree from the bytes of the directory (offsets are relative to
// its start); `dataAt` gives the bytes of a data entry's RVA range.
struct TreeReader {
    const uint8_t* tree = nullptr;
    uint64_t treeSize = 0;
    std::function<const uint8_t*(uint32_t, uint32_t)> dataAt;
    std::vector<Resource>* out = nullptr;
    std::string* error = nullptr;
    // Directories may share subdirectories; the data read in all must not
    // exceed what the file holds, or a small damaged tree could ask for
    // gigabytes.
    uint64_t dataLimit = 0;
    uint64_t dataTotal = 0;

    bool fail(const std::string& message) {
        *error = "the resource section is damaged: " + message;
        return false;
    }

    bool readName(uint32_t offset, ResourceId& id) {
        if (static_cast<uint64_t>(offset) + 2 > treeSize) return fail("a name lies outside the section");
        const uint16_t length = u16(tree + offset);
        if (offset + 2 + 2ull * length > treeSize) return fail("a name lies outside the section");
        id.named = true;
        for (uint16_t i = 0; i < length; ++i) id.name.push_back(static_cast<char16_t>(u16(tree + offset + 2 + 2 * i)));
        return true;
    }

    bool readEntryId(uint32_t field, ResourceId& id) {
        if (field & kNameFlag) return readName(field & ~kNameFlag, id);
        id.number = static_cast<uint16_t>(field);
        return true;
    }

    bool readData(uint32_t offset, Resource resource) {
        if (static_cast<uint64_t>(offset) + kDataEntrySize > treeSize) return fail("a data entry lies outside the section");
        const uint32_t rva = u32(tree + offset), size = u32(tree + offset + 4);
        const uint8_t* bytes = dataAt(rva, size);
        if (!bytes && size) return fail("the data at RVA " + std::to_string(rva) + " lies outside the file");
        dataTotal += size;
        if (dataTotal > dataLimit) return fail("the resources hold more data than the file");
        resource.codePage = u32(tree + offset + 8);
        resource.data.assign(bytes, bytes + size);
        if (out->size() >= kMostResources) return fail("too many resources");
        out->push_back(std::move(resource));
        return true;
    }

    // Level 0 is the type, 1 the name, 2 the language.
    bool readDirectory(uint32_t offset, int level, const Resource& path) {
        if (static_cast<uint64_t>(offset) + kDirectorySize > treeSize) return fail("a directory lies outside the section");
        const uint32_t count = static_cast<uint32_t>(u16(tree + offset + 12)) + u16(tree + offset + 14);
        if (offset + kDirectorySize + static_cast<uint64_t>(kEntrySize) * count > treeSize)
            return fail("a directory's entries lie outside the section");
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t* entry = tree + offset + kDirectorySize + kEntrySize * i;
            Resource next = path;
            ResourceId& id = level == 0 ? next.type : level == 1 ? next.name : next.language;
            if (!readEntryId(u32(entry), id)) return false;
            const uint32_t target = u32(entry + 4);
            const bool isDirectory = (target & kSubdirectoryFlag) != 0;
            if (isDirectory != (level < 2)) return fail("the tree does not have three levels");
            if (isDirectory ? !readDirectory(target & ~kSubdirectoryFlag, level + 1, next) : !readData(target, next))
                return false;
        }
        return true;
    }
};

// Offsets of the pieces of a section that writeResources lays out.
struct Layout {
    std::map<size_t, uint32_t> typeDirectory, nameDirectory;  // by index of the first resource of the group
    std::vector<uint32_t> dataEntry, data;
    std::map<std::u16string, uint32_t> names;
    uint32_t size = 0;
};

bool sameTypeAndName(const Resource& a, const Resource& b) { return a.type == b.type && a.name == b.name; }

uint32_t align8(uint32_t v) { return (v + 7u) & ~7u; }

}  // namespace

bool operator==(const ResourceId& a, const ResourceId& b) {
    return a.named == b.named && (a.named ? a.name == b.name : a.number == b.number);
}

bool operator<(const ResourceId& a, const ResourceId& b) {
    if (a.named != b.named) return a.named;
    return a.named ? a.name < b.name : a.number < b.number;
}

bool operator==(const Resource& a, const Resource& b) {
    return a.type == b.type && a.name == b.name && a.language == b.language && a.codePage == b.codePage &&
           a.data == b.data;
}

bool readResources(const PeFile& pe, const std::vector<uint8_t>& image, std::vector<Resource>& out,
                   std::string& error) {
    out.clear();
    uint32_t rva = 0, size = 0;
    if (!dataDirectory(pe, image, kResourceDirectory, rva, size) || rva == 0) return true;
    const int index = sectionOfRva(pe, rva);
    if (index < 0 || !bytesAtRva(pe, image, rva, kDirectorySize)) {
        error = "the resource directory (RVA " + std::to_string(rva) + ") lies outside the image's sections";
        return false;
    }
    const PeSection& s = pe.sections[static_cast<size_t>(index)];
    TreeReader reader;
    reader.tree = bytesAtRva(pe, image, rva, 0);
    reader.treeSize = s.rawSize - (rva - s.virtualAddress);
    reader.dataAt = [&](uint32_t at, uint32_t n) { return bytesAtRva(pe, image, at, n); };
    reader.dataLimit = image.size();
    reader.out = &out;
    reader.error = &error;
    return reader.readDirectory(0, 0, Resource());
}

bool readResourceSection(const std::vector<uint8_t>& section, uint32_t sectionRva, std::vector<Resource>& out,
                         std::string& error) {
    out.clear();
    TreeReader reader;
    reader.tree = section.data();
    reader.treeSize = section.size();
    reader.dataAt = [&](uint32_t at, uint32_t n) -> const uint8_t* {
        if (at < sectionRva || static_cast<uint64_t>(at - sectionRva) + n > section.size()) return nullptr;
        return section.data() + (at - sectionRva);
    };
    reader.dataLimit = section.size();
    reader.out = &out;
    reader.error = &error;
    return reader.readDirectory(0, 0, Resource());
}

void normalizeResources(std::vector<Resource>& resources) {
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        if (a.type != b.type) return a.type < b.type;
        if (a.name != b.name) return a.name < b.name;
        return a.language < b.language;
    });
    std::vector<Resource> unique;
    for (Resource& r : resources) {
        if (!unique.empty() && sameTypeAndName(unique.back(), r) && unique.back().language == r.language)
            unique.back() = std::move(r);
        else
            unique.push_back(std::move(r));
    }
    resources.swap(unique);
}

std::vector<uint8_t> writeResources(const std::vector<Resource>& resources, uint32_t sectionRva) {
    // The groups: types, then (type, name) pairs, as runs of the sorted list.
    std::vector<size_t> typeStarts, nameStarts;
    for (size_t i = 0; i < resources.size(); ++i) {
        if (i == 0 || resources[i].type != resources[i - 1].type) typeStarts.push_back(i);
        if (i == 0 || !sameTypeAndName(resources[i], resources[i - 1])) nameStarts.push_back(i);
    }
    auto runEnd = [&](const std::vector<size_t>& starts, size_t k) {
        return k + 1 < starts.size() ? starts[k + 1] : resources.size();
    };

    Layout layout;
    uint32_t at = kDirectorySize + kEntrySize * static_cast<uint32_t>(typeStarts.size());
    for (size_t k = 0; k < typeStarts.size(); ++k) {
        layout.typeDirectory[typeStarts[k]] = at;
        size_t names = 0;
        for (size_t n : nameStarts)
            if (n >= typeStarts[k] && n < runEnd(typeStarts, k)) ++names;
        at += kDirectorySize + kEntrySize * static_cast<uint32_t>(names);
    }
    for (size_t k = 0; k < nameStarts.size(); ++k) {
        layout.nameDirectory[nameStarts[k]] = at;
        at += kDirectorySize + kEntrySize * static_cast<uint32_t>(runEnd(nameStarts, k) - nameStarts[k]);
    }
    for (size_t i = 0; i < resources.size(); ++i) {
        layout.dataEntry.push_back(at);
        at += kDataEntrySize;
    }
    for (const Resource& r : resources) {
        for (const ResourceId* id : {&r.type, &r.name, &r.language}) {
            if (!id->named || layout.names.count(id->name)) continue;
            layout.names[id->name] = at;
            at += 2 + 2 * static_cast<uint32_t>(id->name.size());
        }
    }
    for (const Resource& r : resources) {
        at = align8(at);
        layout.data.push_back(at);
        at += static_cast<uint32_t>(r.data.size());
    }
    layout.size = at;

    std::vector<uint8_t> out(layout.size, 0);
    auto idField = [&](const ResourceId& id) { return id.named ? (kNameFlag | layout.names[id.name]) : id.number; };
    auto writeDirectory = [&](uint32_t offset, const std::vector<size_t>& entries,
                              const std::function<uint32_t(size_t)>& target, const ResourceId Resource::*level) {
        uint16_t named = 0;
        for (size_t e : entries) named += (resources[e].*level).named ? 1 : 0;
        put16(out, offset + 12, named);
        put16(out, offset + 14, static_cast<uint16_t>(entries.size() - named));
        for (size_t k = 0; k < entries.size(); ++k) {
            put32(out, offset + kDirectorySize + kEntrySize * k, idField(resources[entries[k]].*level));
            put32(out, offset + kDirectorySize + kEntrySize * k + 4, target(entries[k]));
        }
    };
    writeDirectory(0, typeStarts, [&](size_t i) { return kSubdirectoryFlag | layout.typeDirectory[i]; },
                   &Resource::type);
    for (size_t k = 0; k < typeStarts.size(); ++k) {
        std::vector<size_t> names;
        for (size_t n : nameStarts)
            if (n >= typeStarts[k] && n < runEnd(typeStarts, k)) names.push_back(n);
        writeDirectory(layout.typeDirectory[typeStarts[k]], names,
                       [&](size_t i) { return kSubdirectoryFlag | layout.nameDirectory[i]; }, &Resource::name);
    }
    for (size_t k = 0; k < nameStarts.size(); ++k) {
        std::vector<size_t> languages;
        for (size_t i = nameStarts[k]; i < runEnd(nameStarts, k); ++i) languages.push_back(i);
        writeDirectory(layout.nameDirectory[nameStarts[k]], languages, [&](size_t i) { return layout.dataEntry[i]; },
                       &Resource::language);
    }
    for (size_t i = 0; i < resources.size(); ++i) {
        put32(out, layout.dataEntry[i], sectionRva + layout.data[i]);
        put32(out, layout.dataEntry[i] + 4, static_cast<uint32_t>(resources[i].data.size()));
        put32(out, layout.dataEntry[i] + 8, resources[i].codePage);
        std::copy(resources[i].data.begin(), resources[i].data.end(), out.begin() + layout.data[i]);
    }
    for (const auto& name : layout.names) {
        put16(out, name.second, static_cast<uint16_t>(name.first.size()));
        for (size_t k = 0; k < name.first.size(); ++k)
            put16(out, name.second + 2 + 2 * k, static_cast<uint16_t>(name.first[k]));
    }
    return out;
}

void removeResourceType(std::vector<Resource>& resources, uint16_t type) {
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& r) { return r.type == ResourceId::of(type); }),
                    resources.end());
}

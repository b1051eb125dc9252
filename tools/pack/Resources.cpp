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
// Each resource takes an entry on each of the three levels; more entries
// are directories shared over and over.
constexpr uint64_t kMostEntries = 4 * kMostResources;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}


// Reads the tree from the bytes of the directory (offsets are relative to
// its start); `dataAt` gives the bytes of a data entry's RVA range.
struct TreeReader {
    const uint8_t* tree = nullptr;
    uint64_t treeSize = 0;
    std::function<const uint8_t*(uint32_t, uint32_t)> dataAt;
    std::vector<Resource>* out = nullptr;
    std::string* error = nullptr;
    // Directories may share subdirectories; the data and names copied in
    // all must not exceed what the file holds, nor the entries visited a
    // fixed number, or a small damaged tree could ask for gigabytes or
    // minutes.
    uint64_t dataLimit = 0;
    uint64_t dataTotal = 0;
    uint64_t entriesVisited = 0;

    bool fail(const std::string& message) {
        *error = "the resource section is damaged: " + message;
        return false;
    }

    bool countData(uint64_t bytes) {
        dataTotal += bytes;
        return dataTotal <= dataLimit || fail("the resources hold more data than the file");
    }

    static uint64_t nameBytes(const Resource& r) {
        return 2 * (static_cast<uint64_t>(r.type.name.size()) + r.name.name.size() + r.language.name.size());
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
        if (!countData(size)) return false;
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
            if (++entriesVisited > kMostEntries) return fail("too many directory entries");
            const uint8_t* entry = tree + offset + kDirectorySize + kEntrySize * i;
            Resource next = path;
            ResourceId& id = level == 0 ? next.type : level == 1 ? next.name : next.language;
            if (!readEntryId(u32(entry), id) || !countData(nameBytes(next))) return false;
            const uint32_t target = u32(entry + 4);
            const bool isDirectory = (target & kSubdirectoryFlag) != 0;
            if (isDirectory != (level < 2)) return fail("the tree does not have three levels");
            if (isDirectory ? !readDirectory(target & ~kSubdirectoryFlag, level + 1, next) : !readData(target, next))
                return false;
        }
        return true;
    }
};

bool sameTypeAndName(const Resource& a, const Resource& b) { return a.type == b.type && a.name == b.name; }

uint64_t align8(uint64_t v) { return (v + 7u) & ~uint64_t(7); }

// Writes a sorted resource list as a section: the root directory, one
// directory per type, one per (type, name), then the data entries, the
// names and the data.  Groups are runs of the sorted list, named by the
// index of their first resource.
class SectionWriter {
public:
    SectionWriter(const std::vector<Resource>& resources, uint32_t sectionRva)
        : resources_(resources), rva_(sectionRva) {
        for (size_t i = 0; i < resources.size(); ++i) {
            if (i == 0 || resources[i].type != resources[i - 1].type) types_.push_back(i);
            if (i == 0 || !sameTypeAndName(resources[i], resources[i - 1])) names_.push_back(i);
        }
    }

    // Empty when the section would reach beyond the 32-bit address space.
    std::vector<uint8_t> write() {
        if (!layOut()) return {};
        out_.assign(size_, 0);
        writeDirectory(0, types_, &Resource::type, [&](size_t i) { return kSubdirectoryFlag | typeDirectory_[i]; });
        for (size_t t : types_)
            writeDirectory(typeDirectory_[t], namesOfType(t), &Resource::name,
                           [&](size_t i) { return kSubdirectoryFlag | nameDirectory_[i]; });
        for (size_t n : names_)
            writeDirectory(nameDirectory_[n], languagesOfName(n), &Resource::language,
                           [&](size_t i) { return dataEntry_[i]; });
        writeData();
        writeNames();
        return out_;
    }

private:
    static uint32_t directorySize(size_t entries) {
        return kDirectorySize + kEntrySize * static_cast<uint32_t>(entries);
    }
    size_t runEnd(const std::vector<size_t>& starts, size_t first) const {
        const auto next = std::upper_bound(starts.begin(), starts.end(), first);
        return next == starts.end() ? resources_.size() : *next;
    }
    std::vector<size_t> namesOfType(size_t type) const {
        std::vector<size_t> out;
        for (size_t n : names_)
            if (n >= type && n < runEnd(types_, type)) out.push_back(n);
        return out;
    }
    std::vector<size_t> languagesOfName(size_t name) const {
        std::vector<size_t> out;
        for (size_t i = name; i < runEnd(names_, name); ++i) out.push_back(i);
        return out;
    }

    // Offsets are summed in 64 bits: data entries hold 32-bit RVAs, and
    // large resources must not wrap them.
    bool layOut() {
        uint64_t at = directorySize(types_.size());
        for (size_t t : types_) {
            typeDirectory_[t] = static_cast<uint32_t>(at);
            at += directorySize(namesOfType(t).size());
        }
        for (size_t n : names_) {
            nameDirectory_[n] = static_cast<uint32_t>(at);
            at += directorySize(runEnd(names_, n) - n);
        }
        for (size_t i = 0; i < resources_.size(); ++i, at += kDataEntrySize)
            dataEntry_.push_back(static_cast<uint32_t>(at));
        for (const Resource& r : resources_) {
            for (const ResourceId* id : {&r.type, &r.name, &r.language}) {
                if (!id->named || nameOffset_.count(id->name)) continue;
                nameOffset_[id->name] = static_cast<uint32_t>(at);
                at += 2 + 2 * static_cast<uint64_t>(id->name.size());
            }
        }
        for (const Resource& r : resources_) {
            at = align8(at);
            data_.push_back(static_cast<uint32_t>(at));
            at += r.data.size();
        }
        if (rva_ + at > UINT32_MAX) return false;
        size_ = static_cast<uint32_t>(at);
        return true;
    }

    void put16(size_t at, uint16_t v) {
        out_[at] = static_cast<uint8_t>(v);
        out_[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) out_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }

    uint32_t idField(const ResourceId& id) { return id.named ? (kNameFlag | nameOffset_[id.name]) : id.number; }

    // Named entries come first in the sorted list, so the counts split it.
    void writeDirectory(uint32_t offset, const std::vector<size_t>& entries, const ResourceId Resource::*level,
                        const std::function<uint32_t(size_t)>& target) {
        uint16_t named = 0;
        for (size_t e : entries) named += (resources_[e].*level).named ? 1 : 0;
        put16(offset + 12, named);
        put16(offset + 14, static_cast<uint16_t>(entries.size() - named));
        for (size_t k = 0; k < entries.size(); ++k) {
            put32(offset + kDirectorySize + kEntrySize * k, idField(resources_[entries[k]].*level));
            put32(offset + kDirectorySize + kEntrySize * k + 4, target(entries[k]));
        }
    }

    void writeData() {
        for (size_t i = 0; i < resources_.size(); ++i) {
            put32(dataEntry_[i], rva_ + data_[i]);
            put32(dataEntry_[i] + 4, static_cast<uint32_t>(resources_[i].data.size()));
            put32(dataEntry_[i] + 8, resources_[i].codePage);
            std::copy(resources_[i].data.begin(), resources_[i].data.end(), out_.begin() + data_[i]);
        }
    }

    void writeNames() {
        for (const auto& name : nameOffset_) {
            put16(name.second, static_cast<uint16_t>(name.first.size()));
            for (size_t k = 0; k < name.first.size(); ++k)
                put16(name.second + 2 + 2 * k, static_cast<uint16_t>(name.first[k]));
        }
    }

    const std::vector<Resource>& resources_;
    const uint32_t rva_;
    std::vector<size_t> types_, names_;
    std::map<size_t, uint32_t> typeDirectory_, nameDirectory_;
    std::vector<uint32_t> dataEntry_, data_;
    std::map<std::u16string, uint32_t> nameOffset_;
    uint32_t size_ = 0;
    std::vector<uint8_t> out_;
};

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
    return SectionWriter(resources, sectionRva).write();
}

void removeResourceType(std::vector<Resource>& resources, uint16_t type) {
    resources.erase(std::remove_if(resources.begin(), resources.end(),
                                   [&](const Resource& r) { return r.type == ResourceId::of(type); }),
                    resources.end());
}

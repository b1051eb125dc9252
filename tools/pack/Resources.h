// The resources of a PE image: the three-level tree of the resource
// section (type, name, language) as a flat list, read from an image and
// written as the bytes of a new resource section.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/PeFile.h"

constexpr uint16_t kIconResource = 3;
constexpr uint16_t kGroupIconResource = 14;
constexpr uint16_t kVersionResource = 16;
constexpr uint16_t kManifestResource = 24;
constexpr uint16_t kEnglishUs = 0x0409;

// A type, name or language: a number, or a name (UTF-16, as stored).
struct ResourceId {
    bool named = false;
    uint16_t number = 0;
    std::u16string name;

    static ResourceId of(uint16_t n) {
        ResourceId id;
        id.number = n;
        return id;
    }
    static ResourceId of(const std::u16string& s) {
        ResourceId id;
        id.named = true;
        id.name = s;
        return id;
    }
};
bool operator==(const ResourceId& a, const ResourceId& b);
inline bool operator!=(const ResourceId& a, const ResourceId& b) { return !(a == b); }
// The order of a resource directory: names first (by code unit), then
// numbers ascending; the loader searches the entries in this order.
bool operator<(const ResourceId& a, const ResourceId& b);

struct Resource {
    ResourceId type;
    ResourceId name;
    ResourceId language;
    uint32_t codePage = 0;
    std::vector<uint8_t> data;
};
bool operator==(const Resource& a, const Resource& b);

// Reads the tree that the resource data directory points at.  An image
// without one has no resources.  Data may lie in any section.  Fails for
// offsets outside the section, more than three levels and data outside
// the file.
bool readResources(const PeFile& pe, const std::vector<uint8_t>& image, std::vector<Resource>& out,
                   std::string& error);
// The same for the bytes of a resource section mapped at `sectionRva`,
// whose data must lie inside it (what writeResources produces).
bool readResourceSection(const std::vector<uint8_t>& section, uint32_t sectionRva, std::vector<Resource>& out,
                         std::string& error);

// Sorts into directory order; a resource that occurs twice (same type,
// name and language) keeps its last copy.
void normalizeResources(std::vector<Resource>& resources);
// The bytes of a resource section at `sectionRva` holding the resources
// (which must be normalized): the directories, the data entries, the
// names, then the data, each piece 8-byte aligned.  Empty when the section
// would end beyond RVA 4 GB.
std::vector<uint8_t> writeResources(const std::vector<Resource>& resources, uint32_t sectionRva);

// Removes every resource of the type.
void removeResourceType(std::vector<Resource>& resources, uint16_t type);

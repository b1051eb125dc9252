#include "tools/pack/Image.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "launcher/config/ByteSource.h"
#include "tools/pack/ImageResources.h"
#include "tools/pack/KnownKeys.h"
#include "tools/pack/PeFile.h"
#include "tools/pack/TextForms.h"

namespace {

constexpr uint32_t kPeHeaderPointer = 0x3C;
constexpr uint32_t kCoffHeaderSize = 24;  // "PE\0\0" and the file header
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kChecksumInOptionalHeader = 64;
constexpr uint32_t kSecurityDirectoryIndex = 4;
constexpr uint64_t kLargestImage = 0x7FFFFFFF;  // the launcher seeks with signed 32-bit offsets
constexpr int32_t kFileCountKey = 2002;
constexpr int32_t kFileNamesKey = 2003;

uint16_t u16At(const std::vector<uint8_t>& b, uint64_t at) {
    return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t u32At(const std::vector<uint8_t>& b, uint64_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void putU32At(std::vector<uint8_t>& b, uint64_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void appendU64(std::vector<uint8_t>& b, uint64_t v) {
    for (int i = 0; i < 8; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::string sectionName(const std::vector<uint8_t>& image, uint64_t header) {
    std::string name;
    for (int i = 0; i < 8 && image[header + i] >= 0x20 && image[header + i] < 0x7F; ++i)
        name.push_back(static_cast<char>(image[header + i]));
    return name;
}

std::string narrowText(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
    return out;
}

// Where the PE headers are, once findImageEnd has checked them.
struct PeLayout {
    uint32_t pe = 0;
    uint32_t sections = 0;
    uint32_t optionalHeaderSize = 0;
    uint64_t sectionTable = 0;
};

bool readPeLayout(const std::vector<uint8_t>& image, PeLayout& layout, std::string& error) {
    const uint64_t size = image.size();
    if (size > kLargestImage) {
        error = "the image is larger than 2 GB, which the launcher cannot read";
        return false;
    }
    if (size < kPeHeaderPointer + 4 || image[0] != 'M' || image[1] != 'Z') {
        error = "not a Windows executable: no MZ signature";
        return false;
    }
    layout.pe = u32At(image, kPeHeaderPointer);
    if (static_cast<uint64_t>(layout.pe) + kCoffHeaderSize > size) {
        error = "not a Windows executable: the PE header offset " + std::to_string(layout.pe) +
                " lies outside the file";
        return false;
    }
    if (std::memcmp(&image[layout.pe], "PE\0\0", 4) != 0) {
        error = "not a Windows executable: no PE signature at offset " + std::to_string(layout.pe);
        return false;
    }
    layout.sections = u16At(image, layout.pe + 6);
    layout.optionalHeaderSize = u16At(image, layout.pe + 20);
    if (layout.sections == 0) {
        error = "the image has no sections, so there is no place for the block";
        return false;
    }
    // The launcher reads both counts as signed 16-bit numbers.
    if (layout.sections > 0x7FFF || layout.optionalHeaderSize > 0x7FFF) {
        error = "the image's section count or optional header size is out of range";
        return false;
    }
    layout.sectionTable = static_cast<uint64_t>(layout.pe) + kCoffHeaderSize + layout.optionalHeaderSize;
    if (layout.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * layout.sections > size) {
        error = "the section table (" + std::to_string(layout.sections) + " sections at offset " +
                std::to_string(layout.sectionTable) + ") lies outside the file";
        return false;
    }
    return true;
}

// The data of every section must lie before the block: the launcher takes
// the end of the last section header's data as the block's start, and a
// section behind it would be cut off or read as the block.
bool checkSectionsEndBefore(const std::vector<uint8_t>& image, const PeLayout& layout, uint64_t end,
                            std::string& error) {
    for (uint32_t i = 0; i < layout.sections; ++i) {
        const uint64_t header = layout.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * i;
        const uint64_t rawSize = u32At(image, header + 16), rawOffset = u32At(image, header + 20);
        if (rawSize > 0 && rawOffset + rawSize > end) {
            error = "section " + std::to_string(i + 1) + " (" + sectionName(image, header) + ") ends at " +
                    std::to_string(rawOffset + rawSize) + ", behind the end of the last section (" +
                    std::to_string(end) + "): the launcher would look for its block inside the image";
            return false;
        }
    }
    return true;
}

// The offset of the signature's entry in the data directories, or 0 when
// the optional header has none.
uint64_t securityEntryOffset(const std::vector<uint8_t>& image, const PeLayout& layout) {
    const uint64_t optional = static_cast<uint64_t>(layout.pe) + kCoffHeaderSize;
    if (layout.optionalHeaderSize < 2) return 0;
    const uint16_t magic = u16At(image, optional);
    const uint32_t directories = magic == 0x20B ? 112 : magic == 0x10B ? 96 : 0;
    if (!directories) return 0;
    const uint32_t entryEnd = directories + 8 * (kSecurityDirectoryIndex + 1);
    if (layout.optionalHeaderSize < entryEnd) return 0;
    if (u32At(image, optional + directories - 4) <= kSecurityDirectoryIndex) return 0;
    return optional + directories + 8 * kSecurityDirectoryIndex;
}

// A signature covers the image as it was; it is cut off with everything
// behind the last section, so its entry must go too.
void clearSignatureEntry(std::vector<uint8_t>& out, const PeLayout& layout, std::vector<std::string>* warnings) {
    const uint64_t entry = securityEntryOffset(out, layout);
    if (!entry || (u32At(out, entry) == 0 && u32At(out, entry + 4) == 0)) return;
    putU32At(out, entry, 0);
    putU32At(out, entry + 4, 0);
    if (warnings) warnings->push_back("the image's signature is dropped; sign the packed launcher again");
}

void updateChecksum(std::vector<uint8_t>& out, const PeLayout& layout) {
    if (layout.optionalHeaderSize < kChecksumInOptionalHeader + 4) return;
    const uint64_t at = static_cast<uint64_t>(layout.pe) + kCoffHeaderSize + kChecksumInOptionalHeader;
    if (u32At(out, at) == 0) return;  // an image without checksum keeps none
    putU32At(out, at, peChecksum(out, at));
}

bool hasBlockMagic(const std::vector<uint8_t>& image, uint32_t at) {
    return image.size() >= static_cast<uint64_t>(at) + 4 && u32At(image, at) == kBlockMagic;
}

std::vector<std::string> launcherFileNames(const std::string& value) {
    std::vector<std::string> names;
    const std::string cut = value.substr(0, kLongestValue);  // the launcher's buffer
    size_t start = 0;
    while (start <= cut.size()) {
        size_t end = cut.find(';', start);
        if (end == std::string::npos) end = cut.size();
        if (end > start) names.push_back(cut.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

const std::string* lastValue(const BlockData& block, int32_t id) {
    for (size_t i = block.config.size(); i-- > 0;)
        if (block.config[i].id == id) return &block.config[i].value;
    return nullptr;
}

std::string* lastValue(BlockData& block, int32_t id) {
    for (size_t i = block.config.size(); i-- > 0;)
        if (block.config[i].id == id) return &block.config[i].value;
    return nullptr;
}

// The names the launcher will extract, in order: the first N names of key
// 2003, N being key 2002.
std::vector<std::string> namesTheLauncherExtracts(const BlockData& block) {
    const std::string* count = lastValue(block, kFileCountKey);
    const std::string* list = lastValue(block, kFileNamesKey);
    const int32_t n = count ? launcherInt(*count) : 0;
    std::vector<std::string> names = list ? launcherFileNames(*list) : std::vector<std::string>();
    if (n <= 0) names.clear();
    else if (names.size() > static_cast<size_t>(n)) names.resize(static_cast<size_t>(n));
    return names;
}

bool namesListFiles(const std::string& value, const std::vector<EmbeddedFile>& files) {
    const std::vector<std::string> names = launcherFileNames(value);
    if (names.size() < files.size()) return false;
    for (size_t i = 0; i < files.size(); ++i)
        if (names[i] != files[i].name) return false;
    return true;
}

void rewriteKey(std::string& value, const std::string& wanted, int32_t id, std::vector<std::string>* notes) {
    if (notes)
        notes->push_back("key " + std::to_string(id) + " was \"" + value + "\"; set to \"" + wanted +
                         "\" to match the embedded files");
    value = wanted;
}

bool checkValueLengths(const BlockData& block, std::string& error) {
    for (const ConfigEntry& e : block.config) {
        if (e.value.size() > kLongestValue) {
            error = "the value of key " + std::to_string(e.id) + " has " + std::to_string(e.value.size()) +
                    " bytes; the launcher reads at most " + std::to_string(kLongestValue);
            return false;
        }
    }
    std::vector<const std::vector<MessageEntry>*> lists = {&block.messages};
    for (const LanguageGroup& g : block.groups) lists.push_back(&g.messages);
    for (const std::vector<MessageEntry>* list : lists) {
        for (const MessageEntry& m : *list) {
            if (m.text.size() > kLongestValue) {
                error = "the text of message " + std::to_string(m.id) + " has " + std::to_string(m.text.size()) +
                        " characters; the launcher shows at most " + std::to_string(kLongestValue);
                return false;
            }
        }
    }
    return true;
}

bool checkFileNames(const std::vector<EmbeddedFile>& files, std::string& error) {
    for (const EmbeddedFile& f : files) {
        error = embeddedNameProblem(f.name);
        if (!error.empty()) return false;
    }
    return true;
}

void appendEmbeddedFiles(std::vector<uint8_t>& out, const std::vector<EmbeddedFile>& files) {
    for (const EmbeddedFile& f : files) {
        appendU64(out, f.data.size());
        for (uint8_t b : f.data) out.push_back(static_cast<uint8_t>(b ^ kEmbeddedFileMask));
    }
}

std::vector<uint8_t> blockBytes(const LauncherDescription& d, BlockData block) {
    block.header3 = d.header3IsLength ? blockLengthField(block) : d.block.header3;
    std::vector<uint8_t> bytes = serializeBlock(block);
    // serializeBlock writes the length for a field of 0; a stated 0 stays 0.
    if (!d.header3IsLength && d.block.header3 == 0) std::fill(bytes.begin() + 12, bytes.begin() + 20, 0);
    return bytes;
}

bool readEmbeddedFiles(const std::vector<uint8_t>& launcher, uint64_t& pos, const BlockData& block,
                       std::vector<EmbeddedFile>& files, std::string& error) {
    for (const std::string& name : namesTheLauncherExtracts(block)) {
        if (pos + 8 > launcher.size()) {
            error = "the launcher ends before the size of embedded file \"" + name + "\"";
            return false;
        }
        int64_t size = 0;
        for (int i = 7; i >= 0; --i) size = static_cast<int64_t>((static_cast<uint64_t>(size) << 8) | launcher[pos + i]);
        pos += 8;
        if (size < 0) {
            error = "embedded file \"" + name + "\" has the size " + std::to_string(size) +
                    ", which a description cannot state";
            return false;
        }
        if (static_cast<uint64_t>(size) > launcher.size() - pos) {
            error = "the launcher ends inside embedded file \"" + name + "\" (" + std::to_string(size) +
                    " bytes announced, " + std::to_string(launcher.size() - pos) + " present)";
            return false;
        }
        EmbeddedFile file;
        file.name = name;
        const auto from = launcher.begin() + static_cast<std::ptrdiff_t>(pos);
        file.data.assign(from, from + static_cast<std::ptrdiff_t>(size));
        for (uint8_t& b : file.data) b ^= kEmbeddedFileMask;
        pos += static_cast<uint64_t>(size);
        files.push_back(std::move(file));
    }
    return true;
}

// The icon and version of the description replace those of the image;
// every other resource (the manifest above all) stays.
bool applyIconAndVersion(std::vector<uint8_t>& image, const LauncherDescription& d, std::string& error) {
    if (!d.hasIcon && !d.hasVersion) return true;
    PeFile pe;
    std::vector<Resource> resources;
    if (!readPeFile(image, pe, error) || !readResources(pe, image, resources, error)) return false;
    normalizeResources(resources);
    if (d.hasIcon) setIconResources(resources, d.icon);
    if (d.hasVersion) setVersionResource(resources, d.version);
    return replaceResources(image, resources, error);
}

// The icon as it comes back from the .ico file that dump writes.
bool describedIcon(const IconSet& icon, IconSet& out) {
    std::string ignored;
    return parseIconFile(formatIconFile(icon), out, ignored);
}

// The version as a description states it: the numbers follow the version
// strings, which must therefore be numbers.
bool describedVersion(const VersionInfo& version, VersionInfo& out) {
    out = version;
    const std::pair<VersionField, uint16_t*> numbers[] = {{VersionField::FileVersion, out.fileVersion},
                                                         {VersionField::ProductVersion, out.productVersion}};
    for (const auto& n : numbers) {
        std::string ignored;
        uint16_t parsed[4] = {0, 0, 0, 0};
        if (out.has(n.first) && !parseVersionNumbers(utf8FromUtf16(out.get(n.first)), parsed, ignored)) return false;
        std::copy(parsed, parsed + 4, n.second);
    }
    for (size_t i = 0; i < kVersionFieldCount; ++i)
        if (out.present[i] && out.text[i].size() > kLongestVersionString) return false;
    return true;
}

// True when packing the icon and the version (null: the image's own
// stays) onto the launcher's resources rebuilds its resource section.
bool rebuildsTheSection(const std::vector<uint8_t>& launcher, const std::vector<Resource>& resources,
                        const IconSet* icon, const VersionInfo* version) {
    std::vector<Resource> rebuilt = resources;
    normalizeResources(rebuilt);
    if (icon) setIconResources(rebuilt, *icon);
    if (version) setVersionResource(rebuilt, *version);
    uint32_t rva = 0;
    const std::vector<uint8_t> present = resourceSectionBytes(launcher, rva);
    return !present.empty() && present == writeResources(rebuilt, rva);
}

// Which of the launcher's icon and version a description states, in the
// order they are tried.
struct StatedParts {
    bool icon;
    bool version;
};
const StatedParts kPartsToTry[] = {{true, true}, {false, true}, {true, false}};

// Puts the launcher's icon and version into the description when packing
// them again rebuilds the same resource section: both, else the version
// alone, else the icon alone.  What is not stated is the image's own (or
// written by another tool) and stays out of it.
void readIconAndVersion(const std::vector<uint8_t>& launcher, LauncherDescription& out,
                        std::vector<std::string>* warnings) {
    PeFile pe;
    std::vector<Resource> resources;
    std::string error;
    // Images whose headers the loader would not take have no resources to
    // speak of; the block was found all the same.
    if (!readPeFile(launcher, pe, error)) return;
    if (!readResources(pe, launcher, resources, error)) {
        if (warnings) warnings->push_back(error + "; the icon and version information are not read");
        return;
    }
    IconSet icon, iconRead;
    VersionInfo version, versionRead;
    const bool hasIcon = firstIconGroup(resources, iconRead);
    const bool hasVersion = firstVersionResource(resources, versionRead);
    if (!hasIcon && !hasVersion) return;
    const bool iconStatable = hasIcon && describedIcon(iconRead, icon);
    const bool versionStatable = hasVersion && describedVersion(versionRead, version);
    out.keepsImageResources = true;
    for (const StatedParts& tried : kPartsToTry) {
        if ((tried.icon && !iconStatable) || (tried.version && !versionStatable)) continue;
        if (!rebuildsTheSection(launcher, resources, tried.icon ? &icon : nullptr, tried.version ? &version : nullptr))
            continue;
        out.hasIcon = tried.icon;
        if (tried.icon) out.icon = icon;
        out.hasVersion = tried.version;
        if (tried.version) out.version = version;
        out.keepsImageResources = (hasIcon && !tried.icon) || (hasVersion && !tried.version);
        return;
    }
}

}  // namespace

bool findImageEnd(const std::vector<uint8_t>& image, uint32_t& end, std::string& error) {
    PeLayout layout;
    if (!readPeLayout(image, layout, error)) return false;

    // The launcher's own computation decides where the block goes.
    MemorySource source(image);
    uint32_t blockOffset = 0;
    BlockStatus status = locateBlock(source, blockOffset);
    if (status != BlockStatus::Ok) {
        error = "cannot locate the block: " + narrowText(blockStatusText(status));
        return false;
    }
    const uint64_t lastHeader = layout.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * (layout.sections - 1);
    const uint64_t lastEnd = static_cast<uint64_t>(u32At(image, lastHeader + 20)) + u32At(image, lastHeader + 16);
    if (lastEnd > image.size()) {
        error = "the last section's data ends at " + std::to_string(lastEnd) + ", behind the end of the file (" +
                std::to_string(image.size()) + " bytes)";
        return false;
    }
    const uint64_t headersEnd = layout.sectionTable + static_cast<uint64_t>(kSectionHeaderSize) * layout.sections;
    if (lastEnd < headersEnd) {
        error = "the last section's data ends at " + std::to_string(lastEnd) + ", inside the headers";
        return false;
    }
    if (!checkSectionsEndBefore(image, layout, lastEnd, error)) return false;
    end = blockOffset;
    return true;
}

bool packLauncher(const std::vector<uint8_t>& image, const LauncherDescription& d, std::vector<uint8_t>& out,
                  std::string& error, std::vector<std::string>* warnings) {
    uint32_t end = 0;
    PeLayout layout;
    if (!findImageEnd(image, end, error) || !readPeLayout(image, layout, error)) return false;

    BlockData block = d.block;
    syncEmbeddedFileKeys(block, d.files, warnings);
    if (!checkValueLengths(block, error) || !checkFileNames(d.files, error)) return false;

    if (image.size() > end && !hasBlockMagic(image, end) && warnings)
        warnings->push_back(std::to_string(image.size() - end) +
                            " bytes behind the image's last section are dropped (they are no configuration block)");
    out.assign(image.begin(), image.begin() + end);
    if (!applyIconAndVersion(out, d, error)) {
        error = "the image cannot take the icon and version information: " + error;
        return false;
    }
    clearSignatureEntry(out, layout, warnings);
    const std::vector<uint8_t> bytes = blockBytes(d, block);
    out.insert(out.end(), bytes.begin(), bytes.end());
    appendEmbeddedFiles(out, d.files);
    if (out.size() > kLargestImage) {
        error = "the launcher would be larger than 2 GB, which it cannot read";
        return false;
    }
    updateChecksum(out, layout);
    return true;
}

bool readLauncher(const std::vector<uint8_t>& launcher, LauncherDescription& out, std::string& error,
                  std::vector<std::string>* warnings) {
    out = LauncherDescription();
    uint32_t end = 0;
    if (!findImageEnd(launcher, end, error)) return false;
    if (!hasBlockMagic(launcher, end)) {
        error = "no configuration block behind the last section (offset " + std::to_string(end) + ")";
        return false;
    }
    MemorySource source(launcher);
    source.seek(end);
    BlockStatus status = readBlockHead(source, out.block);
    if (status == BlockStatus::Ok) status = readBlockGroups(source, out.block);
    if (status != BlockStatus::Ok) {
        error = "the configuration block at offset " + std::to_string(end) +
                " is damaged: " + narrowText(blockStatusText(status));
        return false;
    }
    out.header3IsLength = out.block.header3 == blockLengthField(out.block);

    uint64_t pos = source.position();
    if (!readEmbeddedFiles(launcher, pos, out.block, out.files, error)) return false;
    readIconAndVersion(std::vector<uint8_t>(launcher.begin(), launcher.begin() + end), out, warnings);
    if (pos < launcher.size() && warnings)
        warnings->push_back(std::to_string(launcher.size() - pos) +
                            " bytes behind the embedded data (such as a signature) are not part of the description");
    return true;
}

void syncEmbeddedFileKeys(BlockData& block, const std::vector<EmbeddedFile>& files, std::vector<std::string>* notes) {
    const std::string count = std::to_string(files.size());
    std::string names;
    for (size_t i = 0; i < files.size(); ++i) names += (i ? ";" : "") + files[i].name;

    if (std::string* value = lastValue(block, kFileCountKey)) {
        if (launcherInt(*value) != static_cast<int64_t>(files.size())) rewriteKey(*value, count, kFileCountKey, notes);
    } else if (!files.empty()) {
        block.config.push_back({kFileCountKey, count});
    }
    if (std::string* value = lastValue(block, kFileNamesKey)) {
        if (!namesListFiles(*value, files)) rewriteKey(*value, names, kFileNamesKey, notes);
    } else if (!files.empty()) {
        block.config.push_back({kFileNamesKey, names});
    }
}

uint32_t peChecksum(const std::vector<uint8_t>& file, size_t checksumOffset) {
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        uint32_t low = file[i];
        uint32_t high = i + 1 < file.size() ? file[i + 1] : 0;
        // The checksum's own bytes count as zero.
        if (i >= checksumOffset && i < checksumOffset + 4) low = 0;
        if (i + 1 >= checksumOffset && i + 1 < checksumOffset + 4) high = 0;
        sum += low | (high << 8);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

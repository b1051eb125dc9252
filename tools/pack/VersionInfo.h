// The version information of a launcher: the numbers of the fixed part of
// VS_VERSIONINFO and the strings of its US-English Unicode string table
// (040904B0), with the translation that names that table.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/Resources.h"

// The strings, in the order they are written.
enum class VersionField {
    CompanyName,
    FileDescription,
    FileVersion,
    InternalName,
    LegalCopyright,
    OriginalFilename,
    ProductName,
    ProductVersion,
};
constexpr size_t kVersionFieldCount = 8;

// The key in the string table ("CompanyName") and in a description
// ("company-name").
const char* versionFieldKey(VersionField field);
const char* versionFieldSetting(VersionField field);

// The longest string value: the whole resource must stay below 64 KB.
constexpr size_t kLongestVersionString = 2000;

struct VersionInfo {
    uint16_t fileVersion[4] = {0, 0, 0, 0};
    uint16_t productVersion[4] = {0, 0, 0, 0};
    bool present[kVersionFieldCount] = {};
    std::u16string text[kVersionFieldCount];

    bool has(VersionField f) const { return present[static_cast<size_t>(f)]; }
    const std::u16string& get(VersionField f) const { return text[static_cast<size_t>(f)]; }
    void set(VersionField f, const std::u16string& value) {
        present[static_cast<size_t>(f)] = true;
        text[static_cast<size_t>(f)] = value;
    }
};
bool operator==(const VersionInfo& a, const VersionInfo& b);

// Reads "3", "3.2", "3.2.2" or "3.2.2.0" (each number 0 to 65535); absent
// parts are 0.  On failure `error` says why.
bool parseVersionNumbers(const std::string& text, uint16_t (&out)[4], std::string& error);

// The VS_VERSIONINFO resource data.
std::vector<uint8_t> writeVersionResource(const VersionInfo& info);
// Reads the fixed numbers and the strings of the first string table.
bool readVersionResource(const std::vector<uint8_t>& data, VersionInfo& out);

// Replaces every version resource with this one (name 1, US English).
void setVersionResource(std::vector<Resource>& resources, const VersionInfo& info);
// The first version resource; false when there is none or it is damaged.
bool firstVersionResource(const std::vector<Resource>& resources, VersionInfo& out);

#include "launcher/jvmsearch/SearchSequence.h"

#include <algorithm>
#include <cstring>

namespace {

struct KindMessage {
    JvmSourceKind kind;
    FailureMessage message;
};

// Nothing found and a path-search runtime that would not load both ask
// for a 64-bit runtime; the other kinds name what they tried.
const KindMessage kFailureMessages[] = {
    {JvmSourceKind::None, {1016, MessageArgument::SixtyFour}},
    {JvmSourceKind::PathSearch, {1016, MessageArgument::SixtyFour}},
    {JvmSourceKind::Location, {1020, MessageArgument::LocationText}},
    {JvmSourceKind::Environment, {1018, MessageArgument::LocationText}},
    {JvmSourceKind::Registry, {1005, MessageArgument::None}},
};

}  // namespace

std::vector<std::string> splitList(const char* text, char separator) {
    std::vector<std::string> items;
    if (!text) return items;
    const char* p = text;
    while (*p) {
        const char* end = std::strchr(p, separator);
        if (!end) end = p + std::strlen(p);
        if (end > p) items.emplace_back(p, static_cast<size_t>(end - p));
        p = *end ? end + 1 : end;
    }
    return items;
}

std::vector<SearchEntry> parseSearchSequence(const char* sequence) {
    std::vector<SearchEntry> entries;
    for (const std::string& item : splitList(sequence, ';')) entries.push_back({item[0], item.substr(1)});
    return entries;
}

bool isAbsoluteLocation(const std::string& value) {
    return value.size() >= 2 && (value[1] == ':' || (value[0] == '\\' && value[1] == '\\'));
}

bool qualifiesForFallback(const SearchEntry& entry) {
    if (entry.type == 'B') return true;
    return (entry.type == 'A' || entry.type == 'R') && !isAbsoluteLocation(entry.value);
}

FailureMessage failureMessageFor(JvmSourceKind kind) {
    for (const KindMessage& row : kFailureMessages)
        if (row.kind == kind) return row.message;
    return kFailureMessages[0].message;
}

std::vector<std::string> versionKeysInProbeOrder(std::vector<std::string> names, const VersionVector& minimum,
                                                 const VersionVector& maximum) {
    auto outsideLimits = [&](const std::string& name) { return !matchKeyVersion(name.c_str(), minimum, maximum); };
    names.erase(std::remove_if(names.begin(), names.end(), outsideLimits), names.end());
    // strcmp order: bytes compared as unsigned, a prefix before its extensions.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return std::strcmp(a.c_str(), b.c_str()) < 0;
    });
    std::reverse(names.begin(), names.end());
    return names;
}

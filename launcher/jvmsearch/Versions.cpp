#include "launcher/jvmsearch/Versions.h"

#include <cstring>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"

namespace {

constexpr int32_t kComponentMax = 2147483647;
const char kSeparators[] = "._-+";
// Plain substring tests, in this order; "ea" also hits inside "beta" or "release".
const char* const kPreReleaseMarks[] = {"beta", "ea", "rc"};

bool isSeparator(char c) { return c != 0 && std::strchr(kSeparators, c) != nullptr; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// strtol in base 10 on [begin, end): blanks, then digits; saturates.
int32_t componentValue(const char* begin, const char* end) {
    const char* p = begin;
    while (p < end && isBlank(*p)) ++p;
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > kComponentMax) return kComponentMax;
    }
    return static_cast<int32_t>(value);
}

bool isPreRelease(const char* version) {
    for (const char* mark : kPreReleaseMarks)
        if (std::strstr(version, mark)) return true;
    return false;
}

bool withinLimits(const char* version, const VersionVector& minimum, const VersionVector& maximum,
                  bool acceptShorter) {
    VersionVector candidate = parseVersion(version);
    return checkVersionLimit(minimum, candidate, false, acceptShorter) &&
           checkVersionLimit(maximum, candidate, true, acceptShorter);
}

}  // namespace

VersionVector parseVersion(const char* text) {
    VersionVector components;
    if (!text) return components;
    const char* p = text;
    while (*p) {
        while (isSeparator(*p)) ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && !isSeparator(*p)) ++p;
        components.push_back(componentValue(start, p));
    }
    return components;
}

bool checkVersionLimit(const VersionVector& limit, const VersionVector& candidate, bool isMaximum,
                       bool acceptShorter) {
    for (size_t i = 0; i < limit.size(); ++i) {
        if (i >= candidate.size() && acceptShorter) return true;
        int32_t c = i < candidate.size() ? candidate[i] : 0;
        int32_t l = limit[i];
        if (c == l) continue;
        return isMaximum ? c < l : c > l;
    }
    return true;
}

bool matchJavaVersion(const char* version, const VersionVector& minimum, const VersionVector& maximum,
                      bool skipPreReleaseTest) {
    if (!version) version = "";
    if (!skipPreReleaseTest && configInt(kAllowPreReleaseKey) == 0 && isPreRelease(version)) {
        logLine(L"beta vm not allowed");
        return false;
    }
    return withinLimits(version, minimum, maximum, false);
}

bool matchKeyVersion(const char* version, const VersionVector& minimum, const VersionVector& maximum) {
    return withinLimits(version, minimum, maximum, true);
}

bool isNewerVersion(const char* a, const char* b) {
    VersionVector va = parseVersion(a);
    VersionVector vb = parseVersion(b);
    for (size_t i = 0; i < va.size(); ++i) {
        if (i >= vb.size()) return true;
        if (va[i] != vb[i]) return va[i] > vb[i];
    }
    return false;
}

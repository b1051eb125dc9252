#include "launcher/jvmsearch/JavaText.h"

#include <cstring>

const char kFailedProbeVersion[] = "1.0.0";

namespace {

const char kVersionCacheRoot[] = "SOFTWARE\\brightmoor\\lorix\\jvms\\";

// Each prefix ends with the opening quote of the version.
const char* const kFirstLinePrefixes[] = {"java version \"", "openjdk version \""};

const char* const kOptionsNoticePrefixes[] = {"Picked up ", "NOTE: Picked up "};

const char* const kStaleCachedVersions[] = {"1.7.", "1.6.", "1.5."};

// The text up to and including its last backslash (empty when there is none).
std::string directoryWithBackslash(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    return slash ? std::string(path, static_cast<size_t>(slash - path) + 1) : std::string();
}

}  // namespace

bool versionFromFirstLine(const char* line, std::string& version) {
    version.clear();
    if (!line) return false;
    for (const char* prefix : kFirstLinePrefixes) {
        size_t length = std::strlen(prefix);
        if (std::strncmp(line, prefix, length) != 0) continue;
        const char* start = line + length;
        const char* close = std::strchr(start, '"');
        if (!close) return false;
        version.assign(start, static_cast<size_t>(close - start));
        return true;
    }
    return false;
}

bool isOptionsNotice(const char* line) {
    if (!line) return false;
    for (const char* prefix : kOptionsNoticePrefixes)
        if (std::strncmp(line, prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

std::string versionCommandLine(const char* javaExe) {
    bool quote = std::strpbrk(javaExe, " \t") != nullptr;
    return (quote ? "\"" + std::string(javaExe) + "\"" : std::string(javaExe)) + " -version";
}

bool isStaleCachedVersion(const char* version) {
    for (const char* stale : kStaleCachedVersions)
        if (std::strcmp(version, stale) == 0) return true;
    return false;
}

std::string versionCacheKey(const char* javaExe) {
    std::string key = kVersionCacheRoot;
    for (const char* p = javaExe; *p; ++p) key += *p == '\\' ? '/' : *p;
    return key;
}

std::string slashesToBackslashes(const char* text) {
    std::string out = text;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

std::string javaHomeOfJavaExe(const char* javaExe) { return directoryWithBackslash(javaExe) + ".."; }

std::string binDirectoryOf(const char* javaExe) {
    std::string dir = directoryWithBackslash(javaExe);
    if (!dir.empty()) dir.pop_back();
    return dir;
}

std::string jreBinVariantOf(const char* javaExe) {
    return directoryWithBackslash(javaExe) + "..\\jre\\bin\\java.exe";
}

std::string javawNameOf(const char* javaExe) {
    std::string path = javaExe;
    if (path.size() < 4) return path;
    path.resize(path.size() - 4);
    return path + "w.exe";
}

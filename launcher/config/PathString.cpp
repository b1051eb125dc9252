#include "launcher/config/PathString.h"

#include <cstring>

namespace {

template <class Ch> size_t length(const Ch* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

template <class Ch> bool isSeparator(Ch c) { return c == Ch('\\') || c == Ch('/'); }

template <class Ch> Ch lowerAscii(Ch c) { return c >= Ch('A') && c <= Ch('Z') ? Ch(c - 'A' + 'a') : c; }

// Compares `text` with the narrow literal `expected` character by character.
template <class Ch> bool equalsLiteral(const Ch* text, const char* expected) {
    size_t i = 0;
    for (; expected[i]; ++i)
        if (text[i] != Ch(expected[i])) return false;
    return text[i] == Ch(0);
}

}  // namespace

template <class Ch> void collapseBackslashes(Ch* path) {
    if (!path || !path[0] || !path[1]) return;
    size_t kept = 2;
    for (size_t read = 2; path[read]; ++read) {
        if (path[read] == Ch('\\') && path[kept - 1] == Ch('\\')) continue;
        path[kept++] = path[read];
    }
    path[kept] = Ch(0);
}

// "C:\x", "\"C:\x" and "\\srv\x" are absolute; "\x\y", "x", "ab" are not.
template <class Ch> bool isRelativePath(const Ch* path) {
    if (!path || length(path) < 3) return true;
    const Ch* p = path;
    if (*p == Ch('"')) {
        if (length(path) < 4) return true;
        ++p;
    }
    bool driveRooted = p[1] == Ch(':') && isSeparator(p[2]);
    bool unc = isSeparator(p[0]) && isSeparator(p[1]);
    return !driveRooted && !unc;
}

template <class Ch> bool hasExeSuffix(const Ch* path) {
    if (!path) return false;
    size_t n = length(path);
    if (n < 5) return false;
    const char* suffix = ".exe";
    for (size_t i = 0; i < 4; ++i)
        if (lowerAscii(path[n - 4 + i]) != Ch(suffix[i])) return false;
    return true;
}

template <class Ch> bool isDriveRoot(const Ch* path) {
    if (!path || !path[0]) return false;
    const Ch* rest = path + 1;
    return equalsLiteral(rest, ":\\") || equalsLiteral(rest, ":\\.") || equalsLiteral(rest, ":\\.\\.");
}

template <class Ch> bool needsFindData(const Ch* path) {
    if (!path || !path[0]) return false;
    const Ch* p = path;
    for (; *p; ++p)
        if (*p == Ch('*') || *p == Ch('?')) return true;
    return p[-1] == Ch('\\') || p[-1] == Ch('/');
}

template <class Ch> void lowerCaseAscii(Ch* text) {
    if (!text) return;
    for (; *text; ++text) *text = lowerAscii(*text);
}

bool shortPathFromCmdOutput(const char* output, size_t count, unsigned long exitCode,
                            std::string& shortPath) {
    if (!output || exitCode != 0 || count < 6) return false;
    size_t end = 0;
    while (end < count && output[end] != '\r' && output[end] != '\n' && output[end] != '\0') ++end;
    if (end == 0 || std::memchr(output, '?', end)) return false;
    shortPath.assign(output, end);
    return true;
}

template void collapseBackslashes<char>(char*);
template void collapseBackslashes<wchar_t>(wchar_t*);
template bool isRelativePath<char>(const char*);
template bool isRelativePath<wchar_t>(const wchar_t*);
template bool hasExeSuffix<char>(const char*);
template bool hasExeSuffix<wchar_t>(const wchar_t*);
template bool isDriveRoot<char>(const char*);
template bool isDriveRoot<wchar_t>(const wchar_t*);
template bool needsFindData<char>(const char*);
template bool needsFindData<wchar_t>(const wchar_t*);
template void lowerCaseAscii<char>(char*);
template void lowerCaseAscii<wchar_t>(wchar_t*);

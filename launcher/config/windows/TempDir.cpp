// The temporary directory search: a fixed list of candidates, each tried
// for ANSI safety (where the row says so) and writability; the first that
// passes is used for the whole run.  The narrow and the wide form are
// searched and cached separately.
#include "launcher/config/windows/TempDir.h"

#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Handles.h"

namespace {

enum class Source { TempPath, UserProfileTemp, HomeDrivePath, WindowsTemp, CTemp, CTmp, WindowsDir };

struct Candidate {
    Source source;
    bool createFirst;
    bool ansiSafeTest;
};

// In order; the first that passes wins.  The later rows repeat earlier
// sources without the ANSI-safe test, as a last resort.
const Candidate kCandidates[] = {
    {Source::TempPath, true, true},         {Source::UserProfileTemp, false, true},
    {Source::HomeDrivePath, false, true},   {Source::WindowsTemp, false, false},
    {Source::CTemp, false, false},          {Source::CTmp, false, false},
    {Source::WindowsDir, false, false},     {Source::CTmp, true, false},
    {Source::TempPath, true, false},        {Source::UserProfileTemp, false, false},
    {Source::HomeDrivePath, false, false},
};

// The A and W flavours of the calls the search makes.
template <class Ch> struct Api;

template <> struct Api<char> {
    using String = std::string;
    static DWORD tempPath(char* b, DWORD n) { return GetTempPathA(n, b); }
    static DWORD windowsDir(char* b, DWORD n) { return GetWindowsDirectoryA(b, n); }
    static DWORD env(const char* name, char* b, DWORD n) { return GetEnvironmentVariableA(name, b, n); }
    static DWORD longPath(const char* p, char* b, DWORD n) { return GetLongPathNameA(p, b, n); }
    static BOOL createDir(const char* p) { return CreateDirectoryA(p, nullptr); }
    static BOOL removeDir(const char* p) { return RemoveDirectoryA(p); }
    static DWORD attributes(const char* p) { return GetFileAttributesA(p); }
    static String lit(const char* s) { return s; }
    static String number(unsigned long v) { return std::to_string(v); }
};

template <> struct Api<wchar_t> {
    using String = std::wstring;
    static DWORD tempPath(wchar_t* b, DWORD n) { return GetTempPathW(n, b); }
    static DWORD windowsDir(wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); }
    static DWORD env(const char* name, wchar_t* b, DWORD n) {
        std::wstring wide(name, name + strlen(name));
        return GetEnvironmentVariableW(wide.c_str(), b, n);
    }
    static DWORD longPath(const wchar_t* p, wchar_t* b, DWORD n) { return GetLongPathNameW(p, b, n); }
    static BOOL createDir(const wchar_t* p) { return CreateDirectoryW(p, nullptr); }
    static BOOL removeDir(const wchar_t* p) { return RemoveDirectoryW(p); }
    static DWORD attributes(const wchar_t* p) { return GetFileAttributesW(p); }
    static String lit(const char* s) { return String(s, s + strlen(s)); }
    // The narrow digits widened: std::to_wstring formats with the C
    // runtime's wide printf, which would be linked in for this alone.
    static String number(unsigned long v) {
        std::string digits = std::to_string(v);
        return String(digits.begin(), digits.end());
    }
};

// Runs a Windows "fill this buffer" call; false when it fails or the value
// does not fit.
template <class Ch, class Call>
bool fetch(typename Api<Ch>::String& out, Call call) {
    Ch buffer[kBufferChars];
    DWORD n = call(buffer, kBufferChars);
    if (n == 0 || n >= kBufferChars) return false;
    out.assign(buffer, n);
    return true;
}

template <class Ch>
bool candidatePath(Source source, typename Api<Ch>::String& out) {
    using A = Api<Ch>;
    typename A::String a, b;
    switch (source) {
    case Source::TempPath:
        return fetch<Ch>(out, [](Ch* buf, DWORD n) { return A::tempPath(buf, n); });
    case Source::UserProfileTemp:
        if (!fetch<Ch>(a, [](Ch* buf, DWORD n) { return A::env("USERPROFILE", buf, n); })) return false;
        out = a + A::lit("\\AppData\\Local\\Temp");
        return true;
    case Source::HomeDrivePath:
        if (!fetch<Ch>(a, [](Ch* buf, DWORD n) { return A::env("HOMEDRIVE", buf, n); }) ||
            !fetch<Ch>(b, [](Ch* buf, DWORD n) { return A::env("HOMEPATH", buf, n); }))
            return false;
        out = a + b;
        return true;
    case Source::WindowsTemp:
        if (!fetch<Ch>(a, [](Ch* buf, DWORD n) { return A::windowsDir(buf, n); })) return false;
        out = a + A::lit("\\temp");
        return true;
    case Source::CTemp:
        out = A::lit("c:\\temp");
        return true;
    case Source::CTmp:
        out = A::lit("c:\\tmp");
        return true;
    case Source::WindowsDir:
        return fetch<Ch>(out, [](Ch* buf, DWORD n) { return A::windowsDir(buf, n); });
    }
    return false;
}

// A name that the ANSI code page cannot show comes back with "?" in it.
template <class Ch>
bool ansiSafe(const typename Api<Ch>::String& path) {
    typename Api<Ch>::String longForm;
    if (!fetch<Ch>(longForm, [&](Ch* buf, DWORD n) { return Api<Ch>::longPath(path.c_str(), buf, n); }))
        longForm = path;
    return longForm.find(static_cast<Ch>('?')) == Api<Ch>::String::npos;
}

// Creates and removes a uniquely named directory in the candidate.
template <class Ch>
bool writable(const typename Api<Ch>::String& dir) {
    using A = Api<Ch>;
    unsigned long pid = GetCurrentProcessId();
    srand(static_cast<unsigned>(time(nullptr) * pid));
    typename A::String probe = dir + A::lit("\\lrxtw") + A::number(pid) + A::number(static_cast<unsigned long>(rand()));
    A::removeDir(probe.c_str());
    if (!A::createDir(probe.c_str())) return false;
    DWORD attributes = A::attributes(probe.c_str());
    A::removeDir(probe.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

template <class Ch>
bool searchTempDir(typename Api<Ch>::String& result) {
    for (const Candidate& c : kCandidates) {
        typename Api<Ch>::String path;
        if (!candidatePath<Ch>(c.source, path) || path.empty()) continue;
        if (c.createFirst) Api<Ch>::createDir(path.c_str());
        if (c.ansiSafeTest && !ansiSafe<Ch>(path)) continue;
        if (!writable<Ch>(path)) continue;
        result = path;
        return true;
    }
    return false;
}

template <class Ch>
void copyOut(const typename Api<Ch>::String& value, Ch* buffer) {
    size_t n = value.size() < kBufferChars - 1 ? value.size() : kBufferChars - 1;
    value.copy(buffer, n);
    buffer[n] = 0;
}

char g_extractionDir[kBufferChars];

}  // namespace

void findTempDirNarrow(char* buffer) {
    static bool found = false;
    static std::string cached;
    if (!found) found = searchTempDir<char>(cached);
    if (!found) fatalMessage(kNoTempDirMessage);
    copyOut<char>(cached, buffer);
}

void findTempDirWide(wchar_t* buffer, bool fatalWhenNone) {
    static bool found = false;
    static std::wstring cached;
    if (!found) found = searchTempDir<wchar_t>(cached);
    if (!found && fatalWhenNone) fatalMessage(kNoTempDirMessage);
    copyOut<wchar_t>(found ? cached : std::wstring(), buffer);
}

const char* extractionDirectory() { return g_extractionDir; }

void setExtractionDirectory(const char* path) {
    size_t n = strlen(path);
    if (n >= kBufferChars) n = kBufferChars - 1;
    memcpy(g_extractionDir, path, n);
    g_extractionDir[n] = 0;
}

void emptyDirectory(const char* path, bool recursive) {
    if (!path[0] || path[0] == '.') return;
    logLine(L"emptying %S", path);
    std::string base = path;
    if (base.back() != '\\') base += '\\';

    WIN32_FIND_DATAA entry;
    UniqueFindHandle find(FindFirstFileA((base + "*.*").c_str(), &entry));
    if (!find.valid()) return;
    do {
        if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) continue;
        std::string child = base + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            logLine(L"attempting to remove %S (%d)", child.c_str(), recursive ? 1 : 0);
            // A junction or directory link is removed, never entered: what
            // it points to lies outside this directory.
            bool link = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (recursive && !link) emptyDirectory(child.c_str(), false);
            RemoveDirectoryA(child.c_str());
        } else {
            logLine(L"attempting to delete %S", child.c_str());
            DeleteFileA(child.c_str());
        }
    } while (FindNextFileA(find.get(), &entry));
}

// Path utilities: the executable's own paths, code-page conversion,
// resolving against the executable's directory, existence tests, and short
// names from cmd.exe.  A narrow path goes to the JVM, so it must not hold a
// character the file-system code page cannot represent: the executable's
// narrow path prefers the long path, then the 8.3 name, then cmd.exe.
#include "launcher/config/windows/Paths.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/PathString.h"
#include "launcher/config/windows/Handles.h"

namespace {

// How long cmd.exe may take to exit after closing its output.
constexpr DWORD kCmdExitWaitMillis = 5000;

size_t textLength(const char* text) { return std::strlen(text); }
size_t textLength(const wchar_t* text) { return std::wcslen(text); }

// Appends `text` to the terminated string in `out` when the result fits
// into `size` characters; otherwise leaves `out` unchanged.
template <class Ch> bool appendText(Ch* out, size_t size, const Ch* text) {
    size_t used = textLength(out);
    size_t add = textLength(text);
    if (used + add >= size) return false;
    std::memcpy(out + used, text, (add + 1) * sizeof(Ch));
    return true;
}

template <class Ch> bool copyText(Ch* out, size_t size, const Ch* text) {
    if (size == 0) return false;
    out[0] = Ch(0);
    return appendText(out, size, text);
}

DWORD fullPathName(const char* path, DWORD size, char* out, char** filePart) {
    return GetFullPathNameA(path, size, out, filePart);
}
DWORD fullPathName(const wchar_t* path, DWORD size, wchar_t* out, wchar_t** filePart) {
    return GetFullPathNameW(path, size, out, filePart);
}

// C:\app\bin\x.exe gives C:\app\bin\ (with the trailing backslash).  When
// GetFullPathName fails the text is cut behind its last backslash.
template <class Ch> void directoryOf(const Ch* file, Ch* dir, size_t size) {
    Ch* filePart = nullptr;
    DWORD n = fullPathName(file, static_cast<DWORD>(size), dir, &filePart);
    if (n == 0 || n >= size) {
        if (!copyText(dir, size, file)) dir[0] = Ch(0);
        filePart = dir;
        for (Ch* p = dir; *p; ++p)
            if (*p == Ch('\\')) filePart = p + 1;
    }
    if (filePart) *filePart = Ch(0);
}

// GetFullPathName of `resolved` into `out`, or `resolved` itself when that
// fails; false when the result does not fit into `size` characters.
template <class Ch> bool normalisePath(const Ch* resolved, Ch* out, int size) {
    DWORD n = fullPathName(resolved, static_cast<DWORD>(size), out, nullptr);
    if (n == 0) return copyText(out, static_cast<size_t>(size), resolved);
    return n < static_cast<DWORD>(size);
}

// Fixed buffers, filled once by computeExecutablePaths().
struct ExecutablePaths {
    wchar_t longPath[kBufferChars];
    char narrowPath[kBufferChars];
    char dirNarrow[kBufferChars];
    wchar_t dirWideFromNarrow[kBufferChars];
    wchar_t dirWideLong[kBufferChars];
};

// Accepts a narrow candidate for the executable when it was converted
// without replacement characters and still names an .exe file.
bool acceptNarrow(const std::string& candidate, bool lossy, char* out) {
    return !lossy && hasExeSuffix(candidate.c_str()) && copyText(out, kBufferChars, candidate.c_str());
}

// True when the normalised name of the file or directory `path` names
// (every component long and in the case the disk stores it, links and
// substituted drives resolved), less its "\\?\" prefix, is `path`
// character for character.  Then no component of `path` is a short name,
// and its long form is `path` itself.
bool isItsOwnLongForm(const wchar_t* path) {
    UniqueHandle file(CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return false;
    wchar_t normalised[kBufferChars];
    DWORD n = GetFinalPathNameByHandleW(file.get(), normalised, kBufferChars, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= kBufferChars) return false;
    bool prefixed = normalised[0] == L'\\' && normalised[1] == L'\\' && normalised[2] == L'?' && normalised[3] == L'\\';
    const wchar_t* name = prefixed ? normalised + 4 : normalised;
    return std::wcscmp(name, path) == 0;
}

// The module file name and its long form; the module name stands in for
// the long path when GetLongPathNameW fails.
void readLongModulePath(wchar_t* longPath) {
    wchar_t module[kBufferChars] = L"";
    DWORD moduleLength = GetModuleFileNameW(nullptr, module, kBufferChars);
    if (moduleLength >= kBufferChars) logLine(L"module file name longer than %d characters", kBufferChars);
    if (moduleLength == 0 || moduleLength >= kBufferChars) module[0] = 0;

    longPath[0] = 0;
    DWORD longLength = longPathName(module, longPath);
    DWORD error = GetLastError();
    if (longLength >= kBufferChars) longPath[0] = 0;
    logLine(L"init file name %s %s %d %d", module, longPath, static_cast<int>(longLength),
            static_cast<int>(error));
    if (longLength == 0 || longLength >= kBufferChars) copyText(longPath, kBufferChars, module);
}

// The last resort: the narrow module name, shortened when possible.
void narrowModuleShortPath(char* out) {
    char module[kBufferChars] = "";
    DWORD n = GetModuleFileNameA(nullptr, module, kBufferChars);
    if (n == 0 || n >= kBufferChars) module[0] = 0;
    DWORD s = GetShortPathNameA(module, out, kBufferChars);
    if (s == 0 || s >= kBufferChars) copyText(out, kBufferChars, static_cast<const char*>(module));
}

// The long path when the code page holds it, else the 8.3 name, else what
// cmd.exe prints, else the narrow module name's short path.
void chooseNarrowPath(const wchar_t* longPath, char* out) {
    bool lossy = false;
    std::string candidate = narrowPath(longPath, &lossy);
    if (acceptNarrow(candidate, lossy, out)) return;

    wchar_t shortWide[kBufferChars];
    DWORD n = GetShortPathNameW(longPath, shortWide, kBufferChars);
    if (n > 0 && n < kBufferChars) {
        candidate = narrowPath(shortWide, &lossy);
        if (acceptNarrow(candidate, lossy, out)) return;
    }

    if (longPath[0] && shortPathViaCmd(longPath, candidate) && acceptNarrow(candidate, false, out)) return;

    narrowModuleShortPath(out);
}

void computeExecutablePaths(ExecutablePaths& paths) {
    readLongModulePath(paths.longPath);
    chooseNarrowPath(paths.longPath, paths.narrowPath);
    collapseBackslashes(paths.longPath);
    collapseBackslashesNarrow(paths.narrowPath);

    directoryOf(paths.narrowPath, paths.dirNarrow, kBufferChars);
    if (!copyText(paths.dirWideFromNarrow, kBufferChars, widenPath(paths.dirNarrow).c_str()))
        paths.dirWideFromNarrow[0] = 0;
    directoryOf(paths.longPath, paths.dirWideLong, kBufferChars);
}

ExecutablePaths g_paths;
enum class PathsState { NotComputed, Computing, Computed } g_pathsState = PathsState::NotComputed;

// Filled on the first call, on the main thread during start-up.  A call
// made meanwhile (from a log line written while computing) sees the
// buffers as far as they are filled instead of starting over.
const ExecutablePaths& executablePaths() {
    if (g_pathsState == PathsState::NotComputed) {
        g_pathsState = PathsState::Computing;
        computeExecutablePaths(g_paths);
        g_pathsState = PathsState::Computed;
    }
    return g_paths;
}

UINT fileCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// Widens `path`, applies `change`, and writes the result back only when it
// narrows without loss and is no longer than the original.
void changeNarrowThroughWide(char* path, void (*change)(wchar_t*)) {
    if (!path || !path[0]) return;
    std::wstring wide = widenPath(path);
    if (wide.empty()) return;
    change(&wide[0]);
    bool lossy = false;
    std::string back = narrowPath(wide.c_str(), &lossy);
    if (lossy || back.empty() || back.size() > std::strlen(path)) return;
    std::memcpy(path, back.c_str(), back.size() + 1);
}

// A narrow path is collapsed through wide characters: in a double-byte
// code page the trail byte of a character such as U+8868 is 0x5C, and a
// byte-wise collapse would drop the separator behind it.
void collapseInPlace(wchar_t* path) { collapseBackslashes(path); }
void collapseInPlace(char* path) { collapseBackslashesNarrow(path); }

// Base directory + path into `out`, or an empty `out` with a log line when
// it does not fit.  Joined apart from `out`, which may be `path` itself.
template <class Ch> void joinAndCollapse(const Ch* base, const Ch* path, Ch* out, int size) {
    std::basic_string<Ch> joined = std::basic_string<Ch>(base) + path;
    collapseInPlace(&joined[0]);
    if (!copyText(out, static_cast<size_t>(size), joined.c_str())) {
        out[0] = Ch(0);
        logLine(L"resolved path longer than %d characters", size);
    }
}

// "*" and "?" make a pattern, which exists when it matches something (a
// class-path entry such as "lib\*" is expanded by the JVM).  '<', '>' and
// '"' cannot be part of a file name; FindFirstFile would take them as its
// DOS wildcards, and a '"' would also break the quoting of the command
// lines the path goes into later.  A path holding one never exists.
template <class Ch> bool hasInvalidNameCharacter(const Ch* path) {
    for (const Ch* p = path; *p; ++p)
        if (*p == Ch('<') || *p == Ch('>') || *p == Ch('"')) return true;
    return false;
}

uint64_t fileTimeValue(const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

HANDLE findFirst(const wchar_t* path, FILETIME* lastWrite) {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW(path, &data);
    if (h != INVALID_HANDLE_VALUE) *lastWrite = data.ftLastWriteTime;
    return h;
}
HANDLE findFirst(const char* path, FILETIME* lastWrite) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(path, &data);
    if (h != INVALID_HANDLE_VALUE) *lastWrite = data.ftLastWriteTime;
    return h;
}

DWORD attributesOf(const wchar_t* path) { return GetFileAttributesW(path); }
DWORD attributesOf(const char* path) { return GetFileAttributesA(path); }

// A plain test asks for the attributes: FindFirstFile opens the directory
// and, under Wine, costs about ten times as much.
template <class Ch> bool pathExists(const Ch* path, uint64_t* lastWrite) {
    if (lastWrite) *lastWrite = 0;
    if (!path || !path[0]) return false;
    if (isDriveRoot(path)) return true;
    if (hasInvalidNameCharacter(path)) return false;
    if (!lastWrite && !needsFindData(path)) return attributesOf(path) != INVALID_FILE_ATTRIBUTES;
    FILETIME written = {};
    UniqueFindHandle find(findFirst(path, &written));
    if (!find.valid()) return false;
    if (lastWrite) *lastWrite = fileTimeValue(written);
    return true;
}

// "C:\windows\system32\cmd.exe" into `exe` and the whole command line
// "C:\windows\system32\cmd.exe /C for %I in ("path") do @echo %~sI" into
// `commandLine`, both of kBufferChars.
bool buildCmdCommandLine(const wchar_t* path, wchar_t* exe, wchar_t* commandLine) {
    UINT n = GetWindowsDirectoryW(exe, kBufferChars);
    if (n == 0 || n >= kBufferChars) return false;
    return appendText(exe, kBufferChars, L"\\system32\\cmd.exe") && copyText(commandLine, kBufferChars, exe) &&
           appendText(commandLine, kBufferChars, L" /C for %I in (\"") &&
           appendText(commandLine, kBufferChars, path) &&
           appendText(commandLine, kBufferChars, L"\") do @echo %~sI");
}

// Reads until end of data, a failed read, or `size` bytes.
DWORD readAll(HANDLE pipe, char* buffer, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD n = 0;
        if (!ReadFile(pipe, buffer + total, size - total, &n, nullptr) || n == 0) break;
        total += n;
    }
    return total;
}

}  // namespace

const wchar_t* executableLongPath() { return executablePaths().longPath; }
const char* executableNarrowPath() { return executablePaths().narrowPath; }
const char* executableDirNarrow() { return executablePaths().dirNarrow; }
const wchar_t* executableDirWideFromNarrow() { return executablePaths().dirWideFromNarrow; }
const wchar_t* executableDirWideLong() { return executablePaths().dirWideLong; }

// WC_NO_BEST_FIT_CHARS keeps Windows from turning, say, U+0100 into "A":
// such a path would name another file.  UTF-8 and GB18030 take neither
// that flag nor a default character (Windows fails the call when given
// them); what they cannot hold, a lone surrogate, fails the conversion
// under WC_ERR_INVALID_CHARS instead of becoming U+FFFD.  Other code pages
// that refuse the flag are converted without it.
std::string narrowPathInCodePage(unsigned codePage, const wchar_t* wide, bool* lossy) {
    if (lossy) *lossy = false;
    if (!wide) return std::string();
    UINT actual = codePage == CP_ACP ? GetACP() : codePage == CP_OEMCP ? GetOEMCP() : codePage;
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char* defaultChar = "?";
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = &usedDefault;
    if (actual == CP_UTF8 || actual == 54936) {
        flags = WC_ERR_INVALID_CHARS;
        defaultChar = nullptr;
        usedDefaultOut = nullptr;
    }
    int size = WideCharToMultiByte(actual, flags, wide, -1, nullptr, 0, defaultChar, usedDefaultOut);
    if (size == 0 && GetLastError() == ERROR_INVALID_FLAGS) {
        flags = 0;
        defaultChar = nullptr;
        usedDefaultOut = nullptr;
        size = WideCharToMultiByte(actual, flags, wide, -1, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0) {
        if (lossy) *lossy = true;
        return std::string();
    }
    std::string out(static_cast<size_t>(size), '\0');
    int written = WideCharToMultiByte(actual, flags, wide, -1, &out[0], size, defaultChar, usedDefaultOut);
    if (written <= 0) {
        if (lossy) *lossy = true;
        return std::string();
    }
    out.resize(static_cast<size_t>(written) - 1);
    if (lossy) *lossy = usedDefault != FALSE;
    return out;
}

std::string narrowPath(const wchar_t* wide, bool* lossy) { return narrowPathInCodePage(fileCodePage(), wide, lossy); }

std::wstring widenPath(const char* narrow) {
    if (!narrow) return std::wstring();
    UINT codePage = fileCodePage();
    int size = MultiByteToWideChar(codePage, 0, narrow, -1, nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    int written = MultiByteToWideChar(codePage, 0, narrow, -1, &out[0], size);
    if (written <= 0) return std::wstring();
    out.resize(static_cast<size_t>(written) - 1);
    return out;
}

// Through wide characters, because a trail byte of a double-byte code page
// can look like a backslash.
void collapseBackslashesNarrow(char* path) { changeNarrowThroughWide(path, collapseBackslashes<wchar_t>); }

void lowerCasePathWide(wchar_t* path) { lowerCaseAscii(path); }

void lowerCasePathNarrow(char* path) { changeNarrowThroughWide(path, lowerCaseAscii<wchar_t>); }

void resolvePathWide(const wchar_t* path, wchar_t* out, int size, bool useLongDirectory,
                     const wchar_t* referenceFile) {
    if (!out || size <= 0) return;
    if (!path) path = L"";
    wchar_t base[kBufferChars] = L"";
    if (isRelativePath(path)) {
        if (referenceFile)
            directoryOf(referenceFile, base, kBufferChars);
        else
            copyText(base, kBufferChars, useLongDirectory ? executableDirWideLong() : executableDirWideFromNarrow());
    }
    joinAndCollapse(static_cast<const wchar_t*>(base), path, out, size);
}

void resolvePathNarrow(const char* path, char* out, int size, const char* referenceFile) {
    if (!out || size <= 0) return;
    if (!path) path = "";
    char base[kBufferChars] = "";
    if (isRelativePath(path)) {
        if (referenceFile)
            directoryOf(referenceFile, base, kBufferChars);
        else
            copyText(base, kBufferChars, executableDirNarrow());
    }
    joinAndCollapse(static_cast<const char*>(base), path, out, size);
}

// GetFullPathName removes "." and ".." and turns "/" into "\"; when the
// result does not fit, `out` is left empty.
void fullPathWide(const wchar_t* path, wchar_t* out, int size, bool keepCase, bool useLongDirectory) {
    if (!out || size <= 0) return;
    wchar_t resolved[kBufferChars];
    resolvePathWide(path, resolved, kBufferChars, useLongDirectory);
    if (!normalisePath(static_cast<const wchar_t*>(resolved), out, size)) {
        out[0] = 0;
        logLine(L"full path of %s longer than %d characters", resolved, size);
        return;
    }
    if (!keepCase) lowerCasePathWide(out);
    collapseBackslashes(out);
}

void fullPathNarrow(const char* path, char* out, int size, bool keepCase) {
    if (!out || size <= 0) return;
    char resolved[kBufferChars];
    resolvePathNarrow(path, resolved, kBufferChars);
    if (!normalisePath(static_cast<const char*>(resolved), out, size)) {
        out[0] = 0;
        logLine(L"full path of %S longer than %d characters", resolved, size);
        return;
    }
    if (!keepCase) lowerCasePathNarrow(out);
    collapseBackslashesNarrow(out);
}

// One query of the open file stands in for GetLongPathNameW's look-up of
// every directory on the way when it proves the path long already: Wine
// makes each look-up dear.  Any other path, or a failed query, goes to
// GetLongPathNameW.
unsigned long longPathName(const wchar_t* path, wchar_t* longPath) {
    if (path[0] && isItsOwnLongForm(path)) {
        if (!copyText(longPath, kBufferChars, path)) return 0;
        SetLastError(ERROR_SUCCESS);
        return static_cast<DWORD>(std::wcslen(path));
    }
    return GetLongPathNameW(path, longPath, kBufferChars);
}

bool pathExistsWide(const wchar_t* path, uint64_t* lastWrite) { return pathExists(path, lastWrite); }

bool pathExistsNarrow(const char* path, uint64_t* lastWrite) { return pathExists(path, lastWrite); }

// A path with a double quote would end the quoted for-set early and let the
// rest run as commands; "%" would expand environment variables.  Such paths
// are not handed to cmd.exe.
bool shortPathViaCmd(const wchar_t* path, std::string& shortPath) {
    shortPath.clear();
    if (!path || !path[0] || std::wcspbrk(path, L"\"%\r\n")) {
        logLine(L"not asking cmd.exe for the short path of \"%s\"", path ? path : L"");
        return false;
    }

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readHandle = nullptr;
    HANDLE writeHandle = nullptr;
    if (!CreatePipe(&readHandle, &writeHandle, &inheritable, 0)) {
        logLine(L"CreatePipe error (%d)", static_cast<int>(GetLastError()));
        return false;
    }
    UniqueHandle readEnd(readHandle);
    UniqueHandle writeEnd(writeHandle);
    if (!SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
        logLine(L"SetHandleInformation error (%d)", static_cast<int>(GetLastError()));
        return false;
    }

    wchar_t exe[kBufferChars];
    wchar_t commandLine[kBufferChars];
    if (!buildCmdCommandLine(path, exe, commandLine)) {
        logLine(L"could not execute cmd.exe");
        return false;
    }
    logLine(L"executing %s", commandLine);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(exe, commandLine, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                  &startup, &process);
    // Only the child may hold the write end, or the read below never ends.
    writeEnd.reset();
    if (!started) {
        logLine(L"could not execute cmd.exe");
        return false;
    }
    UniqueHandle child(process.hProcess);
    UniqueHandle childThread(process.hThread);

    char output[kBufferChars + 1];
    DWORD count = readAll(readEnd.get(), output, kBufferChars);
    output[count] = '\0';
    logLine(L"finished reading from cmd.exe %d \"%S\"", static_cast<int>(count), output);
    readEnd.reset();

    // The output ends before the process does; give it time to exit.
    WaitForSingleObject(child.get(), kCmdExitWaitMillis);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(child.get(), &exitCode);
    logLine(L"Exit Code %d", static_cast<int>(exitCode));
    if (exitCode == STILL_ACTIVE) {
        logLine(L"Terminating process");
        TerminateProcess(child.get(), 1);
        return false;
    }
    if (!shortPathFromCmdOutput(output, count, exitCode, shortPath)) return false;
    logLine(L"Using %S", shortPath.c_str());
    return true;
}

#include "launcher/jvmsearch/windows/JavaProbe.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <utility>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/RegistryFunctions.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/windows/RegistryKey.h"

uint32_t g_probeLimitMillis = 60000;

namespace {

constexpr int kGuiExecutableType = 1;
// How long a terminated probe may take to go away before its output file
// is deleted (it holds the file open until then).
constexpr DWORD kTerminatedExitWaitMillis = 5000;
constexpr DWORD kCachedVersionBytes = 6000;
constexpr int kFirstLineChars = 100;  // fgets: at most 99 characters
const char kLastWriteTimeValue[] = "LastWriteTime";
const char kVersionValue[] = "Version";

// Copies `text` into a 6000-byte path buffer; refuses (with a log line) a
// text that does not fit.
bool copyPath(char* out, const std::string& text) {
    if (text.size() >= static_cast<size_t>(kBufferChars)) {
        logLine(L"path longer than %d characters: %S", kBufferChars, text.c_str());
        return false;
    }
    std::memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

FILETIME toFileTime(uint64_t value) {
    FILETIME t;
    t.dwLowDateTime = static_cast<DWORD>(value);
    t.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return t;
}

bool cachedLastWriteMatches(HKEY key, uint64_t lastWrite) {
    FILETIME stored = {};
    DWORD bytes = sizeof stored;
    if (registry().queryValueA(key, kLastWriteTimeValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored), &bytes) !=
        ERROR_SUCCESS)
        return false;
    FILETIME current = toFileTime(lastWrite);
    return bytes == sizeof stored && std::memcmp(&stored, &current, sizeof stored) == 0;
}

// A name for the probe's output in the temporary directory, as the
// extraction directory's base name is made: GetTempFileNameA with "lrx".
bool probeOutputName(char* name) {
    char tempDir[kBufferChars];
    findTempDirNarrow(tempDir);
    char file[MAX_PATH + 16];
    if (GetTempFileNameA(tempDir, "lrx", 0, file)) return copyPath(name, file);
    logLine(L"GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
    std::string base = tempDir;
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
    return copyPath(name, base + "lrx" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount()));
}

// Creates the output file and gives an inheritable handle to it, for the
// probe's standard error.
bool createProbeOutput(const char* name, UniqueHandle& inheritable) {
    // Shared for deletion: a launcher without a console (the service's
    // child) gets a console host for the probe, which holds its inherited
    // copy of this handle for a moment after the probe has ended.
    UniqueHandle file(CreateFileA(name, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        logLine(L"Could not create temporary file %S (error %d)", name, static_cast<int>(GetLastError()));
        return false;
    }
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), file.get(), GetCurrentProcess(), &duplicate, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        logLine(L"Could not duplicate handle of %S (error %d)", name, static_cast<int>(GetLastError()));
        return false;
    }
    inheritable.reset(duplicate);
    return true;
}

// "<short path> -version" (quoted when it holds a blank).
bool probeCommandLine(const char* javaExe, char* commandLine) {
    char shortPath[kBufferChars];
    DWORD n = GetShortPathNameA(javaExe, shortPath, kBufferChars);
    if (n == 0 || n >= static_cast<DWORD>(kBufferChars)) {
        logLine(L"Could not get short path name for %S", javaExe);
        if (!copyPath(shortPath, javaExe)) return false;
    }
    return copyPath(commandLine, versionCommandLine(shortPath));
}

bool startProbe(char* commandLine, HANDLE standardError, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = standardError;
    return CreateProcessA(nullptr, commandLine, nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

// Waits for the probe within the limit; a probe still running is ended
// with exit code 1.  Gives the exit code (259 for a probe that was ended).
DWORD awaitProbe(HANDLE process) {
    WaitForSingleObject(process, g_probeLimitMillis);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) exitCode = STILL_ACTIVE;
    logLine(L"Exit Code %d", static_cast<int>(exitCode));
    if (exitCode == STILL_ACTIVE) {
        logLine(L"Terminating process");
        TerminateProcess(process, 1);
        WaitForSingleObject(process, kTerminatedExitWaitMillis);
    }
    return exitCode;
}

// The first kFirstLineChars - 1 characters of the next line; the rest of
// a longer line is passed over.
bool readLineStart(FILE* file, char (&line)[kFirstLineChars]) {
    if (!std::fgets(line, sizeof line, file)) return false;
    if (std::strchr(line, '\n')) return true;
    int c;
    do c = std::fgetc(file);
    while (c != EOF && c != '\n');
    return true;
}

// The version in the first line of the probe's output file, behind the
// notices of options taken from the environment (JAVA_TOOL_OPTIONS and
// the like, which the probe inherits).
bool versionFromOutput(const char* name, char* version, int versionSize) {
    FILE* file = std::fopen(name, "r");
    if (!file) return false;
    char line[kFirstLineChars] = "";
    bool read = readLineStart(file, line);
    while (read && isOptionsNotice(line)) read = readLineStart(file, line);
    std::fclose(file);
    std::string found;
    if (!read || !versionFromFirstLine(line, found)) return false;
    if (found.size() >= static_cast<size_t>(versionSize)) return false;
    std::memcpy(version, found.c_str(), found.size() + 1);
    logLine(L"Java version: %S", version);
    return true;
}

// Runs "java.exe -version" with its standard error in a temporary file
// and reads the version from the first line.  A non-zero exit code is
// remembered as "1.0.0", which later lookups ignore.
bool probeVersion(const char* javaExe, uint64_t lastWrite, char* version, int versionSize) {
    char commandLine[kBufferChars];
    char outputName[kBufferChars];
    UniqueHandle output;
    if (!probeCommandLine(javaExe, commandLine) || !probeOutputName(outputName)) return false;
    if (!createProbeOutput(outputName, output)) {
        DeleteFileA(outputName);
        return false;
    }

    PROCESS_INFORMATION process = {};
    if (!startProbe(commandLine, output.get(), process)) {
        logLine(L"Could not create process %S > %S (error %d)", commandLine, outputName,
                static_cast<int>(GetLastError()));
        output.reset();
        DeleteFileA(outputName);
        return false;
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    DWORD exitCode = awaitProbe(processHandle.get());
    if (exitCode != 0 && exitCode != STILL_ACTIVE) storeCachedVersion(javaExe, lastWrite, kFailedProbeVersion);
    processHandle.reset();
    threadHandle.reset();
    output.reset();

    bool found = exitCode == 0 && versionFromOutput(outputName, version, versionSize);
    DeleteFileA(outputName);
    return found;
}

// What probes of this launch gave, by executable and last-write time: a
// version, or none for a failure or a time-out.  A second pass of the
// search over the same runtime asks here instead of waiting for a hanging
// java.exe once more.
// A launch probes a handful of executables at most: a list will do.
struct ProbeResult {
    std::string javaExe;
    uint64_t lastWrite;
    bool found;
    std::string version;
};
std::vector<ProbeResult> g_probed;

const ProbeResult* probedBefore(const char* javaExe, uint64_t lastWrite) {
    for (const ProbeResult& result : g_probed)
        if (result.lastWrite == lastWrite && result.javaExe == javaExe) return &result;
    return nullptr;
}

bool probeOnce(const char* javaExe, uint64_t lastWrite, char* version, int versionSize) {
    const ProbeResult* known = probedBefore(javaExe, lastWrite);
    if (!known) {
        bool found = probeVersion(javaExe, lastWrite, version, versionSize);
        g_probed.push_back(ProbeResult{javaExe, lastWrite, found, found ? version : ""});
        return found;
    }
    logLine(L"probed before: %S (%d)", javaExe, known->found ? 1 : 0);
    if (!known->found || known->version.size() >= static_cast<size_t>(versionSize)) return false;
    std::memcpy(version, known->version.c_str(), known->version.size() + 1);
    return true;
}

// With key 107 = 1 the application runs with javaw.exe, which must exist.
bool switchToJavaw(char* javaExe) {
    std::string javaw = javawNameOf(javaExe);
    if (!copyPath(javaExe, javaw)) return false;
    return pathExistsNarrow(javaExe);
}

}  // namespace

bool deriveJavaExe(const char* home, char* javaExe) {
    std::string base = home;
    if (!copyPath(javaExe, base + "\\jre\\bin\\java.exe")) return false;
    if (configInt(kJdkRequiredKey) != 0) return pathExistsNarrow((base + "\\lib\\tools.jar").c_str());
    if (pathExistsNarrow(javaExe)) return true;
    return copyPath(javaExe, base + "\\bin\\java.exe");
}

bool lookupCachedVersion(const char* javaExe, uint64_t lastWrite, char* version, int versionSize) {
    UniqueHKey key;
    if (!openRegistryKey(HKEY_CURRENT_USER, versionCacheKey(javaExe).c_str(), 0, key)) return false;
    if (!cachedLastWriteMatches(key.get(), lastWrite)) return false;

    std::string stored(kCachedVersionBytes + 1, '\0');
    DWORD bytes = kCachedVersionBytes;
    if (registry().queryValueA(key.get(), kVersionValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&stored[0]),
                               &bytes) != ERROR_SUCCESS)
        return false;
    stored[bytes] = 0;  // also terminates a value stored without its NUL
    const char* value = stored.c_str();
    if (isStaleCachedVersion(value)) return false;
    size_t length = std::strlen(value);
    if (length >= static_cast<size_t>(versionSize)) {
        logLine(L"cached version of %S longer than %d characters", javaExe, versionSize - 1);
        return false;
    }
    std::memcpy(version, value, length + 1);
    return true;
}

void storeCachedVersion(const char* javaExe, uint64_t lastWrite, const char* version) {
    UniqueHKey key;
    if (registry().createKeyA(HKEY_CURRENT_USER, versionCacheKey(javaExe).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        key.reset();
        return;
    }
    FILETIME written = toFileTime(lastWrite);
    registry().setValueA(key.get(), kLastWriteTimeValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&written),
                         sizeof written);
    registry().setValueA(key.get(), kVersionValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         static_cast<DWORD>(std::strlen(version)));
}

bool checkJavaExe(char* javaExe, char* version, int versionSize, const VersionVector& minimum,
                  const VersionVector& maximum, bool skipPreReleaseTest, bool useCache) {
    logLine(L"checkJavaExe (%S, [out], %d, %d, %d)", javaExe, static_cast<int>(minimum.size()),
            static_cast<int>(maximum.size()), skipPreReleaseTest ? 1 : 0);
    char full[kBufferChars];
    fullPathNarrow(javaExe, full, kBufferChars, false);
    std::memcpy(javaExe, full, std::strlen(full) + 1);

    uint64_t lastWrite = 0;
    if (!javaExe[0] || !pathExistsNarrow(javaExe, &lastWrite)) {
        logLine(L"file doesn't exist");
        return false;
    }
    logLine(L"file exists");
    version[0] = 0;

    if (useCache && lookupCachedVersion(javaExe, lastWrite, version, versionSize) &&
        std::strcmp(version, kFailedProbeVersion) != 0) {
        logLine(L"got version from registry %S", version);
    } else {
        version[0] = 0;
        if (!probeOnce(javaExe, lastWrite, version, versionSize)) {
            logLine(L"couldn't get version");
            return false;
        }
        logLine(L"got version from execution %S", version);
        storeCachedVersion(javaExe, lastWrite, version);
    }

    bool usable = matchJavaVersion(version, minimum, maximum, skipPreReleaseTest);
    if (usable && configInt(kExecutableTypeKey) == kGuiExecutableType) usable = switchToJavaw(javaExe);
    logLine(L"checkJavaExe returning %d", usable ? 1 : 0);
    return usable;
}

void forgetProbeResults() { g_probed.clear(); }

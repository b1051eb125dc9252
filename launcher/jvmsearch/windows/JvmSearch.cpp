#include "launcher/jvmsearch/windows/JvmSearch.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/SearchSequence.h"
#include "launcher/jvmsearch/Versions.h"
#include "launcher/jvmsearch/windows/JavaProbe.h"
#include "launcher/jvmsearch/windows/JavaRegistry.h"
#include "launcher/jvmsearch/windows/JvmEntry.h"
#include "launcher/jvmsearch/windows/JvmLibrary.h"
#include "launcher/jvmsearch/windows/PackedRuntime.h"

namespace {

// Files below the application directory that name one Java home each.
struct LocationFile {
    const wchar_t* name;
    const wchar_t* hasLine;    // logged with the file's first line
    const wchar_t* usingLine;  // logged when that location passes its check
};
const LocationFile kPreferredLocation = {L".tavra\\pref_jre.cfg", L"Has preferred location %S",
                                         L"Using preferred location"};
const LocationFile kInstallerLocation = {L".tavra\\inst_jre.cfg", L"Has installer location %S",
                                         L"Using installer location"};

// Earlier installations, per user first.
struct PreviousInstallationRoot {
    HKEY root;
    const wchar_t* foundLine;
};
const PreviousInstallationRoot kPreviousInstallationRoots[] = {
    {HKEY_CURRENT_USER, L"found JRE from previous installation (user) %S"},
    {HKEY_LOCAL_MACHINE, L"found JRE from previous installation (machine) %S"},
};

// Tried last, in this order.
const char* const kJavaHomeVariables[] = {"LORIX_JAVA_HOME", "TAVRA_JAVA_HOME"};

std::string g_jvmVersion;

// One runtime being checked.  The buffers start as empty strings; a
// member initialiser would have the compiler copy a zero-filled image of
// the whole struct, which the program file would carry.
struct Candidate {
    Candidate() { javaExe[0] = version[0] = 0; }
    char javaExe[kBufferChars];
    char version[kVersionChars];
};

// The state of one search: the limits, and what the last candidate that
// passed its check left (its java.exe, version, where it came from).
struct Search {
    VersionVector minimum;
    VersionVector maximum;
    Search() { location[0] = 0; }
    Candidate passed;
    char location[kBufferChars];  // starts empty, as the candidate's buffers
    JvmSourceKind kind = JvmSourceKind::None;
    HMODULE module = nullptr;
};

void copyCut(char* out, const char* text) {
    size_t length = std::strlen(text);
    if (length >= static_cast<size_t>(kBufferChars)) length = kBufferChars - 1;
    std::memcpy(out, text, length);
    out[length] = 0;
}

// A candidate passed its check: it becomes the stored result (the
// location text stays when `location` is null) and its jvm.dll is loaded.
// True when it loaded, which ends the search.
bool tryCandidate(Search& search, const Candidate& candidate, JvmSourceKind kind, const char* location) {
    search.passed = candidate;
    if (location) copyCut(search.location, location);
    search.kind = kind;
    search.module = loadJvmForJavaExe(search.passed.javaExe);
    return search.module != nullptr;
}

// A Java home given as text (relative to the launcher or absolute): its
// packed archives are prepared, then its java.exe is checked without the
// pre-release test.  A lenient check passes whatever the verdict.
bool directoryCheck(const char* text, bool lenient, const Search& search, Candidate& candidate) {
    char home[kBufferChars];
    fullPathNarrow(text, home, kBufferChars, false);
    if (!home[0]) return lenient;
    preparePackedRuntime(home);
    bool usable = deriveJavaExe(home, candidate.javaExe) &&
                  checkJavaExe(candidate.javaExe, candidate.version, kVersionChars, search.minimum, search.maximum,
                               true, true);
    return usable || lenient;
}

// A Java home named by an environment variable; "/" count as "\".
bool environmentCheck(const char* name, const Search& search, Candidate& candidate) {
    char home[kBufferChars];
    DWORD length = GetEnvironmentVariableA(name, home, kBufferChars);
    if (length == 0) return false;
    if (length >= static_cast<DWORD>(kBufferChars)) {
        logLine(L"value of %S longer than %d characters", name, kBufferChars - 1);
        return false;
    }
    for (char* p = home; *p; ++p)
        if (*p == '/') *p = '\\';
    return deriveJavaExe(home, candidate.javaExe) &&
           checkJavaExe(candidate.javaExe, candidate.version, kVersionChars, search.minimum, search.maximum, false,
                        true);
}

// java.exe where the system's file search finds it.
bool pathSearchCheck(const Search& search, Candidate& candidate) {
    DWORD length = SearchPathA(nullptr, "java.exe", nullptr, kBufferChars, candidate.javaExe, nullptr);
    if (length == 0 || length >= static_cast<DWORD>(kBufferChars)) {
        candidate.javaExe[0] = 0;
        return false;
    }
    return checkJavaExe(candidate.javaExe, candidate.version, kVersionChars, search.minimum, search.maximum, false,
                        true);
}

// The first line of a location file, without its line end; false when
// the file is missing or empty.
bool readLocationFile(const wchar_t* name, char* line) {
    wchar_t applicationDirectory[kBufferChars];
    wchar_t fullDirectory[kBufferChars];
    configWideString(kApplicationDirKey, applicationDirectory, kBufferChars);
    fullPathWide(applicationDirectory, fullDirectory, kBufferChars, true, true);
    if (!fullDirectory[0]) return false;
    std::wstring path = fullDirectory;
    if (path.back() != L'\\') path += L'\\';
    path += name;

    FILE* file = _wfopen(path.c_str(), L"r");
    if (!file) return false;
    bool read = std::fgets(line, kBufferChars, file) != nullptr;
    std::fclose(file);
    if (!read) return false;
    size_t length = std::strlen(line);
    while (length > 0 && (line[length - 1] == '\r' || line[length - 1] == '\n')) line[--length] = 0;
    return true;
}

bool tryLocationFile(Search& search, const LocationFile& file) {
    char line[kBufferChars];
    if (!readLocationFile(file.name, line)) return false;
    logLine(file.hasLine, line);
    Candidate candidate;
    if (!directoryCheck(line, false, search, candidate)) return false;
    logLine(file.usingLine);
    return tryCandidate(search, candidate, JvmSourceKind::Location, line);
}

bool tryEntry(Search& search, char type, const char* value) {
    Candidate candidate;
    switch (type) {
    case 'A':
    case 'B':
    case 'R':
        return directoryCheck(value, false, search, candidate) &&
               tryCandidate(search, candidate, JvmSourceKind::Location, value);
    case 'E':
        return environmentCheck(value, search, candidate) &&
               tryCandidate(search, candidate, JvmSourceKind::Environment, value);
    case 'S':
        return pathSearchCheck(search, candidate) &&
               tryCandidate(search, candidate, JvmSourceKind::PathSearch, value);
    case 'Y':
        return lookupRegistryJvm(search.minimum, search.maximum, {candidate.javaExe, candidate.version}) &&
               tryCandidate(search, candidate, JvmSourceKind::Registry, nullptr);
    default:
        return false;
    }
}

// Every entry in order, with its variables expanded.
bool mainPass(Search& search, const std::vector<SearchEntry>& entries) {
    for (const SearchEntry& entry : entries) {
        char value[kBufferChars];
        copyCut(value, entry.value.c_str());
        expandVariablesNarrow(value, kBufferChars);
        logLine(L"Testing location %S (type %c)", value, static_cast<wchar_t>(entry.type));
        if (tryEntry(search, entry.type, value)) return true;
    }
    return false;
}

// The application-local entries again, unexpanded: a runtime whose
// java.exe exists is taken even when its version is outside the limits.
bool fallbackPass(Search& search, const std::vector<SearchEntry>& entries) {
    for (const SearchEntry& entry : entries) {
        if (!qualifiesForFallback(entry)) continue;
        logLine(L"Testing relative location %S", entry.value.c_str());
        Candidate candidate;
        directoryCheck(entry.value.c_str(), true, search, candidate);
        if (!candidate.javaExe[0] || !pathExistsNarrow(candidate.javaExe)) continue;
        logLine(L"%S exists", candidate.javaExe);
        if (tryCandidate(search, candidate, JvmSourceKind::Location, entry.value.c_str())) return true;
    }
    return false;
}

bool previousInstallations(Search& search) {
    for (const PreviousInstallationRoot& row : kPreviousInstallationRoots) {
        Candidate candidate;
        if (!lookupPreviousInstallation(row.root, search.minimum, search.maximum,
                                        {candidate.javaExe, candidate.version}))
            continue;
        logLine(row.foundLine, candidate.javaExe);
        if (tryCandidate(search, candidate, JvmSourceKind::Registry, nullptr)) return true;
    }
    return false;
}

bool javaHomeVariables(Search& search) {
    for (const char* name : kJavaHomeVariables) {
        Candidate candidate;
        if (environmentCheck(name, search, candidate) &&
            tryCandidate(search, candidate, JvmSourceKind::Environment, name))
            return true;
    }
    return false;
}

void runSearch(Search& search, const char* sequence) {
    std::vector<SearchEntry> entries = parseSearchSequence(sequence);
    if (tryLocationFile(search, kPreferredLocation)) return;
    if (mainPass(search, entries)) return;
    if (tryLocationFile(search, kInstallerLocation)) return;
    if (fallbackPass(search, entries)) return;
    if (previousInstallations(search)) return;
    logLine(L"Search sequence finished");
    javaHomeVariables(search);
}

void showFailureMessage(const Search& search) {
    FailureMessage message = failureMessageFor(search.kind);
    switch (message.argument) {
    case MessageArgument::None: showMessage(message.messageId); break;
    case MessageArgument::SixtyFour: showMessage(message.messageId, L"64"); break;
    case MessageArgument::LocationText: showMessage(message.messageId, search.location); break;
    }
}

// Publishes what the search found and reports a failure to the user.
bool finishSearch(const Search& search) {
    if (search.kind == JvmSourceKind::None) {
        logError(L"No JVM found");
        showFailureMessage(search);
        return false;
    }
    publishJvmHome(javaHomeOfJavaExe(search.passed.javaExe).c_str());
    g_jvmVersion = search.passed.version;
    if (!search.module) logError(L"Could not get DLL-Handle.");
    if (!findCreateJavaVM(search.module)) {
        logError(L"Could not load functions");
    } else {
        logLine(L"Loading of JVM-DLL successful");
        return true;
    }
    showFailureMessage(search);
    return false;
}

}  // namespace

const char* jvmVersion() { return g_jvmVersion.c_str(); }

bool LoadDLL() {
    logLine(L"Searching for a JVM");
    char sequence[kBufferChars];
    char minimumText[kBufferChars];
    char maximumText[kBufferChars];
    configString(kSearchSequenceKey, sequence, kBufferChars);
    configString(kMinimumVersionKey, minimumText, kBufferChars);
    configString(kMaximumVersionKey, maximumText, kBufferChars);
    logLine(L"MinVersion: %S, MaxVersion: %S", minimumText, maximumText);

    Search search;
    search.minimum = parseVersion(minimumText);
    search.maximum = parseVersion(maximumText);
    runSearch(search, sequence);
    return finishSearch(search);
}

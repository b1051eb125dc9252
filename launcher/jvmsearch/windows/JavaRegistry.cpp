#include "launcher/jvmsearch/windows/JavaRegistry.h"

#include <cstring>
#include <string>
#include <vector>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/RegistryFunctions.h"
#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/SearchSequence.h"
#include "launcher/jvmsearch/windows/JavaProbe.h"
#include "launcher/jvmsearch/windows/RegistryKey.h"

namespace {

constexpr DWORD kCurrentVersionBytes = 100;
const char kLocatedRuntimes[] = "SOFTWARE\\brightmoor\\lorix\\locatedjvms";
const char kInstallations[] = "SOFTWARE\\brightmoor\\tavra\\installations";
const char kTvrJres[] = "tvr_jres";

// The JavaSoft keys, tried in this order until one yields a runtime.
enum class JavaSoftStep { CurrentVersionPair, VersionSubkeys };
struct JavaSoftRow {
    JavaSoftStep step;
    const char* key;     // the JDK key of a pair, or the key whose subkeys are walked
    const char* jreKey;  // the JRE key of a pair
    bool jreOnly;        // skipped when a JDK is required (key 131)
};
const JavaSoftRow kJavaSoftSteps[] = {
    {JavaSoftStep::CurrentVersionPair, "SOFTWARE\\JavaSoft\\JDK", "SOFTWARE\\JavaSoft\\JRE", false},
    {JavaSoftStep::VersionSubkeys, "SOFTWARE\\JavaSoft\\JRE", nullptr, true},
    {JavaSoftStep::VersionSubkeys, "SOFTWARE\\JavaSoft\\JDK", nullptr, false},
    {JavaSoftStep::CurrentVersionPair, "SOFTWARE\\JavaSoft\\Java Development Kit",
     "SOFTWARE\\JavaSoft\\Java Runtime Environment", false},
    {JavaSoftStep::VersionSubkeys, "SOFTWARE\\JavaSoft\\Java Runtime Environment", nullptr, true},
    {JavaSoftStep::VersionSubkeys, "SOFTWARE\\JavaSoft\\Java Development Kit", nullptr, false},
};

struct Limits {
    const VersionVector& minimum;
    const VersionVector& maximum;
};

// Buffers for one candidate, copied into the caller's on success.
// Empty strings at first (set here rather than by member initialisers,
// which would put a zero-filled image of the struct into the program).
struct CandidateBuffers {
    CandidateBuffers() { javaExe[0] = version[0] = 0; }
    char javaExe[kBufferChars];
    char version[kVersionChars];
    FoundRuntime view() { return {javaExe, version}; }
};

void copyFound(const CandidateBuffers& from, FoundRuntime to) {
    std::memcpy(to.javaExe, from.javaExe, std::strlen(from.javaExe) + 1);
    std::memcpy(to.version, from.version, std::strlen(from.version) + 1);
}

bool jdkRequired() { return configInt(kJdkRequiredKey) != 0; }

// The java.exe of a Java home, checked with the pre-release test and the cache.
bool checkJavaHome(const char* home, const Limits& limits, FoundRuntime found) {
    return deriveJavaExe(home, found.javaExe) &&
           checkJavaExe(found.javaExe, found.version, kVersionChars, limits.minimum, limits.maximum, false, true);
}

// JavaHome of the HKLM key `keyPath` into `home` (6000 bytes).
bool readJavaHome(const std::string& keyPath, char* home) {
    UniqueHKey key;
    return openRegistryKey(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, key) &&
           readRegistryString(key.get(), "JavaHome", home, kBufferChars);
}

// CurrentVersion of an HKLM key when it passes matchKeyVersion, else "".
std::string currentVersionOf(const char* keyPath, const Limits& limits) {
    UniqueHKey key;
    char value[kCurrentVersionBytes];
    if (!openRegistryKey(HKEY_LOCAL_MACHINE, keyPath, 0, key) ||
        !readRegistryString(key.get(), "CurrentVersion", value, sizeof value) ||
        !matchKeyVersion(value, limits.minimum, limits.maximum))
        return std::string();
    return value;
}

// The JDK key's CurrentVersion wins only when newer than the JRE key's.
// With neither set, JavaHome is read from the JRE key itself.
bool tryCurrentVersionPair(const JavaSoftRow& row, const Limits& limits, FoundRuntime found) {
    std::string jdkVersion = currentVersionOf(row.key, limits);
    std::string jreVersion = jdkRequired() ? std::string() : currentVersionOf(row.jreKey, limits);
    bool useJdk = isNewerVersion(jdkVersion.c_str(), jreVersion.c_str());
    const std::string& version = useJdk ? jdkVersion : jreVersion;
    std::string keyPath = useJdk ? row.key : row.jreKey;
    if (!version.empty()) keyPath += "\\" + version;
    char home[kBufferChars];
    return readJavaHome(keyPath, home) && checkJavaHome(home, limits, found);
}

// The version subkeys that pass matchKeyVersion, newest name first in
// byte-wise order; the first whose runtime passes is the result.
bool tryVersionSubkeys(const char* keyPath, const Limits& limits, FoundRuntime found) {
    UniqueHKey key;
    if (!openRegistryKey(HKEY_LOCAL_MACHINE, keyPath, 0, key)) return false;
    std::vector<std::string> names =
        versionKeysInProbeOrder(registrySubkeyNames(key.get()), limits.minimum, limits.maximum);
    key.reset();
    for (const std::string& name : names) {
        char home[kBufferChars];
        if (!readJavaHome(std::string(keyPath) + "\\" + name, home)) continue;
        if (checkJavaHome(home, limits, found)) return true;
    }
    return false;
}

bool lookupJavaSoft(const Limits& limits, FoundRuntime found) {
    for (const JavaSoftRow& row : kJavaSoftSteps) {
        if (row.jreOnly && jdkRequired()) continue;
        bool ok = row.step == JavaSoftStep::CurrentVersionPair ? tryCurrentVersionPair(row, limits, found)
                                                                : tryVersionSubkeys(row.key, limits, found);
        if (ok) return true;
    }
    return false;
}

// The newest usable runtime listed under one root; on equal versions the
// one enumerated first.  Checked without the pre-release test.
bool bestLocatedRuntime(HKEY root, bool tvrJresOnly, const Limits& limits, CandidateBuffers& best) {
    UniqueHKey key;
    if (!openRegistryKey(root, kLocatedRuntimes, 0, key)) return false;
    std::vector<std::string> names = registrySubkeyNames(key.get());
    key.reset();
    bool found = false;
    for (const std::string& name : names) {
        std::string path = slashesToBackslashes(name.c_str());
        if (tvrJresOnly && path.find(kTvrJres) == std::string::npos) continue;
        if (path.size() >= static_cast<size_t>(kBufferChars)) continue;
        CandidateBuffers candidate;
        std::memcpy(candidate.javaExe, path.c_str(), path.size() + 1);
        if (!checkJavaExe(candidate.javaExe, candidate.version, kVersionChars, limits.minimum, limits.maximum, true,
                          true))
            continue;
        if (!isNewerVersion(candidate.version, found ? best.version : "")) continue;
        best = candidate;
        found = true;
    }
    return found;
}

// HKCU's runtime wins only when newer than HKLM's.
bool lookupLocated(bool tvrJresOnly, const Limits& limits, FoundRuntime found) {
    CandidateBuffers user, machine;
    bool hasUser = bestLocatedRuntime(HKEY_CURRENT_USER, tvrJresOnly, limits, user);
    bool hasMachine = bestLocatedRuntime(HKEY_LOCAL_MACHINE, tvrJresOnly, limits, machine);
    if (hasUser && (!hasMachine || isNewerVersion(user.version, machine.version)))
        copyFound(user, found);
    else if (hasMachine)
        copyFound(machine, found);
    return hasUser || hasMachine;
}

// The installation directories recorded for the application id, into
// `directories` (6000 bytes).
bool readInstallations(HKEY root, const char* applicationId, REGSAM extraAccess, char* directories) {
    logLine(L"checking app id %S (%d, %p)", applicationId, static_cast<int>(extraAccess), root);
    UniqueHKey key;
    LONG error = ERROR_SUCCESS;
    if (!openRegistryKey(root, kInstallations, extraAccess, key, &error)) {
        logLine(L"could not open installation node %d", static_cast<int>(error));
        return false;
    }
    DWORD bytes = kBufferChars - 1;
    error = registry().queryValueA(key.get(), applicationId, nullptr, nullptr, reinterpret_cast<BYTE*>(directories),
                                   &bytes);
    if (error != ERROR_SUCCESS || bytes == 0) {
        logLine(L"could not query value node %d", static_cast<int>(error));
        return false;
    }
    directories[bytes] = 0;
    logLine(L"found installations: %S", directories);
    return true;
}

// The first installation directory whose jre subdirectory holds a usable
// runtime.
bool firstUsableInstallation(const char* directories, const Limits& limits, FoundRuntime found) {
    for (const std::string& directory : splitList(directories, ';')) {
        std::string home = directory + "\\jre";
        if (!deriveJavaExe(home.c_str(), found.javaExe)) {
            logLine(L"did not find java in %S", home.c_str());
            continue;
        }
        if (checkJavaExe(found.javaExe, found.version, kVersionChars, limits.minimum, limits.maximum, false, true))
            return true;
        logLine(L"java version did not match in %S", home.c_str());
    }
    return false;
}

}  // namespace

bool lookupRegistryJvm(const VersionVector& minimum, const VersionVector& maximum, FoundRuntime found) {
    Limits limits{minimum, maximum};
    bool tvrJresOnly = configInt(kTvrJresOnlyKey) != 0;
    CandidateBuffers javaSoft, located;

    bool hasJavaSoft = !tvrJresOnly && lookupJavaSoft(limits, javaSoft.view());
    if (hasJavaSoft) logLine(L"found sun %S %S", javaSoft.javaExe, javaSoft.version);
    bool hasLocated = lookupLocated(tvrJresOnly, limits, located.view());
    if (hasLocated) logLine(L"found located %S %S", located.javaExe, located.version);

    if (hasJavaSoft && (!hasLocated || isNewerVersion(javaSoft.version, located.version)))
        copyFound(javaSoft, found);
    else if (hasLocated)
        copyFound(located, found);
    return hasJavaSoft || hasLocated;
}

bool lookupPreviousInstallation(HKEY root, const VersionVector& minimum, const VersionVector& maximum,
                                FoundRuntime found) {
    char applicationId[kBufferChars];
    configString(kApplicationIdKey, applicationId, kBufferChars);
    if (!applicationId[0]) return false;
    Limits limits{minimum, maximum};
    for (REGSAM extraAccess : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
        char directories[kBufferChars];
        if (readInstallations(root, applicationId, extraAccess, directories) &&
            firstUsableInstallation(directories, limits, found))
            return true;
    }
    return false;
}

// java.exe probing under Wine with the fake java.exe: deriving the path,
// the per-user version cache (keys written in the test prefix and removed
// afterwards), the two first-line prefixes, failing and hanging probes,
// and javaw.exe for GUI launchers.
#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstring>
#include <string>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/windows/JavaProbe.h"
#include "tests/support/runtime/FakeRuntime.h"

using namespace fake_runtime;

namespace {

void applyKeys(std::initializer_list<std::pair<int, const char*>> keys) {
    BlockData block;
    for (const auto& key : keys) block.config.push_back({key.first, key.second});
    applyConfigurationBlock(block, "en");
}

struct CacheEntry {
    bool present = false;
    std::string version;
    DWORD lastWriteBytes = 0;
};

CacheEntry readCache(const std::string& javaExe) {
    CacheEntry entry;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, versionCacheKey(javaExe.c_str()).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return entry;
    entry.present = true;
    char value[8000] = "";
    DWORD bytes = sizeof value - 1;
    if (RegQueryValueExA(key, "Version", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) == ERROR_SUCCESS)
        entry.version.assign(value, strnlen(value, bytes));
    BYTE time[64];
    entry.lastWriteBytes = sizeof time;
    if (RegQueryValueExA(key, "LastWriteTime", nullptr, nullptr, time, &entry.lastWriteBytes) != ERROR_SUCCESS)
        entry.lastWriteBytes = 0;
    RegCloseKey(key);
    return entry;
}

void writeCacheValue(const std::string& javaExe, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, versionCacheKey(javaExe.c_str()).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// Moves the file's last-write time by `seconds`.
void touch(const std::wstring& path, int seconds) {
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written;
    GetFileTime(file, nullptr, nullptr, &written);
    ULARGE_INTEGER t;
    t.LowPart = written.dwLowDateTime;
    t.HighPart = written.dwHighDateTime;
    t.QuadPart += static_cast<ULONGLONG>(seconds) * 10000000ULL;
    written.dwLowDateTime = t.LowPart;
    written.dwHighDateTime = t.HighPart;
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

// Processes started by this one that still run.
int runningChildren() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

// The lrx*.tmp files in the launcher's temporary directory.
size_t probeOutputFiles() {
    char dir[6000];
    findTempDirNarrow(dir);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((std::string(dir) + "\\lrx*.tmp").c_str(), &entry);
    size_t count = 0;
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) ++count;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return count;
}

class JvmProbe : public ::testing::Test {
protected:
    void SetUp() override {
        g_probeLimitMillis = 1500;  // a hanging probe is ended after 1.5 s instead of 60 s
        applyKeys({{107, "4"}, {130, "0"}, {131, "0"}});
        home = tree / L"Java Home";
        bin = home + L"\\bin";
        javaExeText = lowerAscii(ascii(bin + L"\\java.exe"));
    }

    // checkJavaExe of home\bin\java.exe (as written, upper case and all).
    bool check(const char* minimum = "1.8", const char* maximum = "1.8", bool skip = false, bool useCache = true) {
        std::string given = ascii(bin + L"\\java.exe");
        std::strcpy(javaExe, given.c_str());
        forgetProbeResults();  // each check plays a launch of its own
        return checkJavaExe(javaExe, version, kVersionChars, parseVersion(minimum), parseVersion(maximum), skip,
                            useCache);
    }
    size_t runs() { return javaRuns(bin).size(); }

    ScratchTree tree{L"probe"};
    std::wstring home, bin;
    std::string javaExeText;  // the lower-cased full path checkJavaExe settles on
    char javaExe[6000] = "";
    char version[kVersionChars] = "";
};

}  // namespace

TEST_F(JvmProbe, DeriveJavaExePrefersTheJreInsideAHome) {
    char path[6000];
    std::string h = ascii(home);
    ASSERT_TRUE(deriveJavaExe(h.c_str(), path));
    EXPECT_EQ(std::string(path), h + "\\bin\\java.exe");  // even when missing

    installJava(home + L"\\jre", javaVersion("1.8.0_301"));
    ASSERT_TRUE(deriveJavaExe(h.c_str(), path));
    EXPECT_EQ(std::string(path), h + "\\jre\\bin\\java.exe");
}

TEST_F(JvmProbe, DeriveJavaExeWithAJdkRequiredWantsToolsJar) {
    applyKeys({{131, "1"}});
    char path[6000];
    std::string h = ascii(home);
    installJava(home, javaVersion("1.8.0_301"));
    EXPECT_FALSE(deriveJavaExe(h.c_str(), path));
    makeDirectories(home + L"\\lib");
    writeText(home + L"\\lib\\tools.jar", "jar");
    ASSERT_TRUE(deriveJavaExe(h.c_str(), path));
    EXPECT_EQ(std::string(path), h + "\\jre\\bin\\java.exe");
}

TEST_F(JvmProbe, SecondCheckUsesTheCacheUntilTheFileChanges) {
    installJava(home, javaVersion("1.8.0_301"));
    ASSERT_TRUE(check());
    EXPECT_STREQ(version, "1.8.0_301");
    EXPECT_STREQ(javaExe, javaExeText.c_str());  // full, lower-cased
    EXPECT_EQ(runs(), 1u);
    ASSERT_EQ(javaRuns(bin)[0].substr(javaRuns(bin)[0].size() - 9), " -version");
    CacheEntry cached = readCache(javaExeText);
    EXPECT_TRUE(cached.present);
    EXPECT_EQ(cached.version, "1.8.0_301");
    EXPECT_EQ(cached.lastWriteBytes, 8u);

    // The cache answers; the runtime would now say something else.
    setJavaBehaviour(bin, javaVersion("1.8.0_999"));
    version[0] = 0;
    ASSERT_TRUE(check());
    EXPECT_STREQ(version, "1.8.0_301");
    EXPECT_EQ(runs(), 1u);

    // Without the cache, and after the file changed, it is asked again.
    ASSERT_TRUE(check("1.8", "1.8", false, false));
    EXPECT_STREQ(version, "1.8.0_999");
    EXPECT_EQ(runs(), 2u);
    setJavaBehaviour(bin, javaVersion("1.8.0_401"));
    touch(bin + L"\\java.exe", 60);
    ASSERT_TRUE(check());
    EXPECT_STREQ(version, "1.8.0_401");
    EXPECT_EQ(runs(), 3u);
    EXPECT_EQ(readCache(javaExeText).version, "1.8.0_401");
}

TEST_F(JvmProbe, CacheEntriesThatDoNotCount) {
    installJava(home, javaVersion("1.8.0_301"));
    ASSERT_TRUE(check());
    ASSERT_EQ(runs(), 1u);

    // A LastWriteTime of another length is ignored and replaced.
    writeCacheValue(javaExeText, "LastWriteTime", REG_BINARY, "\1\2\3\4", 4);
    ASSERT_TRUE(check());
    EXPECT_EQ(runs(), 2u);
    EXPECT_EQ(readCache(javaExeText).lastWriteBytes, 8u);

    // Versions older launchers wrote for unusable runtimes.
    for (const char* stale : {"1.6.", "1.7.", "1.5."}) {
        writeCacheValue(javaExeText, "Version", REG_SZ, stale, static_cast<DWORD>(std::strlen(stale) + 1));
        ASSERT_TRUE(check()) << stale;
    }
    EXPECT_EQ(runs(), 5u);

    // A version longer than the caller's buffer is a miss, not a cut value.
    std::string huge = "1.8." + std::string(2500, '1');
    writeCacheValue(javaExeText, "Version", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1));
    ASSERT_TRUE(check());
    EXPECT_STREQ(version, "1.8.0_301");
    EXPECT_EQ(runs(), 6u);

    // A value stored without its NUL, as the launcher writes it, is read whole.
    writeCacheValue(javaExeText, "Version", REG_SZ, "1.8.0_77", 8);
    ASSERT_TRUE(check());
    EXPECT_STREQ(version, "1.8.0_77");
    EXPECT_EQ(runs(), 6u);
}

TEST_F(JvmProbe, NonZeroExitIsRememberedAsOneZeroZeroAndProbedAgain) {
    JavaBehaviour broken = javaVersion("1.8.0_301");
    broken.exitCode = 1;
    installJava(home, broken);
    EXPECT_FALSE(check());
    EXPECT_EQ(readCache(javaExeText).version, "1.0.0");
    EXPECT_FALSE(check());
    EXPECT_EQ(runs(), 2u);

    // Repaired: probed again, and the real version replaces "1.0.0".
    setJavaBehaviour(bin, javaVersion("1.8.0_301"));
    EXPECT_TRUE(check());
    EXPECT_EQ(runs(), 3u);
    EXPECT_EQ(readCache(javaExeText).version, "1.8.0_301");
}

TEST_F(JvmProbe, FirstLinePrefixes) {
    installJava(home, reporting("openjdk version \"11.0.2\" 2019-01-15"));
    ASSERT_TRUE(check("", ""));
    EXPECT_STREQ(version, "11.0.2");

    ScratchTree other(L"probe_other");
    std::wstring otherBin = other.path() + L"\\bin";
    JavaBehaviour unknown = reporting("IBM J9 VM (build 2.9)");
    unknown.stderrLines.push_back("java version \"1.8.0_301\"");
    installJava(other.path(), unknown);
    std::string path = ascii(otherBin + L"\\java.exe");
    std::strcpy(javaExe, path.c_str());
    EXPECT_FALSE(checkJavaExe(javaExe, version, kVersionChars, {}, {}, false, true));
    // Exit code 0 with an unreadable first line caches nothing.
    EXPECT_FALSE(readCache(javaExe).present);
    EXPECT_EQ(javaRuns(otherBin).size(), 1u);
}

// Options taken from JAVA_TOOL_OPTIONS and the like are announced before
// the version; a notice longer than the line buffer is passed over whole.
TEST_F(JvmProbe, NoticesOfEnvironmentOptionsComeBeforeTheVersion) {
    JavaBehaviour chatty = reporting("Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8 " + std::string(200, 'x'));
    chatty.stderrLines.push_back("NOTE: Picked up JDK_JAVA_OPTIONS: -Xmx1g");
    chatty.stderrLines.push_back("Picked up _JAVA_OPTIONS: -Xss4m");
    chatty.stderrLines.push_back("openjdk version \"17.0.9\" 2023-10-17");
    installJava(home, chatty);
    ASSERT_TRUE(check("", ""));
    EXPECT_STREQ(version, "17.0.9");
    EXPECT_EQ(readCache(javaExeText).version, "17.0.9");

    // What follows the first 99 characters of a long notice is no version.
    JavaBehaviour cut = reporting("Picked up JAVA_TOOL_OPTIONS: " + std::string(200, 'x') + "java version \"1.8.0_301\"");
    installJava(home, cut);
    EXPECT_FALSE(check("", "", false, false));
}

TEST_F(JvmProbe, PreReleaseTestOnlyWhenNotSkipped) {
    installJava(home, reporting("openjdk version \"11-ea\""));
    EXPECT_FALSE(check("", ""));
    EXPECT_TRUE(check("", "", true));
}

TEST_F(JvmProbe, HangingProbeIsEndedAndTheCheckGoesOn) {
    JavaBehaviour hanging = javaVersion("1.8.0_301");
    hanging.hangMillis = 30000;
    installJava(home, hanging);
    size_t outputFiles = probeOutputFiles();
    DWORD start = GetTickCount();
    EXPECT_FALSE(check());
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1400u);
    EXPECT_LT(elapsed, 15000u);
    EXPECT_EQ(runs(), 1u);
    EXPECT_EQ(runningChildren(), 0);
    // The ended probe let go of its output file, which is gone.
    EXPECT_EQ(probeOutputFiles(), outputFiles);
    // Nothing is remembered: the next launch asks again.
    EXPECT_FALSE(readCache(javaExeText).present);
}

TEST_F(JvmProbe, GuiLaunchersNeedJavaw) {
    applyKeys({{107, "1"}});
    installJava(home, javaVersion("1.8.0_301"));
    EXPECT_FALSE(check());
    EXPECT_STREQ(javaExe, lowerAscii(ascii(bin + L"\\javaw.exe")).c_str());

    installJava(home, javaVersion("1.8.0_301"), true);
    ASSERT_TRUE(check());
    EXPECT_STREQ(javaExe, lowerAscii(ascii(bin + L"\\javaw.exe")).c_str());
    // The probe itself ran java.exe.
    EXPECT_NE(lowerAscii(javaRuns(bin)[0]).find("java.exe"), std::string::npos);
}

// The fallback pass of a search checks the same runtime again: within one
// launch a hanging java.exe is waited for once, and its time-out reused.
TEST_F(JvmProbe, AHangingRuntimeIsProbedOncePerLaunch) {
    JavaBehaviour hanging = javaVersion("1.8.0_301");
    hanging.hangMillis = 30000;
    installJava(home, hanging);
    forgetProbeResults();
    std::string given = ascii(bin + L"\\java.exe");
    DWORD start = GetTickCount();
    for (bool useCache : {true, false, true}) {
        std::strcpy(javaExe, given.c_str());
        EXPECT_FALSE(checkJavaExe(javaExe, version, kVersionChars, parseVersion("1.8"), parseVersion("1.8"), false,
                                  useCache));
    }
    DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(runs(), 1u);
    EXPECT_GE(elapsed, 1400u);
    EXPECT_LT(elapsed, 2 * 1400u);

    // A version is reused the same way; a replaced executable is a new one.
    setJavaBehaviour(bin, javaVersion("1.8.0_301"));
    touch(bin + L"\\java.exe", 60);
    for (int pass = 0; pass < 2; ++pass) {
        std::strcpy(javaExe, given.c_str());
        version[0] = 0;
        EXPECT_TRUE(checkJavaExe(javaExe, version, kVersionChars, parseVersion("1.8"), parseVersion("1.8"), false,
                                 false));
        EXPECT_STREQ(version, "1.8.0_301");
    }
    EXPECT_EQ(runs(), 2u);
}

// The registry lookups under Wine: JavaSoft keys, located runtimes and
// earlier installations, written into the test prefix's registry by the
// tests and removed afterwards, with fake runtimes behind them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "launcher/config/ConfigTables.h"
#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/windows/JavaProbe.h"
#include "launcher/jvmsearch/windows/JavaRegistry.h"
#include "tests/support/runtime/FakeRuntime.h"

using namespace fake_runtime;

namespace {

const char kJavaSoft[] = "SOFTWARE\\JavaSoft";
const char kJre[] = "SOFTWARE\\JavaSoft\\JRE";
const char kJdk[] = "SOFTWARE\\JavaSoft\\JDK";
const char kOldJre[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kOldJdk[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char kLocated[] = "SOFTWARE\\brightmoor\\lorix\\locatedjvms";
const char kInstallations[] = "SOFTWARE\\brightmoor\\tavra\\installations";

void applyKeys(std::initializer_list<std::pair<int, const char*>> keys) {
    BlockData block;
    for (const auto& key : keys) block.config.push_back({key.first, key.second});
    applyConfigurationBlock(block, "en");
}

void setString(HKEY root, const std::string& keyPath, const char* name, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << keyPath;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

void createKey(HKEY root, const std::string& keyPath) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void removeRegistryFixtures() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kJavaSoft);
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        RegDeleteTreeA(root, kLocated);
        RegDeleteTreeA(root, kInstallations);
    }
}

// The located-runtime key name of a java.exe: its path with "/".
std::string locatedName(const std::wstring& javaExe) {
    std::string name = ascii(javaExe);
    for (char& c : name)
        if (c == '\\') c = '/';
    return name;
}

class JvmRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        removeRegistryFixtures();
        applyKeys({{107, "4"}, {130, "0"}, {131, "0"}, {165, "0"}});
        runOrder = tree / L"runs.log";
        SetEnvironmentVariableW(L"LRX_FAKE_JAVA_LOG", runOrder.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LRX_FAKE_JAVA_LOG", nullptr);
        removeRegistryFixtures();
    }

    // A runtime in tree\name reporting `version`; gives its home.
    std::wstring runtime(const wchar_t* name, const std::string& version, int exitCode = 0) {
        std::wstring home = tree / name;
        JavaBehaviour behaviour = javaVersion(version);
        behaviour.exitCode = exitCode;
        installJava(home, behaviour);
        return home;
    }
    std::string javaExeOf(const std::wstring& home) { return lowerAscii(ascii(home + L"\\bin\\java.exe")); }

    // Each lookup plays a launch of its own, which probes afresh.
    bool registryLookup(const char* minimum = "1.8", const char* maximum = "1.8") {
        forgetProbeResults();
        return lookupRegistryJvm(parseVersion(minimum), parseVersion(maximum), {javaExe, version});
    }
    bool previousInstallation(HKEY root) {
        forgetProbeResults();
        return lookupPreviousInstallation(root, parseVersion("1.8"), parseVersion("1.8"), {javaExe, version});
    }

    // The homes whose java.exe ran, in order.
    std::vector<std::string> probed() {
        std::vector<std::string> homes;
        for (const std::string& exe : lines(readText(runOrder)))
            homes.push_back(lowerAscii(exe.substr(0, exe.size() - std::string("\\bin\\java.exe").size())));
        return homes;
    }

    ScratchTree tree{L"registry"};
    std::wstring runOrder;
    char javaExe[6000] = "";
    char version[kVersionChars] = "";
};

}  // namespace

TEST_F(JvmRegistry, VersionSubkeysAreProbedInTextualOrderFromTheLast) {
    std::wstring old = runtime(L"jre91", "1.8.0_91", 1);
    std::wstring newer = runtime(L"jre301", "1.8.0_301");
    setString(HKEY_LOCAL_MACHINE, std::string(kOldJre) + "\\1.8.0_91", "JavaHome", ascii(old));
    setString(HKEY_LOCAL_MACHINE, std::string(kOldJre) + "\\1.8.0_301", "JavaHome", ascii(newer));
    createKey(HKEY_LOCAL_MACHINE, std::string(kOldJre) + "\\1.8.0_999");  // no JavaHome: skipped
    setString(HKEY_LOCAL_MACHINE, std::string(kOldJre) + "\\11.0.2", "JavaHome", ascii(newer));  // out of range

    ASSERT_TRUE(registryLookup());
    // 1.8.0_91 sorts after 1.8.0_301, so it is probed first; it fails.
    EXPECT_EQ(probed(), (std::vector<std::string>{lowerAscii(ascii(old)), lowerAscii(ascii(newer))}));
    EXPECT_STREQ(javaExe, javaExeOf(newer).c_str());
    EXPECT_STREQ(version, "1.8.0_301");
}

TEST_F(JvmRegistry, EqualCurrentVersionsPickTheJre) {
    std::wstring jdk = runtime(L"jdk", "1.8.0_301");
    std::wstring jre = runtime(L"jre", "1.8.0_301");
    setString(HKEY_LOCAL_MACHINE, kJdk, "CurrentVersion", "1.8");
    setString(HKEY_LOCAL_MACHINE, std::string(kJdk) + "\\1.8", "JavaHome", ascii(jdk));
    setString(HKEY_LOCAL_MACHINE, kJre, "CurrentVersion", "1.8");
    setString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.8", "JavaHome", ascii(jre));
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(jre).c_str());

    // A newer JDK wins.
    setString(HKEY_LOCAL_MACHINE, kJdk, "CurrentVersion", "1.8.0");
    setString(HKEY_LOCAL_MACHINE, std::string(kJdk) + "\\1.8.0", "JavaHome", ascii(jdk));
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(jdk).c_str());

    // A CurrentVersion outside the limits counts as none.
    setString(HKEY_LOCAL_MACHINE, kJdk, "CurrentVersion", "11");
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(jre).c_str());
}

TEST_F(JvmRegistry, JdkRequiredConsultsOnlyJdkKeys) {
    // A JDK with its runtime in jre and tools.jar in lib.
    std::wstring jdk = tree / L"jdk";
    installJava(jdk + L"\\jre", javaVersion("1.8.0_301"));
    makeDirectories(jdk + L"\\lib");
    writeText(jdk + L"\\lib\\tools.jar", "jar");
    std::wstring jre = runtime(L"jre", "1.8.0_301");
    setString(HKEY_LOCAL_MACHINE, kJre, "CurrentVersion", "1.8");
    setString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.8", "JavaHome", ascii(jre));
    setString(HKEY_LOCAL_MACHINE, std::string(kOldJdk) + "\\1.8.0_301", "JavaHome", ascii(jdk));

    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(jre).c_str());

    applyKeys({{131, "1"}});
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, lowerAscii(ascii(jdk + L"\\jre\\bin\\java.exe")).c_str());
}

TEST_F(JvmRegistry, LocatedRuntimesOfEqualVersionPreferTheMachine) {
    std::wstring user = runtime(L"user", "1.8.0_301");
    std::wstring machine = runtime(L"machine", "1.8.0_301");
    createKey(HKEY_CURRENT_USER, std::string(kLocated) + "\\" + locatedName(user + L"\\bin\\java.exe"));
    createKey(HKEY_LOCAL_MACHINE, std::string(kLocated) + "\\" + locatedName(machine + L"\\bin\\java.exe"));
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(machine).c_str());

    // The user's runtime wins only when newer.
    std::wstring newer = runtime(L"user_newer", "1.8.0_311");
    createKey(HKEY_CURRENT_USER, std::string(kLocated) + "\\" + locatedName(newer + L"\\bin\\java.exe"));
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(newer).c_str());
    EXPECT_STREQ(version, "1.8.0_311");
}

TEST_F(JvmRegistry, LocatedRuntimeWinsOverJavaSoftOfTheSameVersion) {
    std::wstring javaSoft = runtime(L"javasoft", "1.8.0_301");
    std::wstring located = runtime(L"located", "1.8.0_301");
    setString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.8.0_301", "JavaHome", ascii(javaSoft));
    createKey(HKEY_CURRENT_USER, std::string(kLocated) + "\\" + locatedName(located + L"\\bin\\java.exe"));
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(located).c_str());

    setJavaBehaviour(javaSoft + L"\\bin", javaVersion("1.8.0_311"));
    removeCacheEntriesBelow(javaSoft);
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(javaSoft).c_str());
}

TEST_F(JvmRegistry, TvrJresOnlySkipsJavaSoftAndOtherLocatedRuntimes) {
    std::wstring javaSoft = runtime(L"javasoft", "1.8.0_311");
    std::wstring plain = runtime(L"plain", "1.8.0_311");
    std::wstring own = runtime(L"tvr_jres", "1.8.0_301");
    setString(HKEY_LOCAL_MACHINE, std::string(kJre) + "\\1.8.0_311", "JavaHome", ascii(javaSoft));
    createKey(HKEY_CURRENT_USER, std::string(kLocated) + "\\" + locatedName(plain + L"\\bin\\java.exe"));
    createKey(HKEY_LOCAL_MACHINE, std::string(kLocated) + "\\" + locatedName(own + L"\\bin\\java.exe"));
    applyKeys({{165, "1"}});
    ASSERT_TRUE(registryLookup());
    EXPECT_STREQ(javaExe, javaExeOf(own).c_str());
    EXPECT_EQ(probed(), std::vector<std::string>{lowerAscii(ascii(own))});
}

TEST_F(JvmRegistry, PreviousInstallationTakesTheFirstUsableDirectory) {
    std::wstring a = tree / L"a", b = tree / L"b";
    installJava(a + L"\\jre", javaVersion("1.7.0_80"));
    installJava(b + L"\\jre", javaVersion("1.8.0_301"));
    applyKeys({{160, "orvane"}});
    setString(HKEY_CURRENT_USER, kInstallations, "orvane", ascii(a) + ";" + ascii(b));
    ASSERT_TRUE(previousInstallation(HKEY_CURRENT_USER));
    EXPECT_STREQ(javaExe, lowerAscii(ascii(b + L"\\jre\\bin\\java.exe")).c_str());
    EXPECT_FALSE(previousInstallation(HKEY_LOCAL_MACHINE));

    setString(HKEY_LOCAL_MACHINE, kInstallations, "orvane", ascii(b));
    EXPECT_TRUE(previousInstallation(HKEY_LOCAL_MACHINE));
}

TEST_F(JvmRegistry, EmptyApplicationIdReadsNoInstallations) {
    std::wstring b = tree / L"b";
    installJava(b + L"\\jre", javaVersion("1.8.0_301"));
    // The default value, which an empty value name would read.
    setString(HKEY_CURRENT_USER, kInstallations, "", ascii(b));
    EXPECT_FALSE(previousInstallation(HKEY_CURRENT_USER));
    EXPECT_TRUE(javaRuns(b + L"\\jre\\bin").empty());
}

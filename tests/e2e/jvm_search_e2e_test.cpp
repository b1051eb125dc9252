// The JVM search of packed launchers under Wine (the sample's type 4:
// messages on standard error), against fake runtimes beside the launcher,
// in environment variables and in the test prefix's registry.  The search
// is read back from the launcher's log.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/runtime/FakeRuntime.h"

namespace fr = fake_runtime;

namespace {

const char kNoJvm[] =
    "No JVM could be found on your system.\r\nPlease define LORIX_JAVA_HOME\r\nto point to an installed 64-bit JDK or "
    "JRE or download a JRE from https://java.example.org/jre.";
const char kNotStarted[] =
    "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an antivirus or firewall tool "
    "could block the execution.";

std::string damagedAt(const std::string& location) {
    return "The JVM found at " + location +
           " is damaged.\r\nPlease reinstall or define LORIX_JAVA_HOME\r\nto point to an installed 64-bit JDK or JRE.";
}
std::string notWorking(const std::string& variable) {
    return "The " + variable + " environment variable does not\r\npoint to a working 64-bit JDK or JRE.";
}

const char kJavaSoftJre[] = "SOFTWARE\\JavaSoft\\JRE";
const char kInstallations[] = "SOFTWARE\\brightmoor\\tavra\\installations";

void setString(HKEY root, const std::string& keyPath, const char* name, const std::string& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

class JvmSearchE2e : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(dir.file(L"bin").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"tmp").c_str(), nullptr);
        exe = dir.file(L"bin\\orvane.exe");
        description = sampleDescription();
    }
    void TearDown() override {
        fr::removeCacheEntriesBelow(dir.path());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\JavaSoft");
        RegDeleteTreeA(HKEY_CURRENT_USER, kInstallations);
    }

    // Packs the launcher and runs it with /run and the log on; variables
    // that name runtimes are cleared unless `environment` sets them.
    ChildResult run(const std::vector<std::wstring>& environment = {}) {
        packTo(exe, description);
        DeleteFileW(dir.file(L"tmp\\tvr_nlog_1.log").c_str());
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=yes",
                               L"LORIX_LOG=",     L"JAVA_HOME=",   L"JDK_HOME=",
                               L"LORIX_JAVA_HOME=", L"TAVRA_JAVA_HOME="};
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        return runChild(commandLine(exe, L"/run"), options);
    }

    std::string log() { return readText(dir.file(L"tmp\\tvr_nlog_1.log")); }
    bool logged(const std::string& text) { return log().find(text) != std::string::npos; }
    // Positions in the log, to check the order of lines.
    size_t at(const std::string& text) { return log().find(text); }

    static bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }
    static bool hasSearchMessage(const std::string& err) {
        for (const char* mark : {"No JVM could be found", " is damaged.", " environment variable does not"})
            if (err.find(mark) != std::string::npos) return true;
        return false;
    }
    std::string path(const wchar_t* relative) { return fr::lowerAscii(fr::ascii(dir.file(relative))); }

    ScratchDir dir{L"jvmsearch"};
    std::wstring exe;
    LauncherDescription description;
};

}  // namespace

TEST_F(JvmSearchE2e, NoRuntimeAnywhereShows1016) {
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(startsWith(r.err, std::string(kNoJvm) + "\r\n\r\nLog: ")) << r.err;
    EXPECT_TRUE(logged("] Searching for a JVM\r\n"));
    EXPECT_TRUE(logged("] MinVersion: 1.8, MaxVersion: 1.8\r\n"));
    EXPECT_TRUE(logged("] Testing location ..\\jre (type B)\r\n"));
    EXPECT_TRUE(logged("] Testing location  (type Y)\r\n"));
    EXPECT_TRUE(logged("] Testing location JDK_HOME (type E)\r\n"));
    EXPECT_TRUE(logged("] Testing relative location ..\\jre\r\n"));
    EXPECT_LT(at("Testing relative location"), at("Search sequence finished"));
    EXPECT_TRUE(logged("] ERROR: No JVM found\r\n"));
}

TEST_F(JvmSearchE2e, LocalRuntimeIsLoadedAndCachedForTheNextLaunch) {
    fr::installRuntime(dir.file(L"jre"), "1.8.0_301");
    ChildResult r = run();
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] Trying " + path(L"jre\\bin\\server\\jvm.dll") + " (exists 1)\r\n")) << log();
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));
    EXPECT_TRUE(logged("] got version from execution 1.8.0_301\r\n"));
    EXPECT_EQ(fr::javaRuns(dir.file(L"jre\\bin")).size(), 1u);

    run();
    EXPECT_TRUE(logged("] got version from registry 1.8.0_301\r\n"));
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));
    EXPECT_EQ(fr::javaRuns(dir.file(L"jre\\bin")).size(), 1u);
}

TEST_F(JvmSearchE2e, FallbackPassAcceptsALocalRuntimeOutsideTheLimits) {
    fr::installJava(dir.file(L"jre"), fr::reporting("openjdk version \"11.0.2\" 2019-01-15"));
    fr::installJvm(dir.file(L"jre\\bin"), L"server");
    ChildResult r = run();
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] Testing relative location ..\\jre\r\n"));
    EXPECT_TRUE(logged("] " + path(L"jre\\bin\\java.exe") + " exists\r\n")) << log();
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));
    EXPECT_LT(at("Testing location JDK_HOME"), at("Testing relative location"));
    EXPECT_EQ(at("Search sequence finished"), std::string::npos);
}

TEST_F(JvmSearchE2e, JavaHomeWithForwardSlashes) {
    fr::installRuntime(dir.file(L"jdk"), "1.8.0_301");
    std::wstring slashed = dir.file(L"jdk");
    std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
    setConfigValue(description, 128, "EJAVA_HOME;");
    ChildResult r = run({L"JAVA_HOME=" + slashed});
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] Trying to load JVM-DLL from " + path(L"jdk\\bin\\java.exe") + "\r\n")) << log();
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));
}

TEST_F(JvmSearchE2e, CandidateThatFailsToLoadIsSkipped) {
    fr::installJava(dir.file(L"jre"), fr::javaVersion("1.8.0_301"));
    fr::installBrokenJvm(dir.file(L"jre\\bin"), L"server");
    fr::installRuntime(dir.file(L"jdk"), "1.8.0_301");
    ChildResult r = run({L"JAVA_HOME=" + dir.file(L"jdk")});
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] Trying " + path(L"jre\\bin\\server\\jvm.dll") + " (exists 1)\r\n"));
    EXPECT_TRUE(logged("] Failed with error code "));
    EXPECT_TRUE(logged("] Trying " + path(L"jdk\\bin\\server\\jvm.dll") + " (exists 1)\r\n"));
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));
}

TEST_F(JvmSearchE2e, DamagedLocalRuntimeShows1020WithTheLocation) {
    fr::installJava(dir.file(L"jre"), fr::javaVersion("1.8.0_301"));
    fr::installBrokenJvm(dir.file(L"jre\\bin"), L"server");
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(startsWith(r.err, damagedAt("..\\jre") + "\r\n\r\nLog: ")) << r.err;
    EXPECT_TRUE(logged("] ERROR: Could not get DLL-Handle.\r\n"));
    EXPECT_TRUE(logged("] ERROR: Could not load functions\r\n"));
}

TEST_F(JvmSearchE2e, DamagedRuntimeOfAVariableShows1018WithItsName) {
    fr::installJava(dir.file(L"jdk"), fr::javaVersion("1.8.0_301"));
    fr::installBrokenJvm(dir.file(L"jdk\\bin"), L"client");
    ChildResult r = run({L"JAVA_HOME=" + dir.file(L"jdk")});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(startsWith(r.err, notWorking("JAVA_HOME") + "\r\n\r\nLog: ")) << r.err;
}

TEST_F(JvmSearchE2e, DamagedRuntimeOnTheSearchPathShows1016) {
    // The system's file search looks in the launcher's own directory first.
    fr::installJava(dir.path(), fr::javaVersion("1.8.0_301"));
    fr::installBrokenJvm(dir.file(L"bin"), L"server");
    setConfigValue(description, 128, "S;");
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(startsWith(r.err, std::string(kNoJvm) + "\r\n\r\nLog: ")) << r.err;
    EXPECT_TRUE(logged("] Trying to load JVM-DLL from " + path(L"bin\\java.exe") + "\r\n")) << log();
    EXPECT_EQ(at("No JVM found"), std::string::npos);
}

TEST_F(JvmSearchE2e, DamagedRegistryRuntimeShows1005) {
    fr::installJava(dir.file(L"javasoft"), fr::javaVersion("1.8.0_301"));
    fr::installBrokenJvm(dir.file(L"javasoft\\bin"), L"server");
    setString(HKEY_LOCAL_MACHINE, std::string(kJavaSoftJre) + "\\1.8.0_301", "JavaHome",
              fr::ascii(dir.file(L"javasoft")));
    setConfigValue(description, 128, "Y;");
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(startsWith(r.err, std::string(kNotStarted) + "\r\n\r\nLog: ")) << r.err;
    EXPECT_TRUE(logged("] found sun " + path(L"javasoft\\bin\\java.exe") + " 1.8.0_301\r\n")) << log();
}

TEST_F(JvmSearchE2e, PackedLocalRuntimeIsPreparedOnce) {
    fr::installRuntime(dir.file(L"jre"), "1.8.0_301");
    fr::installUnpacker(dir.file(L"jre"));
    fr::makeDirectories(dir.file(L"jre\\lib\\ext"));
    fr::writeText(dir.file(L"jre\\lib\\rt.jar.pack"), "rt");
    fr::writeText(dir.file(L"jre\\lib\\ext\\x.jar.pack"), "x");
    ChildResult r = run();
    EXPECT_EQ(r.out, "Preparing JRE ...\r\n");
    EXPECT_TRUE(fr::exists(dir.file(L"jre\\lib\\rt.jar")));
    EXPECT_TRUE(fr::exists(dir.file(L"jre\\lib\\ext\\x.jar")));
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));

    r = run();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(fr::unpackerRuns(dir.file(L"jre")).size(), 2u);
}

TEST_F(JvmSearchE2e, UnpackerThatCannotStartIsFatal) {
    fr::installRuntime(dir.file(L"jre"), "1.8.0_301");
    fr::makeDirectories(dir.file(L"jre\\lib"));
    fr::writeText(dir.file(L"jre\\lib\\rt.jar.pack"), "rt");
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_TRUE(startsWith(r.err, "An internal error occurred (error code: 20)\r\n")) << r.err;
    EXPECT_TRUE(logged("] could not create unpack process\r\n"));
    EXPECT_TRUE(fr::javaRuns(dir.file(L"jre\\bin")).empty());
}

TEST_F(JvmSearchE2e, PreferredLocationComesFirst) {
    fr::installRuntime(dir.file(L"jre"), "1.8.0_301");
    fr::installRuntime(dir.file(L"preferred"), "1.8.0_301");
    fr::makeDirectories(dir.file(L".tavra"));
    fr::writeText(dir.file(L".tavra\\pref_jre.cfg"), fr::ascii(dir.file(L"preferred")) + "\r\nignored\r\n");
    ChildResult r = run();
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] Has preferred location " + fr::ascii(dir.file(L"preferred")) + "\r\n")) << log();
    EXPECT_TRUE(logged("] Using preferred location\r\n"));
    EXPECT_TRUE(logged("] Trying " + path(L"preferred\\bin\\server\\jvm.dll") + " (exists 1)\r\n"));
    EXPECT_EQ(at("Testing location"), std::string::npos);
}

TEST_F(JvmSearchE2e, EmptyPreferredLineIsTheLaunchersDirectory) {
    fr::installRuntime(dir.file(L"bin\\jre"), "1.8.0_301");
    fr::makeDirectories(dir.file(L".tavra"));
    fr::writeText(dir.file(L".tavra\\pref_jre.cfg"), "\r\n");
    ChildResult r = run();
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] Has preferred location \r\n"));
    EXPECT_TRUE(logged("] Trying " + path(L"bin\\jre\\bin\\server\\jvm.dll") + " (exists 1)\r\n")) << log();
}

TEST_F(JvmSearchE2e, InstallerLocationAfterTheMainPass) {
    fr::installRuntime(dir.file(L"installed"), "1.8.0_301");
    fr::makeDirectories(dir.file(L".tavra"));
    fr::writeText(dir.file(L".tavra\\inst_jre.cfg"), fr::ascii(dir.file(L"installed")));
    ChildResult r = run();
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_LT(at("Testing location JDK_HOME"), at("Has installer location"));
    EXPECT_TRUE(logged("] Using installer location\r\n"));
    EXPECT_EQ(at("Testing relative location"), std::string::npos);
}

TEST_F(JvmSearchE2e, PreviousInstallationThenJavaHomeVariables) {
    fr::installRuntime(dir.file(L"previous\\jre"), "1.8.0_301");
    setConfigValue(description, 160, "orvane_e2e");
    setString(HKEY_CURRENT_USER, kInstallations, "orvane_e2e", fr::ascii(dir.file(L"previous")));
    ChildResult r = run();
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_TRUE(logged("] found JRE from previous installation (user) " + path(L"previous\\jre\\bin\\java.exe") +
                       "\r\n"))
        << log();

    // Without it, the two variables come after the search sequence.
    RegDeleteTreeA(HKEY_CURRENT_USER, kInstallations);
    r = run({L"TAVRA_JAVA_HOME=" + dir.file(L"previous\\jre")});
    EXPECT_FALSE(hasSearchMessage(r.err)) << r.err;
    EXPECT_LT(at("Search sequence finished"), at("Trying to load JVM-DLL from"));
    EXPECT_TRUE(logged("] Loading of JVM-DLL successful\r\n"));
}

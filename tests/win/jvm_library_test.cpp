// Loading jvm.dll under Wine: the subdirectory order, the JDK's jre\bin,
// PATH while candidates are tried and after they fail, the
// native-library directories, DLL directories, and JNI_CreateJavaVM.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/jvmsearch/windows/JvmEntry.h"
#include "launcher/jvmsearch/windows/JvmLibrary.h"
#include "tests/support/runtime/FakeRuntime.h"

using namespace fake_runtime;

namespace {

void applyKeys(std::initializer_list<std::pair<int, const char*>> keys) {
    BlockData block;
    for (const auto& key : keys) block.config.push_back({key.first, key.second});
    applyConfigurationBlock(block, "en");
}

// PATH as the process and as the C runtime see it; "<unset>" when absent.
std::string processPath() {
    char value[40000];
    DWORD n = GetEnvironmentVariableA("PATH", value, sizeof value);
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return "<unset>";
    return std::string(value, n < sizeof value ? n : 0);
}
std::string runtimePath() {
    const char* value = std::getenv("PATH");
    return value ? value : "<unset>";
}

std::string moduleFile(HMODULE module) {
    char path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return lowerAscii(std::string(path, n));
}

class JvmLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        applyKeys({{152, "server"}, {154, "0"}});
        savedPath = processPath();
        home = tree / L"jre";
        bin = home + L"\\bin";
        installJava(home, javaVersion("1.8.0_301"));
    }
    void TearDown() override {
        if (loaded) FreeLibrary(loaded);
        SetEnvironmentVariableA("PATH", savedPath == "<unset>" ? nullptr : savedPath.c_str());
        _putenv(("PATH=" + (savedPath == "<unset>" ? std::string() : savedPath)).c_str());
    }

    HMODULE load(const std::wstring& binDir) {
        loaded = loadJvmForJavaExe(ascii(binDir + L"\\java.exe").c_str());
        return loaded;
    }
    std::string jvmIn(const std::wstring& dir) { return lowerAscii(ascii(dir + L"\\jvm.dll")); }

    ScratchTree tree{L"library"};
    std::wstring home, bin;
    std::string savedPath;
    HMODULE loaded = nullptr;
};

}  // namespace

TEST_F(JvmLibrary, PreferredSubdirectoryComesFirst) {
    installJvm(bin, L"client");
    installJvm(bin, L"server");
    ASSERT_NE(load(bin), nullptr);
    EXPECT_EQ(moduleFile(loaded), jvmIn(bin + L"\\server"));
    // The runtime's bin directory stays behind the previous PATH.
    EXPECT_EQ(processPath(), savedPath + ";" + ascii(bin));
    EXPECT_EQ(runtimePath(), processPath());
}

TEST_F(JvmLibrary, FixedOrderWithoutAPreference) {
    applyKeys({{152, ""}});
    installBrokenJvm(bin, L"hotspot");  // exists, fails to load: skipped
    installJvm(bin, L"client");
    installJvm(bin, L"server");
    ASSERT_NE(load(bin), nullptr);
    EXPECT_EQ(moduleFile(loaded), jvmIn(bin + L"\\client"));
}

TEST_F(JvmLibrary, PreferredNameThatFailsFallsBackToTheFixedNames) {
    applyKeys({{152, "jrockit"}});
    installBrokenJvm(bin, L"server");
    installJvm(bin, L"jrockit");
    ASSERT_NE(load(bin), nullptr);
    EXPECT_EQ(moduleFile(loaded), jvmIn(bin + L"\\jrockit"));

    FreeLibrary(loaded);
    DeleteFileW((bin + L"\\jrockit\\jvm.dll").c_str());
    installJvm(bin, L"classic");
    ASSERT_NE(load(bin), nullptr);
    EXPECT_EQ(moduleFile(loaded), jvmIn(bin + L"\\classic"));
}

TEST_F(JvmLibrary, JdkRuntimeInItsJreDirectory) {
    std::wstring jdkBin = tree / L"jdk\\bin";
    installJava(tree / L"jdk", javaVersion("1.8.0_301"));
    installJvm(tree / L"jdk\\jre\\bin", L"client");
    ASSERT_NE(load(jdkBin), nullptr);
    std::string jreBin = ascii(jdkBin) + "\\..\\jre\\bin";
    EXPECT_EQ(moduleFile(loaded), lowerAscii(ascii(tree / L"jdk\\jre\\bin\\client\\jvm.dll")));
    // The JDK's own bin directory was taken out again.
    EXPECT_EQ(processPath(), savedPath + ";" + jreBin);
    EXPECT_EQ(runtimePath(), processPath());
}

TEST_F(JvmLibrary, NothingLoadsAndPathIsRestored) {
    installBrokenJvm(bin, L"server");
    installBrokenJvm(bin, L"client");
    EXPECT_EQ(load(bin), nullptr);
    EXPECT_EQ(processPath(), savedPath);
    EXPECT_EQ(runtimePath(), savedPath);
}

TEST_F(JvmLibrary, UnsetPathStaysUnset) {
    SetEnvironmentVariableA("PATH", nullptr);
    _putenv("PATH=");
    EXPECT_EQ(load(bin), nullptr);
    EXPECT_EQ(processPath(), "<unset>");
    EXPECT_EQ(runtimePath(), "<unset>");
}

TEST_F(JvmLibrary, NativeLibraryDirectoriesGoInFrontOfPath) {
    std::string exeDir = executableDirNarrow();
    applyKeys({{10004, "Natives;..\\More;;"}});
    addNativeLibraryPath();
    char full[MAX_PATH * 4];
    GetFullPathNameA((exeDir + "..\\more").c_str(), sizeof full, full, nullptr);
    // Full paths, lower-cased.
    EXPECT_EQ(processPath(), lowerAscii(exeDir + "natives;" + full + ";") + savedPath);
    EXPECT_EQ(runtimePath(), processPath());
}

TEST_F(JvmLibrary, DllDirectoriesOnlyWithKey154) {
    std::string dir = ascii(bin);
    EXPECT_EQ(addDllDirectory(dir.c_str()), nullptr);
    applyKeys({{154, "1"}});
    DllDirectoryCookie cookie = addDllDirectory(dir.c_str());
    EXPECT_NE(cookie, nullptr);
    removeDllDirectory(cookie);
    removeDllDirectory(nullptr);
}

TEST_F(JvmLibrary, CreateJavaVMEntry) {
    EXPECT_FALSE(findCreateJavaVM(nullptr));
    EXPECT_FALSE(findCreateJavaVM(GetModuleHandleA("kernel32.dll")));
    // Published for the rest of the process, so it stays loaded: taken
    // from the doubles' directory, not from the scratch tree.
    HMODULE jvm = LoadLibraryW(doubleFile(L"jvm.dll").c_str());
    ASSERT_NE(jvm, nullptr);
    ASSERT_TRUE(findCreateJavaVM(jvm));
    EXPECT_EQ(jvmModule(), jvm);
    ASSERT_NE(createJavaVMFunction(), nullptr);
    JavaVM* vm = reinterpret_cast<JavaVM*>(1);
    void* env = nullptr;
    // The minimal library cannot create a JVM.
    EXPECT_EQ(createJavaVMFunction()(&vm, &env, nullptr), JNI_ERR);
    EXPECT_EQ(vm, nullptr);
}

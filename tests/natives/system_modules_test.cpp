// Modules the natives load on demand come from System32 only: a copy of
// the same name beside the program (the launcher's directory, a downloads
// folder for an installer) is never loaded in their place.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <string>

#include "native/frame/windows/ShellBinding.h"
#include "native/shell/windows/FolderInfo.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using nativetest::lower;

using nativetest::besideTestProgram;

// The file a loaded module came from, or "" when no module of that name is
// in the process.
std::wstring loadedFrom(const wchar_t* name) {
    HMODULE module = GetModuleHandleW(name);
    wchar_t path[MAX_PATH] = L"";
    if (module) GetModuleFileNameW(module, path, MAX_PATH);
    return lower(path);
}

// Copies of a DLL without the expected functions under the names of the
// modules that the folder and shell natives load first, removed again at
// the end (a copy that was loaded stays in use and cannot be).
class PlantedModules : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        for (const wchar_t* name : kNames)
            ASSERT_TRUE(CopyFileW(besideTestProgram(L"file_version_none.dll").c_str(),
                                  besideTestProgram(name).c_str(), FALSE))
                << nativetest::narrow(name);
        savedFolders_ = g_folderFunctions;
        savedShell_ = g_shellFunctions;
        g_folderFunctions = {};
        g_shellFunctions = {};
    }
    void TearDown() override {
        g_folderFunctions = savedFolders_;
        g_shellFunctions = savedShell_;
        for (const wchar_t* name : kNames) DeleteFileW(besideTestProgram(name).c_str());
    }

    static constexpr const wchar_t* kNames[] = {L"_shfoldr.dll", L"davhlpr.dll", L"fwbase.dll"};

private:
    FolderFunctions savedFolders_;
    ShellFunctions savedShell_;
};

}  // namespace

TEST_F(PlantedModules, AreNotLoadedByTheFolderOrShellNatives) {
    // Folder 7 is the application data.  The planted _shfoldr.dll has no
    // version and no SHGetFolderPathW: taken, it would win the version
    // comparison and leave every folder unknown.
    wchar_t appData[32768];
    DWORD length = GetEnvironmentVariableW(L"APPDATA", appData, 32768);
    ASSERT_TRUE(length > 0 && length < 32768);
    fakejni::Value folder = nativetest::callLinked("FolderInfo", "getSpecialFolder0", {jint(7), false});
    EXPECT_EQ(lower(appData), fakejni::isNull(folder.asObject()) ? L"<null>" : lower(folder.asText()));

    EXPECT_TRUE(shellChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr));

    for (const wchar_t* name : kNames)
        EXPECT_NE(loadedFrom(name), lower(besideTestProgram(name))) << nativetest::narrow(name) << " was planted";
}

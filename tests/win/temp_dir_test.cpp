// The temporary directory search, the two-level clean-up of the extraction
// directory, and expansion with the launcher's real values, under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/config/windows/Variables.h"

namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void writeFile(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD n;
    WriteFile(h, "x", 1, &n, nullptr);
    CloseHandle(h);
}

std::string freshDirectory(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + name + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::wstring expandWide(const wchar_t* text, bool ansiSafe) {
    wchar_t buffer[6000];
    wcscpy(buffer, text);
    expandVariablesWide(buffer, ansiSafe);
    return buffer;
}

}  // namespace

TEST(TempDir, WideAndNarrowSearchesFindTheSameWritableDirectory) {
    wchar_t wide[6000];
    char narrow[6000];
    findTempDirWide(wide, true);
    findTempDirNarrow(narrow);
    ASSERT_NE(wide[0], 0);
    ASSERT_NE(narrow[0], 0);
    EXPECT_EQ(widenPath(narrow), std::wstring(wide));
    // Cached: the same answer again, even when the environment changes.
    wchar_t again[6000], saved[6000];
    DWORD had = GetEnvironmentVariableW(L"TMP", saved, 6000);
    SetEnvironmentVariableW(L"TMP", L"C:\\does-not-exist");
    findTempDirWide(again, true);
    SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);
    EXPECT_STREQ(again, wide);
    std::string probe = std::string(narrow) + "\\probe.txt";
    writeFile(probe);
    EXPECT_TRUE(DeleteFileA(probe.c_str()));
}

TEST(TempDir, EmptyingReachesTwoLevels) {
    std::string dir = freshDirectory("lrx_empty_");
    writeFile(dir + "\\a.txt");
    CreateDirectoryA((dir + "\\lib").c_str(), nullptr);
    writeFile(dir + "\\lib\\b.dll");
    CreateDirectoryA((dir + "\\deep").c_str(), nullptr);
    CreateDirectoryA((dir + "\\deep\\er").c_str(), nullptr);
    writeFile(dir + "\\deep\\er\\c.txt");

    emptyDirectory(dir.c_str(), true);
    EXPECT_FALSE(exists(dir + "\\a.txt"));
    EXPECT_FALSE(exists(dir + "\\lib"));
    // A non-empty directory on the third level stays, and so does its parent.
    EXPECT_TRUE(exists(dir + "\\deep\\er\\c.txt"));

    DeleteFileA((dir + "\\deep\\er\\c.txt").c_str());
    RemoveDirectoryA((dir + "\\deep\\er").c_str());
    RemoveDirectoryA((dir + "\\deep").c_str());
    EXPECT_TRUE(RemoveDirectoryA(dir.c_str()));
}

TEST(TempDir, RelativeAndEmptyPathsAreLeftAlone) {
    std::string dir = freshDirectory("lrx_keep_");
    writeFile(dir + "\\keep.txt");
    char current[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, current);
    SetCurrentDirectoryA(dir.c_str());
    emptyDirectory(".", true);
    emptyDirectory("", true);
    SetCurrentDirectoryA(current);
    EXPECT_TRUE(exists(dir + "\\keep.txt"));
    DeleteFileA((dir + "\\keep.txt").c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(Variables, LauncherDirectoryAndEnvironmentExpandWithRealValues) {
    EXPECT_EQ(expandWide(L"${launcher:sys.launcherDirectory}", false), executableDirWideLong());
    EXPECT_EQ(expandWide(L"%TAVRA_EXEDIR%", true), executableDirWideFromNarrow());
    SetEnvironmentVariableW(L"LrxVar", L"value");
    EXPECT_EQ(expandWide(L"${LrxVar}/${LRXVAR}/${lrxvar}", false), L"value/value/${lrxvar}");

    publishJvmHome("C:\\Java");
    char narrow[6000] = "%LORIX_JVM_HOME%\\bin;${LrxVar}";
    expandVariablesNarrow(narrow);
    EXPECT_STREQ(narrow, "C:\\Java\\bin;value");
    publishJvmHome("");
}

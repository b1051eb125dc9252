// The temporary directory search, the two-level clean-up of the extraction
// directory, and expansion with the launcher's real values, under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

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

// Starts a host program (Wine starts those too) with `options` and the
// host paths of the given Windows paths, and waits up to 10 s until `done`
// holds: Wine gives no handle of a host process to wait on.
template <class Done>
bool runHostProgram(const wchar_t* program, const wchar_t* options, const std::vector<std::string>& windowsPaths,
                    Done done) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    std::wstring commandLine = std::wstring(program) + L" " + options;
    for (const std::string& path : windowsPaths) {
        char* name = unixName(widenPath(path.c_str()).c_str());
        if (!name) return false;
        commandLine += L" \"" + widenPath(name) + L"\"";
        HeapFree(GetProcessHeap(), 0, name);
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
    for (int i = 0; i < 200 && !done(); ++i) Sleep(50);
    return done();
}

// Someone who could write into the extraction directory plants a link to
// another folder: emptying removes the link at most, never what it names.
TEST(TempDir, EmptyingDoesNotFollowADirectoryLink) {
    std::string dir = freshDirectory("lrx_link_"), target = freshDirectory("lrx_target_");
    writeFile(target + "\\precious.txt");
    CreateDirectoryA((target + "\\sub").c_str(), nullptr);
    // Wine shows a host symbolic link to a directory as a directory reparse
    // point, as Windows shows a junction; its CreateSymbolicLink makes none.
    const std::string link = dir + "\\lib";
    ASSERT_TRUE(runHostProgram(L"Z:\\bin\\ln", L"-s", {target, link}, [&] { return exists(link); }));
    ASSERT_EQ(GetFileAttributesA(link.c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT});

    emptyDirectory(dir.c_str(), true);
    EXPECT_TRUE(exists(target + "\\precious.txt"));
    EXPECT_TRUE(exists(target + "\\sub"));

    runHostProgram(L"Z:\\bin\\rm", L"-f", {link}, [&] { return !exists(link); });
    DeleteFileA((target + "\\precious.txt").c_str());
    RemoveDirectoryA((target + "\\sub").c_str());
    RemoveDirectoryA(target.c_str());
    RemoveDirectoryA(dir.c_str());
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

// The path utilities and locale detection under Wine.  Wine hashes 8.3
// names, so short paths are checked for their properties (narrow, free of
// replacement characters, naming the same file), not for exact names.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launcher/config/Locale.h"
#include "launcher/config/PathString.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/LocaleDetect.h"
#include "launcher/config/windows/Paths.h"

namespace {

constexpr int kChars = 6000;
const wchar_t kChildOutput[] = L"LRX_PATHS_CHILD_OUT";

// Wine takes its code pages from LANG; C.UTF-8 and en_US.UTF-8 give 1252.
bool ansiIs1252() { return AreFileApisANSI() && GetACP() == 1252; }

// Same volume and file index: both names refer to one file or directory.
bool sameFile(const std::wstring& first, const std::wstring& second) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::wstring* names[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        UniqueHandle h(CreateFileW(names[i]->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!h.valid() || !GetFileInformationByHandle(h.get(), &info[i])) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}
bool sameFile(const std::string& narrow, const std::wstring& wide) { return sameFile(widenPath(narrow.c_str()), wide); }

bool writeFile(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file.valid() && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void removeTree(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(FindFirstFileW((dir + L"\\*").c_str(), &data));
    for (bool more = find.valid(); more; more = FindNextFileW(find.get(), &data)) {
        std::wstring name = data.cFileName, child = dir + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            removeTree(child);
        else
            DeleteFileW(child.c_str());
    }
    RemoveDirectoryW(dir.c_str());
}

// Runs `program`, a copy of this test program, as PathsChild, which writes
// its narrow path and directory into `outFile`; gives what it wrote.
std::string childExecutablePaths(const std::wstring& program, const std::wstring& outFile) {
    SetEnvironmentVariableW(kChildOutput, outFile.c_str());
    std::wstring commandLine = L"\"" + program + L"\" --gtest_also_run_disabled_tests --gtest_filter=PathsChild.*";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process);
    SetEnvironmentVariableW(kChildOutput, nullptr);
    if (!started) return "(not started)";
    UniqueHandle child(process.hProcess), thread(process.hThread);
    if (WaitForSingleObject(child.get(), 60000) != WAIT_OBJECT_0) return "(did not end)";

    char text[2 * kChars] = "";
    UniqueHandle file(CreateFileW(outFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD n = 0;
    if (!file.valid() || !ReadFile(file.get(), text, sizeof text - 1, &n, nullptr)) return "(no output)";
    return text;
}

// A fresh directory with a space in its name under the temporary directory.
class PathsDir : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        dir_ = std::wstring(temp) + L"lrx paths " + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(GetTickCount());
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr));
    }
    void TearDown() override { removeTree(dir_); }

    // Copies this program to `copy` and runs it as PathsChild; the narrow
    // path and directory it sees of itself in `narrow` and `dir`.
    ::testing::AssertionResult runCopyAsChild(const std::wstring& copy, std::string& narrow, std::string& dir) {
        if (!CopyFileW(executableLongPath(), copy.c_str(), TRUE)) return ::testing::AssertionFailure() << "no copy";
        const std::string text = childExecutablePaths(copy, dir_ + L"\\child.txt");
        size_t newline = text.find('\n');
        if (newline == std::string::npos) return ::testing::AssertionFailure() << text;
        narrow = text.substr(0, newline);
        dir = text.substr(newline + 1);
        return ::testing::AssertionSuccess();
    }

    std::wstring dir_;
};

// ---- the executable's own paths --------------------------------------------

TEST(PathsExecutable, NarrowAndLongPathsNameThisProgram) {
    const std::wstring longPath = executableLongPath();
    const std::string narrow = executableNarrowPath();
    wchar_t module[kChars];
    ASSERT_GT(GetModuleFileNameW(nullptr, module, kChars), 0u);
    EXPECT_TRUE(sameFile(longPath, module));
    EXPECT_TRUE(sameFile(narrow, longPath)) << narrow;
    EXPECT_TRUE(hasExeSuffix(narrow.c_str())) << narrow;
    // A long path the code page holds is used unchanged.
    bool lossy = true;
    std::string narrowed = narrowPath(longPath.c_str(), &lossy);
    if (!lossy) {
        EXPECT_EQ(narrow, narrowed);
    }
}

TEST(PathsExecutable, DirectoriesEndWithBackslashAndHoldTheProgram) {
    const std::wstring longPath = executableLongPath(), dirLong = executableDirWideLong();
    const std::string dirNarrow = executableDirNarrow();
    EXPECT_EQ(dirLong.back(), L'\\');
    EXPECT_EQ(dirNarrow.back(), '\\');
    EXPECT_EQ(longPath.rfind(L'\\') + 1, dirLong.size());
    EXPECT_EQ(longPath.compare(0, dirLong.size(), dirLong), 0);
    EXPECT_TRUE(sameFile(dirNarrow, dirLong)) << dirNarrow;
    EXPECT_EQ(executableDirWideFromNarrow(), widenPath(dirNarrow.c_str()));
}

// Run only as the child of the test below, from a copy of this program:
// writes the narrow path and directory the copy chose for itself.
TEST(PathsChild, DISABLED_WriteExecutablePaths) {
    wchar_t out[kChars];
    ASSERT_GT(GetEnvironmentVariableW(kChildOutput, out, kChars), 0u);
    ASSERT_TRUE(writeFile(out, std::string(executableNarrowPath()) + "\n" + executableDirNarrow()));
}

TEST_F(PathsDir, ExecutableNameOutsideTheCodePageFallsBackToAUsableShortPath) {
    if (!ansiIs1252()) GTEST_SKIP() << "needs ANSI code page 1252";
    const std::wstring subdir = dir_ + L"\\Dir \u0416 name", copy = subdir + L"\\run\u0416.exe";
    // Wine stores names in the host's locale: with a LANG the host has not
    // installed, names outside ASCII cannot be created.
    if (!CreateDirectoryW(subdir.c_str(), nullptr)) GTEST_SKIP() << "file system cannot hold the name";
    std::string narrow, dir;
    ASSERT_TRUE(runCopyAsChild(copy, narrow, dir));
    EXPECT_EQ(narrow.find('?'), std::string::npos) << narrow;
    EXPECT_TRUE(hasExeSuffix(narrow.c_str())) << narrow;
    EXPECT_TRUE(sameFile(narrow, copy)) << narrow;
    EXPECT_TRUE(sameFile(dir, subdir)) << dir;
}

// The long form of a path: taken as it stands only when the file system
// proves it long; a short name is still expanded, and a spelling in
// another case gets what GetLongPathNameW gives it.
TEST_F(PathsDir, LongPathNameExpandsShortNamesAndKeepsLongOnes) {
    const std::wstring file = dir_ + L"\\Program With A Long Name.exe";
    ASSERT_TRUE(writeFile(file, ""));
    wchar_t got[kChars], expected[kChars];

    wchar_t shortName[kChars];
    DWORD n = GetShortPathNameW(file.c_str(), shortName, kChars);
    ASSERT_TRUE(n > 0 && n < static_cast<DWORD>(kChars));
    ASSERT_NE(file, shortName);
    EXPECT_EQ(longPathName(shortName, got), file.size());
    EXPECT_EQ(file, got);

    EXPECT_EQ(longPathName(file.c_str(), got), file.size());
    EXPECT_EQ(file, got);
    EXPECT_EQ(longPathName(dir_.c_str(), got), dir_.size());
    EXPECT_EQ(dir_, got);

    std::wstring upper = file;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    n = GetLongPathNameW(upper.c_str(), expected, kChars);
    EXPECT_EQ(longPathName(upper.c_str(), got), n);
    EXPECT_EQ(std::wstring(expected), got);

    SetLastError(0);
    EXPECT_EQ(longPathName((dir_ + L"\\missing.exe").c_str(), got), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// ---- conversions -------------------------------------------------------------

TEST(PathsConvert, NarrowingReportsCharactersOutsideTheCodePage) {
    if (!ansiIs1252()) GTEST_SKIP() << "needs ANSI code page 1252";
    bool lossy = true;
    EXPECT_EQ(narrowPath(L"C:\\caf\u00E9", &lossy), "C:\\caf\xE9");
    EXPECT_FALSE(lossy);
    EXPECT_EQ(widenPath("C:\\caf\xE9"), L"C:\\caf\u00E9");
    EXPECT_EQ(narrowPath(L"C:\\x\u0416y", &lossy), "C:\\x?y");
    EXPECT_TRUE(lossy);
    // No best fit: U+0100 must not quietly become "A" and name another file.
    EXPECT_EQ(narrowPath(L"C:\\\u0100bc", &lossy), "C:\\?bc");
    EXPECT_TRUE(lossy);
}

TEST(PathsConvert, UnicodeCodePagesNarrowWithoutADefaultCharacter) {
    bool lossy = true;
    EXPECT_EQ(narrowPathInCodePage(CP_UTF8, L"C:\\caf\u00E9\\\u8868", &lossy), "C:\\caf\xC3\xA9\\\xE8\xA1\xA8");
    EXPECT_FALSE(lossy);
    // A lone surrogate has no UTF-8 form; U+FFFD in its place would name
    // another file.
    const wchar_t loneSurrogate[] = {L'C', L':', L'\\', 0xD800, L'x', 0};
    EXPECT_EQ(narrowPathInCodePage(CP_UTF8, loneSurrogate, &lossy), "");
    EXPECT_TRUE(lossy);
}

// ---- double-byte code pages ------------------------------------------------
// Run under LANG=ja_JP (code page 932), where U+8868 is 0x95 0x5C: its trail
// byte is a backslash's.

const char kTrailBackslashDir[] = "C:\\\x95\x5C";

// The run that sets LRX_EXPECT_CP932 fails rather than skips without it.
bool ansiIs932() {
    if (AreFileApisANSI() && GetACP() == 932) return true;
    if (GetEnvironmentVariableW(L"LRX_EXPECT_CP932", nullptr, 0) > 0) ADD_FAILURE() << "ANSI code page " << GetACP();
    return false;
}

TEST(PathsDoubleByte, ResolvingKeepsTheSeparatorBehindATrailByte) {
    if (!ansiIs932()) GTEST_SKIP() << "needs ANSI code page 932";
    const std::string dir = kTrailBackslashDir;
    char out[kChars];
    resolvePathNarrow((dir + "\\\\lib\\x.jar").c_str(), out, kChars);
    EXPECT_EQ(std::string(out), dir + "\\lib\\x.jar");
    resolvePathNarrow("lib\\x.jar", out, kChars, (dir + "\\app.vmoptions").c_str());
    EXPECT_EQ(std::string(out), dir + "\\lib\\x.jar");
    fullPathNarrow((dir + "\\sub\\..\\Y.JAR").c_str(), out, kChars, false);
    EXPECT_EQ(std::string(out), "c:\\\x95\x5C\\y.jar");
}

TEST_F(PathsDir, ExecutableInAFolderEndingInATrailBackslashByte) {
    if (!ansiIs932()) GTEST_SKIP() << "needs ANSI code page 932";
    const std::wstring subdir = dir_ + L"\\\u8868", copy = subdir + L"\\run.exe";
    // Without the host's ja_JP locale Wine has the code page but cannot
    // store the name.
    ASSERT_TRUE(CreateDirectoryW(subdir.c_str(), nullptr)) << "file system cannot hold the name";
    std::string narrow, dir;
    ASSERT_TRUE(runCopyAsChild(copy, narrow, dir));
    EXPECT_TRUE(sameFile(narrow, copy)) << narrow;
    EXPECT_TRUE(sameFile(dir, subdir)) << dir;
}

// ---- resolving and full paths ----------------------------------------------

TEST(PathsResolve, RelativePathsJoinTheExecutableOrReferenceDirectory) {
    wchar_t out[kChars] = L"jre\\\\bin";
    resolvePathWide(out, out, kChars, true);  // in place
    EXPECT_EQ(std::wstring(out), std::wstring(executableDirWideLong()) + L"jre\\bin");
    resolvePathWide(L"jre", out, kChars, false);
    EXPECT_EQ(std::wstring(out), std::wstring(executableDirWideFromNarrow()) + L"jre");
    resolvePathWide(L"\\\\srv\\\\share", out, kChars, true);
    EXPECT_STREQ(out, L"\\\\srv\\share");
    resolvePathWide(L"lib\\x.jar", out, kChars, true, L"C:\\cfg\\app.vmoptions");
    EXPECT_STREQ(out, L"C:\\cfg\\lib\\x.jar");

    char narrow[kChars];
    resolvePathNarrow("lib", narrow, kChars);
    EXPECT_EQ(std::string(narrow), std::string(executableDirNarrow()) + "lib");
    resolvePathNarrow("y.jar", narrow, kChars, "D:\\a\\b.cfg");
    EXPECT_STREQ(narrow, "D:\\a\\y.jar");
}

TEST(PathsResolve, ResultThatDoesNotFitLeavesTheOutputEmpty) {
    wchar_t out[12];
    wmemset(out, L'#', 12);
    resolvePathWide(L"C:\\a\\bcdefghijkl", out, 8, true);
    EXPECT_STREQ(out, L"");
    EXPECT_EQ(out[8], L'#');
    char narrow[12];
    std::memset(narrow, '#', sizeof narrow);
    fullPathNarrow("relative\\path", narrow, 8, true);
    EXPECT_STREQ(narrow, "");
    EXPECT_EQ(narrow[8], '#');
}

TEST(PathsFullPath, RemovesDotsAndLowerCasesUnlessToldToKeepCase) {
    wchar_t out[kChars];
    fullPathWide(L"C:\\Abc\\..\\Def\\.\\\\X.txt", out, kChars, true, true);
    EXPECT_STREQ(out, L"C:\\Def\\X.txt");
    fullPathWide(L"sub\\..\\Y.JAR", out, kChars, false, true);
    std::wstring expected = std::wstring(executableDirWideLong()) + L"Y.JAR";
    lowerCaseAscii(&expected[0]);
    EXPECT_EQ(std::wstring(out), expected);
    char narrow[kChars];
    fullPathNarrow("C:\\Abc\\..\\Def\\X.txt", narrow, kChars, false);
    EXPECT_STREQ(narrow, "c:\\def\\x.txt");
}

// ---- existence -------------------------------------------------------------

TEST_F(PathsDir, ExistsForFilesAndDirectoriesWithTheirLastWriteTime) {
    const std::wstring file = dir_ + L"\\present.txt";
    ASSERT_TRUE(writeFile(file, "x"));
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &attributes));
    uint64_t lastWrite = 0;
    EXPECT_TRUE(pathExistsWide(file.c_str(), &lastWrite));
    EXPECT_EQ(lastWrite, (uint64_t(attributes.ftLastWriteTime.dwHighDateTime) << 32) |
                             attributes.ftLastWriteTime.dwLowDateTime);
    EXPECT_TRUE(pathExistsNarrow(narrowPath(dir_.c_str()).c_str()));

    EXPECT_FALSE(pathExistsWide((dir_ + L"\\absent.txt").c_str(), &lastWrite));
    EXPECT_EQ(lastWrite, 0u);
}

// The attribute test that stands in for FindFirstFile must answer as it
// does: a directory named with a trailing separator is not found either way.
TEST_F(PathsDir, ExistsAnswersAsFindFirstFileWithOrWithoutTheTime) {
    const std::wstring file = dir_ + L"\\present.txt";
    ASSERT_TRUE(writeFile(file, "x"));
    uint64_t lastWrite = 0;
    for (const std::wstring& path : {file, dir_, dir_ + L"\\.", dir_ + L"\\absent.txt", dir_ + L"\\", dir_ + L"/",
                                     dir_ + L"\\absent\\present.txt", file + L"\\"}) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(path.c_str(), &data);
        bool found = find != INVALID_HANDLE_VALUE;
        if (found) FindClose(find);
        std::string narrowed = narrowPath(path.c_str());
        EXPECT_EQ(pathExistsWide(path.c_str()), found) << narrowed;
        EXPECT_EQ(pathExistsNarrow(narrowed.c_str()), found) << narrowed;
        EXPECT_EQ(pathExistsWide(path.c_str(), &lastWrite), found) << narrowed;
    }
}

TEST(PathsExists, DriveRootsExistWithoutALookUp) {
    DWORD drives = GetLogicalDrives();
    wchar_t letter = L'Q';
    while (letter < L'Z' && (drives & (1u << (letter - L'A')))) ++letter;
    ASSERT_FALSE(drives & (1u << (letter - L'A'))) << "every drive letter is mapped";
    const std::wstring root = std::wstring(1, letter) + L":\\";
    EXPECT_TRUE(pathExistsWide(root.c_str()));
    EXPECT_TRUE(pathExistsWide((root + L".\\.").c_str()));
    EXPECT_FALSE(pathExistsWide((root + L"x").c_str()));
    EXPECT_TRUE(pathExistsNarrow("C:\\."));
}

// ---- short paths through cmd.exe ---------------------------------------------

TEST_F(PathsDir, ShortPathViaCmdNamesTheSameFile) {
    const std::wstring longDir = dir_ + L"\\A directory with a long name";
    const std::wstring file = longDir + L"\\file with spaces.txt";
    ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr));
    ASSERT_TRUE(writeFile(file, "x"));
    std::string shortPath;
    ASSERT_TRUE(shortPathViaCmd(file.c_str(), shortPath));
    EXPECT_EQ(shortPath.find_first_of("\r\n?"), std::string::npos) << shortPath;
    EXPECT_TRUE(pathExistsNarrow(shortPath.c_str())) << shortPath;
    EXPECT_TRUE(sameFile(shortPath, file)) << shortPath;
}

TEST_F(PathsDir, ShortPathViaCmdRefusesPathsCmdWouldInterpret) {
    std::string shortPath = "old";
    EXPECT_FALSE(shortPathViaCmd((dir_ + L"\") do @echo injected & rem (\"").c_str(), shortPath));
    EXPECT_EQ(shortPath, "");
    EXPECT_FALSE(shortPathViaCmd((dir_ + L"\\%PATH%").c_str(), shortPath));
}

// ---- locale detection ------------------------------------------------------

TEST(LocaleDetect, NamesTheUiLanguageWithinTheBuffer) {
    char locale[9];
    detectLocale(locale, sizeof locale);
    EXPECT_STREQ(locale, localeNameForLanguageId(GetUserDefaultUILanguage()));
    char small[4] = {'#', '#', '#', '#'};
    detectLocale(small, 3);
    EXPECT_EQ(std::strlen(small), 2u);
    EXPECT_EQ(small[3], '#');
    char none = '#';
    detectLocale(&none, 0);
    EXPECT_EQ(none, '#');
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "launcher/config/PathString.h"

namespace {

template <class Ch> std::basic_string<Ch> collapsed(std::basic_string<Ch> path) {
    collapseBackslashes(&path[0]);
    return path.c_str();
}

TEST(PathStringCollapse, DropsDoubledBackslashesButKeepsUncPrefix) {
    EXPECT_EQ(collapsed<char>("C:\\a\\\\b"), "C:\\a\\b");
    EXPECT_EQ(collapsed<char>("\\\\srv\\\\x"), "\\\\srv\\x");
    EXPECT_EQ(collapsed<char>("\\\\\\srv"), "\\\\srv");
    EXPECT_EQ(collapsed<wchar_t>(L"C:\\\\x\\\\\\y\\\\"), L"C:\\x\\y\\");
    EXPECT_EQ(collapsed<char>("\\"), "\\");
    EXPECT_EQ(collapsed<char>(""), "");
}

TEST(PathStringRelative, DriveRootedQuotedAndUncAreAbsolute) {
    EXPECT_FALSE(isRelativePath("C:\\x"));
    EXPECT_FALSE(isRelativePath(L"\\\\srv\\share"));
    EXPECT_FALSE(isRelativePath("\"C:\\x"));
    EXPECT_FALSE(isRelativePath("C:/x"));
    // Too short once the quote is skipped.
    EXPECT_TRUE(isRelativePath("\"C:"));
    EXPECT_TRUE(isRelativePath("\\x\\y"));
    EXPECT_TRUE(isRelativePath(L"x"));
    EXPECT_TRUE(isRelativePath("ab"));
    EXPECT_TRUE(isRelativePath("C:x\\y"));
    EXPECT_TRUE(isRelativePath(static_cast<const char*>(nullptr)));
}

TEST(PathStringExe, SuffixIgnoresCaseAndNeedsFiveCharacters) {
    EXPECT_TRUE(hasExeSuffix("a.exe"));
    EXPECT_TRUE(hasExeSuffix(L"C:\\APP\\RUN.EXE"));
    EXPECT_FALSE(hasExeSuffix(".exe"));
    EXPECT_FALSE(hasExeSuffix(L".EXE"));
    EXPECT_FALSE(hasExeSuffix("a.exe "));
    EXPECT_FALSE(hasExeSuffix("a_exe"));
}

TEST(PathStringDriveRoot, OnlyTheThreeRootForms) {
    EXPECT_TRUE(isDriveRoot("C:\\"));
    EXPECT_TRUE(isDriveRoot("c:\\."));
    EXPECT_TRUE(isDriveRoot(L"Q:\\.\\."));
    EXPECT_FALSE(isDriveRoot("C:"));
    EXPECT_FALSE(isDriveRoot("C:\\x"));
    EXPECT_FALSE(isDriveRoot("C:\\.."));
    EXPECT_FALSE(isDriveRoot(L"C:/"));
}

TEST(PathStringFindData, PatternsAndTrailingSeparatorsOnly) {
    EXPECT_TRUE(needsFindData("C:\\lib\\*.jar"));
    EXPECT_TRUE(needsFindData(L"C:\\lib\\a.ja?"));
    EXPECT_TRUE(needsFindData("C:\\*\\a.jar"));
    EXPECT_TRUE(needsFindData("C:\\lib\\"));
    EXPECT_TRUE(needsFindData(L"C:/lib/"));
    EXPECT_FALSE(needsFindData("C:\\lib\\a.jar"));
    EXPECT_FALSE(needsFindData(L"C:\\lib"));
    EXPECT_FALSE(needsFindData("C:\\lib\\."));
    EXPECT_FALSE(needsFindData(""));
    EXPECT_FALSE(needsFindData(static_cast<const char*>(nullptr)));
}

TEST(PathStringCmdOutput, FirstLineOfASuccessfulRun) {
    std::string path;
    ASSERT_TRUE(shortPathFromCmdOutput("C:\\PROGRA~1\\RUN.EXE\r\n", 21, 0, path));
    EXPECT_EQ(path, "C:\\PROGRA~1\\RUN.EXE");
    ASSERT_TRUE(shortPathFromCmdOutput("C:\\abcdef", 9, 0, path));
    EXPECT_EQ(path, "C:\\abcdef");
}

TEST(PathStringCmdOutput, RefusesFailuresShortOutputAndReplacementCharacters) {
    std::string path = "old";
    EXPECT_FALSE(shortPathFromCmdOutput("C:\\PROGRA~1\\RUN.EXE\r\n", 21, 1, path));
    EXPECT_FALSE(shortPathFromCmdOutput("C:\\PROGRA~1\\RUN.EXE\r\n", 21, 259, path));
    EXPECT_FALSE(shortPathFromCmdOutput("C:\\a\r\n", 5, 0, path));
    EXPECT_FALSE(shortPathFromCmdOutput("\r\nC:\\abc\r\n", 10, 0, path));
    EXPECT_FALSE(shortPathFromCmdOutput("C:\\x?y.exe\r\n", 12, 0, path));
    EXPECT_EQ(path, "old");
}

}  // namespace

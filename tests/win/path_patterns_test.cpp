// Existence of paths that hold wildcards, under Wine: a "*" or "?" pattern
// exists when it matches (the class-path entry "lib\*"), and characters no
// file name can hold never exist.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/Paths.h"

namespace {

uint64_t lastWriteOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// A fresh directory holding lib\a.jar.
class PathPatterns : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        dir = std::wstring(temp) + L"lrx patterns " + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((dir + L"\\lib").c_str(), nullptr));
        UniqueHandle jar(CreateFileW(jar_().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(jar.valid());
    }
    void TearDown() override {
        DeleteFileW(jar_().c_str());
        RemoveDirectoryW((dir + L"\\lib").c_str());
        RemoveDirectoryW(dir.c_str());
    }
    std::wstring jar_() const { return dir + L"\\lib\\a.jar"; }
    std::string narrow(const std::wstring& relative) const { return narrowPath((dir + relative).c_str()); }

    std::wstring dir;
};

}  // namespace

TEST_F(PathPatterns, PatternsExistWhenTheyMatch) {
    uint64_t lastWrite = 0;
    EXPECT_TRUE(pathExistsWide((dir + L"\\lib\\*.jar").c_str(), &lastWrite));
    EXPECT_EQ(lastWrite, lastWriteOf(jar_()));
    EXPECT_TRUE(pathExistsNarrow(narrow(L"\\lib\\*").c_str()));
    EXPECT_TRUE(pathExistsNarrow(narrow(L"\\lib\\?.jar").c_str()));
    EXPECT_TRUE(pathExistsWide((dir + L"\\lib\\a.ja?").c_str()));

    EXPECT_FALSE(pathExistsWide((dir + L"\\lib\\*.zip").c_str(), &lastWrite));
    EXPECT_EQ(lastWrite, 0u);
    EXPECT_FALSE(pathExistsNarrow(narrow(L"\\missing\\*").c_str()));
    EXPECT_FALSE(pathExistsNarrow(narrow(L"\\lib\\b*").c_str()));
    EXPECT_FALSE(pathExistsWide((dir + L"\\*\\a.jar").c_str()));  // only the last part is a pattern
}

TEST_F(PathPatterns, CharactersNoFileNameHoldsNeverExist) {
    // Windows' FindFirstFile takes '<', '>' and '"' as wildcards that
    // would match lib\a.jar; the quoted path names it with quotes around.
    const std::wstring paths[] = {dir + L"\\lib\\a<", dir + L"\\lib\\a.ja>", dir + L"\\lib\\a\".jar",
                                  dir + L"\\lib\\<", L"\"" + jar_() + L"\""};
    for (const std::wstring& path : paths) {
        std::string narrowed = narrowPath(path.c_str());
        EXPECT_FALSE(pathExistsWide(path.c_str())) << narrowed;
        EXPECT_FALSE(pathExistsNarrow(narrowed.c_str())) << narrowed;
    }
}

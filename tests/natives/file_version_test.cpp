// FileVersion.compare0 over DLLs built with chosen file versions: numeric,
// unsigned, most significant word first; 3 when either version cannot be
// read.
#include <gtest/gtest.h>

#include <cstdio>

#include "native/shell/windows/FileVersion.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using nativetest::besideTestProgram;

std::wstring versioned(const std::wstring& name) { return besideTestProgram(L"file_version_" + name + L".dll"); }

int compare(const std::wstring& first, const std::wstring& second) {
    return nativetest::callExport("FileVersion", "compare0", {fakejni::newString(first), fakejni::newString(second)})
        .asInt();
}

class FileVersionCompare : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    void TearDown() override { EXPECT_EQ(0u, fakejni::openBuffers()); }
};

TEST_F(FileVersionCompare, VersionsCompareAsNumbersNotAsTexts) {
    EXPECT_EQ(2, compare(versioned(L"2_0_0_0"), versioned(L"10_0_0_0")));
    EXPECT_EQ(1, compare(versioned(L"10_0_0_0"), versioned(L"2_0_0_0")));
}

TEST_F(FileVersionCompare, WordsCompareUnsigned) {
    // dwFileVersionMS 0x00010000 against 0x80000000, then the LS words.
    EXPECT_EQ(2, compare(versioned(L"1_0_0_0"), versioned(L"32768_0_0_0")));
    EXPECT_EQ(1, compare(versioned(L"32768_0_0_0"), versioned(L"1_0_0_0")));
    EXPECT_EQ(1, compare(versioned(L"1_0_32768_0"), versioned(L"1_0_1_0")));
    EXPECT_EQ(2, compare(versioned(L"1_0_1_0"), versioned(L"1_0_32768_0")));
    EXPECT_EQ(2, compare(versioned(L"1_0_32768_0"), versioned(L"2_0_0_0")));
}

TEST_F(FileVersionCompare, AFileAgainstItselfIsEqual) {
    EXPECT_EQ(0, compare(versioned(L"10_0_0_0"), versioned(L"10_0_0_0")));
}

TEST_F(FileVersionCompare, AnyFileWithoutAVersionGives3) {
    nativetest::ScratchFolder folder;
    std::wstring text = folder.file(L"plain.txt");
    FILE* file = _wfopen(text.c_str(), L"wb");
    ASSERT_NE(nullptr, file);
    fputs("no version here", file);
    fclose(file);
    std::wstring none = besideTestProgram(L"file_version_none.dll");
    EXPECT_EQ(3, compare(none, versioned(L"2_0_0_0")));
    EXPECT_EQ(3, compare(versioned(L"2_0_0_0"), none));
    EXPECT_EQ(3, compare(none, none));
    EXPECT_EQ(3, compare(text, versioned(L"2_0_0_0")));
    EXPECT_EQ(3, compare(folder.file(L"missing.dll"), versioned(L"2_0_0_0")));
    EXPECT_EQ(3, nativetest::callExport("FileVersion", "compare0", {nullptr, fakejni::newString(versioned(L"2_0_0_0"))})
                     .asInt());
}

// The functions of version.dll replaced, in the copy linked into this
// program.
class FileVersionBinding : public FileVersionCompare {
protected:
    void SetUp() override {
        FileVersionCompare::SetUp();
        saved_ = g_versionFunctions;
    }
    void TearDown() override {
        g_versionFunctions = saved_;
        FileVersionCompare::TearDown();
    }
    static int linkedCompare() {
        return nativetest::callLinked("FileVersion", "compare0", {fakejni::newString(L"a.dll"), fakejni::newString(L"b.dll")})
            .asInt();
    }
    VersionFunctions saved_;
};

DWORD WINAPI sizeOf64(LPCWSTR, LPDWORD) { return 64; }
BOOL WINAPI fillZeros(LPCWSTR, DWORD, DWORD size, LPVOID data) {
    memset(data, 0, size);
    return TRUE;
}
// A root block shorter than VS_FIXEDFILEINFO: there is no version in it.
BOOL WINAPI shortRoot(LPCVOID block, LPCWSTR, LPVOID* buffer, PUINT length) {
    *buffer = const_cast<void*>(block);
    *length = 20;
    return TRUE;
}
BOOL WINAPI fullRoot(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    if (wcscmp(subBlock, L"\\") != 0) return FALSE;
    *buffer = const_cast<void*>(block);
    *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}

TEST_F(FileVersionBinding, AMissingVersionLibraryGives3WithoutAnotherLoad) {
    g_versionFunctions = {nullptr, nullptr, nullptr, true};
    EXPECT_EQ(3, linkedCompare());
    EXPECT_TRUE(g_versionFunctions.getSize == nullptr);
}

TEST_F(FileVersionBinding, ARootBlockTooShortForTheFixedBlockIsUnreadable) {
    g_versionFunctions = {sizeOf64, fillZeros, shortRoot, true};
    EXPECT_EQ(3, linkedCompare());
    g_versionFunctions = {sizeOf64, fillZeros, fullRoot, true};
    EXPECT_EQ(0, linkedCompare());
}

}  // namespace

// FolderInfo natives: special and known folders against the environment
// Wine sets up, registry values, directories, drive types, short and
// universal names; through the linked copy's bindings, the exact calls.
#include <gtest/gtest.h>

#include <shlobj.h>


#include "native/shell/windows/FolderInfo.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using nativetest::lower;

using fakejni::newString;

std::wstring environment(const wchar_t* name) {
    wchar_t value[32768];
    DWORD n = GetEnvironmentVariableW(name, value, 32768);
    return n > 0 && n < 32768 ? std::wstring(value, n) : std::wstring();
}

fakejni::Value folder(jint id, bool common) {
    return nativetest::callExport("FolderInfo", "getSpecialFolder0", {id, common});
}

std::wstring folderText(jint id, bool common) {
    fakejni::Value v = folder(id, common);
    return fakejni::isNull(v.asObject()) ? L"<null>" : lower(v.asText());
}

class FolderInfoNatives : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    void TearDown() override { EXPECT_EQ(0u, fakejni::openBuffers()); }
};

TEST_F(FolderInfoNatives, ApplicationDataIsPerUserOrForAllUsers) {
    ASSERT_FALSE(environment(L"APPDATA").empty());
    EXPECT_EQ(lower(environment(L"APPDATA")), folderText(7, false));
    EXPECT_EQ(lower(environment(L"ALLUSERSPROFILE")), folderText(7, true));
}

TEST_F(FolderInfoNatives, IdsOutsideTheTableGiveTheDesktop) {
    std::wstring desktop = lower(environment(L"USERPROFILE") + L"\\Desktop");
    EXPECT_EQ(desktop, folderText(0, false));
    EXPECT_EQ(desktop, folderText(12, true));
    EXPECT_EQ(desktop, folderText(-5, false));
}

TEST_F(FolderInfoNatives, KnownFoldersIgnoreTheCommonFlag) {
    std::wstring profile = lower(environment(L"USERPROFILE"));
    EXPECT_EQ(profile + L"\\downloads", folderText(1001, false));
    EXPECT_EQ(profile + L"\\downloads", folderText(1001, true));
    EXPECT_EQ(profile, folderText(1500, false));
    EXPECT_EQ(profile, folderText(1500, true));
}

TEST_F(FolderInfoNatives, RegistryValuesOfCurrentVersion) {
    fakejni::Value dir = nativetest::callExport("FolderInfo", "getPathFromRegistry0", {newString(L"ProgramFilesDir")});
    ASSERT_FALSE(fakejni::isNull(dir.asObject()));
    EXPECT_EQ(lower(environment(L"ProgramFiles")), lower(dir.asText()));
    fakejni::Value missing =
        nativetest::callExport("FolderInfo", "getPathFromRegistry0", {newString(L"tvrtest no such value")});
    EXPECT_TRUE(fakejni::isNull(missing.asObject()));
}

// A value that fills the whole buffer without a NUL is read to its end and
// no further. The type is not checked, so binary data shows it (Wine adds
// the NUL to string values that are stored without one).
TEST_F(FolderInfoNatives, ARegistryValueStoredWithoutItsNulEndsWithItsData) {
    const wchar_t* key = L"Software\\Microsoft\\Windows\\CurrentVersion";
    HKEY opened;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &opened));
    std::wstring data(16383, L'A');  // 32766 bytes, no terminator
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(opened, L"tvrtest unterminated", 0, REG_BINARY,
                                            reinterpret_cast<const BYTE*>(data.data()), 16383 * sizeof(wchar_t)));
    fakejni::Value full =
        nativetest::callExport("FolderInfo", "getPathFromRegistry0", {newString(L"tvrtest unterminated")});
    const wchar_t cut[] = L"C:\\cutXYZ";
    RegSetValueExW(opened, L"tvrtest unterminated", 0, REG_BINARY, reinterpret_cast<const BYTE*>(cut),
                   6 * sizeof(wchar_t));
    fakejni::Value shorter =
        nativetest::callExport("FolderInfo", "getPathFromRegistry0", {newString(L"tvrtest unterminated")});
    RegDeleteValueW(opened, L"tvrtest unterminated");
    RegCloseKey(opened);
    ASSERT_FALSE(fakejni::isNull(full.asObject()));
    EXPECT_EQ(data, full.asText());
    ASSERT_FALSE(fakejni::isNull(shorter.asObject()));
    EXPECT_EQ(L"C:\\cut", shorter.asText());
}

TEST_F(FolderInfoNatives, WindowsAndSystemDirectories) {
    wchar_t expected[MAX_PATH];
    GetSystemWindowsDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(expected, nativetest::callExport("FolderInfo", "getWindowsDirectory0", {}).asText());
    GetSystemDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(expected, nativetest::callExport("FolderInfo", "getSystemDirectory0", {}).asText());
}

TEST_F(FolderInfoNatives, DriveTypesPassThrough) {
    EXPECT_EQ(DRIVE_FIXED, nativetest::callExport("FolderInfo", "getDriveType0", {newString(L"C:\\")}).asInt());
    DWORD drives = GetLogicalDrives();
    wchar_t root[] = L"?:\\";
    for (int letter = 25; letter >= 3; --letter)
        if (!(drives & (1u << letter))) {
            root[0] = static_cast<wchar_t>(L'A' + letter);
            break;
        }
    ASSERT_NE(L'?', root[0]);
    EXPECT_EQ(DRIVE_NO_ROOT_DIR, nativetest::callExport("FolderInfo", "getDriveType0", {newString(root)}).asInt());
}

TEST_F(FolderInfoNatives, AShortNameThatCannotBeMadeIsTheVeryArgument) {
    nativetest::ScratchFolder scratch;
    jstring missing = newString(scratch.file(L"no such file with a long name.txt"));
    fakejni::Value result = nativetest::callExport("FolderInfo", "getShortPathName0", {missing});
    EXPECT_TRUE(fakejni::env()->IsSameObject(missing, result.asObject()));
}

TEST_F(FolderInfoNatives, AShortNameRefersToTheSameFile) {
    nativetest::ScratchFolder scratch;
    std::wstring path = scratch.file(L"a rather long file name.text");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    jstring argument = newString(path);
    fakejni::Value result = nativetest::callExport("FolderInfo", "getShortPathName0", {argument});
    ASSERT_FALSE(fakejni::env()->IsSameObject(argument, result.asObject()));
    std::wstring shortPath = result.asText();
    EXPECT_EQ(std::wstring::npos, shortPath.find(L' '));
    wchar_t longPath[MAX_PATH];
    ASSERT_NE(0u, GetLongPathNameW(shortPath.c_str(), longPath, MAX_PATH));
    EXPECT_EQ(lower(path), lower(longPath));
}

TEST_F(FolderInfoNatives, ALocalPathHasNoUniversalNameAndSaysWhy) {
    std::wstring result =
        nativetest::callExport("FolderInfo", "getUniversalPathName0", {newString(L"C:\\windows")}).asText();
    EXPECT_EQ(L";2250", result);  // ERROR_NOT_CONNECTED, on Windows and Wine alike
}

// The linked copy with its bindings replaced by recording doubles.
class FolderBindings : public FolderInfoNatives {
protected:
    void SetUp() override {
        FolderInfoNatives::SetUp();
        saved_ = g_folderFunctions;
        calls_.clear();
    }
    void TearDown() override {
        g_folderFunctions = saved_;
        FolderInfoNatives::TearDown();
    }
    FolderFunctions saved_;

public:
    static std::vector<std::wstring> calls_;
    static HRESULT result_;
};
std::vector<std::wstring> FolderBindings::calls_;
HRESULT FolderBindings::result_ = S_OK;

HRESULT WINAPI recordFolderPath(HWND window, int csidl, HANDLE token, DWORD flags, LPWSTR path) {
    wchar_t call[64];
    swprintf(call, 64, L"%p 0x%x %p %lu %u", window, csidl, token, flags, path[0]);
    FolderBindings::calls_.push_back(call);
    wcscpy(path, L"C:\\folder");
    return FolderBindings::result_;
}

HRESULT WINAPI recordKnownFolder(const GUID& id, DWORD flags, HANDLE token, PWSTR* path) {
    wchar_t call[80];
    swprintf(call, 80, L"%08lx %lu %p", id.Data1, flags, token);
    FolderBindings::calls_.push_back(call);
    if (FAILED(FolderBindings::result_)) return FolderBindings::result_;
    *path = static_cast<PWSTR>(CoTaskMemAlloc(32));
    wcscpy(*path, L"C:\\known");
    return S_OK;
}

DWORD WINAPI universalName(LPCWSTR localPath, DWORD level, LPVOID buffer, LPDWORD size) {
    wchar_t call[80];
    swprintf(call, 80, L"%ls %lu %lu", localPath, level, *size);
    FolderBindings::calls_.push_back(call);
    if (wcscmp(localPath, L"Z:\\fails") == 0) return ERROR_BAD_DEVICE;
    auto* info = static_cast<UNIVERSAL_NAME_INFOW*>(buffer);
    info->lpUniversalName = reinterpret_cast<LPWSTR>(static_cast<BYTE*>(buffer) + sizeof *info);
    wcscpy(info->lpUniversalName, L"\\\\server\\share\\x");
    return NO_ERROR;
}

TEST_F(FolderBindings, EveryCsidlIsAskedForWithCreateAndTheCurrentPath) {
    g_folderFunctions.getFolderPath = recordFolderPath;
    g_folderFunctions.folderPathTried = true;
    result_ = S_OK;
    EXPECT_EQ(L"C:\\folder", nativetest::callLinked("FolderInfo", "getSpecialFolder0", {7, true}).asText());
    nativetest::callLinked("FolderInfo", "getSpecialFolder0", {4, false});
    nativetest::callLinked("FolderInfo", "getSpecialFolder0", {1000, false});
    ASSERT_EQ(3u, calls_.size());
    EXPECT_EQ(L"0000000000000000 0x8023 0000000000000000 0 0", calls_[0]);
    EXPECT_EQ(L"0000000000000000 0x8007 0000000000000000 0 0", calls_[1]);
    EXPECT_EQ(L"0000000000000000 0x8000 0000000000000000 0 0", calls_[2]);
    result_ = E_FAIL;
    EXPECT_TRUE(fakejni::isNull(nativetest::callLinked("FolderInfo", "getSpecialFolder0", {7, true}).asObject()));
    result_ = S_FALSE;  // a folder that does not exist: not S_OK, so no path
    EXPECT_TRUE(fakejni::isNull(nativetest::callLinked("FolderInfo", "getSpecialFolder0", {7, true}).asObject()));
}

TEST_F(FolderBindings, AMissingFolderFunctionGivesNull) {
    g_folderFunctions.getFolderPath = nullptr;
    g_folderFunctions.folderPathTried = true;
    EXPECT_TRUE(fakejni::isNull(nativetest::callLinked("FolderInfo", "getSpecialFolder0", {1, false}).asObject()));
}

TEST_F(FolderBindings, KnownFoldersByIdentifierWithoutFlagsOrToken) {
    g_folderFunctions.getKnownFolderPath = recordKnownFolder;
    result_ = S_OK;
    EXPECT_EQ(L"C:\\known", nativetest::callLinked("FolderInfo", "getSpecialFolder0", {1003, false}).asText());
    nativetest::callLinked("FolderInfo", "getSpecialFolder0", {1002, true});
    result_ = E_INVALIDARG;
    EXPECT_TRUE(fakejni::isNull(nativetest::callLinked("FolderInfo", "getSpecialFolder0", {2000, true}).asObject()));
    ASSERT_EQ(3u, calls_.size());
    EXPECT_EQ(L"bcbd3057 0 0000000000000000", calls_[0]);
    EXPECT_EQ(L"5cd7aee2 0 0000000000000000", calls_[1]);
    EXPECT_EQ(L"5e6c858f 0 0000000000000000", calls_[2]);
}

UINT WINAPI noSystemWindowsDirectory(LPWSTR, UINT size) {
    FolderBindings::calls_.push_back(L"system windows directory " + std::to_wstring(size));
    return 0;
}
UINT WINAPI sharedWindowsDirectory(LPWSTR buffer, UINT size) {
    wcscpy(buffer, L"C:\\shared\\windows");
    return 18;
}

TEST_F(FolderBindings, TheSystemWindowsDirectoryComesFirstThenTheWindowsDirectory) {
    g_folderFunctions.getSystemWindowsDirectory = sharedWindowsDirectory;
    EXPECT_EQ(L"C:\\shared\\windows", nativetest::callLinked("FolderInfo", "getWindowsDirectory0", {}).asText());
    g_folderFunctions.getSystemWindowsDirectory = noSystemWindowsDirectory;
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(windows, nativetest::callLinked("FolderInfo", "getWindowsDirectory0", {}).asText());
    EXPECT_EQ(std::vector<std::wstring>{L"system windows directory 32767"}, calls_);
}

TEST_F(FolderBindings, UniversalNamesOrTheErrorCodeAsText) {
    g_folderFunctions.getUniversalName = universalName;
    EXPECT_EQ(L"\\\\server\\share\\x",
              nativetest::callLinked("FolderInfo", "getUniversalPathName0", {newString(L"Z:\\x")}).asText());
    EXPECT_EQ(L";1200",
              nativetest::callLinked("FolderInfo", "getUniversalPathName0", {newString(L"Z:\\fails")}).asText());
    ASSERT_EQ(2u, calls_.size());
    EXPECT_EQ(L"Z:\\x 1 65534", calls_[0]);
}

}  // namespace

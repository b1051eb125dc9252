#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/runtime/FakeRuntime.h"
#include "tools/pack/Image.h"

namespace {

std::wstring environmentPath(const wchar_t* name) {
    wchar_t value[4096];
    DWORD n = GetEnvironmentVariableW(name, value, 4096);
    if (n == 0 || n >= 4096) return std::wstring();
    std::wstring path(value, n);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

}  // namespace

std::string narrowUtf8(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring wideUtf8(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

ScratchDir::ScratchDir(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"lrx_e2e_" + name + L"_" + std::to_wstring(GetCurrentProcessId());
    fake_runtime::removeTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { fake_runtime::removeTree(path_); }

void layOutSampleApplication(const ScratchDir& dir) {
    for (const wchar_t* d : {L"bin", L"tmp", L"lib", L"lib\\common", L"lib\\server"})
        CreateDirectoryW(dir.file(d).c_str(), nullptr);
    fake_runtime::installJava(dir.file(L"jre"), fake_runtime::javaVersion("1.8.0_301"));
    fake_runtime::makeDirectories(dir.file(L"jre\\bin\\server"));
    CopyFileW(fake_runtime::environmentValue(L"LRX_STUB_JVM").c_str(), dir.file(L"jre\\bin\\server\\jvm.dll").c_str(),
              FALSE);
}

std::vector<std::wstring> ScratchDir::list(const wchar_t* pattern) const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path_ + L"\\" + pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring launcherImagePath() { return environmentPath(L"LRX_LAUNCHER"); }
std::wstring probeImagePath() { return environmentPath(L"LRX_PROBE"); }
std::wstring instanceProbeImagePath() { return environmentPath(L"LRX_INSTANCE_PROBE"); }
std::wstring optionsProbeImagePath() { return environmentPath(L"LRX_OPTIONS_PROBE"); }

LauncherDescription sampleDescription() {
    std::string path = narrowUtf8(environmentPath(L"LRX_SOURCE_DIR") + L"\\samples\\orvane.launcher");
    LauncherDescription description;
    std::string error;
    EXPECT_TRUE(loadDescription(path, description, error)) << error;
    return description;
}

void packTo(const std::wstring& exePath, const LauncherDescription& description, const std::wstring& image) {
    std::vector<uint8_t> packed;
    std::string error;
    ASSERT_TRUE(packLauncher(readBytes(image), description, packed, error)) << error;
    writeBytes(exePath, packed);
}

std::vector<uint8_t> readBytes(const std::wstring& path) {
    std::vector<uint8_t> data;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!data.empty()) ReadFile(file, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    data.resize(got);
    CloseHandle(file);
    return data;
}

std::string readText(const std::wstring& path) {
    std::vector<uint8_t> data = readBytes(path);
    return std::string(data.begin(), data.end());
}

void writeBytes(const std::wstring& path, const std::vector<uint8_t>& data) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, data.size());
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring commandLine(const std::wstring& exe, const std::wstring& arguments) {
    return L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
}

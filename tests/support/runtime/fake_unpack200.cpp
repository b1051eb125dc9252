// Stands in for a runtime's bin\unpack200.exe.
//
// For the arguments [-r] PACK JAR it writes PACK's bytes to JAR and exits
// with 0 (PACK stays; the launcher deletes it).  When unpack200.txt beside
// itself says exit=N with N non-zero, it writes only the first half of the
// bytes and exits with N: an unpacker that fails half-way.  With
// "removed" in that file as well, it writes all of the bytes, deletes
// PACK as -r asks, and still exits with N: an unpacker that fails after
// its work was done.  Every run
// appends its whole command line to unpack200.runs beside itself.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/runtime/FakeRuntime.h"

namespace {

std::wstring ownDirectory() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring dir(path, n);
    return dir.substr(0, dir.rfind(L'\\') + 1);
}

void recordRun(const std::wstring& dir) {
    std::wstring line = std::wstring(GetCommandLineW()) + L"\r\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, &text[0], n, nullptr, nullptr);
    HANDLE file = CreateFileW((dir + L"unpack200.runs").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string behaviour(const std::wstring& dir) {
    return fake_runtime::exists(dir + L"unpack200.txt") ? fake_runtime::readText(dir + L"unpack200.txt") : "";
}

int configuredExitCode(const std::string& behaviour) {
    size_t pos = behaviour.find("exit=");
    return pos == std::string::npos ? 0 : std::atoi(behaviour.c_str() + pos + 5);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring dir = ownDirectory();
    recordRun(dir);
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != L'-') files.push_back(argv[i]);
    if (files.size() != 2) return 2;

    if (!fake_runtime::exists(files[0])) return 3;
    std::string data = fake_runtime::readText(files[0]);
    const std::string configured = behaviour(dir);
    int exitCode = configuredExitCode(configured);
    bool removesPack = configured.find("removed") != std::string::npos;
    if (exitCode != 0 && !removesPack) data.resize(data.size() / 2);
    if (!fake_runtime::writeText(files[1], data)) return 4;
    if (removesPack) DeleteFileW(files[0].c_str());
    return exitCode;
}

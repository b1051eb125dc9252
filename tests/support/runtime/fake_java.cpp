// Stands in for a runtime's java.exe (and, copied, javaw.exe).
//
// Beside itself it reads fakejava.txt, one setting a line:
//   stderr=TEXT   a line printed on standard error, in order; without any,
//                 it prints: java version "1.8.0_301"
//   exit=N        its exit code (default 0)
//   hang=MS       sleeps that long first (a runtime that does not answer)
// Every run first appends its command line to fakejava.runs beside itself,
// and its own long path to the file that LRX_FAKE_JAVA_LOG names, if set:
// the tests count runs and see the order of runs across several runtimes.
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

void appendLine(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string utf8(const std::wstring& wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

struct Behaviour {
    std::vector<std::string> lines;
    int exitCode = 0;
    DWORD hangMillis = 0;
};

Behaviour readBehaviour(const std::wstring& dir) {
    Behaviour behaviour;
    std::string text = fake_runtime::readText(dir + L"fakejava.txt");
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end + 1;
        if (line.compare(0, 7, "stderr=") == 0)
            behaviour.lines.push_back(line.substr(7));
        else if (line.compare(0, 5, "exit=") == 0)
            behaviour.exitCode = std::atoi(line.c_str() + 5);
        else if (line.compare(0, 5, "hang=") == 0)
            behaviour.hangMillis = static_cast<DWORD>(std::atol(line.c_str() + 5));
    }
    if (behaviour.lines.empty()) behaviour.lines.push_back("java version \"1.8.0_301\"");
    return behaviour;
}

void recordRun(const std::wstring& dir) {
    appendLine(dir + L"fakejava.runs", utf8(GetCommandLineW()));
    wchar_t log[MAX_PATH * 4];
    DWORD n = GetEnvironmentVariableW(L"LRX_FAKE_JAVA_LOG", log, MAX_PATH * 4);
    if (n > 0 && n < MAX_PATH * 4) {
        // The long form: the launcher may have started it by its 8.3 name.
        wchar_t self[MAX_PATH * 4], longSelf[MAX_PATH * 4];
        GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
        DWORD length = GetLongPathNameW(self, longSelf, MAX_PATH * 4);
        appendLine(log, utf8(length > 0 && length < MAX_PATH * 4 ? longSelf : self));
    }
}

}  // namespace

int wmain() {
    std::wstring dir = ownDirectory();
    recordRun(dir);
    Behaviour behaviour = readBehaviour(dir);
    if (behaviour.hangMillis) Sleep(behaviour.hangMillis);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    for (const std::string& line : behaviour.lines) {
        std::string text = line + "\r\n";
        DWORD written = 0;
        if (err && err != INVALID_HANDLE_VALUE)
            WriteFile(err, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    return behaviour.exitCode;
}

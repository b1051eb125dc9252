#include "tests/support/ChildProcess.h"

#include <thread>

namespace {

// Reads a pipe until the writer closes it.
void drain(HANDLE pipe, std::string* into) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) into->append(buffer, n);
}

std::wstring variableName(const std::wstring& entry) { return entry.substr(0, entry.find(L'=')); }

bool sameName(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// This process's environment with the options' entries added or replaced,
// as a CreateProcessW block.
std::wstring environmentBlock(const std::vector<std::wstring>& changes) {
    std::vector<std::wstring> entries;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        std::wstring entry = p;
        bool replaced = false;
        for (const std::wstring& c : changes) replaced |= sameName(variableName(c), variableName(entry));
        if (!replaced) entries.push_back(entry);
    }
    FreeEnvironmentStringsW(block);
    for (size_t i = 0; i < changes.size(); ++i) {
        bool overridden = false;  // a later change of the same name wins
        for (size_t j = i + 1; j < changes.size(); ++j)
            overridden |= sameName(variableName(changes[i]), variableName(changes[j]));
        if (!overridden && changes[i].back() != L'=') entries.push_back(changes[i]);  // "NAME=" removes it
    }
    std::wstring out;
    for (const std::wstring& e : entries) {
        out += e;
        out += L'\0';
    }
    out += L'\0';
    return out;
}

BOOL CALLBACK findBox(HWND window, LPARAM param) {
    auto* seen = reinterpret_cast<std::pair<DWORD, HWND>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[64];
    if (pid == seen->first && GetClassNameW(window, className, 64) && wcscmp(className, L"#32770") == 0) {
        seen->second = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring windowText(HWND window) {
    wchar_t text[8192];
    int n = GetWindowTextW(window, text, 8192);
    return std::wstring(text, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

ChildResult runChild(const std::wstring& commandLine, const ChildOptions& options) {
    ChildResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = outWrite;
    si.hStdError = errWrite;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    std::wstring env = environmentBlock(options.environment);
    result.started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE,
                                    CREATE_UNICODE_ENVIRONMENT | options.creationFlags,
                                    &env[0], options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
                                    &si, &pi) != FALSE;
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    CloseHandle(nul);
    std::thread outReader(drain, outRead, &result.out);
    std::thread errReader(drain, errRead, &result.err);

    if (result.started) {
        DWORD waited = 0;
        while (WaitForSingleObject(pi.hProcess, 100) == WAIT_TIMEOUT) {
            if (options.whileRunning) options.whileRunning(pi.dwProcessId);
            waited += 100;
            if (waited >= options.timeoutMs) {
                result.timedOut = true;
                TerminateProcess(pi.hProcess, 99);
                WaitForSingleObject(pi.hProcess, INFINITE);
                break;
            }
        }
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    outReader.join();
    errReader.join();
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}

HANDLE startChild(const std::wstring& commandLine, const std::vector<std::wstring>& environment) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    std::wstring env = environmentBlock(environment);
    BOOL started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT, &env[0],
                                  nullptr, &si, &pi);
    CloseHandle(nul);
    if (!started) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

MessageBoxSeen answerMessageBox(DWORD processId) {
    MessageBoxSeen seen;
    std::pair<DWORD, HWND> search{processId, nullptr};
    EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    if (!search.second) return seen;
    // The message text is the static control with id 0xFFFF; until the box
    // is fully built it may not exist or be empty yet: try again later.
    HWND text = GetDlgItem(search.second, 0xFFFF);
    if (!text || !IsWindowVisible(search.second)) return seen;
    seen.text = windowText(text);
    if (seen.text.empty()) return seen;
    seen.found = true;
    seen.caption = windowText(search.second);
    PostMessageW(search.second, WM_COMMAND, IDOK, 0);
    return seen;
}

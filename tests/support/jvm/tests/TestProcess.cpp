#include "tests/support/jvm/tests/TestProcess.h"

#include <thread>

namespace {

struct Handle {
    HANDLE h = nullptr;
    ~Handle() { close(); }
    void close() {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
        h = nullptr;
    }
};

void drain(HANDLE pipe, std::string* into) {
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0) into->append(buffer, n);
}

// Writes the input and closes the pipe, so the child sees the end of input.
void feed(HANDLE pipe, std::string input) {
    DWORD written = 0;
    if (!input.empty()) WriteFile(pipe, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
    CloseHandle(pipe);
}

}  // namespace

ProcessResult runProcess(const std::wstring& commandLine, const std::string& input, DWORD timeoutMs) {
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle inRead, outRead, outWrite, errRead, errWrite;
    HANDLE inWrite = nullptr;
    CreatePipe(&inRead.h, &inWrite, &inherit, 0);
    CreatePipe(&outRead.h, &outWrite.h, &inherit, 0);
    CreatePipe(&errRead.h, &errWrite.h, &inherit, 0);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead.h, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.h, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = inRead.h;
    si.hStdOutput = outWrite.h;
    si.hStdError = errWrite.h;
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    DWORD start = GetTickCount();
    result.started = CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi) != FALSE;
    inRead.close();
    outWrite.close();
    errWrite.close();
    std::thread writer(feed, inWrite, input);
    std::thread outReader(drain, outRead.h, &result.out);
    std::thread errReader(drain, errRead.h, &result.err);
    if (result.started) {
        if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_TIMEOUT) {
            result.timedOut = true;
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, INFINITE);
        }
        result.elapsedMs = GetTickCount() - start;
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    writer.join();
    outReader.join();
    errReader.join();
    return result;
}

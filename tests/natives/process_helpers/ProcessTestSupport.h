// Child processes of the process, window and pipe tests: the helpers built
// beside the test program, started with CreateProcessW and ended (if still
// running) when the object goes.
#pragma once
#include <windows.h>

#include <string>

#include "tests/natives/NativeTestSupport.h"

namespace proctest {

class Child {
public:
    Child() = default;
    ~Child() { end(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child(Child&& other) noexcept : info_(other.info_) { other.info_ = {}; }

    // Starts `program` beside the test program with the arguments; false
    // when it cannot be started.
    bool start(const std::wstring& program, const std::wstring& arguments) {
        std::wstring path = nativetest::besideTestProgram(program);
        std::wstring line = L"\"" + path + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        return CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &info_) != 0;
    }
    DWORD pid() const { return info_.dwProcessId; }
    HANDLE process() const { return info_.hProcess; }
    bool endsWithin(DWORD milliseconds) const {
        return info_.hProcess && WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0;
    }
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }
    void end() {
        if (!info_.hProcess) return;
        if (WaitForSingleObject(info_.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(info_.hProcess, 9);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
        info_ = {};
    }

private:
    PROCESS_INFORMATION info_ = {};
};

// A window_owner.exe in the given mode whose windows exist on return (its
// ready event was set); a child that did not start has pid 0.
inline Child startWindowOwner(const std::wstring& mode, const std::wstring& title) {
    static unsigned counter = 0;
    std::wstring eventName =
        L"tvrtest_owner_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    Child child;
    bool started = child.start(L"window_owner.exe", mode + L" \"" + title + L"\" " + eventName);
    HANDLE waits[2] = {ready, child.process()};
    if (!started || WaitForMultipleObjects(2, waits, FALSE, 20000) != WAIT_OBJECT_0) child.end();
    CloseHandle(ready);
    return child;
}

}  // namespace proctest

// The service process: started by the service control manager, it runs
// the application in a child process of the same executable (with the
// restart marker), drains the child's output, forwards a stop or shutdown
// request to the child's standard input, and reports the service stopped
// when the child ends.
#include "launcher/service/windows/ServiceHost.h"

#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/service/ServiceText.h"

// Makes the child's pipes; a test program replaces it to fail on purpose.
BOOL(WINAPI* g_createServicePipe)(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD) = CreatePipe;

namespace {

constexpr DWORD kWaitHintMs = 50000;
constexpr DWORD kChildStartFailure = 5000;
constexpr DWORD kDrainChunk = 6000;

SERVICE_STATUS g_status;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_shutdownWrite = nullptr;  // the child's standard input, our end

void resetStatus() {
    g_status.dwServiceType = SERVICE_WIN32;
    g_status.dwCurrentState = SERVICE_RUNNING;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    g_status.dwWin32ExitCode = 0;
    g_status.dwServiceSpecificExitCode = 0;
    g_status.dwCheckPoint = 0;
    g_status.dwWaitHint = kWaitHintMs;
}

bool reportStatus() { return SetServiceStatus(g_statusHandle, &g_status) != FALSE; }

// "0\n" on the child's standard input is its request to shut down.
void sendStopRequest() {
    logLine(L"sending shutdown1 %d", 0);
    DWORD written = 0;
    if (!WriteFile(g_shutdownWrite, "0\n", 2, &written, nullptr)) {
        logLine(L"sending shutdown failed");
        logLine(L"error code %d", static_cast<int>(GetLastError()));
    }
    CloseHandle(g_shutdownWrite);
    g_shutdownWrite = nullptr;
    logLine(L"shutdown sent");
}

void WINAPI controlHandler(DWORD control) {
    logLine(L"control handler request %d", static_cast<int>(control));
    if (control == SERVICE_CONTROL_STOP) {
        g_status.dwCurrentState = SERVICE_STOP_PENDING;
        if (!reportStatus()) logLine(L"SetServiceStatus 2 failed %d", static_cast<int>(GetLastError()));
        sendStopRequest();
    } else if (control == SERVICE_CONTROL_SHUTDOWN) {
        ++g_status.dwCheckPoint;
        g_status.dwCurrentState = SERVICE_STOP_PENDING;
        if (!reportStatus()) logLine(L"SetServiceStatus 1 failed %d", static_cast<int>(GetLastError()));
        sendStopRequest();
    } else if (!reportStatus()) {
        logLine(L"SetServiceStatus 3 failed %d", static_cast<int>(GetLastError()));
    }
}

// Reads the child's output until every writer has closed it; nobody looks
// at it, but a full pipe would block the child.
DWORD WINAPI drainOutput(LPVOID pipe) {
    logLine(L"consuming output");
    std::vector<char> chunk(kDrainChunk);
    DWORD got = 0;
    while (ReadFile(static_cast<HANDLE>(pipe), chunk.data(), kDrainChunk, &got, nullptr) && got > 0) {
    }
    CloseHandle(static_cast<HANDLE>(pipe));
    logLine(L"consuming output done");
    return 0;
}

// An inheritable pipe whose `privateEnd` (0 read, 1 write) is not inherited.
bool createPipe(HANDLE ends[2], int privateEnd, const wchar_t* createError, const wchar_t* inheritError) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!g_createServicePipe(&ends[0], &ends[1], &inherit, 0)) {
        logLine(createError, static_cast<int>(GetLastError()));
        return false;
    }
    if (!SetHandleInformation(ends[privateEnd], HANDLE_FLAG_INHERIT, 0)) {
        logLine(inheritError, static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

void reportChildStartFailure() {
    g_status.dwCurrentState = SERVICE_STOPPED;
    g_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = kChildStartFailure;
    reportStatus();
}

}  // namespace

void superviseChild(std::wstring commandLine) {
    HANDLE output[2], shutdown[2];
    if (!createPipe(output, 0, L"CreatePipe error (%d)", L"SetHandleInformation error (%d)")) return;
    if (!createPipe(shutdown, 1, L"CreatePipe error 2 (%d)", L"SetHandleInformation error 2 (%d)")) return;
    g_shutdownWrite = shutdown[1];

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = shutdown[0];
    startup.hStdOutput = output[1];
    startup.hStdError = output[1];
    PROCESS_INFORMATION child{};
    DWORD priority = childPriority(runState().serviceName);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, priority | DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &child)) {
        logLine(L"could not start process %s (%d)", commandLine.c_str(), static_cast<int>(GetLastError()));
        reportChildStartFailure();
        return;
    }
    UniqueHandle process(child.hProcess), thread(child.hThread);
    CloseHandle(output[1]);
    CloseHandle(shutdown[0]);
    HANDLE drain = CreateThread(nullptr, 0, drainOutput, output[0], 0, nullptr);
    if (drain) CloseHandle(drain);
    reportStatus();

    ignoreConsoleEvents();

    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    logLine(L"process terminated with exit code %d", static_cast<int>(exitCode));
    if (exitCode == 0 || g_status.dwCurrentState == SERVICE_STOP_PENDING) {
        g_status.dwCurrentState = SERVICE_STOPPED;
        if (!reportStatus()) logLine(L"SetServiceStatus 10 failed %d", static_cast<int>(GetLastError()));
        logLine(L"service stopped set");
    }
}

const SERVICE_STATUS& serviceStatus() { return g_status; }

namespace {

void WINAPI serviceMain(DWORD argc, LPWSTR* argv) {
    logLine(L"service main");
    resetStatus();
    const wchar_t* name = argc > 0 && argv[0][0] && wcslen(argv[0]) < kBufferChars ? argv[0] : L"unknown";
    setServiceName(name);
    logLine(L"service name is '%s'", runState().serviceName);

    g_statusHandle = RegisterServiceCtrlHandlerW(runState().serviceName, controlHandler);
    if (!g_statusHandle) return;
    reportStatus();

    ArgumentVector own;
    splitCommandLine(GetCommandLineW(), own);
    ArgumentVector manager(argv, argv + argc);
    superviseChild(childCommandLine(own, runState().serviceName, manager));
    logLine(L"exiting");
    // Ends the process on every way out of the supervision, also when the
    // child's pipes could not be made (the service still reported running)
    // or the child could not start (reported stopped).  Returning would
    // leave a service reported running with nothing behind it.
    exit(0);
}

}  // namespace

DWORD childPriority(const wchar_t* serviceName) {
    HKEY key;
    DWORD priority = NORMAL_PRIORITY_CLASS;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPriorityKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return priority;
    DWORD value = 0, size = sizeof value;
    if (RegQueryValueExW(key, serviceName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
        size == sizeof value) {
        logLine(L"using priority %d", static_cast<int>(value));
        priority = value;
    }
    RegCloseKey(key);
    return priority;
}

int runServiceDispatcher() {
    logLine(L"calling StartServiceCtrlDispatcher");
    SERVICE_TABLE_ENTRYW table[] = {{runState().serviceName, serviceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table))
        logLine(L"StartServiceCtrlDispatcher failed with error %d", static_cast<int>(GetLastError()));
    logLine(L"StartServiceCtrlDispatcher returned");
    return 0;
}

// The service process: started by the service control manager, it runs
// the application in a child process of the same executable (with the
// restart marker), drains the child's output, forwards a stop or shutdown
// request to the child's standard input, and reports the service stopped
// when the child ends.
#include "launcher/config/windows/RegistryFunctions.h"
#include "launcher/service/windows/ServiceHost.h"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/service/FailureText.h"
#include "launcher/service/OutputTail.h"
#include "launcher/service/ServiceText.h"
#include "launcher/service/windows/EventLog.h"

// Makes the child's pipes; a test program replaces it to fail on purpose.
BOOL(WINAPI* g_createServicePipe)(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD) = CreatePipe;
// Starts the thread that drains the child's output; replaceable the same way.
HANDLE(WINAPI* g_createDrainThread)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                    LPDWORD) = CreateThread;

namespace {

constexpr DWORD kWaitHintMs = 50000;
constexpr DWORD kChildStartFailure = 5000;
constexpr DWORD kDrainChunk = 6000;
// How long the event waits for the drain to read what the ended child
// left in the pipe (it waits in vain only when another process holds the
// pipe's write end).
constexpr DWORD kDrainFinishMs = 2000;
// How long a child whose output nobody drains may take to follow the stop
// request before it is ended.
constexpr DWORD kUndrainedStopMs = 10000;

class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void lock() { EnterCriticalSection(&section_); }
    void unlock() { LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

SERVICE_STATUS g_status;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
HANDLE g_shutdownWrite = nullptr;  // the child's standard input, our end
// The control handler runs on the dispatcher's thread while the supervision
// runs: both change the reported state under this lock.
CriticalSection g_statusLock;
// Set by a stop or shutdown before it looks for the pipe, so that the
// supervision sends a request that came before the pipe existed.
volatile LONG g_stopRequested = 0;

}  // namespace

void resetServiceStatus() {
    g_stopRequested = 0;
    g_status.dwServiceType = SERVICE_WIN32;
    g_status.dwCurrentState = SERVICE_RUNNING;
    g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
    g_status.dwWin32ExitCode = 0;
    g_status.dwServiceSpecificExitCode = 0;
    g_status.dwCheckPoint = 0;
    g_status.dwWaitHint = kWaitHintMs;
}

namespace {

bool reportStatus() { return SetServiceStatus(g_statusHandle, &g_status) != FALSE; }

// "0\n" on the child's standard input is its request to shut down.
void sendStopRequest() {
    logLine(L"sending shutdown1 %d", 0);
    // Taken, so that a second request and the supervision's end never
    // close it twice.
    HANDLE pipe = InterlockedExchangePointer(&g_shutdownWrite, nullptr);
    DWORD written = 0;
    if (!WriteFile(pipe, "0\n", 2, &written, nullptr)) {
        DWORD error = GetLastError();  // before the log's own calls change it
        logLine(L"sending shutdown failed");
        logLine(L"error code %d", static_cast<int>(error));
    }
    if (pipe) CloseHandle(pipe);
    logLine(L"shutdown sent");
}

// A stop or shutdown: stop pending, unless the supervision has reported
// the service stopped already (a late request then changes nothing).
void enterStopPending(DWORD control) {
    g_statusLock.lock();
    bool stopped = g_status.dwCurrentState == SERVICE_STOPPED;
    if (!stopped) {
        if (control == SERVICE_CONTROL_SHUTDOWN) ++g_status.dwCheckPoint;
        g_status.dwCurrentState = SERVICE_STOP_PENDING;
        if (!reportStatus())
            logLine(L"SetServiceStatus %d failed %d", control == SERVICE_CONTROL_STOP ? 2 : 1,
                    static_cast<int>(GetLastError()));
    }
    g_statusLock.unlock();
    if (stopped) return;
    InterlockedExchange(&g_stopRequested, 1);
    sendStopRequest();
}

// Sends a stop request that came while the pipe did not exist yet; a
// request that finds the pipe sends it itself.
void sendEarlyStopRequest() {
    if (InterlockedCompareExchange(&g_stopRequested, 0, 0) && g_shutdownWrite) sendStopRequest();
}

}  // namespace

void WINAPI serviceControlHandler(DWORD control) {
    logLine(L"control handler request %d", static_cast<int>(control));
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        enterStopPending(control);
        return;
    }
    g_statusLock.lock();
    if (!reportStatus()) logLine(L"SetServiceStatus 3 failed %d", static_cast<int>(GetLastError()));
    g_statusLock.unlock();
}

namespace {

// The child's output as the drain thread reads it: the pipe and the tail
// it keeps.  Shared by the drain thread and the supervision, so that a
// drain that outlives the supervision still has it.
struct OutputDrain {
    explicit OutputDrain(HANDLE readEnd) : pipe(readEnd) {}
    UniqueHandle pipe;
    CriticalSection lock;
    OutputTail tail;

    void keep(const char* data, size_t size) {
        lock.lock();
        tail.append(data, size);
        lock.unlock();
    }
    std::string keptText() {
        lock.lock();
        std::string text = tail.text();
        lock.unlock();
        return text;
    }
};

// Reads the child's output until every writer has closed it, keeping its
// last bytes for the event log; a full pipe would block the child.
DWORD WINAPI drainOutput(LPVOID shared) {
    std::unique_ptr<std::shared_ptr<OutputDrain>> handed(static_cast<std::shared_ptr<OutputDrain>*>(shared));
    std::shared_ptr<OutputDrain> drain = *handed;
    logLine(L"consuming output");
    std::vector<char> chunk(kDrainChunk);
    DWORD got = 0;
    while (ReadFile(drain->pipe.get(), chunk.data(), kDrainChunk, &got, nullptr) && got > 0)
        drain->keep(chunk.data(), got);
    drain->pipe.reset();
    logLine(L"consuming output done");
    return 0;
}

// Starts the drain thread; its handle, or an invalid one (and `error`)
// when it could not start.
UniqueHandle startDrain(const std::shared_ptr<OutputDrain>& drain, DWORD& error) {
    auto* handed = new std::shared_ptr<OutputDrain>(drain);
    HANDLE thread = g_createDrainThread(nullptr, 0, drainOutput, handed, 0, nullptr);
    if (!thread) {
        error = GetLastError();
        logLine(L"could not start the output drain (%d)", static_cast<int>(error));
        delete handed;
    }
    return UniqueHandle(thread);
}

// A child whose output nobody reads would block once the pipe is full.
// Closing the pipe's only read end makes its writes fail instead; then it
// gets the stop request, and is ended when it does not follow it.
void stopUndrainedChild(HANDLE process, OutputDrain& drain) {
    drain.pipe.reset();
    sendStopRequest();
    if (WaitForSingleObject(process, kUndrainedStopMs) == WAIT_OBJECT_0) return;
    logLine(L"ending the child");
    TerminateProcess(process, 1);
    WaitForSingleObject(process, kUndrainedStopMs);
}

// An inheritable pipe whose `privateEnd` (0 read, 1 write) is not inherited.
bool createPipe(UniqueHandle ends[2], int privateEnd, const wchar_t* createError, const wchar_t* inheritError) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    if (!g_createServicePipe(&read, &write, &inherit, 0)) {
        logLine(createError, static_cast<int>(GetLastError()));
        return false;
    }
    ends[0].reset(read);
    ends[1].reset(write);
    if (!SetHandleInformation(ends[privateEnd].get(), HANDLE_FLAG_INHERIT, 0)) {
        logLine(inheritError, static_cast<int>(GetLastError()));
        return false;
    }
    return true;
}

std::u16string utf16(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

void reportChildStartFailure(DWORD error, const std::wstring& commandLine) {
    // The event goes first: once the last service reports stopped, the
    // dispatcher returns and the process may end.
    reportServiceError(runState().serviceName,
                       wide(applicationNotStartedText(utf16(runState().serviceName), error, utf16(commandLine))));
    g_statusLock.lock();
    g_status.dwCurrentState = SERVICE_STOPPED;
    g_status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    g_status.dwServiceSpecificExitCode = kChildStartFailure;
    reportStatus();
    g_statusLock.unlock();
}

// The child ended on its own with a failure: the event log gets its exit
// code and the end of what it wrote.
void reportApplicationFailure(DWORD exitCode, OutputDrain& drain, HANDLE drainThread) {
    if (drainThread) WaitForSingleObject(drainThread, kDrainFinishMs);
    std::wstring output = wideFromAnsi(drain.keptText());
    reportServiceError(runState().serviceName,
                       wide(applicationEndedText(utf16(runState().serviceName), exitCode, utf16(output))));
}

// Closes our end of the shutdown pipe unless a stop request already did.
void closeShutdownPipe() {
    HANDLE write = InterlockedExchangePointer(&g_shutdownWrite, nullptr);
    if (write) CloseHandle(write);
}

}  // namespace

void superviseChild(std::wstring commandLine) {
    UniqueHandle output[2], shutdown[2];
    if (!createPipe(output, 0, L"CreatePipe error (%d)", L"SetHandleInformation error (%d)")) return;
    if (!createPipe(shutdown, 1, L"CreatePipe error 2 (%d)", L"SetHandleInformation error 2 (%d)")) return;
    InterlockedExchangePointer(&g_shutdownWrite, shutdown[1].release());
    sendEarlyStopRequest();

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = shutdown[0].get();
    startup.hStdOutput = output[1].get();
    startup.hStdError = output[1].get();
    PROCESS_INFORMATION child{};
    DWORD priority = childPriority(runState().serviceName);
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, priority | DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &child)) {
        DWORD error = GetLastError();
        logLine(L"could not start process %s (%d)", commandLine.c_str(), static_cast<int>(error));
        reportChildStartFailure(error, commandLine);
        closeShutdownPipe();
        return;
    }
    UniqueHandle process(child.hProcess), thread(child.hThread);
    output[1].reset();
    shutdown[0].reset();
    // Not make_shared: built without type information, it would link the
    // runtime's shared_ptr support and, with it, winpthread.
    std::shared_ptr<OutputDrain> drain(new OutputDrain(output[0].release()));
    DWORD drainError = 0;
    UniqueHandle drainThread = startDrain(drain, drainError);
    if (!drainThread.valid()) {
        stopUndrainedChild(process.get(), *drain);
        reportChildStartFailure(drainError, commandLine);
        closeShutdownPipe();
        return;
    }
    g_statusLock.lock();
    reportStatus();
    g_statusLock.unlock();

    ignoreConsoleEvents();

    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    logLine(L"process terminated with exit code %d", static_cast<int>(exitCode));
    g_statusLock.lock();
    bool stopRequested = g_status.dwCurrentState == SERVICE_STOP_PENDING;
    bool stopped = exitCode == 0 || stopRequested;
    if (stopped) {
        g_status.dwCurrentState = SERVICE_STOPPED;
        if (!reportStatus()) logLine(L"SetServiceStatus 10 failed %d", static_cast<int>(GetLastError()));
    }
    g_statusLock.unlock();
    if (stopped)
        logLine(L"service stopped set");
    else
        reportApplicationFailure(exitCode, *drain, drainThread.get());
    closeShutdownPipe();
}

const SERVICE_STATUS& serviceStatus() { return g_status; }

namespace {

void WINAPI serviceMain(DWORD argc, LPWSTR* argv) {
    logLine(L"service main");
    resetServiceStatus();
    const wchar_t* name = argc > 0 && argv[0][0] && wcslen(argv[0]) < kBufferChars ? argv[0] : L"unknown";
    setServiceName(name);
    logLine(L"service name is '%s'", runState().serviceName);

    g_statusHandle = RegisterServiceCtrlHandlerW(runState().serviceName, serviceControlHandler);
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

// The value becomes part of the child's creation flags, where any other
// bit would start it suspended, under a debugger or without its pipes.
bool isPriorityClass(DWORD value) {
    switch (value) {
    case IDLE_PRIORITY_CLASS:
    case BELOW_NORMAL_PRIORITY_CLASS:
    case NORMAL_PRIORITY_CLASS:
    case ABOVE_NORMAL_PRIORITY_CLASS:
    case HIGH_PRIORITY_CLASS:
    case REALTIME_PRIORITY_CLASS: return true;
    default: return false;
    }
}

}  // namespace

DWORD childPriority(const wchar_t* serviceName) {
    HKEY key;
    DWORD priority = NORMAL_PRIORITY_CLASS;
    if (registry().openKeyA(HKEY_LOCAL_MACHINE, kPriorityKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return priority;
    DWORD value = 0, size = sizeof value;
    if (registry().queryValueW(key, serviceName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        size == sizeof value) {
        if (isPriorityClass(value)) {
            logLine(L"using priority %d", static_cast<int>(value));
            priority = value;
        } else {
            logLine(L"ignoring priority %d: not a priority class", static_cast<int>(value));
        }
    }
    registry().closeKey(key);
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

// A minimal service program of ours, for the service tests and the
// benchmark floor: it reports its states and does nothing else.
//   mini_service.exe            stops at once on a stop request
//   mini_service.exe slow-stop  on a stop request reports stop-pending with
//                               a wait hint of 1 s and a check point that
//                               never advances, then stops after 4 s
//   mini_service.exe record-args FILE
//                               writes the arguments of its service main,
//                               one a line (UTF-16), to FILE as it starts
#include <windows.h>

#include <cwchar>

namespace {

SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status{SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0};
HANDLE g_stopped = nullptr;
bool g_slowStop = false;
const wchar_t* g_argumentsFile = nullptr;

void recordArguments(DWORD argc, LPWSTR* argv) {
    HANDLE file = CreateFileW(g_argumentsFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    for (DWORD i = 0; i < argc; ++i) {
        DWORD written;
        WriteFile(file, argv[i], static_cast<DWORD>(wcslen(argv[i]) * sizeof(wchar_t)), &written, nullptr);
        WriteFile(file, L"\n", sizeof(wchar_t), &written, nullptr);
    }
    CloseHandle(file);
}

void report(DWORD state, DWORD waitHint = 0) {
    g_status.dwCurrentState = state;
    g_status.dwWaitHint = waitHint;
    SetServiceStatus(g_handle, &g_status);
}

DWORD WINAPI finishSlowly(LPVOID) {
    Sleep(4000);
    SetEvent(g_stopped);
    return 0;
}

DWORD WINAPI control(DWORD code, DWORD, LPVOID, LPVOID) {
    if (code != SERVICE_CONTROL_STOP) return NO_ERROR;
    if (!g_slowStop) {
        SetEvent(g_stopped);
        return NO_ERROR;
    }
    report(SERVICE_STOP_PENDING, 1000);
    CloseHandle(CreateThread(nullptr, 0, finishSlowly, nullptr, 0, nullptr));
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD argc, LPWSTR* argv) {
    g_handle = RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", control, nullptr);
    if (!g_handle) return;
    g_stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_argumentsFile) recordArguments(argc, argv);
    report(SERVICE_RUNNING);
    WaitForSingleObject(g_stopped, INFINITE);
    report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_slowStop = argc > 1 && wcscmp(argv[1], L"slow-stop") == 0;
    if (argc > 2 && wcscmp(argv[1], L"record-args") == 0) g_argumentsFile = argv[2];
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}

// A test double for the launcher's instance step: reads the configuration
// block appended to this program, claims the instance, writes the
// semaphore name to the file named by the first argument, and holds the
// instance for the milliseconds of the second argument, or until a file of
// the first argument's name plus ".release" appears.  With "window" as
// third argument it shows a minimised top-level window meanwhile, for the
// second start to bring to the front.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "launcher/config/windows/ConfigLoader.h"
#include "launcher/launch/windows/SingleInstance.h"

int wmain(int argc, wchar_t** argv) {
    loadConfigurationBlock();
    claimInstance();
    if (argc < 3) return 2;
    FILE* out = _wfopen(argv[1], L"wb");
    if (!out) return 3;
    fprintf(out, "%s\n%lu\n", instanceSemaphoreName(), GetCurrentProcessId());
    fclose(out);

    HWND window = nullptr;
    if (argc > 3 && wcscmp(argv[3], L"window") == 0) {
        window = CreateWindowExW(0, L"STATIC", L"instance probe", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        ShowWindow(window, SW_SHOWMINNOACTIVE);
    }
    std::wstring release = std::wstring(argv[1]) + L".release";
    DWORD until = GetTickCount() + static_cast<DWORD>(_wtoi(argv[2]));
    while (static_cast<LONG>(until - GetTickCount()) > 0 &&
           GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        Sleep(20);
    }
    if (window) DestroyWindow(window);
    return 0;
}

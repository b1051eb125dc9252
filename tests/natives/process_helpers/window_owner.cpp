// A process that owns top-level windows for the window tests:
//   window_owner visible TITLE EVENT    one visible window titled TITLE
//   window_owner hidden TITLE EVENT     one hidden titled window only
//   window_owner untitled TITLE EVENT   a visible titled window, then a visible untitled one
//   window_owner stubborn TITLE EVENT   a visible window that ignores WM_CLOSE
//   window_owner idle - EVENT           no window at all
// It sets the named event once its windows exist, then runs its message
// loop until a window is closed (or for ever). Without arguments it exits
// at once with 0.
#include <windows.h>

#include <cwchar>

namespace {

bool g_stubborn = false;

LRESULT CALLBACK ownerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE && g_stubborn) return 0;
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND makeWindow(const wchar_t* title, bool visible) {
    HWND hwnd = CreateWindowExW(0, L"TvrWindowOwner", title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 120, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    if (hwnd && visible) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 0;
    const wchar_t* mode = argv[1];
    const wchar_t* title = argv[2];
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ownerWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TvrWindowOwner";
    RegisterClassW(&windowClass);
    g_stubborn = wcscmp(mode, L"stubborn") == 0;
    if (wcscmp(mode, L"idle") != 0) {
        bool visible = wcscmp(mode, L"hidden") != 0;
        if (!makeWindow(title, visible)) return 3;
        if (wcscmp(mode, L"untitled") == 0 && !makeWindow(L"", true)) return 3;
    }
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

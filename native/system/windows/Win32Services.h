// The natives of com/tavra/runtime/installer/platform/win32/Win32Services.
#pragma once
#include <windows.h>

// ChangeServiceConfig2W twice: as looked up in advapi32 on first use (for
// the failure actions) and as imported (for delayed auto-start). Wine keeps
// neither setting, so tests put doubles here before the first call.
struct ServiceFunctions {
    BOOL(WINAPI* changeConfig2Bound)(SC_HANDLE service, DWORD level, LPVOID info);
    BOOL(WINAPI* changeConfig2)(SC_HANDLE service, DWORD level, LPVOID info);
    // The pause between status queries while a stop is awaited.
    DWORD stopPollMilliseconds;
};
extern ServiceFunctions g_serviceFunctions;

// The natives of com/tavra/runtime/installer/platform/win32/Misc and
// Win32Exec: processes, windows, the environment, memory and disks.
#pragma once
#include <windows.h>

// The process-status functions of the running-module listing: Psapi's
// EnumProcesses and GetModuleFileNameExW, Kernel32's
// QueryFullProcessImageNameW (absent before Vista).
struct ProcessStatusFunctions {
    BOOL(WINAPI* enumProcesses)(DWORD* ids, DWORD bytes, DWORD* returned);
    DWORD(WINAPI* moduleFileName)(HANDLE process, HMODULE module, LPWSTR name, DWORD size);
    BOOL(WINAPI* fullImageName)(HANDLE process, DWORD flags, LPWSTR name, PDWORD size);
};

// What the tests replace: the reboot itself, the cached MoveFileExW, and
// the process-status functions (normally loaded for each listing and freed
// afterwards; a non-null double is used instead of loading them).
struct MiscFunctions {
    BOOL(WINAPI* exitWindows)(UINT flags, DWORD reason);
    BOOL(WINAPI* moveFileEx)(LPCWSTR from, LPCWSTR to, DWORD flags);
    const ProcessStatusFunctions* processStatusDouble;
};
extern MiscFunctions g_miscFunctions;

// Enables or disables one privilege of the process token. True exactly
// when GetLastError is 0 afterwards, so a privilege the token lacks
// (ERROR_NOT_ALL_ASSIGNED) fails.
bool setProcessPrivilege(const wchar_t* name, bool enable);

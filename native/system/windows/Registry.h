// The natives of com/tavra/runtime/installer/platform/win32/Registry.
#pragma once
#include <windows.h>

// Registry calls that Wine cannot show the effect of (RegRestoreKeyW is a
// stub there), and RegDeleteKeyExW, which is looked up in advapi32 on first
// use. Tests put doubles here before the first call.
struct RegistryFunctions {
    LSTATUS(WINAPI* restoreKey)(HKEY key, LPCWSTR file, DWORD flags);
    LSTATUS(WINAPI* deleteKeyEx)(HKEY parent, LPCWSTR subKey, REGSAM view, DWORD reserved);
};
extern RegistryFunctions g_registryFunctions;

// The native of com/tavra/runtime/installer/platform/win32/FileVersion, and
// the file version reading that the folder natives share.
#pragma once
#include <windows.h>

// The three functions of "version.dll", loaded from System32 on first use;
// a flag records that the load was tried, so a missing library is not
// looked for again. Tests put doubles here (and set the flag) before the
// first call.
struct VersionFunctions {
    DWORD(WINAPI* getSize)(LPCWSTR file, LPDWORD handle);
    BOOL(WINAPI* getInfo)(LPCWSTR file, DWORD handle, DWORD size, LPVOID data);
    BOOL(WINAPI* queryValue)(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);
    bool loadTried;
};
extern VersionFunctions g_versionFunctions;

// The fixed version block of the file's version resource; false when the
// file has none or "version.dll" is missing.
bool readVersionInfo(const wchar_t* path, VS_FIXEDFILEINFO* info);

// 0 both file versions equal, 1 the first is higher, 2 the second is
// higher, 3 either could not be read.
int compareFileVersions(const wchar_t* path1, const wchar_t* path2);

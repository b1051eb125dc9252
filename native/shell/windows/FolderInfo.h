// The natives of com/tavra/runtime/installer/platform/win32/FolderInfo.
#pragma once
#include <windows.h>

// Functions bound on first use. SHGetFolderPathW comes from "_shfoldr.dll"
// or "shfolder.dll", whichever the file versions choose, once per process
// (folderPathTried records that); the others are looked up until found.
// Tests put doubles here before the first call.
struct FolderFunctions {
    HRESULT(WINAPI* getFolderPath)(HWND window, int csidl, HANDLE token, DWORD flags, LPWSTR path);
    bool folderPathTried;
    HRESULT(WINAPI* getKnownFolderPath)(const GUID& id, DWORD flags, HANDLE token, PWSTR* path);
    DWORD(WINAPI* getUniversalName)(LPCWSTR localPath, DWORD infoLevel, LPVOID buffer, LPDWORD bufferSize);
    UINT(WINAPI* getSystemWindowsDirectory)(LPWSTR buffer, UINT size);
};
extern FolderFunctions g_folderFunctions;

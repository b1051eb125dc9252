// The natives of com/tavra/runtime/installer/platform/win32/ShellLink.
#pragma once
#include <windows.h>
#include <objbase.h>

// How the link object is made: CoCreateInstance, unless a test puts a
// double here to see the calls that Wine's link object ignores (its data
// list flags are not saved).
struct ShellLinkFunctions {
    HRESULT(WINAPI* createInstance)(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                                    LPVOID* object);
};
extern ShellLinkFunctions g_shellLinkFunctions;

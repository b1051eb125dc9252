// The native of com/tavra/runtime/installer/platform/win32/ObjectPicker.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <objsel.h>

// ConvertSidToStringSidW, bound from the loaded advapi32 on first use, and
// the picker's Initialize step, which tests replace to see the request.
struct ObjectPickerFunctions {
    BOOL(WINAPI* convertSidToStringSid)(PSID sid, LPWSTR* text);
    HRESULT (*initialize)(IDsObjectPicker* picker, DSOP_INIT_INFO* request);
};
extern ObjectPickerFunctions g_objectPickerFunctions;

// The window the picker is shown for: the last visible top-level window of
// this process that is not the console window, or else the console window
// (null without one). The console window is found once per process.
HWND objectPickerParent();

// The SID text of a fetched "objectSID" value: a one-dimensional byte safe
// array that holds a whole valid SID. Null for any other value, or before
// ConvertSidToStringSidW is bound; freed with LocalFree.
wchar_t* objectPickerSidText(const VARIANT* value);

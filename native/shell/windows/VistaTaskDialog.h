// The native of com/tavra/runtime/installer/platform/win32/VistaTaskDialog.
#pragma once
#include <windows.h>
#include <commctrl.h>

// TaskDialogIndirect, bound from the loaded common controls on first use,
// and the SetWindowPos of the timer callback; tests set doubles here.
struct TaskDialogFunctions {
    HRESULT(WINAPI* taskDialogIndirect)(const TASKDIALOGCONFIG* config, int* button, int* radioButton,
                                        BOOL* verificationChecked);
    BOOL(WINAPI* setWindowPos)(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
};
extern TaskDialogFunctions g_taskDialogFunctions;

// The result of the dialog for Java: the custom button as a one-based index
// (its id less 100), 1000 without a custom button, negated when the
// verification box was checked.
int taskDialogResult(int buttonId, bool verificationChecked);

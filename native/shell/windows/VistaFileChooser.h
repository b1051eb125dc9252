// The natives of com/tavra/runtime/installer/platform/win32/VistaFileChooser.
#pragma once
#include <windows.h>
#include <shobjidl.h>

// The shell32 functions of the file dialog, bound from System32 on
// first use.
struct FileChooserFunctions {
    HRESULT(WINAPI* createItemFromParsingName)(PCWSTR path, IBindCtx* context, REFIID iid, void** item);
    HRESULT(WINAPI* createItemArrayFromItem)(IShellItem* item, REFIID iid, void** items);
};
extern FileChooserFunctions g_fileChooserFunctions;

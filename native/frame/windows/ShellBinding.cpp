#include "native/frame/windows/ShellBinding.h"

#include "native/frame/windows/OptionalBinding.h"

ShellFunctions g_shellFunctions = {};

void preloadShellDependencies() {
    lookUpOnce(g_shellFunctions.dependenciesPreloaded, [] {
        loadSystemModule(L"davhlpr.dll");
        loadSystemModule(L"fwbase.dll");
    });
}

bool bindShellFunctions() {
    if (g_shellFunctions.changeNotify && g_shellFunctions.execute) return true;
    preloadShellDependencies();
    HMODULE shell32 = loadSystemModule(L"shell32.dll");
    if (!shell32) return false;
    bindSlot(g_shellFunctions.changeNotify, GetProcAddress(shell32, "SHChangeNotify"));
    bindSlot(g_shellFunctions.execute, GetProcAddress(shell32, "ShellExecuteW"));
    return g_shellFunctions.changeNotify && g_shellFunctions.execute;
}

bool shellChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2) {
    if (!bindShellFunctions()) return false;
    g_shellFunctions.changeNotify(eventId, flags, item1, item2);
    return true;
}

HINSTANCE shellExecute(HWND hwnd, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* directory, int showCommand) {
    if (!bindShellFunctions()) return nullptr;
    return g_shellFunctions.execute(hwnd, verb, file, parameters, directory, showCommand);
}

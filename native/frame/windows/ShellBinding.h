// SHChangeNotify and ShellExecuteW from shell32, bound on first use and
// shared by the registry, account and shell-link natives.
#pragma once
#include <windows.h>

using ShChangeNotifyFunction = void(WINAPI*)(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);
using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND hwnd, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                                LPCWSTR directory, INT showCommand);

// The process-wide binding; a test sets both functions before the first
// call to keep shell32 out.
struct ShellFunctions {
    ShChangeNotifyFunction changeNotify;
    ShellExecuteFunction execute;
    bool dependenciesPreloaded;
};
extern ShellFunctions g_shellFunctions;

// Loads the modules that shell32 needs on some systems before it, once per
// process; their results are ignored and they are never freed.
void preloadShellDependencies();

// True when both shell functions are bound (binding them now if needed).
bool bindShellFunctions();

// SHChangeNotify after a successful binding; false otherwise.
bool shellChangeNotify(LONG eventId, UINT flags, const void* item1, const void* item2);

// ShellExecuteW after a successful binding; a null instance otherwise.
HINSTANCE shellExecute(HWND hwnd, const wchar_t* verb, const wchar_t* file, const wchar_t* parameters,
                       const wchar_t* directory, int showCommand);

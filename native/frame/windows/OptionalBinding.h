// Windows functions outside the import table, bound at run time. Each lives
// in a process-wide pointer that is written on the first successful lookup
// and never reset; that pointer is also where a test program puts a double
// before the first call. Concurrent first calls at worst repeat the lookup
// and store the same value.
#pragma once
#include <windows.h>

// A function of a module that is always in the process ("advapi32.dll",
// "ntdll.dll"): GetModuleHandleW, no reference taken.
inline FARPROC procOfLoadedModule(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    return handle ? GetProcAddress(handle, name) : nullptr;
}

// "<system directory>\\name" into `path`; empty when the directory is
// unknown or too long.
inline void systemModulePath(const wchar_t* name, wchar_t (&path)[MAX_PATH + 16]) {
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        path[0] = L'\0';
        return;
    }
    path[length++] = L'\\';
    lstrcpynW(path + length, name, MAX_PATH + 16 - length);
}

// A module of Windows itself, loaded from System32 only.  By bare name,
// LoadLibrary also searches the application's directory, the current
// directory and PATH, where a planted copy (in a downloads folder, say)
// would run in its place, often elevated.  The full path, with the
// module's own directory searched first for what it imports, works on
// every Windows; LOAD_LIBRARY_SEARCH_SYSTEM32 is refused by Vista and by
// Windows 7 without its loader update.
inline HMODULE loadSystemModule(const wchar_t* module) {
    wchar_t path[MAX_PATH + 16];
    systemModulePath(module, path);
    return path[0] ? LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) : nullptr;
}

// A function of a module of Windows loaded from System32; the module stays
// loaded for the life of the process.
inline FARPROC procOfLibrary(const wchar_t* module, const char* name) {
    HMODULE handle = loadSystemModule(module);
    return handle ? GetProcAddress(handle, name) : nullptr;
}

// Fills an empty slot from the lookup; true when the slot holds a function.
template <class Function>
bool bindSlot(Function& slot, FARPROC found) {
    if (!slot && found) slot = reinterpret_cast<Function>(reinterpret_cast<void*>(found));
    return slot != nullptr;
}

// Runs a group's lookup unless one has finished before, and records that
// only once it has: a concurrent first call then repeats the lookup rather
// than finding the flag set and the slots still empty.
template <class Lookup>
void lookUpOnce(bool& tried, Lookup lookup) {
    if (__atomic_load_n(&tried, __ATOMIC_ACQUIRE)) return;
    lookup();
    __atomic_store_n(&tried, true, __ATOMIC_RELEASE);
}

// The slot of a function of an always-present module, bound on first use.
template <class Function>
bool bindFromLoadedModule(Function& slot, const wchar_t* module, const char* name) {
    return slot || bindSlot(slot, procOfLoadedModule(module, name));
}

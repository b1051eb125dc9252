// The registry functions the launcher calls, taken from kernel32 where it
// exports them (Windows 7 and later do, and every process has kernel32
// loaded) and from advapi32 otherwise.  Imported from advapi32, they would
// load it into every start, and sechost with it, for the few registry reads
// of a launch.  The launcher delay-loads advapi32 (advapi32_delay.def): the
// verbs and the service host load it at their first service or event log
// call, and on a Windows whose kernel32 lacks one of these functions it is
// loaded at that function's first call.
#pragma once
#include <windows.h>

struct RegistryFunctions {
    decltype(&RegOpenKeyExA) openKeyA;
    decltype(&RegOpenKeyExW) openKeyW;
    decltype(&RegCreateKeyExA) createKeyA;
    decltype(&RegCreateKeyExW) createKeyW;
    decltype(&RegQueryValueExA) queryValueA;
    decltype(&RegQueryValueExW) queryValueW;
    decltype(&RegSetValueExA) setValueA;
    decltype(&RegSetValueExW) setValueW;
    decltype(&RegEnumKeyExA) enumKeyA;
    decltype(&RegDeleteKeyW) deleteKeyW;
    decltype(&RegCloseKey) closeKey;
};

// Each function from `module` when it exports it under its own name, else
// advapi32's.
RegistryFunctions bindRegistryFunctions(HMODULE module);

// The launcher's table, bound from kernel32 before main runs (and so before
// any thread but the main one exists).
const RegistryFunctions& registry();

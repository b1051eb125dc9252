#include "launcher/config/windows/RegistryFunctions.h"

namespace {

template <class Function> void bind(HMODULE module, const char* name, Function advapi, Function& slot) {
    FARPROC exported = module ? GetProcAddress(module, name) : nullptr;
    slot = exported ? reinterpret_cast<Function>(reinterpret_cast<void*>(exported)) : advapi;
}

const RegistryFunctions g_registry = bindRegistryFunctions(GetModuleHandleW(L"kernel32.dll"));

}  // namespace

RegistryFunctions bindRegistryFunctions(HMODULE module) {
    RegistryFunctions f;
    bind(module, "RegOpenKeyExA", &RegOpenKeyExA, f.openKeyA);
    bind(module, "RegOpenKeyExW", &RegOpenKeyExW, f.openKeyW);
    bind(module, "RegCreateKeyExA", &RegCreateKeyExA, f.createKeyA);
    bind(module, "RegCreateKeyExW", &RegCreateKeyExW, f.createKeyW);
    bind(module, "RegQueryValueExA", &RegQueryValueExA, f.queryValueA);
    bind(module, "RegQueryValueExW", &RegQueryValueExW, f.queryValueW);
    bind(module, "RegSetValueExA", &RegSetValueExA, f.setValueA);
    bind(module, "RegSetValueExW", &RegSetValueExW, f.setValueW);
    bind(module, "RegEnumKeyExA", &RegEnumKeyExA, f.enumKeyA);
    bind(module, "RegDeleteKeyW", &RegDeleteKeyW, f.deleteKeyW);
    bind(module, "RegCloseKey", &RegCloseKey, f.closeKey);
    return f;
}

const RegistryFunctions& registry() { return g_registry; }

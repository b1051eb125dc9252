#include "launcher/jvmsearch/windows/RegistryKey.h"

#include "launcher/config/ConfigTables.h"
#include "launcher/config/windows/RegistryFunctions.h"

bool openRegistryKey(HKEY root, const char* path, REGSAM extraAccess, UniqueHKey& key, LONG* error) {
    LONG result = registry().openKeyA(root, path, 0, KEY_READ | extraAccess, key.put());
    if (error) *error = result;
    if (result != ERROR_SUCCESS) key.reset();
    return result == ERROR_SUCCESS;
}

bool readRegistryString(HKEY key, const char* name, char* out, DWORD size) {
    if (size == 0) return false;
    out[0] = 0;
    DWORD bytes = size - 1;
    if (registry().queryValueA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(out), &bytes) != ERROR_SUCCESS) {
        out[0] = 0;
        return false;
    }
    out[bytes] = 0;
    return true;
}

std::vector<std::string> registrySubkeyNames(HKEY key) {
    std::vector<std::string> names;
    char name[kBufferChars];
    for (DWORD index = 0;; ++index) {
        DWORD length = kBufferChars;
        LONG result = registry().enumKeyA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A name that does not fit the buffer is skipped; any other error
        // ends the enumeration, which would otherwise fail at every index.
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

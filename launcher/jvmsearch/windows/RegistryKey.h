// A small owner for registry keys and the narrow reads the JVM discovery
// makes, so that every early return closes its key.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "launcher/config/windows/RegistryFunctions.h"

class UniqueHKey {
public:
    UniqueHKey() = default;
    ~UniqueHKey() { reset(); }
    UniqueHKey(const UniqueHKey&) = delete;
    UniqueHKey& operator=(const UniqueHKey&) = delete;

    HKEY get() const { return key_; }
    bool valid() const { return key_ != nullptr; }
    // For the Reg*Ex calls that hand back a key.
    HKEY* put() {
        reset();
        return &key_;
    }
    void reset() {
        if (key_) registry().closeKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

// RegOpenKeyExA with KEY_READ (plus `extraAccess`); the Windows error code
// of a failure in `error` when given.
bool openRegistryKey(HKEY root, const char* path, REGSAM extraAccess, UniqueHKey& key, LONG* error = nullptr);

// Reads a value as text into `out` (`size` bytes, always terminated): at
// most size - 1 bytes are read, so a longer value fails.  A value without
// its terminating NUL is terminated here.
bool readRegistryString(HKEY key, const char* name, char* out, DWORD size);

// The names of the direct subkeys, in enumeration order (names up to 6000
// bytes).
std::vector<std::string> registrySubkeyNames(HKEY key);

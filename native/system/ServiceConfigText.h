// Text forms of service configuration, free of Windows so that they are
// unit-tested on the host (Wine ignores service dependencies).
#pragma once
#include <cstddef>

// A built dependency list: the units used, both final NULs included, and
// whether names were left out for want of room (the list is then not the
// one asked for, and must not be stored).
struct DependencyList {
    size_t units;
    bool cut;
};

// The list of dependencies that ChangeServiceConfigW takes, from one
// comma-separated string: each name and its NUL, then one more NUL. A null
// or empty string gives the empty list (two NULs), which removes every
// dependency. Empty names (",," or a leading or trailing comma) are left
// out, since their NUL would end the list early; names that would not fit
// out (capacity units, at least 2) are left out with all after them, and
// the result says so.
DependencyList serviceDependencyList(const char16_t* commaSeparated, char16_t* out, size_t capacity);

// The account for ChangeServiceConfigW: "NT AUTHORITY\System" and
// "NT AUTHORITY\LocalSystem" (exactly so) become "LocalSystem"; any other
// name, and null, stay as they are.
const char16_t* serviceAccountName(const char16_t* account);

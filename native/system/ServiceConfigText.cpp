#include "native/system/ServiceConfigText.h"

namespace {

bool sameText(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

}  // namespace

DependencyList serviceDependencyList(const char16_t* commaSeparated, char16_t* out, size_t capacity) {
    size_t used = 0;
    bool cut = false;
    const char16_t* p = commaSeparated;
    while (p && *p) {
        const char16_t* end = p;
        while (*end && *end != u',') ++end;
        size_t length = static_cast<size_t>(end - p);
        // The name, its NUL and the list's final NUL must fit.
        if (length > 0) {
            if (length + 2 > capacity - used) {
                cut = true;
                break;
            }
            for (size_t i = 0; i < length; ++i) out[used + i] = p[i];
            used += length;
            out[used++] = 0;
        }
        p = *end ? end + 1 : end;
    }
    if (used == 0) out[used++] = 0;
    out[used++] = 0;
    return {used, cut};
}

const char16_t* serviceAccountName(const char16_t* account) {
    if (!account) return nullptr;
    if (sameText(account, u"NT AUTHORITY\\System") || sameText(account, u"NT AUTHORITY\\LocalSystem"))
        return u"LocalSystem";
    return account;
}

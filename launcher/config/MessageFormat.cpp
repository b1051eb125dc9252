#include "launcher/config/MessageFormat.h"

#include <cwchar>
#include <string>

void fillPlaceholder(wchar_t* text, size_t size, const wchar_t* argument) {
    if (!argument || size == 0) return;
    wchar_t* at = std::wcsstr(text, L"{0}");
    if (!at) return;
    std::wstring filled(text, static_cast<size_t>(at - text));
    filled += argument;
    filled += at + 3;
    size_t n = filled.size() < size - 1 ? filled.size() : size - 1;
    filled.copy(text, n);
    text[n] = 0;
}

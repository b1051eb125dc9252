#include "launcher/config/windows/LocaleDetect.h"

#include <windows.h>

#include <cstring>

#include "launcher/config/Locale.h"
#include "launcher/config/Log.h"

namespace {

typedef LANGID(WINAPI* GetUserDefaultUILanguageFn)();

// The UI language when the system has one (Windows 2000 and later), else the
// low 16 bits of the user's default locale identifier.
uint16_t userLanguageId() {
    uint16_t languageId = static_cast<uint16_t>(GetUserDefaultLCID() & 0xFFFF);
    HMODULE kernel = LoadLibraryW(L"Kernel32.DLL");
    if (!kernel) return languageId;
    FARPROC proc = GetProcAddress(kernel, "GetUserDefaultUILanguage");
    if (proc) languageId = reinterpret_cast<GetUserDefaultUILanguageFn>(proc)();
    FreeLibrary(kernel);
    return languageId;
}

}  // namespace

void detectLocale(char* out, size_t size) {
    if (!out || size == 0) return;
    const char* name = localeNameForLanguageId(userLanguageId());
    size_t length = std::strlen(name);
    if (length >= size) {
        logLine(L"locale name %S does not fit into %d bytes", name, static_cast<int>(size));
        length = size - 1;
    }
    std::memcpy(out, name, length);
    out[length] = '\0';
    logLine(L"language/country is %S", out);
}

#include "launcher/config/windows/Console.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <io.h>
#include <string>

#include "launcher/config/Log.h"

int formatWideV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
    if (size == 0) return 0;
    // _vsnwprintf is the msvcrt export with the Windows conventions; the
    // standard names are redirected to MinGW's C99 printf, where %s is narrow.
    int n = _vsnwprintf(buffer, size - 1, format, args);
    if (n < 0 || static_cast<size_t>(n) >= size - 1) n = static_cast<int>(size - 1);
    buffer[n] = 0;
    return n;
}

int formatWide(wchar_t* buffer, size_t size, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = formatWideV(buffer, size, format, args);
    va_end(args);
    return n;
}

void printWide(FILE* stream, const wchar_t* text) {
    fflush(stream);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    int length = static_cast<int>(wcslen(text));
    if (GetConsoleMode(handle, &mode)) {
        DWORD written = 0;
        WriteConsoleW(handle, text, static_cast<DWORD>(length), &written, nullptr);
        return;
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], bytes, nullptr, nullptr);
    // The stream is in text mode: "\n" goes out as CR LF.
    fwrite(narrow.data(), 1, narrow.size(), stream);
    fflush(stream);
}

namespace {

BOOL WINAPI reportConsoleEventHandled(DWORD) {
    logLine(L"ConsoleCtrlHandler event");
    return TRUE;
}

}  // namespace

void ignoreConsoleEvents() {
    logLine(L"registering ConsoleCtrlHandler");
    SetConsoleCtrlHandler(reportConsoleEventHandled, TRUE);
}

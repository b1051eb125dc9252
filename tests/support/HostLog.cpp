#include "tests/support/HostLog.h"

#include <cstdarg>
#include <cwchar>

#include "launcher/config/Log.h"

namespace {

std::vector<std::wstring> g_lines;

// The launcher writes formats for the Windows C runtime, where %s is wide
// and %S narrow; glibc spells those %ls and %s.  %I64d becomes %lld.
std::wstring hostFormat(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%') continue;
        ++p;
        if (!*p) break;
        if (*p == L's') out += L"ls";
        else if (*p == L'S') out += L's';
        else if (std::wcsncmp(p, L"I64d", 4) == 0) { out += L"lld"; p += 3; }
        else out += *p;
    }
    return out;
}

void record(const wchar_t* prefix, const wchar_t* format, va_list args) {
    wchar_t buffer[30000];
    std::vswprintf(buffer, sizeof buffer / sizeof buffer[0], hostFormat(format).c_str(), args);
    g_lines.push_back(std::wstring(prefix) + buffer);
}

}  // namespace

void logLine(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    record(L"", format, args);
    va_end(args);
}

void logError(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    record(L"ERROR: ", format, args);
    va_end(args);
}

const std::vector<std::wstring>& hostLogLines() { return g_lines; }
void clearHostLog() { g_lines.clear(); }

bool hostLogContains(const std::wstring& text) {
    for (const std::wstring& line : g_lines)
        if (line.find(text) != std::wstring::npos) return true;
    return false;
}

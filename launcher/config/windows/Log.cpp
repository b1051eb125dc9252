// The diagnostic log.  Off unless LORIX_LOG or TAVRA_LOG is exactly "yes".
// When on, every line is written to the file and the file closed again, so
// that the log survives a crash of the JVM in the same process.  Files are
// UTF-8 with a byte-order mark and CR LF line ends.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <string>

#include "launcher/config/Log.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/LogFile.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"

namespace {

enum class LogState { Undecided, Off, On };

CRITICAL_SECTION g_lock;
bool g_lockReady = false;
LogState g_state = LogState::Undecided;
wchar_t g_path[kBufferChars];
uint32_t g_startMillis = 0;
// One line at a time is formatted, under the lock.
wchar_t g_line[32768];

constexpr int kMaxLogFiles = 1000;

class LockGuard {
public:
    LockGuard() {
        // Created on the first call, on the main thread during start-up,
        // before any other thread exists.
        if (!g_lockReady) {
            InitializeCriticalSection(&g_lock);
            g_lockReady = true;
        }
        EnterCriticalSection(&g_lock);
    }
    ~LockGuard() { LeaveCriticalSection(&g_lock); }
};

bool switchedOn(const char* variable) {
    char value[kBufferChars];
    DWORD n = GetEnvironmentVariableA(variable, value, sizeof value);
    return n > 0 && n < sizeof value && strcmp(value, "yes") == 0;
}

uint32_t nowMillis() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return static_cast<uint32_t>(t.QuadPart / 10000);
}

// UTF-16 to UTF-8 with "\n" written as CR LF, as a text-mode stream would.
std::string toUtf8Lines(const wchar_t* text) {
    std::wstring crlf;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'\n') crlf += L'\r';
        crlf += *p;
    }
    int bytes = WideCharToMultiByte(CP_UTF8, 0, crlf.c_str(), static_cast<int>(crlf.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string out(bytes > 0 ? static_cast<size_t>(bytes) : 0, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, crlf.c_str(), static_cast<int>(crlf.size()), &out[0], bytes, nullptr,
                            nullptr);
    return out;
}

bool writeAll(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// Creates (or empties) the file and writes the byte-order mark.
bool createLogFile(const wchar_t* path) {
    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && writeAll(file.get(), "\xEF\xBB\xBF");
}

bool appendToLog(const wchar_t* text) {
    UniqueHandle file(CreateFileW(g_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && writeAll(file.get(), toUtf8Lines(text));
}

// The log directory: the wide temporary directory with a trailing
// separator, or "c:\" when there is none.
void logDirectory(wchar_t* dir) {
    findTempDirWide(dir, false);
    size_t n = wcslen(dir);
    if (n == 0)
        wcscpy(dir, L"c:\\");
    else if (dir[n - 1] != L'\\' && dir[n - 1] != L'/' && n + 1 < kBufferChars)
        wcscat(dir, L"\\");
}

// tvr_nlog_N.log for the first N that does not exist; N = 1000 when all do.
void chooseLogPath() {
    wchar_t dir[kBufferChars];
    logDirectory(dir);
    for (int n = 1; n <= kMaxLogFiles; ++n) {
        formatWide(g_path, kBufferChars, L"%stvr_nlog_%d.log", dir, n);
        if (!pathExistsWide(g_path)) return;
    }
}

void writeFirstLine() {
    wchar_t module[kBufferChars];
    DWORD n = GetModuleFileNameW(nullptr, module, kBufferChars);
    module[n < kBufferChars ? n : kBufferChars - 1] = 0;
    time_t now = time(nullptr);
    const char* when = ctime(&now);
    formatWide(g_line, sizeof g_line / sizeof g_line[0], L"Started executable %s at %S\n", module,
               when ? when : "\n");
    appendToLog(g_line);
    g_startMillis = nowMillis();
}

void openLog() {
    // Off while the file is chosen: a line logged meanwhile (the lock is
    // re-entrant) is dropped instead of opening the log twice.
    g_state = LogState::Off;
    if (!switchedOn("LORIX_LOG") && !switchedOn("TAVRA_LOG")) return;
    chooseLogPath();
    if (!createLogFile(g_path)) {
        wcscpy(g_path, L"c:\\tvr_nlog");
        if (!createLogFile(g_path)) return;
    }
    g_state = LogState::On;
    writeFirstLine();
}

void writeLine(const wchar_t* tag, const wchar_t* format, va_list args) {
    LockGuard lock;
    if (g_state == LogState::Undecided) openLog();
    if (g_state != LogState::On) return;

    uint32_t elapsed = nowMillis() - g_startMillis;
    const size_t size = sizeof g_line / sizeof g_line[0];
    int n = formatWide(g_line, size, L"[%d:%d] %s", static_cast<int>(elapsed / 1000),
                       static_cast<int>(elapsed % 1000), tag);
    n += formatWideV(g_line + n, size - static_cast<size_t>(n) - 1, format, args);
    g_line[n] = L'\n';
    g_line[n + 1] = 0;
    appendToLog(g_line);
}

}  // namespace

void logLine(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(L"", format, args);
    va_end(args);
}

void logError(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(L"ERROR: ", format, args);
    va_end(args);
}

const wchar_t* logFilePath() {
    LockGuard lock;
    if (g_state == LogState::Undecided) openLog();
    return g_state == LogState::On ? g_path : nullptr;
}

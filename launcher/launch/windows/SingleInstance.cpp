#include "launcher/launch/windows/SingleInstance.h"

#include <windows.h>

#include <string>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/RegistryFunctions.h"
#include "launcher/config/windows/UserFunctions.h"
#include "launcher/launch/OptionRules.h"

namespace {

constexpr int kLastCounter = 100000;
constexpr int kRecordRetries = 50;
constexpr DWORD kRecordRetryMs = 100;
const char kRecordKey[] = "SOFTWARE\\brightmoor\\lorix\\pids\\";

std::string g_name;

// The executable's narrow path, full and lower-cased: the instance's
// identity, for the semaphore name and the registry record.
std::string instancePath() {
    char full[kBufferChars];
    fullPathNarrow(executableNarrowPath(), full, kBufferChars, false);
    return full;
}

void writeInstanceRecord(const std::string& path) {
    HKEY key;
    if (registry().createKeyA(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    DWORD pid = GetCurrentProcessId();
    registry().setValueA(key, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid), sizeof pid);
    registry().closeKey(key);
}

DWORD readInstanceRecord(const std::string& path) {
    HKEY key;
    if (registry().openKeyA(HKEY_CURRENT_USER, kRecordKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD pid = 0, type = 0, size = sizeof pid;
    LONG result = registry().queryValueA(key, path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&pid), &size);
    registry().closeKey(key);
    return result == ERROR_SUCCESS && size == sizeof pid ? pid : 0;
}

BOOL CALLBACK bringToFront(HWND window, LPARAM processId) {
    const UserFunctions& user = *userFunctions();  // bound before the enumeration
    DWORD owner = 0;
    user.windowThreadProcessId(window, &owner);
    if (!user.isWindowVisible(window) || owner != static_cast<DWORD>(processId)) return TRUE;
    logLine(L"found window %p", window);
    if (user.isIconic(window)) {
        logLine(L"restore");
        user.showWindow(window, SW_RESTORE);
    }
    logLine(L"foreground");
    user.setForegroundWindow(window);
    logLine(L"popup");
    user.setForegroundWindow(user.lastActivePopup(window));
    logLine(L"done");
    return TRUE;
}

void bringInstanceToFront(DWORD processId) {
    if (const UserFunctions* user = userFunctions()) user->enumWindows(bringToFront, static_cast<LPARAM>(processId));
}

// A name some instance holds. Another user's instance (a Global\ name, or
// the service's child running as LocalSystem) made its semaphore with
// default security, which does not let this user open it: the creation
// fails with ERROR_ACCESS_DENIED rather than reporting ERROR_ALREADY_EXISTS.
bool nameTaken(DWORD error) { return error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED; }

// CreateSemaphoreA refuses a name of MAX_PATH characters or more
// (ERROR_FILENAME_EXCED_RANGE), which "Local\" and a long launcher path
// reach: every start would then take itself for the only one. The wide
// call takes the same name.
HANDLE createSemaphore(const std::string& name) {
    return CreateSemaphoreW(nullptr, 1, 1, widenPath(name.c_str()).c_str());
}

void claimNumbered(const std::string& base) {
    HANDLE semaphore = nullptr;
    DWORD error = 0;
    for (int n = 0;; ++n) {
        g_name = base + std::to_string(n);
        semaphore = createSemaphore(g_name);
        error = GetLastError();
        if (!nameTaken(error) || n >= kLastCounter) break;
        if (semaphore) CloseHandle(semaphore);
    }
    // The handle stays open: the name exists as long as this instance runs.
    logLine(L"semaphore name %S, code %d, value %p", g_name.c_str(), static_cast<int>(error), semaphore);
}

void claimSingle(const std::string& base, const std::string& path) {
    logLine(L"single instance mode");
    g_name = base;
    HANDLE semaphore = createSemaphore(g_name);
    DWORD error = GetLastError();
    logLine(L"semaphore name %S, code %d, value %p", g_name.c_str(), static_cast<int>(error), semaphore);
    if (!nameTaken(error)) {
        writeInstanceRecord(path);
        return;
    }
    if (semaphore) CloseHandle(semaphore);
    // The owner writes its record right after creating the semaphore.
    DWORD other = readInstanceRecord(path);
    for (int retry = 0; other == 0 && retry < kRecordRetries; ++retry) {
        Sleep(kRecordRetryMs);
        other = readInstanceRecord(path);
    }
    logLine(L"other pid %d", static_cast<int>(other));
    if (other != 0 && configInt(kToFrontKey) != 0) bringInstanceToFront(other);
    logLine(L"exiting");
    fatalExit(0);
}

}  // namespace

void claimInstance() {
    std::string path = instancePath();
    std::string base = instanceBaseName(path, configInt(kGlobalNameKey) != 0);
    if (configInt(kSingleInstanceKey) == 0)
        claimNumbered(base);
    else
        claimSingle(base, path);
}

const char* instanceSemaphoreName() { return g_name.c_str(); }

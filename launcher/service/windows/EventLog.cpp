#include "launcher/service/windows/EventLog.h"

#include <cwchar>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/RegistryFunctions.h"
#include "launcher/jvmsearch/windows/RegistryKey.h"

EventLogFunctions g_eventLogFunctions = {RegisterEventSourceW, ReportEventW, DeregisterEventSource};

namespace {

// ReportEvent's limit for one string.
constexpr size_t kMaxEventChars = 31839;

constexpr wchar_t kApplicationLogKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

// The message file the source names, empty when there is none.
std::wstring registeredMessageFile(const std::wstring& keyPath) {
    UniqueHKey key;
    if (registry().openKeyW(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::wstring();
    wchar_t file[kBufferChars + 1] = {};
    DWORD type = 0, size = kBufferChars * sizeof(wchar_t);
    if (registry().queryValueW(key.get(), L"EventMessageFile", nullptr, &type, reinterpret_cast<BYTE*>(file), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    file[size / sizeof(wchar_t)] = 0;
    return file;
}

}  // namespace

std::wstring eventSourceKeyPath(const wchar_t* serviceName) { return kApplicationLogKey + std::wstring(serviceName); }

bool registerEventSource(const wchar_t* serviceName, const wchar_t* messageFile) {
    std::wstring path = eventSourceKeyPath(serviceName);
    UniqueHKey key;
    LONG error = registry().createKeyW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                       key.put(), nullptr);
    if (error == ERROR_SUCCESS) {
        DWORD fileBytes = static_cast<DWORD>((wcslen(messageFile) + 1) * sizeof(wchar_t));
        error = registry().setValueW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                                     reinterpret_cast<const BYTE*>(messageFile), fileBytes);
    }
    if (error == ERROR_SUCCESS) {
        DWORD types = kEventTypesSupported;
        error = registry().setValueW(key.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                                     sizeof types);
    }
    if (error != ERROR_SUCCESS) {
        logLine(L"could not register the event source %s (%d)", path.c_str(), static_cast<int>(error));
        return false;
    }
    logLine(L"registered the event source %s", path.c_str());
    return true;
}

void removeEventSource(const wchar_t* serviceName, const wchar_t* messageFile, bool serviceDeleted) {
    std::wstring path = eventSourceKeyPath(serviceName);
    std::wstring registered = registeredMessageFile(path);
    bool ours = !registered.empty() && _wcsicmp(registered.c_str(), messageFile) == 0;
    if (!serviceDeleted && !ours) return;
    LONG error = registry().deleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND)
        logLine(L"could not remove the event source %s (%d)", path.c_str(), static_cast<int>(error));
}

bool reportServiceError(const wchar_t* serviceName, const std::wstring& text) {
    HANDLE log = g_eventLogFunctions.registerEventSource(nullptr, serviceName);
    if (!log) {
        logLine(L"RegisterEventSource failed (%d)", static_cast<int>(GetLastError()));
        return false;
    }
    std::wstring shown = text.substr(0, kMaxEventChars);
    LPCWSTR strings[] = {shown.c_str()};
    bool reported = g_eventLogFunctions.reportEvent(log, EVENTLOG_ERROR_TYPE, 0, kServiceEventId, nullptr, 1, 0,
                                                    strings, nullptr) != FALSE;
    if (!reported) logLine(L"ReportEvent failed (%d)", static_cast<int>(GetLastError()));
    g_eventLogFunctions.deregisterEventSource(log);
    return reported;
}

std::wstring wideFromAnsi(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    int length = static_cast<int>(bytes.size());
    int chars = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (chars <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(chars), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, &wide[0], chars);
    return wide;
}

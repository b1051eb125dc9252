// The service's entries in the Application event log: the event source
// that /install registers, and the error event with which the service
// process explains that its application failed.
#pragma once
#include <windows.h>

#include <string>

// The event-log calls, bound process-wide to ADVAPI32's; tests put doubles
// here.
struct EventLogFunctions {
    HANDLE(WINAPI* registerEventSource)(LPCWSTR server, LPCWSTR source);
    BOOL(WINAPI* reportEvent)(HANDLE log, WORD type, WORD category, DWORD eventId, PSID user, WORD stringCount,
                              DWORD dataSize, LPCWSTR* strings, LPVOID data);
    BOOL(WINAPI* deregisterEventSource)(HANDLE log);
};
extern EventLogFunctions g_eventLogFunctions;

// Message 1 of the launcher's message table is its insertion string alone,
// so the event's one string is all the viewer shows.
constexpr DWORD kServiceEventId = 1;
// Error, warning and information events.
constexpr DWORD kEventTypesSupported = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;

// "SYSTEM\CurrentControlSet\Services\EventLog\Application\NAME" below HKLM.
std::wstring eventSourceKeyPath(const wchar_t* serviceName);

// Registers the service name as an event source whose messages are in
// `messageFile`.  Logs a failure and returns false.
bool registerEventSource(const wchar_t* serviceName, const wchar_t* messageFile);

// Removes the source when `serviceDeleted` or when its message file is
// `messageFile` (a source left behind by this launcher); a source of that
// name that belongs to another program stays.
void removeEventSource(const wchar_t* serviceName, const wchar_t* messageFile, bool serviceDeleted);

// Writes one error event with `text` as its string, the service name as
// its source.  Logs a failure and returns false.
bool reportServiceError(const wchar_t* serviceName, const std::wstring& text);

// The child's output as text: it is in the ANSI code page (the launcher's
// own messages on a pipe are, and so is Java's standard error by default).
std::wstring wideFromAnsi(const std::string& bytes);

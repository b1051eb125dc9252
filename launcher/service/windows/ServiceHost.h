// The service host: the service verbs and the service process.
#pragma once
#include <windows.h>

#include <string>

#include "launcher/config/CommandLine.h"

// Runs a service verb (install, uninstall, start, stop, ...) against the
// service control manager; returns the process exit code.
int runServiceCommand(const std::wstring& verb, const ArgumentVector& arguments);

// Hands the process to the service control manager; returns the process
// exit code.
int runServiceDispatcher();

// The child's priority class: a 4-byte value named like the service under
// HKLM "SOFTWARE\brightmoor\lorix\priority"; NORMAL_PRIORITY_CLASS when
// there is none (or it has another size).
constexpr char kPriorityKey[] = "SOFTWARE\\brightmoor\\lorix\\priority";
DWORD childPriority(const wchar_t* serviceName);

// Starts the service's child with this command line (its standard input a
// pipe for the stop request, its output drained), waits for it to end and
// reports the service stopped when it ended with 0 or after a stop
// request; when it cannot start, reports stopped with 1066 and 5000.
// A child that ended on its own with another code, or could not start,
// is explained by an error event in the Application log (with the last
// 8 KiB of its output).
void superviseChild(std::wstring commandLine);
// The service's control handler: a stop or shutdown reports stop pending
// and sends the child the stop request; anything else re-reports the
// status.
void WINAPI serviceControlHandler(DWORD control);

// A service run's first status: running, accepting stop and shutdown, no
// stop requested.
void resetServiceStatus();
// The status this process last set (or is about to report).
const SERVICE_STATUS& serviceStatus();

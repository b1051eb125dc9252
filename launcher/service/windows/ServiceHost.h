// The service host: the service verbs and the service process.
#pragma once
#include <string>

#include "launcher/config/CommandLine.h"

// Runs a service verb (install, uninstall, start, stop, ...) against the
// service control manager; returns the process exit code.
int runServiceCommand(const std::wstring& verb, const ArgumentVector& arguments);

// Hands the process to the service control manager; returns the process
// exit code.
int runServiceDispatcher();

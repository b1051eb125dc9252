#include "launcher/service/windows/ServiceHost.h"

#include <cstdio>

#include "launcher/config/Log.h"
#include "launcher/config/windows/Console.h"

// The service commands and the service main come with the service host;
// until then both roads end with exit code 1.

int runServiceCommand(const std::wstring& verb, const ArgumentVector& arguments) {
    logError(L"service command %s: service commands are not available in this build", verb.c_str());
    printWide(stderr, L"Service commands are not available in this build.\n");
    return 1;
}

int runServiceDispatcher() {
    logError(L"service dispatcher: running as a service is not available in this build");
    printWide(stderr, L"Running as a service is not available in this build.\n");
    return 1;
}

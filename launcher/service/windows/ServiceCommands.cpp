// The service verbs: install, uninstall, start, stop, restart and status
// of this executable as a Windows service.  Each prints short English lines
// on standard output and gives the process exit code.
#include "launcher/service/windows/ServiceHost.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/service/ServiceText.h"
#include "launcher/service/windows/EventLog.h"
#include "launcher/service/windows/ServiceHandle.h"

namespace {

constexpr int kServiceLauncherType = 4;
constexpr DWORD kStopPollMs = 500;

enum Verbosity { kQuiet, kVerbose };

void say(const wchar_t* format, ...) {
    wchar_t text[kBufferChars + 200];
    va_list args;
    va_start(args, format);
    formatWideV(text, sizeof text / sizeof text[0], format, args);
    va_end(args);
    printWide(stdout, text);
}

const wchar_t* serviceName() { return runState().serviceName; }

// Polls while the service is stop-pending; gives up when the wait hint
// passes without the check point advancing.  True when it stopped.
bool waitForStop(SC_HANDLE service) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return false;
    DWORD since = GetTickCount();
    DWORD checkPoint = status.dwCheckPoint;
    while (status.dwCurrentState == SERVICE_STOP_PENDING) {
        Sleep(kStopPollMs);
        if (!QueryServiceStatus(service, &status)) return false;
        if (status.dwCheckPoint > checkPoint) {
            since = GetTickCount();
            checkPoint = status.dwCheckPoint;
        } else if (GetTickCount() - since > status.dwWaitHint) {
            break;
        }
    }
    return status.dwCurrentState == SERVICE_STOPPED;
}

int stopService(Verbosity verbosity) {
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        if (verbosity == kVerbose) say(L"Could not open SCManager.\n");
        return 1;
    }
    UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName(), SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        if (verbosity == kVerbose) say(L"Could not stop service.\n");
        return 1;
    }
    SERVICE_STATUS status;
    if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
        say(L"Stopping service '%s'.\n", serviceName());
        say(waitForStop(service.get()) ? L"Service stopped\n" : L"Error while stopping service\n");
        return 0;
    }
    if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
        say(L"Service is already stopped.\n");
        return 0;
    }
    if (verbosity == kVerbose) say(L"Could not stop service.\n");
    return 1;
}

// True while the service is still stopping: its process has not ended, so
// a delete only marks it (a new one of that name cannot be created until it
// ends) and a start fails as if it were running.
bool stillStopping() {
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(manager ? OpenServiceW(manager.get(), serviceName(), SERVICE_QUERY_STATUS) : nullptr);
    SERVICE_STATUS status;
    return service && QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOP_PENDING;
}

int deleteService(Verbosity verbosity) {
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        if (verbosity == kVerbose) say(L"Could not open SCManager.\n");
        return 1;
    }
    UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName(), DELETE));
    if (!service || !DeleteService(service.get())) {
        // A source that this launcher left behind goes all the same.
        removeEventSource(serviceName(), executableLongPath(), false);
        if (verbosity == kVerbose) say(L"Could not delete service.\n");
        return 1;
    }
    removeEventSource(serviceName(), executableLongPath(), true);
    if (verbosity == kVerbose) say(L"Uninstalled service '%s'.\n", serviceName());
    return 0;
}

int uninstallService(Verbosity verbosity) {
    stopService(kQuiet);
    return deleteService(verbosity);
}

// The description of message 20017, through ChangeServiceConfig2W bound at
// run time.
void setDescription(SC_HANDLE service) {
    wchar_t description[kBufferChars];
    if (!messageText(kDescriptionMessage, description)) return;
    using ChangeConfig2 = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
    HMODULE advapi = GetModuleHandleA("advapi32.dll");
    auto change = advapi ? reinterpret_cast<ChangeConfig2>(GetProcAddress(advapi, "ChangeServiceConfig2W")) : nullptr;
    if (!change) return;
    SERVICE_DESCRIPTIONW info{description};
    change(service, SERVICE_CONFIG_DESCRIPTION, &info);
}

int installService(DWORD startType) {
    stopService(kQuiet);
    // Deleting a service that is still stopping would leave none: the new
    // one cannot be created while the old one is only marked for deletion.
    if (stillStopping()) {
        say(L"Could not create service.\n");
        return 1;
    }
    deleteService(kQuiet);
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        say(L"Could not open SCManager.\n");
        return 1;
    }
    std::wstring binary = std::wstring(L"\"") + executableLongPath() + L"\"";
    wchar_t configured[kBufferChars];
    configWideString(kDependenciesKey, configured, kBufferChars);
    std::wstring dependencies = dependencyList(configured);
    UniqueServiceHandle service(CreateServiceW(manager.get(), serviceName(), serviceName(), SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                                               binary.c_str(), nullptr, nullptr,
                                               dependencies.empty() ? nullptr : dependencies.c_str(), nullptr,
                                               nullptr));
    if (!service) {
        say(L"Could not create service.\n");
        return 1;
    }
    setDescription(service.get());
    // The service process explains a failing application in the event log.
    registerEventSource(serviceName(), executableLongPath());
    say(L"Installed service '%s'.\n", serviceName());
    return 0;
}

// Starts the service with the arguments behind the service name.
int startService(const ArgumentVector& arguments) {
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        say(L"Could not open SCManager.\n");
        return 1;
    }
    UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName(), SERVICE_START));
    DWORD error = GetLastError();
    if (service) {
        std::vector<const wchar_t*> startArguments;
        for (size_t i = 1; i < arguments.size(); ++i) startArguments.push_back(arguments[i].c_str());
        if (StartServiceW(service.get(), static_cast<DWORD>(startArguments.size()),
                          startArguments.empty() ? nullptr : startArguments.data())) {
            say(L"Starting service '%s'.\n", serviceName());
            return 0;
        }
        error = GetLastError();
        // A service that is still stopping is not running: it is not started.
        if (error == ERROR_SERVICE_ALREADY_RUNNING && !stillStopping()) {
            say(L"Service is already running.\n");
            return 0;
        }
    }
    say(L"Could not start service. Error code: %d\n", static_cast<int>(error));
    return 1;
}

int queryServiceStatus() {
    UniqueServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        say(L"Could not open SCManager.\n");
        return 1;
    }
    UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status;
    if (!service || !QueryServiceStatus(service.get(), &status)) {
        say(L"Could not get status.\n");
        return 1;
    }
    int result = status.dwCurrentState == SERVICE_RUNNING ? 0 : 3;
    say(result == 0 ? L"Running.\n" : L"Not running.\n");

    alignas(QUERY_SERVICE_CONFIGA) BYTE buffer[kBufferChars];
    DWORD needed = 0;
    if (!QueryServiceConfigA(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer), sizeof buffer, &needed)) {
        say(L"Could not get config (%d, %d).\n", static_cast<int>(GetLastError()), static_cast<int>(needed));
        return 1;
    }
    if (reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer)->dwStartType == SERVICE_AUTO_START)
        say(L"%s.\n", L"Auto-start");
    return result;
}

DWORD configuredStartType() {
    return configInt(kExecutableTypeKey) == kServiceLauncherType ? SERVICE_AUTO_START : SERVICE_DEMAND_START;
}

}  // namespace

int runServiceCommand(const std::wstring& verb, const ArgumentVector& arguments) {
    if (verb == L"install") return installService(configuredStartType());
    if (verb == L"install-auto") return installService(SERVICE_AUTO_START);
    if (verb == L"install-demand") return installService(SERVICE_DEMAND_START);
    if (verb == L"install-and-start") {
        installService(configuredStartType());
        return startService(arguments);
    }
    if (verb == L"uninstall") return uninstallService(kVerbose);
    if (verb == L"stop") return stopService(kVerbose);
    if (verb == L"start") return startService(arguments);
    if (verb == L"restart") {
        stopService(kQuiet);
        return startService(arguments);
    }
    if (verb == L"status") return queryServiceStatus();
    return 1;
}

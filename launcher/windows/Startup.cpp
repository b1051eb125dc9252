#include "launcher/windows/Startup.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/ConfigLoader.h"
#include "launcher/config/windows/Console.h"
#include "launcher/windows/LaunchDriver.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/service/windows/ServiceHost.h"

namespace {

// Key 146, relative to the launcher's directory, with variables.
void applyWorkingDirectory() {
    wchar_t configured[kBufferChars];
    configWideString(kWorkingDirectoryKey, configured, kBufferChars);
    if (!configured[0]) {
        logLine(L"working directory unchanged");
        return;
    }
    expandVariablesWide(configured, true);
    wchar_t full[kBufferChars];
    fullPathWide(configured, full, kBufferChars, true, false);
    SetCurrentDirectoryW(full);
    logLine(L"change working directory to %s", full);
}

void initialise() {
    setExtractionDirectory("");
    loadConfigurationBlock();
    readLauncherFlavour();
    applyWorkingDirectory();
}

// "Usage: NAME.exe /install | ..." with the launcher's own file name.
int printUsage() {
    wchar_t module[kBufferChars];
    DWORD n = GetModuleFileNameW(nullptr, module, kBufferChars);
    module[n < kBufferChars ? n : kBufferChars - 1] = 0;
    wchar_t name[_MAX_FNAME];
    _wsplitpath(module, nullptr, nullptr, name, nullptr);
    wchar_t line[kBufferChars];
    formatWide(line, kBufferChars,
               L"Usage: %s.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect\n", name);
    printWide(stdout, line);
    return 0;
}

int runConsole(ArgumentVector& arguments, const std::wstring& programPath) {
    runState().serviceFlag = false;
    arguments.insert(arguments.begin(), programPath);
    runApplication(arguments, false);
    return 0;
}

}  // namespace

int launcherEntry() {
    runState().serviceFlag = true;
    initialise();
    configWideString(kServiceNameKey, runState().serviceName, kBufferChars);

    const wchar_t* commandLine = GetCommandLineW();
    logLine(L"command line %s", commandLine);
    ArgumentVector arguments;
    splitCommandLine(commandLine, arguments);
    std::wstring programPath;
    if (!arguments.empty()) {
        programPath = arguments.front();
        arguments.erase(arguments.begin());
    }

    if (!arguments.empty() && arguments.back() == kRestartMarker) {
        arguments.pop_back();
        runApplication(arguments, true);
        return 0;
    }

    std::wstring verb;
    if (!arguments.empty() && parseVerb(arguments.front(), verb)) {
        arguments.erase(arguments.begin());
        if (!arguments.empty()) setServiceName(arguments.front().c_str());
        switch (roadForVerb(verb)) {
        case Road::Usage: return printUsage();
        case Road::ServiceCommand: return runServiceCommand(verb, arguments);
        case Road::Run:
            logLine(L"running service");
            runState().noRedirection = true;
            return runConsole(arguments, programPath);
        case Road::RunRedirect:
            logLine(L"running service with redirection");
            return runConsole(arguments, programPath);
        case Road::Dispatcher: break;
        }
    }
    return runServiceDispatcher();
}

// Service start and stop under Wine's service control manager: the packed
// sample launcher installed as a service (its child runs main with the
// behaviour "main wait-stop"), against the floor, mini_service installed as
// a service, which only reports its states.  Both are driven by the same
// verbs of the same packed launcher ("/start NAME", "/stop NAME"), so the
// floor has the same cost of starting the verb's process and differs only
// in the service; cycles of the two alternate, so that drift of the shared
// machine hits both.
//
// Each figure is the time from CreateProcessW of the verb until this
// program sees, polling every kPollMs:
//   - /start: the manager reports the service running;
//     for the launcher also: main runs in the service's child (the stub's
//     record has main's "wait-stop" step), the time until the application
//     actually works; the floor's counterpart is its running report;
//   - /stop: the manager reports the service stopped;
//   - either: the verb's process ended.
// Between cycles the service's process is awaited, so that no tail of one
// cycle runs into the next.
//
//   service_bench.exe [cycles of each, default 31]
//
// Both services are removed at the end, also when a step fails, and any left
// over from an earlier run that was killed are removed first.  Exits with 1
// when a step fails or times out.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"

namespace fr = fake_runtime;

namespace {

constexpr wchar_t kLauncherService[] = L"Lrx Bench Launcher";
constexpr wchar_t kFloorService[] = L"LrxBenchMini";
// Fine enough against transitions of tens of milliseconds; coarse enough
// that the polling does not take a core from the processes it watches.
constexpr DWORD kPollMs = 2;
constexpr double kTransitionTimeoutMs = 60000;
constexpr DWORD kProcessEndTimeoutMs = 30000;
constexpr int kLauncherConfigServiceName = 101;

struct ServiceHandle {
    SC_HANDLE h = nullptr;
    ServiceHandle() = default;
    explicit ServiceHandle(SC_HANDLE handle) : h(handle) {}
    ~ServiceHandle() {
        if (h) CloseServiceHandle(h);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
};

SERVICE_STATUS_PROCESS serviceStatus(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status = {};
    DWORD needed = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed);
    return status;
}

bool waitForState(SC_HANDLE service, DWORD wanted, DWORD timeoutMs) {
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (serviceStatus(service).dwCurrentState == wanted) return true;
        Sleep(50);
    }
    return serviceStatus(service).dwCurrentState == wanted;
}

// Stops the service if it runs, waits for that, and deletes it.  Nothing
// happens when there is no such service.
void removeService(const wchar_t* name) {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager.h) return;
    ServiceHandle service(OpenServiceW(manager.h, name, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service.h) return;
    if (serviceStatus(service.h).dwCurrentState != SERVICE_STOPPED) {
        SERVICE_STATUS status;
        ControlService(service.h, SERVICE_CONTROL_STOP, &status);
        if (!waitForState(service.h, SERVICE_STOPPED, kProcessEndTimeoutMs))
            std::printf("warning: service '%s' did not stop\n", fr::ascii(name).c_str());
    }
    if (!DeleteService(service.h))
        std::printf("warning: could not remove service '%s' (error %lu)\n", fr::ascii(name).c_str(),
                    static_cast<unsigned long>(GetLastError()));
}

// Removes the benchmark's services however main ends.  A name is added
// before its service is installed, so a half-done installation goes too.
struct InstalledServices {
    std::vector<const wchar_t*> names;
    ~InstalledServices() {
        for (const wchar_t* name : names) removeService(name);
    }
};

HANDLE startProcess(std::wstring commandLine, HANDLE nul) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Runs a verb to its end; its exit code, or STILL_ACTIVE when it did not end.
DWORD runVerb(const std::wstring& commandLine, HANDLE nul) {
    HANDLE process = startProcess(commandLine, nul);
    if (!process) return STILL_ACTIVE;
    DWORD exitCode = STILL_ACTIVE;
    if (WaitForSingleObject(process, static_cast<DWORD>(kTransitionTimeoutMs)) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &exitCode);
    else
        TerminateProcess(process, ERROR_TIMEOUT);
    CloseHandle(process);
    return exitCode;
}

// One service under test, driven by the verbs of `launcher`: its name, its
// query handle and, for the launcher's, the stub's record that shows main
// running.
struct Target {
    const wchar_t* name;
    SC_HANDLE service;
    std::wstring launcher;
    std::wstring record;  // empty: no main to wait for
};

// What one verb took, in milliseconds from its CreateProcessW.
struct Transition {
    bool stateSeen = false;
    bool mainSeen = false;
    bool verbEnded = false;
    DWORD verbExitCode = STILL_ACTIVE;
    double toState = 0;
    double toMain = 0;
    double toVerbEnd = 0;
};

bool mainIsRunning(const std::wstring& record) {
    return fr::readText(record).find("behaviour\twait-stop") != std::string::npos;
}

bool transitionDone(const Transition& t, bool wantMain) {
    return t.stateSeen && t.verbEnded && (t.mainSeen || !wantMain);
}

// Looks once at everything still awaited and notes the time of what has
// happened since the last look.
void pollOnce(const Target& target, HANDLE verb, DWORD wanted, bool wantMain, double start, Transition* t) {
    if (!t->verbEnded && WaitForSingleObject(verb, 0) == WAIT_OBJECT_0) {
        t->toVerbEnd = bench::nowMillis() - start;
        t->verbEnded = true;
        GetExitCodeProcess(verb, &t->verbExitCode);
    }
    if (!t->stateSeen && serviceStatus(target.service).dwCurrentState == wanted) {
        t->toState = bench::nowMillis() - start;
        t->stateSeen = true;
    }
    if (wantMain && !t->mainSeen && mainIsRunning(target.record)) {
        t->toMain = bench::nowMillis() - start;
        t->mainSeen = true;
    }
}

// Runs "/VERB NAME" and polls until the manager reports `wanted`, the verb
// has ended and, when `wantMain`, main runs in the service's child.
Transition timeVerb(const Target& target, const wchar_t* verb, DWORD wanted, bool wantMain, HANDLE nul) {
    Transition t;
    std::wstring commandLine = L"\"" + target.launcher + L"\" /" + verb + L" \"" + target.name + L"\"";
    double start = bench::nowMillis();
    HANDLE process = startProcess(commandLine, nul);
    if (!process) return t;
    while (!transitionDone(t, wantMain) && bench::nowMillis() - start < kTransitionTimeoutMs) {
        pollOnce(target, process, wanted, wantMain, start, &t);
        if (!transitionDone(t, wantMain)) Sleep(kPollMs);
    }
    if (!t.verbEnded) TerminateProcess(process, ERROR_TIMEOUT);
    CloseHandle(process);
    return t;
}

bool transitionFailed(const wchar_t* name, const wchar_t* verb, const Transition& t, bool wantMain) {
    if (transitionDone(t, wantMain) && t.verbExitCode == 0) return false;
    std::printf("FAILED: /%s of '%s': %s%s%s, verb exit code %lu\n", fr::ascii(verb).c_str(),
                fr::ascii(name).c_str(), t.stateSeen ? "" : "the state was not reported; ",
                wantMain && !t.mainSeen ? "main did not run; " : "",
                t.verbEnded ? "the verb ended" : "the verb did not end", static_cast<unsigned long>(t.verbExitCode));
    return true;
}

// The figures of one kind of service over all its cycles.
struct Series {
    std::vector<double> startToRunning, startToWorking, startVerb;
    std::vector<double> stopToStopped, stopVerb;
};

void addCycle(const Transition& start, const Transition& stop, bool hasMain, Series* series) {
    series->startToRunning.push_back(start.toState);
    series->startToWorking.push_back(hasMain ? start.toMain : start.toState);
    series->startVerb.push_back(start.toVerbEnd);
    series->stopToStopped.push_back(stop.toState);
    series->stopVerb.push_back(stop.toVerbEnd);
}

// Waits for the service's process to end after a stop, so that its tail
// does not run into the next cycle.
bool waitForProcessEnd(HANDLE process) {
    if (!process) return true;
    bool ended = WaitForSingleObject(process, kProcessEndTimeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

// Starts the target and stops it again; with `series`, the figures go
// there.  The launcher's stop must have reached main as the stop request.
bool runCycle(const Target& target, HANDLE nul, Series* series) {
    bool hasMain = !target.record.empty();
    if (hasMain) DeleteFileW(target.record.c_str());
    Transition start = timeVerb(target, L"start", SERVICE_RUNNING, hasMain, nul);
    if (transitionFailed(target.name, L"start", start, hasMain)) return false;
    HANDLE serviceProcess = OpenProcess(SYNCHRONIZE, FALSE, serviceStatus(target.service).dwProcessId);
    Transition stop = timeVerb(target, L"stop", SERVICE_STOPPED, false, nul);
    bool ended = waitForProcessEnd(serviceProcess);
    if (transitionFailed(target.name, L"stop", stop, false)) return false;
    if (!ended) {
        std::printf("FAILED: the process of '%s' did not end after the stop\n", fr::ascii(target.name).c_str());
        return false;
    }
    if (hasMain && fr::readText(target.record).find("stdin\t\"0\"") == std::string::npos) {
        std::printf("FAILED: main of '%s' did not get the stop request\n", fr::ascii(target.name).c_str());
        return false;
    }
    if (series) addCycle(start, stop, hasMain, series);
    return true;
}

// ---- setting up -----------------------------------------------------------------------------

bool installLauncherService(const std::wstring& launcher, HANDLE nul) {
    DWORD exitCode = runVerb(L"\"" + launcher + L"\" /install-demand", nul);
    if (exitCode == 0) return true;
    std::printf("FAILED: /install-demand of the launcher ended with %lu\n", static_cast<unsigned long>(exitCode));
    return false;
}

bool installFloorService() {
    std::wstring binary = L"\"" + fr::widen(LRX_BENCH_MINI_SERVICE) + L"\"";
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ServiceHandle service(manager.h ? CreateServiceW(manager.h, kFloorService, kFloorService, SERVICE_ALL_ACCESS,
                                                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                     SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr,
                                                     nullptr, nullptr)
                                    : nullptr);
    if (service.h) return true;
    std::printf("FAILED: cannot install %s as a service (error %lu)\n", LRX_BENCH_MINI_SERVICE,
                static_cast<unsigned long>(GetLastError()));
    return false;
}

SC_HANDLE openForQuery(SC_HANDLE manager, const wchar_t* name) {
    SC_HANDLE service = manager ? OpenServiceW(manager, name, SERVICE_QUERY_STATUS) : nullptr;
    if (!service) std::printf("FAILED: cannot open service '%s'\n", fr::ascii(name).c_str());
    return service;
}

// ---- the report -----------------------------------------------------------------------------

void printRow(const char* name, const std::vector<double>& floor, const std::vector<double>& launcher) {
    std::printf("%-40s %8.1f %7.1f-%-7.1f %8.1f %7.1f-%-7.1f %6.2fx\n", name, bench::median(floor),
                bench::smallest(floor), bench::largest(floor), bench::median(launcher), bench::smallest(launcher),
                bench::largest(launcher), bench::ratio(bench::median(launcher), bench::median(floor)));
}

void printReport(int cycles, const Series& floor, const Series& launcher, size_t javaStarts) {
    std::printf("Service start and stop under Wine's service control manager, both through the packed launcher's\n"
                "verbs; floor: mini_service (only reports its states); %d cycles each, alternating; polled every %lu ms\n",
                cycles, static_cast<unsigned long>(kPollMs));
    std::printf("%-40s %8s %-15s %8s %-15s %7s\n", "", "floor", "min-max", "launcher", "min-max", "ratio");
    std::printf("%-40s %8s %-15s %8s %-15s %7s\n", "medians, ms from the verb's start", "", "", "", "", "");
    printRow("/start until reported running", floor.startToRunning, launcher.startToRunning);
    printRow("/start until the application works (*)", floor.startToWorking, launcher.startToWorking);
    printRow("/start verb ended", floor.startVerb, launcher.startVerb);
    printRow("/stop until reported stopped", floor.stopToStopped, launcher.stopToStopped);
    printRow("/stop verb ended", floor.stopVerb, launcher.stopVerb);
    std::printf("(*) launcher: main runs in the service's child; floor: reported running\n");
    std::printf("java.exe starts during the measured launcher cycles: %u\n", static_cast<unsigned>(javaStarts));
    bench::printGoal("/start until reported running", launcher.startToRunning, floor.startToRunning, 1.25);
    bench::printGoal("/stop until reported stopped", launcher.stopToStopped, floor.stopToStopped, 1.25);
    // A stop that does not reach STOPPED fails the run before this report.
    std::printf("stops that reached STOPPED: launcher %zu of %d, floor %zu of %d\n", launcher.stopToStopped.size(),
                cycles, floor.stopToStopped.size(), cycles);
}

}  // namespace

int main(int argc, char** argv) {
    // 31: with 15, a few cycles slowed by the shared machine moved the
    // medians by a third.
    int cycles = bench::runCount(argc, argv, 31);
    LauncherDescription description;
    if (!bench::loadSample(description)) return 1;
    setConfigValue(description, kLauncherConfigServiceName, fr::ascii(kLauncherService));

    fr::ScratchTree tree(L"service_bench");
    if (!bench::makeApplication(tree, description, "main wait-stop\n")) return 1;
    bench::setQuietEnvironment(tree);
    fr::removeCacheEntriesBelow(tree.path());
    std::wstring launcher = bench::launcherPath(tree);

    // Declared after the tree, so the services go before their files.
    InstalledServices installed;
    for (const wchar_t* name : {kLauncherService, kFloorService}) {
        removeService(name);  // left over from a run that was killed
        installed.names.push_back(name);
    }
    HANDLE nul = bench::openInheritableNul();
    bool ready = installLauncherService(launcher, nul) && installFloorService();
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ServiceHandle launcherQuery(ready ? openForQuery(manager.h, kLauncherService) : nullptr);
    ServiceHandle floorQuery(ready ? openForQuery(manager.h, kFloorService) : nullptr);
    Target launcherTarget{kLauncherService, launcherQuery.h, launcher, bench::jvmFile(tree, L"jvm.record")};
    Target floorTarget{kFloorService, floorQuery.h, launcher, std::wstring()};

    // One unmeasured cycle each: fills the version cache (the service's
    // child searches the JVM) and the file cache.
    ready = ready && launcherQuery.h && floorQuery.h && runCycle(launcherTarget, nul, nullptr) &&
            runCycle(floorTarget, nul, nullptr);
    size_t javaStartsBefore = bench::javaStarts(tree);
    Series floorSeries, launcherSeries;
    for (int i = 0; i < cycles && ready; ++i)
        ready = runCycle(floorTarget, nul, &floorSeries) && runCycle(launcherTarget, nul, &launcherSeries);
    CloseHandle(nul);
    if (!ready) return 1;
    printReport(cycles, floorSeries, launcherSeries, bench::javaStarts(tree) - javaStartsBefore);
    return 0;
}

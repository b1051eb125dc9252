// Time from process start to the application's main: "/run" of the packed
// sample launcher with a warm version cache, against the floor, a host
// that does nothing but load the same stub jvm.dll, create the VM with the
// same options and call the same main with the same arguments (those of
// the launcher's first run; bare_jvm_host).  The floor carries the
// launcher's manifest, as every deliverable must; the same host without it
// (bare_jvm_host_plain) shows what the manifest itself costs.  All run in the same layout
// (BenchSupport.h) with the same behaviour file, taking turns, so that drift
// of the shared machine hits each.
//
// How "main reached" is seen: main's first step prints a marker line
// (behaviour "main print"), which the stub writes with one WriteFile to the
// inherited standard output; that is a pipe this program reads, and the
// time is taken when the marker arrives.  Then main returns, and the time
// to the process's exit (VM destroyed, process torn down) is reported too.
// The clock starts right before CreateProcessW.
//
//   launch_bench.exe [runs of each, default 121]
//
// Runs under Wine; exits with 1 when a run does not reach main, does not
// end with 0, or a measured launch starts java.exe (the cache was not warm).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "launcher/config/PathString.h"

namespace fr = fake_runtime;

namespace {

constexpr char kMainMarker[] = "launch bench: main reached";
// The class whose main the sample's launcher calls.
constexpr wchar_t kLauncherClass[] = L"com/tavra/runtime/launcher/WinLauncher";
// A launch that hangs (a message box, say) is ended after this long.
constexpr DWORD kRunTimeoutMs = 60000;

struct Run {
    bool reachedMain = false;
    DWORD exitCode = STILL_ACTIVE;
    double toMain = 0;
    double toExit = 0;
    size_t recordLinesBeforeMain = 0;
    std::string output;
};

struct Series {
    std::vector<double> toMain;
    std::vector<double> toExit;
    size_t recordLinesBeforeMain = 0;
    int failures = 0;
};

struct Program {
    const char* name;  // for a failure report
    std::wstring commandLine;
    Series series;
};

// The path the launcher loads the VM by: the runtime's full path in lower
// case (A to Z; the bench sets no locale).  The stub finds its record and
// behaviour files beside its module path, so a host that loads it by
// another spelling makes the VM itself look up differently spelt paths;
// under Wine a spelling that differs from the disk's case is found by
// listing directories, which is not work of the launcher's own.
std::wstring launcherJvmPath(const fr::ScratchTree& tree) {
    std::wstring path = bench::jvmFile(tree, L"jvm.dll");
    lowerCaseAscii(&path[0]);
    return path;
}

// A host's command line: the layout's jvm.dll as the launcher names it,
// the options file, the class.
std::wstring hostCommandLine(const char* host, const fr::ScratchTree& tree, const std::wstring& optionsFile) {
    return L"\"" + fr::widen(host) + L"\" \"" + launcherJvmPath(tree) + L"\" \"" + optionsFile + L"\" " + kLauncherClass;
}

// A pipe for the child's standard output; only the write end is inherited.
bool createOutputPipe(HANDLE* readEnd, HANDLE* writeEnd) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    if (!CreatePipe(readEnd, writeEnd, &inheritable, 0)) return false;
    SetHandleInformation(*readEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

// Reads until `marker` has arrived (true) or every writer has closed the
// pipe (false).  An empty marker reads to the end.
bool readUntil(HANDLE pipe, const std::string& marker, std::string* output) {
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) {
        output->append(chunk, got);
        if (!marker.empty() && output->find(marker) != std::string::npos) return true;
    }
    return false;
}

// Ends a child that outlives the time-out; that closes its end of the
// output pipe, which ends the reading.
DWORD WINAPI endWhenOverdue(LPVOID process) {
    if (WaitForSingleObject(process, kRunTimeoutMs) == WAIT_TIMEOUT) TerminateProcess(process, ERROR_TIMEOUT);
    return 0;
}

// "C:\\x" as the stub's record quotes it, back to C:\x.
std::string unquote(const std::string& quoted) {
    std::string out;
    for (size_t i = 1; i + 1 < quoted.size(); ++i) {
        char c = quoted[i];
        if (c == '\\' && i + 2 < quoted.size()) {
            char next = quoted[++i];
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next == 't' ? '\t' : next;
        }
        out += c;
    }
    return out;
}

// The VM options of the launcher's last run, from the stub's record, into
// `file` (one a line) for the floor.  Options that carry a hook in their
// extra information (a second field) are left out: a bare host has none.
bool writeLauncherOptions(const fr::ScratchTree& tree, const std::wstring& file) {
    std::string record = fr::readText(bench::jvmFile(tree, L"jvm.record")), options;
    for (size_t pos = 0; pos < record.size();) {
        size_t end = record.find('\n', pos);
        if (end == std::string::npos) end = record.size();
        std::string line = record.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, 7, "option\t") == 0 && line.find('\t', 7) == std::string::npos)
            options += unquote(line.substr(7)) + "\n";
        pos = end + 1;
    }
    return !options.empty() && fr::writeText(file, options);
}

// The arguments the launcher's last run passed to main, from the stub's
// record of the call: the array is rendered as {"a", "b", ...}.
bool readLauncherMainArguments(const fr::ScratchTree& tree, std::vector<std::string>* arguments) {
    std::string record = fr::readText(bench::jvmFile(tree, L"jvm.record"));
    size_t call = record.find("CallStaticVoidMethod\t");
    size_t open = call == std::string::npos ? call : record.find("]{", call);
    size_t lineEnd = call == std::string::npos ? call : record.find('\n', call);
    if (open == std::string::npos || open > lineEnd) return false;
    for (size_t pos = open + 2; pos < lineEnd && record[pos] != '}';) {
        if (record[pos] != '"') return false;  // a null or an elided element: no command line carries it
        size_t end = pos + 1;
        while (end < lineEnd && record[end] != '"') end += record[end] == '\\' ? 2 : 1;
        if (end >= lineEnd) return false;
        arguments->push_back(unquote(record.substr(pos, end + 1 - pos)));
        pos = end + 1;
        if (record.compare(pos, 2, ", ") == 0) pos += 2;
    }
    return true;
}

// One command-line argument, quoted so that the C runtime's parsing gives
// it back unchanged: backslashes are doubled only before a quote.
std::wstring quoteArgument(const std::wstring& argument) {
    std::wstring out = L" \"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The record lines the stub wrote before main's first step.
size_t recordLinesBeforeMain(const fr::ScratchTree& tree) {
    std::string record = fr::readText(bench::jvmFile(tree, L"jvm.record"));
    size_t count = 0;
    for (size_t pos = 0; pos < record.size(); ++count) {
        if (record.compare(pos, 10, "behaviour\t") == 0) return count;
        size_t end = record.find('\n', pos);
        pos = end == std::string::npos ? record.size() : end + 1;
    }
    return 0;
}

// Starts `commandLine` with its output on a pipe and times it to the marker
// and to its exit.
Run timeRun(std::wstring commandLine, HANDLE nul) {
    Run run;
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!createOutputPipe(&readEnd, &writeEnd)) return run;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION process = {};
    double start = bench::nowMillis();
    bool started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                  &process) != FALSE;
    CloseHandle(writeEnd);  // the child's copy is the only writer left
    if (!started) {
        CloseHandle(readEnd);
        run.output = "CreateProcess failed, error " + std::to_string(GetLastError());
        return run;
    }
    HANDLE watchdog = CreateThread(nullptr, 0, endWhenOverdue, process.hProcess, 0, nullptr);
    if (readUntil(readEnd, kMainMarker, &run.output)) {
        run.reachedMain = true;
        run.toMain = bench::nowMillis() - start;
        readUntil(readEnd, std::string(), &run.output);
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    run.toExit = bench::nowMillis() - start;
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    if (watchdog) {
        WaitForSingleObject(watchdog, INFINITE);
        CloseHandle(watchdog);
    }
    CloseHandle(readEnd);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return run;
}

// One timed run with a fresh record, added to `series`.
Run measure(const std::wstring& commandLine, const fr::ScratchTree& tree, HANDLE nul, Series* series) {
    DeleteFileW(bench::jvmFile(tree, L"jvm.record").c_str());
    Run run = timeRun(commandLine, nul);
    run.recordLinesBeforeMain = recordLinesBeforeMain(tree);
    if (!run.reachedMain || run.exitCode != 0) {
        ++series->failures;
        return run;
    }
    series->toMain.push_back(run.toMain);
    series->toExit.push_back(run.toExit);
    series->recordLinesBeforeMain = run.recordLinesBeforeMain;
    return run;
}

bool reportFailure(const char* name, const Run& run) {
    if (run.reachedMain && run.exitCode == 0) return false;
    std::printf("FAILED: %s %s, exit code %lu; its output:\n%s\n", name,
                run.reachedMain ? "reached main" : "did not reach main", static_cast<unsigned long>(run.exitCode),
                run.output.c_str());
    return true;
}

void printRow(const char* name, const Series& series) {
    std::printf("%-34s %8.1f  %7.1f-%-7.1f %8.1f  %7.1f-%-7.1f %8u\n", name, bench::median(series.toMain),
                bench::smallest(series.toMain), bench::largest(series.toMain), bench::median(series.toExit),
                bench::smallest(series.toExit), bench::largest(series.toExit),
                static_cast<unsigned>(series.recordLinesBeforeMain));
}

}  // namespace

int main(int argc, char** argv) {
    int runs = bench::runCount(argc, argv, 121);
    LauncherDescription description;
    if (!bench::loadSample(description)) return 1;
    fr::ScratchTree tree(L"launch_bench");
    std::string behaviour = std::string("main print ") + kMainMarker + "\nmain return\n";
    if (!bench::makeApplication(tree, description, behaviour)) return 1;
    bench::setQuietEnvironment(tree);
    fr::removeCacheEntriesBelow(tree.path());

    std::wstring optionsFile = tree / L"floor.options";
    Program launcher{"a launcher run", L"\"" + bench::launcherPath(tree) + L"\" /run", {}};
    Program floor{"a floor run", hostCommandLine(LRX_BENCH_JVM_HOST, tree, optionsFile), {}};
    Program plain{"a run of the host without a manifest", hostCommandLine(LRX_BENCH_PLAIN_JVM_HOST, tree, optionsFile),
                  {}};
    HANDLE nul = bench::openInheritableNul();

    // The first launch fills the version cache, gives the hosts their VM
    // options and brings every program into the file cache; it is not
    // measured.
    Series warmUp;
    bool failed = reportFailure("the first launcher run", measure(launcher.commandLine, tree, nul, &warmUp));
    if (!failed && !writeLauncherOptions(tree, optionsFile)) {
        std::printf("FAILED: no VM options in the record of the first launcher run\n");
        failed = true;
    }
    std::vector<std::string> mainArguments;
    if (!failed && !readLauncherMainArguments(tree, &mainArguments)) {
        std::printf("FAILED: no call of main in the record of the first launcher run\n");
        failed = true;
    }
    for (const std::string& argument : mainArguments) {
        floor.commandLine += quoteArgument(fr::widen(argument));
        plain.commandLine += quoteArgument(fr::widen(argument));
    }
    failed |= reportFailure("the first floor run", measure(floor.commandLine, tree, nul, &warmUp));
    failed |= reportFailure("the first run without a manifest", measure(plain.commandLine, tree, nul, &warmUp));
    size_t javaStartsBefore = bench::javaStarts(tree);

    // Each round starts with the next program, so that none always runs
    // right after the same other one.
    Program* turns[] = {&floor, &launcher, &plain};
    for (int i = 0; i < runs && !failed; ++i)
        for (int k = 0; k < 3 && !failed; ++k) {
            Program& program = *turns[(i + k) % 3];
            failed |= reportFailure(program.name, measure(program.commandLine, tree, nul, &program.series));
        }
    size_t javaStartsMeasured = bench::javaStarts(tree) - javaStartsBefore;
    CloseHandle(nul);
    if (failed) return 1;

    std::printf("Process start to main: /run of the packed sample (warm version cache) against a host that only\n"
                "loads the same stub jvm.dll, creates the VM with the same options, calls main with the same\n"
                "arguments, and carries the launcher's manifest; %d runs each, taking turns\n",
                runs);
    std::printf("%-34s %8s  %-15s %8s  %-15s %8s\n", "program", "to main", "min-max", "to exit", "min-max",
                "record");
    std::printf("%-34s %8s  %-15s %8s  %-15s %8s\n", "", "(ms)", "(ms)", "(ms)", "(ms)", "lines");
    printRow("floor: bare_jvm_host, median", floor.series);
    printRow("launcher /run, median", launcher.series);
    printRow("host without a manifest, median", plain.series);
    double floorMain = bench::median(floor.series.toMain), launcherMain = bench::median(launcher.series.toMain);
    double floorExit = bench::median(floor.series.toExit), launcherExit = bench::median(launcher.series.toExit);
    double plainMain = bench::median(plain.series.toMain);
    std::printf("launcher/floor: to main %.2fx (%+.1f ms), to exit %.2fx (%+.1f ms)\n",
                bench::ratio(launcherMain, floorMain), launcherMain - floorMain, bench::ratio(launcherExit, floorExit),
                launcherExit - floorExit);
    std::printf("the manifest's own cost: floor/host without one, to main %.2fx (%+.1f ms)\n",
                bench::ratio(floorMain, plainMain), floorMain - plainMain);
    std::printf("launcher/host without a manifest: to main %.2fx (%+.1f ms)\n", bench::ratio(launcherMain, plainMain),
                launcherMain - plainMain);
    std::printf("(record lines: JNI calls and VM options the stub recorded before main)\n");
    // main returns right after printing the marker: "to main" is the end of main.
    bench::printGoal("/run to the end of main", launcher.series.toMain, floor.series.toMain, 1.10);
    bench::printSize("servicelauncher.exe", LRX_BENCH_LAUNCHER, 200);
#ifdef LRX_BENCH_TVRINST
    bench::printSize("tvrinst.dll", LRX_BENCH_TVRINST, 256);
#endif
    std::printf("java.exe starts during the measured launcher runs: %u\n", static_cast<unsigned>(javaStartsMeasured));
    if (javaStartsMeasured != 0) {
        std::printf("FAILED: the version cache was not used\n");
        return 1;
    }
    return 0;
}

// The JVM search of the sample configuration against a fake runtime in
// ..\jre: the first launch (empty version cache) against later launches
// (warm cache), with the java.exe starts and the wall time of each.  A
// launch that only prints the usage line ("/?") is the baseline: it has
// the launcher's fixed costs without the search.
//
//   jvm_search_bench.exe [warm launches, default 5]
//
// Runs under Wine; exits with 1 when a warm launch starts java.exe or the
// search fails.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/runtime/FakeRuntime.h"
#include "tools/pack/Description.h"
#include "tools/pack/Image.h"

namespace fr = fake_runtime;

namespace {

struct Launch {
    double millis = 0;
    size_t javaStarts = 0;
    DWORD exitCode = 0;
};

double nowMillis() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::vector<uint8_t> readBytes(const std::wstring& path) {
    std::string text = fr::readText(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool packSample(const std::wstring& exe) {
    LauncherDescription description;
    std::string error;
    if (!loadDescription(LRX_BENCH_SAMPLE, description, error)) {
        std::printf("cannot read %s: %s\n", LRX_BENCH_SAMPLE, error.c_str());
        return false;
    }
    std::vector<uint8_t> packed;
    if (!packLauncher(readBytes(fr::widen(LRX_BENCH_LAUNCHER)), description, packed, error)) {
        std::printf("cannot pack %s: %s\n", LRX_BENCH_LAUNCHER, error.c_str());
        return false;
    }
    return fr::writeText(exe, std::string(packed.begin(), packed.end()));
}

// Runs the launcher with its output discarded and waits for it.
Launch launch(const std::wstring& exe, const wchar_t* arguments, const std::wstring& javaBin) {
    Launch result;
    size_t before = fr::javaRuns(javaBin).size();
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process = {};
    double start = nowMillis();
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        result.millis = nowMillis() - start;
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(nul);
    result.javaStarts = fr::javaRuns(javaBin).size() - before;
    return result;
}

// The median time: Wine's process starts vary by tens of milliseconds.
double median(const std::vector<Launch>& launches) {
    std::vector<double> times;
    for (const Launch& l : launches) times.push_back(l.millis);
    std::sort(times.begin(), times.end());
    if (times.empty()) return 0;
    size_t mid = times.size() / 2;
    return times.size() % 2 ? times[mid] : (times[mid - 1] + times[mid]) / 2;
}

size_t starts(const std::vector<Launch>& launches) {
    size_t sum = 0;
    for (const Launch& l : launches) sum += l.javaStarts;
    return sum;
}

void printRow(const char* name, size_t javaStarts, double millis) {
    std::printf("%-30s %10u %12.1f\n", name, static_cast<unsigned>(javaStarts), millis);
}

}  // namespace

int main(int argc, char** argv) {
    int warmCount = argc > 1 ? std::atoi(argv[1]) : 5;
    if (warmCount < 1) warmCount = 1;
    SetEnvironmentVariableW(L"LRX_FAKE_RUNTIME", fr::widen(LRX_BENCH_FAKE_RUNTIME).c_str());

    fr::ScratchTree tree(L"bench");
    fr::makeDirectories(tree / L"bin");
    fr::makeDirectories(tree / L"tmp");
    std::wstring exe = tree / L"bin\\orvane.exe";
    std::wstring javaBin = tree / L"jre\\bin";
    if (!packSample(exe)) return 1;
    fr::installRuntime(tree / L"jre", "1.8.0_301");

    // The launcher's environment: its own temporary directory, no log, no
    // runtime named by a variable.
    SetEnvironmentVariableW(L"TMP", (tree / L"tmp").c_str());
    SetEnvironmentVariableW(L"TEMP", (tree / L"tmp").c_str());
    for (const wchar_t* name : {L"TAVRA_LOG", L"LORIX_LOG", L"JAVA_HOME", L"JDK_HOME", L"LORIX_JAVA_HOME",
                                L"TAVRA_JAVA_HOME"})
        SetEnvironmentVariableW(name, nullptr);

    // One launch to bring the launcher into the file cache, then the cold
    // search; baseline and warm launches alternate so that drift hits both.
    fr::removeCacheEntriesBelow(tree.path());
    launch(exe, L"/?", javaBin);
    Launch cold = launch(exe, L"/run", javaBin);
    std::vector<Launch> usage, warm;
    for (int i = 0; i < warmCount; ++i) {
        usage.push_back(launch(exe, L"/?", javaBin));
        warm.push_back(launch(exe, L"/run", javaBin));
    }

    // One more launch with the log on, to see that the search succeeded.
    SetEnvironmentVariableW(L"TAVRA_LOG", L"yes");
    launch(exe, L"/run", javaBin);
    SetEnvironmentVariableW(L"TAVRA_LOG", nullptr);
    std::string log = fr::readText(tree / L"tmp\\tvr_nlog_1.log");
    bool loaded = log.find("Loading of JVM-DLL successful") != std::string::npos;

    double baseline = median(usage);
    std::printf("JVM search of the sample configuration (B..\\jre;Y;EJAVA_HOME;EJDK_HOME;), fake runtime 1.8.0_301\n");
    std::printf("%-30s %10s %12s\n", "launch", "java.exe", "time (ms)");
    printRow("usage line only (/?), median", starts(usage), baseline);
    printRow("first launch, cold cache", cold.javaStarts, cold.millis);
    for (size_t i = 0; i < warm.size(); ++i) {
        std::string name = "later launch " + std::to_string(i + 1) + ", warm";
        printRow(name.c_str(), warm[i].javaStarts, warm[i].millis);
    }
    printRow("later launches, median", starts(warm), median(warm));
    double coldSearch = cold.millis - baseline, warmSearch = median(warm) - baseline;
    std::printf("search time over the baseline: cold %.1f ms, warm %.1f ms", coldSearch, warmSearch);
    if (warmSearch > 0)
        std::printf(" (cold/warm %.1fx)", coldSearch / warmSearch);
    else
        std::printf(" (warm search within the noise of a process start)");
    std::printf("\nlaunch time cold/warm: %.2fx\n", cold.millis / median(warm));

    bool ok = loaded && cold.javaStarts == 1 && starts(warm) == 0;
    if (!loaded) std::printf("FAILED: the search did not load the fake runtime's jvm.dll\n");
    if (cold.javaStarts != 1 || starts(warm) != 0)
        std::printf("FAILED: expected one java.exe start cold and none warm\n");
    return ok ? 0 : 1;
}

// What the launch and service benchmarks share: a clock, medians, and an
// application layout around a launcher packed from the sample description:
//
//   bin\orvane.exe               the sample packed onto the built launcher
//   jre\bin\java.exe             the fake java.exe, reporting 1.8.0_301
//   jre\bin\server\jvm.dll       the stub JVM; jvm.behaviour beside it says
//                                what main does, jvm.record is its record
//   lib\common, lib\server, tmp  empty
//
// Header-only, like FakeRuntime.h, so that each benchmark stays one program.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/runtime/FakeRuntime.h"
#include "tools/pack/Description.h"
#include "tools/pack/Image.h"

namespace bench {

namespace fr = fake_runtime;

inline double nowMillis() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Medians rather than means: Wine's process starts vary by tens of
// milliseconds, and one slow start would move a mean.
inline double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

inline double smallest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

inline double largest(const std::vector<double>& values) {
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

inline double ratio(double measured, double floor) { return floor > 0 ? measured / floor : 0; }

// The median of the ratios of the runs taken in the same turn (element i
// of each series).  Under Wine nearly every call is a round trip to the
// wineserver, and a run that the scheduler puts on the other core from the
// server can take several times as long as one beside it; which a run
// gets is chance.  The ratio of the two medians follows how many slow runs
// each series drew; a turn whose two runs got the same placement gives the
// work's own ratio, the others fall to both sides of it in like numbers,
// so the median of the turns' ratios keeps to the work.
inline double pairedRatio(const std::vector<double>& measured, const std::vector<double>& floor) {
    std::vector<double> ratios;
    for (size_t i = 0; i < measured.size() && i < floor.size(); ++i)
        if (floor[i] > 0) ratios.push_back(measured[i] / floor[i]);
    return median(ratios);
}

// The paired ratio of two series against the goal set for it, beside the
// ratio of their medians; how far it is off, in ms of the floor's median.
inline void printGoal(const char* what, const std::vector<double>& measured, const std::vector<double>& floor,
                      double goal) {
    double r = pairedRatio(measured, floor), floorMedian = median(floor);
    double ofMedians = ratio(median(measured), floorMedian);
    if (r <= goal)
        std::printf("goal %-38s %.2fx <= %.2fx: met (ratio of the medians %.2fx)\n", what, r, goal, ofMedians);
    else
        std::printf("goal %-38s %.2fx <= %.2fx: NOT met, %.1f ms over (ratio of the medians %.2fx)\n", what, r,
                    goal, (r - goal) * floorMedian, ofMedians);
}

// A deliverable's size against its limit in KiB; the path as the build
// defines it ("Z:/...").  False when the file cannot be read.
inline bool printSize(const char* name, const char* path, double limitKiB) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::wstring wide(path, path + std::strlen(path));
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        std::printf("size %-20s cannot read %s\n", name, path);
        return false;
    }
    double kib = static_cast<double>(data.nFileSizeLow) / 1024.0;
    std::printf("size %-20s %8lu bytes = %6.1f KiB <= %.0f KiB: %s\n", name,
                static_cast<unsigned long>(data.nFileSizeLow), kib, limitKiB, kib <= limitKiB ? "met" : "NOT met");
    return true;
}

// The run count from the first argument; `fallback` when absent or silly.
inline int runCount(int argc, char** argv, int fallback) {
    int n = argc > 1 ? std::atoi(argv[1]) : fallback;
    return n >= 1 ? n : fallback;
}

// The NUL device as an inheritable handle, for the standard handles of
// children whose output nobody reads.  The caller closes it.
inline HANDLE openInheritableNul() {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    return CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                       OPEN_EXISTING, 0, nullptr);
}

inline bool loadSample(LauncherDescription& description) {
    std::string error;
    if (loadDescription(LRX_BENCH_SAMPLE, description, error)) return true;
    std::printf("cannot read %s: %s\n", LRX_BENCH_SAMPLE, error.c_str());
    return false;
}

inline bool packTo(const std::wstring& exe, const LauncherDescription& description) {
    std::string image = fr::readText(fr::widen(LRX_BENCH_LAUNCHER));
    std::vector<uint8_t> packed;
    std::string error;
    if (image.empty() || !packLauncher(std::vector<uint8_t>(image.begin(), image.end()), description, packed, error)) {
        std::printf("cannot pack %s: %s\n", LRX_BENCH_LAUNCHER, image.empty() ? "cannot read it" : error.c_str());
        return false;
    }
    return fr::writeText(exe, std::string(packed.begin(), packed.end()));
}

inline std::wstring launcherPath(const fr::ScratchTree& tree) { return tree / L"bin\\orvane.exe"; }
inline std::wstring jvmDirectory(const fr::ScratchTree& tree) { return tree / L"jre\\bin\\server"; }
inline std::wstring jvmFile(const fr::ScratchTree& tree, const wchar_t* name) {
    return jvmDirectory(tree) + L"\\" + name;
}

// Builds the layout above in `tree` with `description` packed as the
// launcher and `behaviour` as what main does.
inline bool makeApplication(const fr::ScratchTree& tree, const LauncherDescription& description,
                            const std::string& behaviour) {
    for (const wchar_t* d : {L"bin", L"tmp", L"lib\\common", L"lib\\server"}) fr::makeDirectories(tree / d);
    SetEnvironmentVariableW(L"LRX_FAKE_RUNTIME", fr::widen(LRX_BENCH_FAKE_RUNTIME).c_str());
    fr::installJava(tree / L"jre", fr::javaVersion("1.8.0_301"));
    if (!fr::exists(tree / L"jre\\bin\\java.exe")) {
        std::printf("cannot copy java.exe from %s\n", LRX_BENCH_FAKE_RUNTIME);
        return false;
    }
    fr::makeDirectories(jvmDirectory(tree));
    if (!CopyFileW(fr::widen(LRX_BENCH_STUB_JVM).c_str(), jvmFile(tree, L"jvm.dll").c_str(), FALSE)) {
        std::printf("cannot copy %s\n", LRX_BENCH_STUB_JVM);
        return false;
    }
    return fr::writeText(jvmFile(tree, L"jvm.behaviour"), behaviour) && packTo(launcherPath(tree), description);
}

// The launcher's environment: its own temporary directory, no log, no
// runtime named by a variable (the search must find ..\jre).
inline void setQuietEnvironment(const fr::ScratchTree& tree) {
    SetEnvironmentVariableW(L"TMP", (tree / L"tmp").c_str());
    SetEnvironmentVariableW(L"TEMP", (tree / L"tmp").c_str());
    for (const wchar_t* name : {L"TAVRA_LOG", L"LORIX_LOG", L"JAVA_HOME", L"JDK_HOME", L"LORIX_JAVA_HOME",
                                L"TAVRA_JAVA_HOME"})
        SetEnvironmentVariableW(name, nullptr);
}

// The runs of the fake java.exe so far (each is a version probe).
inline size_t javaStarts(const fr::ScratchTree& tree) { return fr::javaRuns(tree / L"jre\\bin").size(); }

}  // namespace bench

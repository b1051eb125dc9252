// What a launch loads: USER32 (and gdi32, which comes with it) only when a
// window is shown.  A /run that reaches main without showing anything must
// not have it, nor a service verb; a message box still works (see
// startup_e2e_test and instance_e2e_test for the box and the bring-to-front).
// Nor does a /run load advapi32 (and sechost with it): its registry reads go
// to kernel32, and advapi32 is delay-loaded for the service verbs.
#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/runtime/FakeRuntime.h"

namespace {

// The lower-cased names of the modules the process has loaded; empty when
// the snapshot fails.
std::vector<std::wstring> loadedModules(DWORD processId) {
    std::vector<std::wstring> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return names;
    MODULEENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry)) {
        std::wstring name = entry.szModule;
        for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
        names.push_back(name);
    }
    CloseHandle(snapshot);
    return names;
}

bool has(const std::vector<std::wstring>& names, const wchar_t* name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class StartupModules : public ::testing::Test {
protected:
    void SetUp() override {
        layOutSampleApplication(dir);
        exe = dir.file(L"bin\\orvane.exe");
        packTo(exe, sampleDescription());
    }
    void TearDown() override { fake_runtime::removeCacheEntriesBelow(dir.path()); }

    std::wstring jvmFile(const wchar_t* name) { return dir.file(L"jre\\bin\\server\\") + name; }

    ChildOptions quietOptions() {
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=",
                               L"JAVA_HOME=", L"JDK_HOME=", L"LORIX_JAVA_HOME=", L"TAVRA_JAVA_HOME="};
        return options;
    }

    ScratchDir dir{L"startup_modules"};
    std::wstring exe;
};

TEST_F(StartupModules, RunReachesMainWithoutUser32) {
    // main sleeps, so that the modules can be read while it runs.
    fake_runtime::writeText(jvmFile(L"jvm.behaviour"), "main sleep 3000\nmain return\n");
    std::vector<std::wstring> modules;
    ChildOptions options = quietOptions();
    options.whileRunning = [&](DWORD processId) {
        if (modules.empty() && readText(jvmFile(L"jvm.record")).find("behaviour\tsleep") != std::string::npos)
            modules = loadedModules(processId);
    };
    ChildResult result = runChild(commandLine(exe, L"/run"), options);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    ASSERT_TRUE(has(modules, L"jvm.dll")) << "main was not seen running, or the modules could not be read";
    EXPECT_FALSE(has(modules, L"user32.dll"));
    EXPECT_FALSE(has(modules, L"gdi32.dll"));
    EXPECT_FALSE(has(modules, L"advapi32.dll"));
    EXPECT_FALSE(has(modules, L"sechost.dll"));
}

}  // namespace

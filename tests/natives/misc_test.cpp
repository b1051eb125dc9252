// Processes and windows: closing processes gracefully and by force, the
// top-level windows and titles of a child that owns windows, the running
// modules, the environment block, disks, memory, delayed moves, launching
// and the reboot (through its seam only).
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "native/process/windows/Misc.h"
#include "tests/natives/NativeTestSupport.h"
#include "tests/natives/process_helpers/ProcessTestSupport.h"

namespace {

using nativetest::callExport;
using nativetest::callLinked;
using proctest::Child;
using proctest::startWindowOwner;

const char* kMisc = "Misc";
const DWORD kUnusedPid = 0x7FFFFFF0;

class MiscNatives : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    void TearDown() override {
        EXPECT_EQ(nullptr, fakejni::pendingException());
        EXPECT_EQ(0u, fakejni::openBuffers());
    }
    static jint terminate(const std::vector<jint>& pids, bool force, jint timeout) {
        return callExport(kMisc, "terminateProcesses0", {fakejni::newIntArray(pids), force, timeout}).asInt();
    }
};

// ---- terminateProcesses0 ------------------------------------------------------

TEST_F(MiscNatives, GracefulCloseOfAProcessWithAVisibleWindowEndsItWithResult1) {
    Child owner = startWindowOwner(L"visible", L"tvr graceful");
    ASSERT_NE(0u, owner.pid());
    EXPECT_EQ(1, terminate({static_cast<jint>(owner.pid())}, false, 10000));
    EXPECT_TRUE(owner.endsWithin(0));
    EXPECT_EQ(0u, owner.exitCode());  // it ended through WM_CLOSE, not TerminateProcess
}

TEST_F(MiscNatives, GracefulCloseWithAProcessOfHiddenWindowsOnlyGives0WithoutWaitingButClosesTheOthers) {
    Child hidden = startWindowOwner(L"hidden", L"tvr hidden");
    Child visible = startWindowOwner(L"visible", L"tvr visible");
    ASSERT_NE(0u, hidden.pid());
    ASSERT_NE(0u, visible.pid());
    DWORD started = GetTickCount();
    EXPECT_EQ(0, terminate({static_cast<jint>(hidden.pid()), static_cast<jint>(visible.pid())}, false, 20000));
    EXPECT_LT(GetTickCount() - started, 5000u);
    EXPECT_TRUE(visible.endsWithin(10000));  // it was sent WM_CLOSE all the same
    EXPECT_FALSE(hidden.endsWithin(0));
}

TEST_F(MiscNatives, GracefulCloseTimesOutWith3AndWaitsOnceForAProcessListedOftenBeyondTheWaitLimit) {
    Child stubborn = startWindowOwner(L"stubborn", L"tvr stubborn");
    ASSERT_NE(0u, stubborn.pid());
    jint pid = static_cast<jint>(stubborn.pid());
    EXPECT_EQ(3, terminate({pid}, false, 200));
    // 65 entries, one process: one handle to wait on, not 65.
    EXPECT_EQ(3, terminate(std::vector<jint>(65, pid), false, 200));
    EXPECT_FALSE(stubborn.endsWithin(0));
}

TEST_F(MiscNatives, GracefulCloseOfAListWithAnUnknownPidGives0ButClosesTheRest) {
    // The window's flag is set, the unknown pid's is not: 0, and no wait.
    Child owner = startWindowOwner(L"visible", L"tvr gone");
    ASSERT_NE(0u, owner.pid());
    EXPECT_EQ(0, terminate({static_cast<jint>(owner.pid()), static_cast<jint>(kUnusedPid)}, false, 1000));
    EXPECT_TRUE(owner.endsWithin(10000));
}

TEST_F(MiscNatives, ForcedTerminationKillsEveryListedProcessAndReports0ForAnUnknownPid) {
    Child first = startWindowOwner(L"idle", L"-");
    Child second = startWindowOwner(L"idle", L"-");
    ASSERT_NE(0u, first.pid());
    ASSERT_NE(0u, second.pid());
    EXPECT_EQ(0, terminate({static_cast<jint>(first.pid()), static_cast<jint>(kUnusedPid),
                            static_cast<jint>(second.pid())},
                           true, 0));
    EXPECT_TRUE(first.endsWithin(5000));
    EXPECT_TRUE(second.endsWithin(5000));

    Child third = startWindowOwner(L"idle", L"-");
    ASSERT_NE(0u, third.pid());
    EXPECT_EQ(1, terminate({static_cast<jint>(third.pid())}, true, 0));
    EXPECT_TRUE(third.endsWithin(5000));
}

TEST_F(MiscNatives, AnEmptyListGives1ForcedAnd2Graceful) {
    EXPECT_EQ(1, terminate({}, true, 0));
    EXPECT_EQ(2, terminate({}, false, 100));
    // A null list is taken as an empty one rather than read.
    EXPECT_EQ(1, callExport(kMisc, "terminateProcesses0", {nullptr, true, 0}).asInt());
}

// ---- windows -----------------------------------------------------------------

TEST_F(MiscNatives, TopLevelWindowsSkipAnUntitledWindowButKeepTheArrayLength) {
    Child owner = startWindowOwner(L"untitled", L"tvr titled");
    ASSERT_NE(0u, owner.pid());
    jclass windowInfo = fakejni::findClass("com/tavra/api/windows/WindowInfo");
    jobject windows = callExport(kMisc, "getTopLevelWindows0", {windowInfo, static_cast<jint>(owner.pid())}).asObject();
    ASSERT_NE(nullptr, windows);
    std::vector<jobject> infos = fakejni::elements(windows);
    ASSERT_EQ(2u, infos.size());
    ASSERT_NE(nullptr, infos[0]);
    EXPECT_EQ(nullptr, infos[1]);
    std::vector<fakejni::Value> args = fakejni::constructorArgs(infos[0]);
    ASSERT_EQ(4u, args.size());
    HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(args[0].asLong()));
    DWORD windowPid = 0;
    GetWindowThreadProcessId(hwnd, &windowPid);
    EXPECT_EQ(owner.pid(), windowPid);
    EXPECT_EQ(static_cast<jint>(GetWindowLongPtrW(hwnd, GWL_STYLE)), args[1].asInt());
    EXPECT_NE(0, args[1].asInt() & WS_VISIBLE);
    EXPECT_EQ(L"TvrWindowOwner", args[2].asText());
    EXPECT_EQ(L"tvr titled", args[3].asText());
}

TEST_F(MiscNatives, TopLevelWindowsOfAProcessWithoutVisibleWindowsAreNull) {
    Child hidden = startWindowOwner(L"hidden", L"tvr hidden");
    ASSERT_NE(0u, hidden.pid());
    jclass windowInfo = fakejni::findClass("com/tavra/api/windows/WindowInfo");
    EXPECT_TRUE(fakejni::isNull(
        callExport(kMisc, "getTopLevelWindows0", {windowInfo, static_cast<jint>(hidden.pid())}).asObject()));
}

TEST_F(MiscNatives, TopLevelWindowsWithAClassWithoutTheConstructorAreNullWithNothingPending) {
    Child owner = startWindowOwner(L"visible", L"tvr wrong class");
    ASSERT_NE(0u, owner.pid());
    jclass wrong = fakejni::findClass("java/lang/Integer");
    EXPECT_TRUE(
        fakejni::isNull(callExport(kMisc, "getTopLevelWindows0", {wrong, static_cast<jint>(owner.pid())}).asObject()));
}

struct HiddenTitleSearch {
    DWORD pid;
    std::wstring last;
};
BOOL CALLBACK rememberHiddenTitle(HWND hwnd, LPARAM param) {
    HiddenTitleSearch* search = reinterpret_cast<HiddenTitleSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[4096];
    if (pid == search->pid && !IsWindowVisible(hwnd) && GetWindowTextW(hwnd, title, 4096) > 0) search->last = title;
    return TRUE;
}
std::wstring lastHiddenTitleOf(DWORD pid) {
    HiddenTitleSearch search = {pid, L""};
    EnumWindows(rememberHiddenTitle, reinterpret_cast<LPARAM>(&search));
    return search.last;
}

TEST_F(MiscNatives, WindowTitleIsTheVisibleTitleTheHiddenOneOrEmpty) {
    Child visible = startWindowOwner(L"visible", L"tvr visible title");
    Child hidden = startWindowOwner(L"hidden", L"tvr hidden title");
    ASSERT_NE(0u, visible.pid());
    ASSERT_NE(0u, hidden.pid());
    EXPECT_EQ(L"tvr visible title",
              callExport(kMisc, "getWindowTitle0", {static_cast<jint>(visible.pid())}).asText());
    // Without a visible window: the last hidden titled one (Wine's and
    // Windows' own "Default IME" windows among them).
    EXPECT_EQ(lastHiddenTitleOf(hidden.pid()),
              callExport(kMisc, "getWindowTitle0", {static_cast<jint>(hidden.pid())}).asText());
    EXPECT_NE(L"", lastHiddenTitleOf(hidden.pid()));
    EXPECT_EQ(L"", callExport(kMisc, "getWindowTitle0", {static_cast<jint>(kUnusedPid)}).asText());
}

// A visible window of this thread that copies a short title but claims
// 20000 characters for it, more than any title buffer holds.
LRESULT CALLBACK boastOfTitleLength(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETTEXT && wParam > 0) {
        lstrcpynW(reinterpret_cast<wchar_t*>(lParam), L"tvr boastful", static_cast<int>(wParam));
        return 20000;
    }
    if (message == WM_GETTEXTLENGTH) return 20000;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(MiscNatives, WindowTitleOfAWindowOverstatingItsLengthIsItsText) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = boastOfTitleLength;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TvrBoastfulWindow";
    RegisterClassW(&windowClass);
    HWND hwnd = CreateWindowExW(0, L"TvrBoastfulWindow", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, hwnd);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    EXPECT_EQ(L"tvr boastful",
              callExport(kMisc, "getWindowTitle0", {static_cast<jint>(GetCurrentProcessId())}).asText());
    DestroyWindow(hwnd);
}

// A window of this thread: sent messages reach it without a message loop.
class OwnWindow {
public:
    OwnWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = record;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TvrMiscTestWindow";
        RegisterClassW(&windowClass);
        hwnd_ = CreateWindowExW(0, L"TvrMiscTestWindow", L"tvr own", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnWindow() { DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }
    static std::wstring s_settingChanged;

private:
    static LRESULT CALLBACK record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_SETTINGCHANGE && lParam) s_settingChanged = reinterpret_cast<const wchar_t*>(lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND hwnd_;
};
std::wstring OwnWindow::s_settingChanged;

TEST_F(MiscNatives, SetForegroundWindowRestoresAMinimizedWindow) {
    OwnWindow window;
    ASSERT_NE(nullptr, window.get());
    ShowWindow(window.get(), SW_SHOWMINIMIZED);
    ASSERT_TRUE(IsIconic(window.get()));
    callExport(kMisc, "setForegroundWindow0", {static_cast<jlong>(reinterpret_cast<INT_PTR>(window.get()))});
    EXPECT_FALSE(IsIconic(window.get()));
}

TEST_F(MiscNatives, ToFrontMakesAWindowOfThisProcessTheForegroundWindow) {
    OwnWindow window;
    ASSERT_NE(nullptr, window.get());
    ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    ASSERT_NE(window.get(), GetForegroundWindow());
    callExport(kMisc, "toFront0", {});
    EXPECT_EQ(window.get(), GetForegroundWindow());
}

TEST_F(MiscNatives, BroadcastSettingChangeNamesTheEnvironment) {
    OwnWindow window;
    ASSERT_NE(nullptr, window.get());
    ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    OwnWindow::s_settingChanged.clear();
    callExport(kMisc, "broadcastSettingChange0", {});
    EXPECT_EQ(L"Environment", OwnWindow::s_settingChanged);
}

// ---- running modules ----------------------------------------------------------------

bool privilegeEnabled(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    LUID luid;
    LookupPrivilegeValueW(nullptr, name, &luid);
    std::vector<BYTE> buffer(4096);
    DWORD size = 0;
    bool enabled = false;
    if (GetTokenInformation(token, TokenPrivileges, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) {
        const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i)
            if (privileges->Privileges[i].Luid.LowPart == luid.LowPart &&
                privileges->Privileges[i].Luid.HighPart == luid.HighPart)
                enabled = (privileges->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    CloseHandle(token);
    return enabled;
}

std::wstring ownEntry() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::to_wstring(GetCurrentProcessId()) + L" " + self;
}

bool listsEntry(jobject modules, const std::wstring& entry) {
    if (fakejni::isNull(modules)) return false;
    for (const std::wstring& text : fakejni::texts(modules))
        if (_wcsicmp(text.c_str(), entry.c_str()) == 0) return true;
    return false;
}

TEST_F(MiscNatives, RunningModulesListThisProgramAndSwitchTheDebugPrivilege) {
    jobject modules = callExport(kMisc, "getRunningModules0", {false}).asObject();
    EXPECT_TRUE(listsEntry(modules, ownEntry()));
    EXPECT_TRUE(privilegeEnabled(L"SeDebugPrivilege"));
    modules = callExport(kMisc, "getRunningModules0", {true}).asObject();
    EXPECT_TRUE(listsEntry(modules, ownEntry()));
    EXPECT_FALSE(privilegeEnabled(L"SeDebugPrivilege"));
}

// Process-status doubles: this process only, named by the image-name query
// as `g_imageName` and by the main-module query as `g_mainModule`.
std::wstring g_imageName, g_mainModule;
int g_mainModuleQueries = 0;
BOOL WINAPI onlyThisProcess(DWORD* ids, DWORD bytes, DWORD* returned) {
    ids[0] = GetCurrentProcessId();
    *returned = sizeof(DWORD);
    return bytes >= sizeof(DWORD);
}
BOOL WINAPI noProcesses(DWORD*, DWORD, DWORD*) { return FALSE; }
BOOL WINAPI imageNameDouble(HANDLE, DWORD, LPWSTR name, PDWORD size) {
    wcsncpy(name, g_imageName.c_str(), *size);
    *size = static_cast<DWORD>(g_imageName.size());
    return TRUE;
}
DWORD WINAPI mainModuleDouble(HANDLE, HMODULE, LPWSTR name, DWORD size) {
    ++g_mainModuleQueries;
    wcsncpy(name, g_mainModule.c_str(), size);
    return static_cast<DWORD>(g_mainModule.size());
}

class RunningModulesThroughDoubles : public MiscNatives {
protected:
    void TearDown() override {
        g_miscFunctions.processStatusDouble = nullptr;
        MiscNatives::TearDown();
    }
    std::vector<std::wstring> listWith(const ProcessStatusFunctions& functions) {
        g_miscFunctions.processStatusDouble = &functions;
        g_mainModuleQueries = 0;
        jobject modules = callLinked(kMisc, "getRunningModules0", {true}).asObject();
        g_miscFunctions.processStatusDouble = nullptr;
        return fakejni::isNull(modules) ? std::vector<std::wstring>() : fakejni::texts(modules);
    }
    std::wstring self = std::to_wstring(GetCurrentProcessId()) + L" ";
};

TEST_F(RunningModulesThroughDoubles, AnImageNameEndingInTmpIsAskedAgainOfTheMainModule) {
    ProcessStatusFunctions functions = {onlyThisProcess, mainModuleDouble, imageNameDouble};
    g_imageName = L"C:\\users\\x\\Temp\\is-1.tmp\\setup.tmp";
    g_mainModule = L"C:\\users\\x\\Temp\\is-1.tmp\\setup.exe";
    EXPECT_EQ(std::vector<std::wstring>{self + g_mainModule}, listWith(functions));
    EXPECT_EQ(1, g_mainModuleQueries);

    g_imageName = L"C:\\setup.TMP";  // the suffix is compared case-sensitively
    EXPECT_EQ(std::vector<std::wstring>{self + g_imageName}, listWith(functions));
    EXPECT_EQ(0, g_mainModuleQueries);

}

TEST_F(RunningModulesThroughDoubles, WithoutTheImageNameQueryTheMainModuleNamesTheProcess) {
    ProcessStatusFunctions functions = {onlyThisProcess, mainModuleDouble, nullptr};
    g_mainModule = L"C:\\app\\run.tmp";
    EXPECT_EQ(std::vector<std::wstring>{self + g_mainModule}, listWith(functions));
    EXPECT_EQ(1, g_mainModuleQueries);
}

TEST_F(RunningModulesThroughDoubles, WhenTheProcessStatusMethodListsNothingTheSnapshotListsThisProgram) {
    ProcessStatusFunctions functions = {noProcesses, mainModuleDouble, imageNameDouble};
    std::vector<std::wstring> modules = listWith(functions);
    wchar_t ownPath[MAX_PATH];
    GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
    EXPECT_NE(modules.end(), std::find_if(modules.begin(), modules.end(), [&](const std::wstring& entry) {
                  return _wcsicmp(entry.c_str(), (self + ownPath).c_str()) == 0;
              }));
}

// ---- environment, memory, disks ----------------------------------------------------

TEST_F(MiscNatives, EnvironmentPairsKeepBlockOrderAndTheEntriesThatBeginWithEquals) {
    SetEnvironmentVariableW(L"TVR_MISC_TEST", L"a=b");
    bool driveEntrySet = SetEnvironmentVariableW(L"=T:", L"T:\\tvr") != 0;
    jobject pairs = callExport(kMisc, "getEnvVarPairs0", {}).asObject();
    ASSERT_FALSE(fakejni::isNull(pairs));
    std::vector<std::wstring> texts = fakejni::texts(pairs);
    std::vector<std::wstring> expected;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* at = block; *at; at += wcslen(at) + 1) expected.push_back(at);
    FreeEnvironmentStringsW(block);
    EXPECT_EQ(expected, texts);
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"TVR_MISC_TEST=a=b"));
    if (driveEntrySet) {
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"=T:=T:\\tvr"));
    }
    SetEnvironmentVariableW(L"TVR_MISC_TEST", nullptr);
    SetEnvironmentVariableW(L"=T:", nullptr);
}

// On a full heap the pairs that could be made are listed; the native makes
// no JNI call while the heap's exception is pending and leaves none.
TEST_F(MiscNatives, EnvironmentPairsOnAFullHeapAreThoseThatCouldBeMade) {
    fakejni::failStringsAfter(2);
    jobject pairs = callExport(kMisc, "getEnvVarPairs0", {}).asObject();
    ASSERT_FALSE(fakejni::isNull(pairs));
    EXPECT_EQ(2u, fakejni::texts(pairs).size());
    EXPECT_EQ(std::vector<std::string>(), nativetest::callsWithAnExceptionPending());
}

TEST_F(MiscNatives, FreeDiskSpaceIsMinusOneForAMissingPath) {
    nativetest::ScratchFolder folder;
    EXPECT_EQ(-1, callExport(kMisc, "getFreeDiskSpace0", {fakejni::newString(folder.file(L"missing\\deeper"))})
                      .asLong());
    EXPECT_GT(callExport(kMisc, "getFreeDiskSpace0", {fakejni::newString(folder.path())}).asLong(), 0);
}

TEST_F(MiscNatives, PhysicalMemoryIsTheSystemsTotal) {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    EXPECT_EQ(static_cast<jlong>(status.ullTotalPhys), callExport(kMisc, "getPhysicalMemory0", {}).asLong());
}

TEST_F(MiscNatives, PidFromHandleNamesTheProcessOr0) {
    HANDLE self = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentProcessId());
    ASSERT_NE(nullptr, self);
    EXPECT_EQ(static_cast<jint>(GetCurrentProcessId()),
              callExport(kMisc, "getPidFromHandle0", {static_cast<jlong>(reinterpret_cast<INT_PTR>(self))}).asInt());
    CloseHandle(self);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(0, callExport(kMisc, "getPidFromHandle0", {static_cast<jlong>(reinterpret_cast<INT_PTR>(event))}).asInt());
    CloseHandle(event);
}

// ---- delayed moves ---------------------------------------------------------------------

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenames[] = L"PendingFileRenameOperations";

// Keeps the pending renames of before the test and puts them back after it.
class PendingRenames {
public:
    PendingRenames() { present_ = read(saved_); }
    ~PendingRenames() {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (present_)
            RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(saved_.data()),
                           static_cast<DWORD>(saved_.size() * sizeof(wchar_t)));
        else
            RegDeleteValueW(key, kPendingRenames);
        RegCloseKey(key);
    }
    static bool read(std::vector<wchar_t>& units) {
        DWORD bytes = 0;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ, nullptr, nullptr,
                         &bytes) != ERROR_SUCCESS)
            return false;
        units.assign(bytes / sizeof(wchar_t) + 1, 0);
        return RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, RRF_RT_REG_MULTI_SZ, nullptr,
                            units.data(), &bytes) == ERROR_SUCCESS;
    }
    // The strings of the value now.
    static std::vector<std::wstring> strings() {
        std::vector<wchar_t> units;
        std::vector<std::wstring> out;
        if (!read(units)) return out;
        for (size_t at = 0; at < units.size() && units[at];) {
            std::wstring text(&units[at]);
            out.push_back(text);
            at += text.size() + 1;
        }
        return out;
    }

private:
    bool present_ = false;
    std::vector<wchar_t> saved_;
};

TEST_F(MiscNatives, DelayedMovesAreWrittenAsPendingRenameOperations) {
    PendingRenames restoreAfterwards;
    nativetest::ScratchFolder folder;
    std::wstring from = folder.file(L"old.txt"), to = folder.file(L"new.txt");
    HANDLE file = CreateFileW(from.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    EXPECT_TRUE(callExport(kMisc, "moveWithDelayUntilReboot0",
                           {fakejni::newString(from), fakejni::newString(to)}).asBoolean());
    EXPECT_TRUE(callExport(kMisc, "moveWithDelayUntilReboot0", {fakejni::newString(from), nullptr}).asBoolean());
    std::vector<std::wstring> pending = PendingRenames::strings();
    auto contains = [&](const std::wstring& tail) {
        return std::any_of(pending.begin(), pending.end(), [&](const std::wstring& s) {
            return s.size() >= tail.size() && _wcsicmp(s.c_str() + s.size() - tail.size(), tail.c_str()) == 0;
        });
    };
    EXPECT_TRUE(contains(L"\\old.txt"));
    EXPECT_TRUE(contains(L"\\new.txt"));
    EXPECT_TRUE(GetFileAttributesW(from.c_str()) != INVALID_FILE_ATTRIBUTES);  // nothing moved yet
}

std::vector<std::pair<std::wstring, bool>> g_delayedMoves;  // source, and whether a target was given
BOOL WINAPI recordDelayedMove(LPCWSTR from, LPCWSTR to, DWORD) {
    g_delayedMoves.emplace_back(from ? from : L"(null)", to != nullptr);
    return TRUE;
}

// A target the VM cannot copy (a full heap) is not a missing one, which
// would delete the source at the reboot.
TEST_F(MiscNatives, AMoveWhoseTargetCannotBeCopiedIsNotWrittenAtAll) {
    auto real = g_miscFunctions.moveFileEx;
    g_miscFunctions.moveFileEx = recordDelayedMove;
    g_delayedMoves.clear();
    fakejni::failCopiesAfter(1);  // the source, not the target
    bool moved = callLinked(kMisc, "moveWithDelayUntilReboot0",
                            {fakejni::newString(L"C:\\a.txt"), fakejni::newString(L"C:\\b.txt")}).asBoolean();
    fakejni::failCopiesAfter(-1);
    bool deleted =
        callLinked(kMisc, "moveWithDelayUntilReboot0", {fakejni::newString(L"C:\\c.txt"), nullptr}).asBoolean();
    g_miscFunctions.moveFileEx = real;
    EXPECT_FALSE(moved);
    EXPECT_TRUE(deleted);
    EXPECT_EQ((std::vector<std::pair<std::wstring, bool>>{{L"C:\\c.txt", false}}), g_delayedMoves);
}

// ---- launch and reboot ------------------------------------------------------------------

TEST_F(MiscNatives, LaunchOfAMissingProgramGives2AndANullCommandLineRunsTheProgramAlone) {
    nativetest::ScratchFolder folder;
    EXPECT_EQ(2, callExport("Win32Exec", "launch0",
                            {fakejni::newString(folder.file(L"missing.exe")), fakejni::newString(L"missing.exe a")})
                     .asInt());
    // window_owner.exe without arguments exits at once.
    EXPECT_EQ(0, callExport("Win32Exec", "launch0",
                            {fakejni::newString(nativetest::besideTestProgram(L"window_owner.exe")), nullptr})
                     .asInt());
    EXPECT_EQ(0, callExport("Win32Exec", "launch0",
                            {nullptr, fakejni::newString(L"\"" + nativetest::besideTestProgram(L"window_owner.exe") +
                                                         L"\"")})
                     .asInt());
    EXPECT_EQ(ERROR_INVALID_PARAMETER, callExport("Win32Exec", "launch0", {nullptr, nullptr}).asInt());
}

std::vector<UINT> g_exitWindowsCalls;
BOOL WINAPI recordExitWindows(UINT flags, DWORD) {
    g_exitWindowsCalls.push_back(flags);
    return TRUE;
}

TEST_F(MiscNatives, RebootEnablesTheShutdownPrivilegeThenAsksForARebootThroughItsSeam) {
    auto real = g_miscFunctions.exitWindows;
    g_miscFunctions.exitWindows = recordExitWindows;
    g_exitWindowsCalls.clear();
    ASSERT_TRUE(setProcessPrivilege(L"SeShutdownPrivilege", false));
    ASSERT_FALSE(privilegeEnabled(L"SeShutdownPrivilege"));
    callLinked(kMisc, "reboot0", {});
    g_miscFunctions.exitWindows = real;
    EXPECT_TRUE(privilegeEnabled(L"SeShutdownPrivilege"));
    EXPECT_EQ(std::vector<UINT>{EWX_REBOOT}, g_exitWindowsCalls);
}

TEST_F(MiscNatives, APrivilegeTheSystemDoesNotKnowIsNotSwitched) {
    EXPECT_FALSE(setProcessPrivilege(L"SeNoSuchPrivilege", true));
}

}  // namespace

// Processes, windows, the environment, memory and disks for the Java side.
// Failures are return values (null, 0, -1, false); the few diagnostics go
// to standard output or, for the window-info array, to standard error.
#include "native/process/windows/Misc.h"

#include <jni.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/process/ProcessText.h"

MiscFunctions g_miscFunctions = {ExitWindowsEx, nullptr, nullptr};

namespace {

const int kTextUnits = 4096;
const DWORD kProcessIdCapacity = 8196;  // 32784 bytes of process ids
const DWORD kQueryInformation = PROCESS_QUERY_INFORMATION;
const DWORD kQueryAndRead = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;

// A module loaded for one operation and freed at its end.
struct LibraryTraits {
    static HMODULE none() { return nullptr; }
    static bool valid(HMODULE module) { return module != nullptr; }
    static void close(HMODULE module) { FreeLibrary(module); }
};
using UniqueLibrary = UniqueResource<HMODULE, LibraryTraits>;

template <class Function>
Function procOf(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

DWORD windowProcessId(HWND hwnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

// ---- closing processes -------------------------------------------------------

// The state of the close-message enumeration: the listed pids, one flag
// per list position for "a visible window was found", the running result.
const jint* g_closePids = nullptr;
jsize g_closeCount = 0;
unsigned char* g_closeFound = nullptr;
jint g_closeResult = 1;

BOOL CALLBACK postCloseToListedWindow(HWND hwnd, LPARAM) {
    if (!IsWindowVisible(hwnd)) return TRUE;
    DWORD pid = windowProcessId(hwnd);
    for (jsize i = 0; i < g_closeCount; ++i) {
        if (static_cast<DWORD>(g_closePids[i]) != pid) continue;
        g_closeFound[i] = 1;
        if (!PostMessageW(hwnd, WM_CLOSE, 0, 0)) g_closeResult = 0;
    }
    return TRUE;
}

jint terminateForced(const jint* pids, jsize count) {
    jint result = 1;
    for (jsize i = 0; i < count; ++i) {
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pids[i])));
        if (!process) {
            result = 0;
            continue;
        }
        if (!TerminateProcess(process.get(), 0)) result = 0;
    }
    return result;
}

// Opens every listed process once for waiting and waits for all of them: 1
// when all ended in time, 3 on time-out, 2 when one cannot be opened or the
// wait fails (as for more than MAXIMUM_WAIT_OBJECTS processes). A pid listed
// twice is waited for once: Windows refuses a wait for all on two handles
// of the same process.
jint awaitProcessesEnded(const jint* pids, jsize count, DWORD timeout) {
    std::vector<DWORD> distinct;
    for (jsize i = 0; i < count; ++i) {
        DWORD pid = static_cast<DWORD>(pids[i]);
        if (std::find(distinct.begin(), distinct.end(), pid) == distinct.end()) distinct.push_back(pid);
    }
    jint result = 1;
    std::vector<UniqueHandle> processes(distinct.size());
    std::vector<HANDLE> handles(distinct.size());
    for (size_t i = 0; i < distinct.size(); ++i) {
        processes[i].reset(OpenProcess(SYNCHRONIZE, FALSE, distinct[i]));
        if (!processes[i]) result = 2;
        handles[i] = processes[i].get();
    }
    if (result != 1) return result;
    DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, timeout);
    if (waited == WAIT_TIMEOUT) return 3;
    return waited == 0 ? 1 : 2;
}

jint closeGracefully(const jint* pids, jsize count, DWORD timeout) {
    std::vector<unsigned char> found(static_cast<size_t>(count) + 1, 0);
    g_closePids = pids;
    g_closeCount = count;
    g_closeFound = found.data();
    g_closeResult = 1;
    EnumWindows(postCloseToListedWindow, 0);
    jint result = g_closeResult;
    g_closePids = nullptr;
    g_closeFound = nullptr;
    g_closeCount = 0;
    for (jsize i = 0; i < count; ++i)
        if (!found[i]) result = 0;
    if (result == 0) return result;
    return awaitProcessesEnded(pids, count, timeout);
}

// ---- windows ----------------------------------------------------------------

struct WindowSearch {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevelWindow(HWND hwnd, LPARAM param) {
    WindowSearch* search = reinterpret_cast<WindowSearch*>(param);
    if (windowProcessId(hwnd) == search->pid && !GetWindow(hwnd, GW_OWNER) && IsWindowVisible(hwnd))
        search->found.push_back(hwnd);
    return TRUE;
}

// The title of a window, terminated within the buffer. The length a window
// reports for WM_GETTEXT is its own word and may exceed what was copied, so
// the text ends where its terminator is, never past the buffer.
size_t readWindowTitle(HWND hwnd, wchar_t (&title)[kTextUnits]) {
    title[0] = 0;
    if (GetWindowTextW(hwnd, title, kTextUnits) <= 0) title[0] = 0;
    title[kTextUnits - 1] = 0;
    return wcslen(title);
}

void reportOnStandardError(const char* text) {
    fputs(text, stderr);
    fflush(stderr);
}

// The WindowInfo of one window, or null when it has no title, its class
// name cannot be read or its style is 0.
jobject newWindowInfo(JNIEnv* env, jclass cls, jmethodID constructor, HWND hwnd) {
    jint style = static_cast<jint>(static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)));
    wchar_t className[kTextUnits];
    jstring classText = GetClassNameW(hwnd, className, kTextUnits) ? javaStringFromWide(env, className) : nullptr;
    wchar_t title[kTextUnits];
    jstring titleText = readWindowTitle(hwnd, title) > 0 ? javaStringFromWide(env, title) : nullptr;
    jobject info = nullptr;
    if (titleText && classText && style != 0) {
        info = env->NewObject(cls, constructor, static_cast<jlong>(reinterpret_cast<INT_PTR>(hwnd)), style,
                              classText, titleText);
        dropPendingException(env);
    }
    if (titleText) env->DeleteLocalRef(titleText);
    if (classText) env->DeleteLocalRef(classText);
    return info;
}

BOOL CALLBACK raiseWindowOfThisProcess(HWND hwnd, LPARAM) {
    if (windowProcessId(hwnd) == GetCurrentProcessId() && IsWindowVisible(hwnd)) {
        SetForegroundWindow(hwnd);
        SetForegroundWindow(GetLastActivePopup(hwnd));
    }
    return TRUE;
}

// The state of the title search: the target process and the title found.
DWORD g_titlePid = 0;
wchar_t g_title[kTextUnits];

BOOL CALLBACK findTitleOfTarget(HWND hwnd, LPARAM) {
    if (windowProcessId(hwnd) != g_titlePid) return TRUE;
    wchar_t text[kTextUnits];
    size_t length = readWindowTitle(hwnd, text);
    if (length == 0) return TRUE;
    wmemcpy(g_title, text, length + 1);
    return IsWindowVisible(hwnd) ? FALSE : TRUE;
}

// ---- running modules -----------------------------------------------------------

// The entry "pid path" of one process by the process-status functions, or
// an empty text. A path ending in ".tmp" from the image-name query is asked
// again of the main module, which names the real executable.
bool processStatusEntry(const ProcessStatusFunctions& functions, DWORD pid, wchar_t (&entry)[kTextUnits]) {
    DWORD access = functions.fullImageName ? kQueryInformation : kQueryAndRead;
    UniqueHandle process(OpenProcess(access, FALSE, pid));
    if (!process) return false;
    int prefix = swprintf(entry, kTextUnits, L"%d ", static_cast<int>(pid));
    if (prefix <= 0) return false;
    wchar_t* path = entry + prefix;
    DWORD capacity = static_cast<DWORD>(kTextUnits - prefix);
    if (functions.fullImageName) {
        DWORD size = capacity;
        if (!functions.fullImageName(process.get(), 0, path, &size)) return false;
        if (functions.moduleFileName &&
            endsWithTemporarySuffix(reinterpret_cast<const char16_t*>(entry), wcslen(entry))) {
            process.reset(OpenProcess(kQueryAndRead, FALSE, pid));
            wchar_t mainModule[kTextUnits];
            DWORD length = process ? functions.moduleFileName(process.get(), nullptr, mainModule, capacity) : 0;
            if (length > 0 && length < capacity) wmemcpy(path, mainModule, static_cast<size_t>(length) + 1);
        }
        return true;
    }
    DWORD length = functions.moduleFileName(process.get(), nullptr, path, capacity);
    return length > 0;
}

void listWithFunctions(JNIEnv* env, const ProcessStatusFunctions& functions, JavaStringList& list) {
    if (!functions.enumProcesses || (!functions.moduleFileName && !functions.fullImageName)) return;
    std::vector<DWORD> pids(kProcessIdCapacity);
    DWORD returned = 0;
    if (!functions.enumProcesses(pids.data(), kProcessIdCapacity * sizeof(DWORD), &returned) ||
        returned < sizeof(DWORD))
        return;
    wchar_t entry[kTextUnits];
    for (DWORD i = 0; i < returned / sizeof(DWORD); ++i) {
        if (pids[i] == 0 || !processStatusEntry(functions, pids[i], entry)) continue;
        list.add(javaStringFromWide(env, entry));
    }
}

void listByProcessStatus(JNIEnv* env, JavaStringList& list) {
    if (g_miscFunctions.processStatusDouble) {
        listWithFunctions(env, *g_miscFunctions.processStatusDouble, list);
        return;
    }
    UniqueLibrary psapi(loadSystemModule(L"Psapi.DLL"));
    UniqueLibrary kernel(loadSystemModule(L"Kernel32.DLL"));
    if (!psapi || !kernel) return;
    ProcessStatusFunctions functions = {
        procOf<decltype(functions.enumProcesses)>(psapi.get(), "EnumProcesses"),
        procOf<decltype(functions.moduleFileName)>(psapi.get(), "GetModuleFileNameExW"),
        procOf<decltype(functions.fullImageName)>(kernel.get(), "QueryFullProcessImageNameW"),
    };
    listWithFunctions(env, functions, list);
}

using CreateSnapshot = HANDLE(WINAPI*)(DWORD flags, DWORD pid);
using WalkProcesses = BOOL(WINAPI*)(HANDLE snapshot, PROCESSENTRY32W* entry);
using FirstModule = BOOL(WINAPI*)(HANDLE snapshot, MODULEENTRY32W* entry);

void appendExecutableOf(JNIEnv* env, CreateSnapshot createSnapshot, FirstModule firstModule, DWORD pid,
                        JavaStringList& list) {
    UniqueHandle modules(createSnapshot(TH32CS_SNAPMODULE, pid));
    if (!modules) return;
    MODULEENTRY32W module = {};
    module.dwSize = sizeof module;
    if (!firstModule(modules.get(), &module)) return;
    wchar_t entry[kTextUnits];
    if (swprintf(entry, kTextUnits, L"%d %ls", static_cast<int>(pid), module.szExePath) > 0)
        list.add(javaStringFromWide(env, entry));
}

void listBySnapshot(JNIEnv* env, JavaStringList& list) {
    UniqueLibrary kernel(loadSystemModule(L"Kernel32.DLL"));
    CreateSnapshot createSnapshot = procOf<CreateSnapshot>(kernel.get(), "CreateToolhelp32Snapshot");
    WalkProcesses first = procOf<WalkProcesses>(kernel.get(), "Process32FirstW");
    WalkProcesses next = procOf<WalkProcesses>(kernel.get(), "Process32NextW");
    FirstModule firstModule = procOf<FirstModule>(kernel.get(), "Module32FirstW");
    if (!createSnapshot || !first || !next) {
        printf("could not load functions %p %p %p %p %p %d\n", reinterpret_cast<void*>(createSnapshot),
               reinterpret_cast<void*>(first), reinterpret_cast<void*>(next), reinterpret_cast<void*>(firstModule),
               reinterpret_cast<void*>(kernel.get()), static_cast<int>(GetLastError()));
        return;
    }
    UniqueHandle processes(createSnapshot(TH32CS_SNAPALL, GetCurrentProcessId()));
    if (!processes) return;
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    for (BOOL more = first(processes.get(), &process); more; more = next(processes.get(), &process)) {
        if (process.th32ProcessID != 0 && firstModule)
            appendExecutableOf(env, createSnapshot, firstModule, process.th32ProcessID, list);
    }
}

using MemoryStatusEx = BOOL(WINAPI*)(MEMORYSTATUSEX* status);

}  // namespace

bool setProcessPrivilege(const wchar_t* name, bool enable) {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
    if (!LookupPrivilegeValueW(nullptr, name, &privileges.Privileges[0].Luid)) return false;
    SetLastError(0);
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    return GetLastError() == 0;
}

extern "C" {

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_reboot0(JNIEnv*, jclass) {
    if (setProcessPrivilege(L"SeShutdownPrivilege", true)) g_miscFunctions.exitWindows(EWX_REBOOT, 0);
}

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getRunningModules0(
    JNIEnv* env, jclass, jboolean keepDebugPrivilegeOff) {
    setProcessPrivilege(L"SeDebugPrivilege", !keepDebugPrivilegeOff);
    JavaStringList list;
    listByProcessStatus(env, list);
    if (list.size() == 0) listBySnapshot(env, list);
    if (list.size() == 0) return nullptr;
    return newStringArray(env, list);
}

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getEnvVarPairs0(JNIEnv* env,
                                                                                                     jclass) {
    wchar_t* block = GetEnvironmentStringsW();
    if (!block) return nullptr;
    JavaStringList list;
    for (const TextSpan& pair : environmentBlockEntries(reinterpret_cast<const char16_t*>(block)))
        list.add(javaStringFromWide(env, block + pair.start, pair.length));
    FreeEnvironmentStringsW(block);
    return newStringArray(env, list);
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_broadcastSettingChange0(JNIEnv*,
                                                                                                     jclass) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

JNIEXPORT jlong JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getPhysicalMemory0(JNIEnv*, jclass) {
    {
        UniqueLibrary kernel(loadSystemModule(L"Kernel32.DLL"));
        MemoryStatusEx statusEx = procOf<MemoryStatusEx>(kernel.get(), "GlobalMemoryStatusEx");
        if (statusEx) {
            MEMORYSTATUSEX status = {};
            status.dwLength = sizeof status;
            if (statusEx(&status)) return static_cast<jlong>(status.ullTotalPhys);
            printf("error %d\n", static_cast<int>(GetLastError()));
            fflush(stdout);
        }
    }
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return static_cast<jlong>(status.dwTotalPhys);
}

JNIEXPORT jlong JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getFreeDiskSpace0(JNIEnv* env, jclass,
                                                                                                jstring path) {
    JavaWide directory(env, path);
    if (directory.failed()) return -1;
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceExW(directory.get(), &available, &total, &totalFree)) return -1;
    return static_cast<jlong>(available.QuadPart);
}

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_moveWithDelayUntilReboot0(
    JNIEnv* env, jclass, jstring from, jstring to) {
    if (!g_miscFunctions.moveFileEx)
        g_miscFunctions.moveFileEx =
            procOf<decltype(g_miscFunctions.moveFileEx)>(loadSystemModule(L"Kernel32.DLL"), "MoveFileExW");
    if (!g_miscFunctions.moveFileEx) return JNI_FALSE;
    JavaWide source(env, from), target(env, to);
    // A target that could not be copied is not passed on as its empty
    // stand-in, nor as null, which would delete the source at the reboot.
    if (anyCopyFailed(source, target)) return JNI_FALSE;
    return g_miscFunctions.moveFileEx(source.get(), target.get(), MOVEFILE_DELAY_UNTIL_REBOOT) ? JNI_TRUE
                                                                                               : JNI_FALSE;
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_toFront0(JNIEnv*, jclass) {
    EnumWindows(raiseWindowOfThisProcess, 0);
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_terminateProcesses0(JNIEnv* env, jclass,
                                                                                                 jintArray pids,
                                                                                                 jboolean force,
                                                                                                 jint timeoutMillis) {
    // A null list closes nothing, like an empty one.
    jsize count = pids ? env->GetArrayLength(pids) : 0;
    jint* ids = pids ? env->GetIntArrayElements(pids, nullptr) : nullptr;
    if (pids && !ids) {
        dropPendingException(env);
        return 0;
    }
    jint result = force ? terminateForced(ids, count)
                        : closeGracefully(ids, count, static_cast<DWORD>(timeoutMillis));
    if (ids) env->ReleaseIntArrayElements(pids, ids, JNI_ABORT);
    return result;
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getWindowTitle0(JNIEnv* env, jclass,
                                                                                               jint pid) {
    g_titlePid = static_cast<DWORD>(pid);
    g_title[0] = 0;
    EnumWindows(findTitleOfTarget, 0);
    return javaStringFromWide(env, g_title);
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_setForegroundWindow0(JNIEnv*, jclass,
                                                                                                 jlong window) {
    HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(window));
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (GetWindowPlacement(hwnd, &placement) && placement.showCmd == SW_SHOWMINIMIZED) ShowWindow(hwnd, SW_RESTORE);
    SetForegroundWindow(hwnd);
}

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getTopLevelWindows0(
    JNIEnv* env, jclass, jclass windowInfoClass, jint pid) {
    WindowSearch search = {static_cast<DWORD>(pid), {}};
    EnumWindows(collectTopLevelWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty() || !windowInfoClass) return nullptr;
    jmethodID constructor = env->GetMethodID(windowInfoClass, "<init>", "(JILjava/lang/String;Ljava/lang/String;)V");
    if (!constructor) {
        dropPendingException(env);
        reportOnStandardError("window info constructor not found");
        return nullptr;
    }
    jobjectArray windows = env->NewObjectArray(static_cast<jsize>(search.found.size()), windowInfoClass, nullptr);
    if (!windows) {
        dropPendingException(env);
        reportOnStandardError("could not create window info array");
        return nullptr;
    }
    // Skipped windows leave their places at the end null: the array keeps
    // the length of the windows found.
    jsize stored = 0;
    for (HWND hwnd : search.found) {
        jobject info = newWindowInfo(env, windowInfoClass, constructor, hwnd);
        if (!info) continue;
        env->SetObjectArrayElement(windows, stored++, info);
        env->DeleteLocalRef(info);
    }
    return windows;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Misc_getPidFromHandle0(JNIEnv*, jclass,
                                                                                              jlong processHandle) {
    return static_cast<jint>(GetProcessId(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(processHandle))));
}

}  // extern "C"

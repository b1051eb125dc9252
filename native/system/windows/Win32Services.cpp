// Services for the Java side through the service control manager. Every
// int method returns 0 on success, 5000 when the manager cannot be opened,
// or the failing call's Windows error code; queryStatus0 and getStartType0
// return minus the state or start type, and stopService0 its own 50001
// (not stopped in time) and 50002 (status query failed while waiting).
#include "native/system/windows/Win32Services.h"

#include <jni.h>

#include <vector>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/system/ServiceConfigText.h"

ServiceFunctions g_serviceFunctions = {nullptr, ChangeServiceConfig2W, 500};

namespace {

const jint kManagerFailed = 5000;
const jint kStopTimedOut = 50001;
const jint kStopQueryFailed = 50002;
const DWORD kConfigBytes = 8192;
const size_t kDependencyChars = 8192;

jint lastError() { return static_cast<jint>(GetLastError()); }

// The manager of the local machine and a service in it, or the code to return.
struct OpenedService {
    UniqueServiceHandle manager;
    UniqueServiceHandle service;
    jint failure = 0;
};

OpenedService openService(JNIEnv* env, jstring name, DWORD managerAccess, DWORD serviceAccess) {
    OpenedService opened;
    opened.manager.reset(OpenSCManagerW(nullptr, nullptr, managerAccess));
    if (!opened.manager) {
        opened.failure = kManagerFailed;
        return opened;
    }
    JavaWide serviceName(env, name);
    if (serviceName.failed()) {
        opened.failure = ERROR_NOT_ENOUGH_MEMORY;
        return opened;
    }
    opened.service.reset(OpenServiceW(opened.manager.get(), serviceName.get(), serviceAccess));
    if (!opened.service) opened.failure = lastError();
    return opened;
}

const wchar_t* wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
const char16_t* utf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// QueryServiceConfigW into the 8192-byte buffer; the error code or 0.
jint queryConfig(SC_HANDLE service, HeapArray<BYTE>& buffer) {
    DWORD needed = 0;
    if (!QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.get()), kConfigBytes, &needed))
        return lastError();
    return 0;
}

// Waits for a stop that the service accepted: as long as its check point
// advances, or within its wait hint of the last progress, or within the
// caller's timeout of the start.
jint awaitStopped(SC_HANDLE service, DWORD timeout) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) return kStopQueryFailed;
    DWORD start = GetTickCount();
    DWORD lastProgress = start;
    DWORD checkPoint = status.dwCheckPoint;
    while (status.dwCurrentState != SERVICE_STOPPED) {
        Sleep(g_serviceFunctions.stopPollMilliseconds);
        if (!QueryServiceStatus(service, &status)) return kStopQueryFailed;
        DWORD now = GetTickCount();
        if (status.dwCheckPoint > checkPoint) {
            lastProgress = now;
            checkPoint = status.dwCheckPoint;
            continue;
        }
        if (now - lastProgress <= status.dwWaitHint || now - start <= timeout) continue;
        return status.dwCurrentState == SERVICE_STOPPED ? 0 : kStopTimedOut;
    }
    return 0;
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_installService0(
    JNIEnv* env, jclass, jstring name, jstring displayName, jstring binaryPath) {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return kManagerFailed;
    JavaWide serviceName(env, name), display(env, displayName), binary(env, binaryPath);
    if (anyCopyFailed(serviceName, display, binary)) return ERROR_NOT_ENOUGH_MEMORY;
    UniqueServiceHandle service(CreateServiceW(manager.get(), serviceName.get(), display.get(), SERVICE_ALL_ACCESS,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                               binary.get(), nullptr, nullptr, nullptr, nullptr, nullptr));
    return service ? 0 : lastError();
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_changeServiceConfig0(
    JNIEnv* env, jclass, jstring name, jstring displayName, jstring binaryPath, jint serviceType, jint startType,
    jstring dependencies, jstring account, jstring password, jstring description) {
    OpenedService opened = openService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
    if (opened.failure) return opened.failure;
    JavaWide display(env, displayName), binary(env, binaryPath), dependencyText(env, dependencies);
    JavaWide accountName(env, account), accountPassword(env, password), descriptionText(env, description);
    // An empty stand-in would be stored: an empty binary path, password or
    // description instead of the one asked for.
    if (anyCopyFailed(display, binary, dependencyText, accountName, accountPassword, descriptionText))
        return ERROR_NOT_ENOUGH_MEMORY;
    HeapArray<char16_t> dependencyList(kDependencyChars);
    // A list cut short would drop dependencies, or all of them when the first
    // name does not fit, and still be stored as success.
    if (serviceDependencyList(utf16(dependencyText.get()), dependencyList.get(), kDependencyChars).cut)
        return ERROR_INSUFFICIENT_BUFFER;
    if (!ChangeServiceConfigW(opened.service.get(), static_cast<DWORD>(serviceType), static_cast<DWORD>(startType),
                              SERVICE_NO_CHANGE, binary.get(), nullptr, nullptr, wide(dependencyList.get()),
                              wide(serviceAccountName(utf16(accountName.get()))), accountPassword.get(),
                              display.get()))
        return lastError();
    if (!descriptionText.isNull()) {
        SERVICE_DESCRIPTIONW info = {descriptionText.mutableText()};
        g_serviceFunctions.changeConfig2(opened.service.get(), SERVICE_CONFIG_DESCRIPTION, &info);
    }
    return 0;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_setRestartServiceConfig0(
    JNIEnv* env, jclass, jstring name, jboolean restart, jint delayMilliseconds) {
    if (!bindFromLoadedModule(g_serviceFunctions.changeConfig2Bound, L"advapi32.dll", "ChangeServiceConfig2W"))
        return 1;
    OpenedService opened = openService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_CHANGE_CONFIG | SERVICE_START);
    if (opened.failure) return opened.failure;
    // One restart action, or none: false clears the failure actions.
    SC_ACTION action = {SC_ACTION_RESTART, static_cast<DWORD>(delayMilliseconds)};
    SERVICE_FAILURE_ACTIONSW actions = {};
    actions.dwResetPeriod = 0;
    actions.cActions = restart ? 1 : 0;
    actions.lpsaActions = &action;
    if (!g_serviceFunctions.changeConfig2Bound(opened.service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &actions))
        return lastError();
    return 0;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_setDelayedAutoStart0(
    JNIEnv* env, jclass, jstring name, jboolean delayed) {
    OpenedService opened = openService(env, name, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS);
    if (opened.failure) return opened.failure;
    SERVICE_DELAYED_AUTO_START_INFO info = {delayed ? TRUE : FALSE};
    if (!g_serviceFunctions.changeConfig2(opened.service.get(), SERVICE_CONFIG_DELAYED_AUTO_START_INFO, &info))
        return lastError();
    return 0;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_stopService0(JNIEnv* env, jclass,
                                                                                                  jstring name,
                                                                                                  jint timeout) {
    OpenedService opened = openService(env, name, SC_MANAGER_CONNECT, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (opened.failure) return opened.failure;
    SERVICE_STATUS status;
    if (!ControlService(opened.service.get(), SERVICE_CONTROL_STOP, &status)) return lastError();
    return awaitStopped(opened.service.get(), static_cast<DWORD>(timeout));
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_startService0(
    JNIEnv* env, jclass, jstring name, jobjectArray arguments) {
    OpenedService opened = openService(env, name, SC_MANAGER_CONNECT, SERVICE_START);
    if (opened.failure) return opened.failure;
    // A null element is passed as an empty string, which would otherwise end
    // the service's argument vector early.
    JavaWideArray texts(env, arguments);
    if (texts.failed()) return ERROR_NOT_ENOUGH_MEMORY;
    std::vector<const wchar_t*> argv;
    for (size_t i = 0; i < texts.size(); ++i) argv.push_back(texts.at(i));
    if (!StartServiceW(opened.service.get(), static_cast<DWORD>(argv.size()), argv.empty() ? nullptr : argv.data()))
        return lastError();
    return 0;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_uninstallService0(JNIEnv* env,
                                                                                                       jclass,
                                                                                                       jstring name) {
    OpenedService opened = openService(env, name, SC_MANAGER_ALL_ACCESS, DELETE);
    if (opened.failure) return opened.failure;
    return DeleteService(opened.service.get()) ? 0 : lastError();
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_queryStatus0(JNIEnv* env, jclass,
                                                                                                  jstring name) {
    OpenedService opened = openService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_STATUS);
    if (opened.failure) return opened.failure;
    SERVICE_STATUS status;
    if (!QueryServiceStatus(opened.service.get(), &status)) return lastError();
    return -static_cast<jint>(status.dwCurrentState);
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_getStartType0(JNIEnv* env,
                                                                                                   jclass,
                                                                                                   jstring name) {
    OpenedService opened = openService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
    if (opened.failure) return opened.failure;
    HeapArray<BYTE> buffer(kConfigBytes);
    if (jint failure = queryConfig(opened.service.get(), buffer)) return failure;
    return -static_cast<jint>(reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.get())->dwStartType);
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Services_getServiceBinary0(
    JNIEnv* env, jclass, jstring name) {
    OpenedService opened = openService(env, name, SC_MANAGER_CONNECT, SERVICE_QUERY_CONFIG);
    jint failure = opened.failure;
    HeapArray<BYTE> buffer(kConfigBytes);
    if (!failure) failure = queryConfig(opened.service.get(), buffer);
    if (!failure) {
        const wchar_t* binary = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.get())->lpBinaryPathName;
        return javaStringFromWide(env, binary ? binary : L"");
    }
    wchar_t text[16];
    wsprintfW(text, L" %d", failure);
    return javaStringFromWide(env, text);
}

}  // extern "C"

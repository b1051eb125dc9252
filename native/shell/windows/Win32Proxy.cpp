// The proxy that Windows would use: the user's Internet Explorer settings,
// the machine's default WinHTTP configuration, and the proxy for one URL by
// automatic discovery or a configuration script. Results go into the slots
// of the String[] the caller passes; a slot that gets no value keeps what it
// held.
#include "native/shell/windows/Win32Proxy.h"

#include <jni.h>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/shell/ProxyResult.h"

ProxyFunctions g_proxyFunctions = {nullptr, nullptr, nullptr, nullptr, nullptr, false, GlobalFree};

namespace {

const wchar_t kUserAgent[] = L"tavra proxy detection/1.0";

bool proxyFunctionsAvailable() {
    ProxyFunctions& f = g_proxyFunctions;
    lookUpOnce(f.loadTried, [&f] {
        HMODULE winhttp = loadSystemModule(L"Winhttp.dll");
        if (!winhttp) return;
        bindSlot(f.getIEProxyConfig, GetProcAddress(winhttp, "WinHttpGetIEProxyConfigForCurrentUser"));
        bindSlot(f.open, GetProcAddress(winhttp, "WinHttpOpen"));
        bindSlot(f.closeHandle, GetProcAddress(winhttp, "WinHttpCloseHandle"));
        bindSlot(f.getProxyForUrl, GetProcAddress(winhttp, "WinHttpGetProxyForUrl"));
        bindSlot(f.getDefaultProxyConfiguration, GetProcAddress(winhttp, "WinHttpGetDefaultProxyConfiguration"));
    });
    return f.getIEProxyConfig && f.open && f.closeHandle && f.getProxyForUrl && f.getDefaultProxyConfiguration;
}

// The caller's result array. Slots beyond its end (or any slot of a null
// array) are not written, so a short array cannot raise an exception.
class ResultSlots {
public:
    ResultSlots(JNIEnv* env, jobjectArray out) : env_(env), out_(out), length_(out ? env->GetArrayLength(out) : 0) {}

    void setFlag(jsize index, bool value) {
        jstring flag = env_->NewStringUTF(value ? "true" : "false");
        if (!flag) dropPendingException(env_);
        store(index, flag);
    }

    // Only a non-empty string of Windows is stored.
    void setText(jsize index, const wchar_t* text) {
        if (text && text[0]) store(index, javaStringFromWide(env_, text));
    }

private:
    void store(jsize index, jstring value) {
        if (!value) return;
        if (index < length_) env_->SetObjectArrayElement(out_, index, value);
        env_->DeleteLocalRef(value);
    }

    JNIEnv* env_;
    jobjectArray out_;
    jsize length_;
};

// Every string that WinHTTP returned, empty or not.
void freeWinHttpString(LPWSTR text) {
    if (text) g_proxyFunctions.freeString(text);
}

void freeProxyInfo(WINHTTP_PROXY_INFO& info) {
    freeWinHttpString(info.lpszProxy);
    freeWinHttpString(info.lpszProxyBypass);
}

// Slot 0 "true" for a named proxy, then the proxy and the bypass list.
void storeProxyInfo(ResultSlots& slots, const WINHTTP_PROXY_INFO& info) {
    slots.setFlag(0, info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY);
    slots.setText(1, info.lpszProxy);
    slots.setText(2, info.lpszProxyBypass);
}

// Closes the detection session when the native returns.
class ProxySession {
public:
    explicit ProxySession(HINTERNET handle) : handle_(handle) {}
    ~ProxySession() {
        if (handle_) g_proxyFunctions.closeHandle(handle_);
    }
    ProxySession(const ProxySession&) = delete;
    ProxySession& operator=(const ProxySession&) = delete;
    HINTERNET get() const { return handle_; }

private:
    HINTERNET handle_;
};

}  // namespace

extern "C" {

JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Proxy_loadFunctions0(JNIEnv*, jclass) {
    return proxyFunctionsAvailable();
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Proxy_getIEConfig0(JNIEnv* env, jclass,
                                                                                                jobjectArray out) {
    if (!proxyFunctionsAvailable()) return kProxyFunctionsMissing;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    if (!g_proxyFunctions.getIEProxyConfig(&config)) return static_cast<jint>(GetLastError());
    ResultSlots slots(env, out);
    slots.setFlag(0, config.fAutoDetect != FALSE);
    slots.setText(1, config.lpszAutoConfigUrl);
    slots.setText(2, config.lpszProxy);
    slots.setText(3, config.lpszProxyBypass);
    freeWinHttpString(config.lpszAutoConfigUrl);
    freeWinHttpString(config.lpszProxy);
    freeWinHttpString(config.lpszProxyBypass);
    return 0;
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Proxy_getDefaultConfig0(JNIEnv* env,
                                                                                                     jclass,
                                                                                                     jobjectArray out) {
    if (!proxyFunctionsAvailable()) return kProxyFunctionsMissing;
    WINHTTP_PROXY_INFO info = {};
    if (!g_proxyFunctions.getDefaultProxyConfiguration(&info)) return static_cast<jint>(GetLastError());
    ResultSlots slots(env, out);
    storeProxyInfo(slots, info);
    freeProxyInfo(info);
    return 0;
}

JNIEXPORT jlong JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Proxy_getAutoProxyConfig0(
    JNIEnv* env, jclass, jobjectArray out, jstring url, jstring autoConfigUrl, jint flags, jint autoDetectFlags,
    jboolean autoLogonIfChallenged) {
    if (!proxyFunctionsAvailable()) return kProxyFunctionsMissing;
    JavaWide target(env, url);
    JavaWide configUrl(env, autoConfigUrl);
    if (anyCopyFailed(target, configUrl)) return proxyLookupFailure(ERROR_NOT_ENOUGH_MEMORY);
    if (target.isNull()) return 0;
    ProxySession session(g_proxyFunctions.open(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session.get()) return proxySessionFailure(GetLastError());
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    options.dwFlags = static_cast<DWORD>(flags);
    options.dwAutoDetectFlags = static_cast<DWORD>(autoDetectFlags);
    options.lpszAutoConfigUrl = configUrl.get();
    options.fAutoLogonIfChallenged = autoLogonIfChallenged != JNI_FALSE;
    WINHTTP_PROXY_INFO info = {};
    if (!g_proxyFunctions.getProxyForUrl(session.get(), target.get(), &options, &info)) {
        DWORD error = GetLastError();
        freeProxyInfo(info);
        return proxyLookupFailure(error);
    }
    ResultSlots slots(env, out);
    storeProxyInfo(slots, info);
    freeProxyInfo(info);
    return 0;
}

}  // extern "C"

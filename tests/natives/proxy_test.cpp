// Win32Proxy natives: the machine's default WinHTTP configuration set and
// read back, the user's IE settings against what WinHTTP itself reports,
// proxy configuration scripts served by a loopback server; through the
// linked copy's binding, the result codes and slots of the paths Wine
// cannot produce, and that every string WinHTTP returns is freed.
#include <gtest/gtest.h>

#include <windows.h>
#include <winhttp.h>

#include <cstdio>
#include <string>
#include <vector>

#include "native/shell/windows/Win32Proxy.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using fakejni::newString;

const std::vector<std::wstring> kUntouched = {L"keep0", L"keep1", L"keep2", L"keep3"};

jobjectArray untouchedSlots() { return fakejni::newStringArray(kUntouched); }

std::vector<std::wstring> slots(jobjectArray out) { return fakejni::texts(out); }

jlong autoProxy(jobjectArray out, const std::wstring& url, const std::wstring& script, int flags) {
    return nativetest::callExport("Win32Proxy", "getAutoProxyConfig0",
                                  {out, newString(url), newString(script), flags, 0, false})
        .asLong();
}

// WinHTTP's own functions for setting up and checking the machine.
struct WinHttp {
    HMODULE module = LoadLibraryW(L"winhttp.dll");
    BOOL(WINAPI* setDefault)(WINHTTP_PROXY_INFO*) = reinterpret_cast<BOOL(WINAPI*)(WINHTTP_PROXY_INFO*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "WinHttpSetDefaultProxyConfiguration")));
    BOOL(WINAPI* getDefault)(WINHTTP_PROXY_INFO*) = reinterpret_cast<BOOL(WINAPI*)(WINHTTP_PROXY_INFO*)>(
        reinterpret_cast<void*>(GetProcAddress(module, "WinHttpGetDefaultProxyConfiguration")));
    BOOL(WINAPI* getIE)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*) =
        reinterpret_cast<BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*)>(
            reinterpret_cast<void*>(GetProcAddress(module, "WinHttpGetIEProxyConfigForCurrentUser")));
};

class ProxyNatives : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    void TearDown() override { EXPECT_EQ(0u, fakejni::openBuffers()); }
    WinHttp winhttp_;
};

TEST_F(ProxyNatives, TheFiveFunctionsAreThere) {
    EXPECT_TRUE(nativetest::callExport("Win32Proxy", "loadFunctions0", {}).asBoolean());
}

TEST_F(ProxyNatives, TheDefaultConfigurationIsReadBackAsSet) {
    ASSERT_TRUE(winhttp_.setDefault && winhttp_.getDefault);
    WINHTTP_PROXY_INFO before = {};
    ASSERT_TRUE(winhttp_.getDefault(&before));

    wchar_t proxy[] = L"proxy.test:3128";
    wchar_t bypass[] = L"<local>;*.example";
    WINHTTP_PROXY_INFO named = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy, bypass};
    ASSERT_TRUE(winhttp_.setDefault(&named));
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, nativetest::callExport("Win32Proxy", "getDefaultConfig0", {out}).asInt());
    EXPECT_EQ((std::vector<std::wstring>{L"true", L"proxy.test:3128", L"<local>;*.example", L"keep3"}), slots(out));

    // Without a proxy only slot 0 is written.
    WINHTTP_PROXY_INFO none = {WINHTTP_ACCESS_TYPE_NO_PROXY, nullptr, nullptr};
    ASSERT_TRUE(winhttp_.setDefault(&none));
    out = untouchedSlots();
    EXPECT_EQ(0, nativetest::callExport("Win32Proxy", "getDefaultConfig0", {out}).asInt());
    EXPECT_EQ((std::vector<std::wstring>{L"false", L"keep1", L"keep2", L"keep3"}), slots(out));

    if (before.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) before.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
    winhttp_.setDefault(&before);
    if (before.lpszProxy) GlobalFree(before.lpszProxy);
    if (before.lpszProxyBypass) GlobalFree(before.lpszProxyBypass);
}

TEST_F(ProxyNatives, TheIEConfigurationIsWhatWinHttpReports) {
    ASSERT_TRUE(winhttp_.getIE);
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    ASSERT_TRUE(winhttp_.getIE(&config));
    std::vector<std::wstring> expected = kUntouched;
    expected[0] = config.fAutoDetect ? L"true" : L"false";
    LPWSTR texts[3] = {config.lpszAutoConfigUrl, config.lpszProxy, config.lpszProxyBypass};
    for (int i = 0; i < 3; ++i) {
        if (texts[i] && texts[i][0]) expected[i + 1] = texts[i];
        if (texts[i]) GlobalFree(texts[i]);
    }
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, nativetest::callExport("Win32Proxy", "getIEConfig0", {out}).asInt());
    EXPECT_EQ(expected, slots(out));
}

TEST_F(ProxyNatives, ANullUrlDoesNothingAndSucceeds) {
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, nativetest::callExport("Win32Proxy", "getAutoProxyConfig0",
                                        {out, nullptr, newString(L"http://127.0.0.1:1/x.pac"),
                                         WINHTTP_AUTOPROXY_CONFIG_URL, 0, false})
                     .asLong());
    EXPECT_EQ(kUntouched, slots(out));
}

// pac_server.exe serving one script on 127.0.0.1, started for one test and
// stopped by itself after its requests (or when idle).
class ScriptServer {
public:
    ScriptServer(const nativetest::ScratchFolder& folder, const std::string& script, int requests) {
        std::wstring scriptFile = folder.file(L"proxy.pac");
        std::wstring portFile = folder.file(L"port.txt");
        FILE* f = _wfopen(scriptFile.c_str(), L"wb");
        if (!f) return;
        fwrite(script.data(), 1, script.size(), f);
        fclose(f);
        std::wstring commandLine = L"\"" + nativetest::besideTestProgram(L"pac_server.exe") + L"\" \"" + scriptFile +
                                   L"\" \"" + portFile + L"\" " + std::to_wstring(requests) + L" 8000";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return;
        CloseHandle(process.hThread);
        process_ = process.hProcess;
        for (int wait = 0; wait < 200 && port_ == 0; ++wait) {
            if (WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) break;
            FILE* p = _wfopen(portFile.c_str(), L"rb");
            if (p) {
                if (fscanf(p, "%u", &port_) != 1) port_ = 0;
                fclose(p);
            }
        }
    }
    ~ScriptServer() { requestsServed(); }

    unsigned port() const { return port_; }
    std::wstring scriptUrl(const wchar_t* path = L"/proxy.pac") const {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + path;
    }
    // Waits for the server to stop; the number of requests it answered.
    int requestsServed() {
        if (!process_) return served_;
        if (WaitForSingleObject(process_, 15000) != WAIT_OBJECT_0) TerminateProcess(process_, 999);
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        CloseHandle(process_);
        process_ = nullptr;
        served_ = static_cast<int>(code);
        return served_;
    }

private:
    HANDLE process_ = nullptr;
    unsigned port_ = 0;
    int served_ = -1;
};

TEST_F(ProxyNatives, AScriptThatAnswersDirectGivesNoProxy) {
    nativetest::ScratchFolder folder;
    ScriptServer server(folder, "function FindProxyForURL(url, host) { return \"DIRECT\"; }\n", 1);
    ASSERT_NE(0u, server.port());
    jobjectArray out = untouchedSlots();
    jlong result = autoProxy(out, L"http://www.example.test/", server.scriptUrl(), WINHTTP_AUTOPROXY_CONFIG_URL);
    EXPECT_EQ(0, result) << "high " << (result >> 32) << " low " << (result & 0xFFFFFFFF);
    std::vector<std::wstring> got = slots(out);
    EXPECT_EQ(L"false", got[0]);
    EXPECT_EQ(1, server.requestsServed());
}

TEST_F(ProxyNatives, AScriptThatNamesAProxyGivesIt) {
    nativetest::ScratchFolder folder;
    ScriptServer server(folder, "function FindProxyForURL(url, host) { return \"PROXY proxy.test:8080\"; }\n", 1);
    ASSERT_NE(0u, server.port());
    jobjectArray out = untouchedSlots();
    jlong result = autoProxy(out, L"http://www.example.test/", server.scriptUrl(), WINHTTP_AUTOPROXY_CONFIG_URL);
    EXPECT_EQ(0, result) << "high " << (result >> 32) << " low " << (result & 0xFFFFFFFF);
    std::vector<std::wstring> got = slots(out);
    EXPECT_EQ(L"true", got[0]);
    EXPECT_EQ(L"proxy.test:8080", got[1]);
    EXPECT_EQ(1, server.requestsServed());
}

TEST_F(ProxyNatives, AScriptThatCannotBeDownloadedIsALookupFailure) {
    nativetest::ScratchFolder folder;
    ScriptServer server(folder, "", 1);
    ASSERT_NE(0u, server.port());
    jobjectArray out = untouchedSlots();
    jlong result = autoProxy(out, L"http://www.example.test/", server.scriptUrl(L"/missing.pac"),
                             WINHTTP_AUTOPROXY_CONFIG_URL);
    EXPECT_EQ(2, result >> 32);
    EXPECT_NE(0, result & 0xFFFFFFFF);
    EXPECT_EQ(kUntouched, slots(out));
}

// ---- the linked copy with WinHTTP replaced -------------------------------------------

struct Doubles {
    std::vector<std::wstring> calls;
    std::vector<HGLOBAL> freed;
    std::vector<HGLOBAL> handedOut;
    DWORD error = 0;
    bool fail = false;
};
Doubles g_doubles;

LPWSTR handOut(const wchar_t* text) {
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    LPWSTR copy = static_cast<LPWSTR>(GlobalAlloc(GMEM_FIXED, bytes));
    memcpy(copy, text, bytes);
    g_doubles.handedOut.push_back(copy);
    return copy;
}

HGLOBAL WINAPI recordFree(HGLOBAL memory) {
    g_doubles.freed.push_back(memory);
    return GlobalFree(memory);
}

BOOL WINAPI ieConfig(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config) {
    g_doubles.calls.push_back(L"ie");
    if (g_doubles.fail) {
        SetLastError(g_doubles.error);
        return FALSE;
    }
    config->fAutoDetect = TRUE;
    config->lpszAutoConfigUrl = handOut(L"");  // empty: its slot stays, the string is freed
    config->lpszProxy = handOut(L"ieproxy:80");
    config->lpszProxyBypass = nullptr;
    return TRUE;
}

HINTERNET WINAPI openSession(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
    wchar_t call[200];
    swprintf(call, 200, L"open %ls %lu %p %p %lu", agent, access, proxy, bypass, flags);
    g_doubles.calls.push_back(call);
    if (g_doubles.fail && g_doubles.error == ERROR_WINHTTP_INTERNAL_ERROR) {
        SetLastError(g_doubles.error);
        return nullptr;
    }
    return reinterpret_cast<HINTERNET>(0x1234);
}

BOOL WINAPI closeSession(HINTERNET handle) {
    g_doubles.calls.push_back(handle == reinterpret_cast<HINTERNET>(0x1234) ? L"close" : L"close ?");
    return TRUE;
}

BOOL WINAPI proxyForUrl(HINTERNET, LPCWSTR url, WINHTTP_AUTOPROXY_OPTIONS* options, WINHTTP_PROXY_INFO* info) {
    wchar_t call[300];
    swprintf(call, 300, L"lookup %ls 0x%lx 0x%lx %ls %p %lu %d", url, options->dwFlags, options->dwAutoDetectFlags,
             options->lpszAutoConfigUrl ? options->lpszAutoConfigUrl : L"<null>", options->lpvReserved,
             options->dwReserved, options->fAutoLogonIfChallenged);
    g_doubles.calls.push_back(call);
    if (g_doubles.fail) {
        SetLastError(g_doubles.error);
        return FALSE;
    }
    info->dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    info->lpszProxy = handOut(L"found:3128");
    info->lpszProxyBypass = handOut(L"");
    return TRUE;
}

BOOL WINAPI defaultConfig(WINHTTP_PROXY_INFO* info) {
    g_doubles.calls.push_back(L"default " + std::to_wstring(info->dwAccessType) +
                              (info->lpszProxy || info->lpszProxyBypass ? L" dirty" : L" zeroed"));
    if (g_doubles.fail) {
        SetLastError(g_doubles.error);
        return FALSE;
    }
    info->dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
    info->lpszProxy = handOut(L"");
    info->lpszProxyBypass = handOut(L"bypass-only");
    return TRUE;
}

class ProxyBinding : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        saved_ = g_proxyFunctions;
        g_proxyFunctions = {ieConfig, openSession, closeSession, proxyForUrl, defaultConfig, true, recordFree};
        g_doubles = Doubles();
    }
    void TearDown() override {
        g_proxyFunctions = saved_;
        EXPECT_EQ(g_doubles.handedOut, g_doubles.freed) << "every string WinHTTP returned is freed, once";
        EXPECT_EQ(0u, fakejni::openBuffers());
    }
    static jlong linkedAutoProxy(jobjectArray out, jobject url) {
        return nativetest::callLinked("Win32Proxy", "getAutoProxyConfig0",
                                      {out, url, newString(L"http://pac/x.pac"), 0x3, 0x2, true})
            .asLong();
    }
    ProxyFunctions saved_;
};

TEST_F(ProxyBinding, WithoutAllFiveFunctionsEveryNativeSays100000) {
    for (int missing = 0; missing < 5; ++missing) {
        g_proxyFunctions = {ieConfig, openSession, closeSession, proxyForUrl, defaultConfig, true, recordFree};
        void** slot[] = {reinterpret_cast<void**>(&g_proxyFunctions.getIEProxyConfig),
                         reinterpret_cast<void**>(&g_proxyFunctions.open),
                         reinterpret_cast<void**>(&g_proxyFunctions.closeHandle),
                         reinterpret_cast<void**>(&g_proxyFunctions.getProxyForUrl),
                         reinterpret_cast<void**>(&g_proxyFunctions.getDefaultProxyConfiguration)};
        *slot[missing] = nullptr;
        jobjectArray out = untouchedSlots();
        EXPECT_FALSE(nativetest::callLinked("Win32Proxy", "loadFunctions0", {}).asBoolean());
        EXPECT_EQ(100000, nativetest::callLinked("Win32Proxy", "getIEConfig0", {out}).asInt());
        EXPECT_EQ(100000, nativetest::callLinked("Win32Proxy", "getDefaultConfig0", {out}).asInt());
        EXPECT_EQ(100000, linkedAutoProxy(out, nullptr));
        EXPECT_EQ(kUntouched, slots(out));
    }
    EXPECT_TRUE(g_doubles.calls.empty());
}

TEST_F(ProxyBinding, IEConfigSetsOnlyNonEmptyStringsAndFreesAll) {
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, nativetest::callLinked("Win32Proxy", "getIEConfig0", {out}).asInt());
    EXPECT_EQ((std::vector<std::wstring>{L"true", L"keep1", L"ieproxy:80", L"keep3"}), slots(out));
    EXPECT_EQ(2u, g_doubles.freed.size());
}

TEST_F(ProxyBinding, FailuresOfTheConfigurationCallsAreTheirErrorCodes) {
    g_doubles.fail = true;
    g_doubles.error = ERROR_FILE_NOT_FOUND;
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(static_cast<jint>(ERROR_FILE_NOT_FOUND), nativetest::callLinked("Win32Proxy", "getIEConfig0", {out}).asInt());
    EXPECT_EQ(static_cast<jint>(ERROR_FILE_NOT_FOUND), nativetest::callLinked("Win32Proxy", "getDefaultConfig0", {out}).asInt());
    EXPECT_EQ(kUntouched, slots(out));
}

TEST_F(ProxyBinding, TheDefaultConfigurationStartsZeroed) {
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, nativetest::callLinked("Win32Proxy", "getDefaultConfig0", {out}).asInt());
    EXPECT_EQ(L"default 0 zeroed", g_doubles.calls.at(0));
    EXPECT_EQ((std::vector<std::wstring>{L"false", L"keep1", L"bypass-only", L"keep3"}), slots(out));
}

TEST_F(ProxyBinding, TheLookupGetsTheCallersOptionsInANoProxySession) {
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, linkedAutoProxy(out, newString(L"http://host/")));
    std::vector<std::wstring> expected = {
        L"open tavra proxy detection/1.0 1 0000000000000000 0000000000000000 0",
        L"lookup http://host/ 0x3 0x2 http://pac/x.pac 0000000000000000 0 1", L"close"};
    EXPECT_EQ(expected, g_doubles.calls);
    EXPECT_EQ((std::vector<std::wstring>{L"true", L"found:3128", L"keep2", L"keep3"}), slots(out));
}

TEST_F(ProxyBinding, AFailedDiscoveryIsTwoInTheHighWordAndTheErrorBelow) {
    g_doubles.fail = true;
    g_doubles.error = ERROR_WINHTTP_AUTODETECTION_FAILED;
    jobjectArray out = untouchedSlots();
    jlong result = linkedAutoProxy(out, newString(L"http://host/"));
    EXPECT_EQ(0x200000000LL + ERROR_WINHTTP_AUTODETECTION_FAILED, result);
    EXPECT_EQ(L"close", g_doubles.calls.back());
    EXPECT_EQ(kUntouched, slots(out));
}

TEST_F(ProxyBinding, ASessionThatCannotBeOpenedIsOneInTheHighWord) {
    g_doubles.fail = true;
    g_doubles.error = ERROR_WINHTTP_INTERNAL_ERROR;
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0x100000000LL + ERROR_WINHTTP_INTERNAL_ERROR, linkedAutoProxy(out, newString(L"http://host/")));
    EXPECT_EQ(1u, g_doubles.calls.size());  // opened only; nothing to close
}

TEST_F(ProxyBinding, ANullUrlOpensNoSession) {
    jobjectArray out = untouchedSlots();
    EXPECT_EQ(0, linkedAutoProxy(out, nullptr));
    EXPECT_TRUE(g_doubles.calls.empty());
    EXPECT_EQ(kUntouched, slots(out));
}

TEST_F(ProxyBinding, AShortArrayGetsOnlyTheSlotsItHas) {
    jobjectArray out = fakejni::newStringArray({L"keep0"});
    EXPECT_EQ(0, nativetest::callLinked("Win32Proxy", "getIEConfig0", {out}).asInt());
    EXPECT_EQ((std::vector<std::wstring>{L"true"}), slots(out));
    EXPECT_EQ(0, nativetest::callLinked("Win32Proxy", "getDefaultConfig0", {nullptr}).asInt());
    EXPECT_TRUE(fakejni::isNull(fakejni::pendingException()));
}

}  // namespace

// The natives of com/tavra/runtime/installer/platform/win32/Win32Proxy.
#pragma once
#include <windows.h>
#include <winhttp.h>

// The five WinHTTP functions, bound together from "Winhttp.dll" once per
// process (loadTried records the attempt); the library counts as available
// only when all five are there. freeString releases what they return
// (GlobalFree). Tests put doubles here and set loadTried before the first
// call.
struct ProxyFunctions {
    BOOL(WINAPI* getIEProxyConfig)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config);
    HINTERNET(WINAPI* open)(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR bypass, DWORD flags);
    BOOL(WINAPI* closeHandle)(HINTERNET handle);
    BOOL(WINAPI* getProxyForUrl)(HINTERNET session, LPCWSTR url, WINHTTP_AUTOPROXY_OPTIONS* options,
                                 WINHTTP_PROXY_INFO* info);
    BOOL(WINAPI* getDefaultProxyConfiguration)(WINHTTP_PROXY_INFO* info);
    bool loadTried;
    HGLOBAL(WINAPI* freeString)(HGLOBAL memory);
};
extern ProxyFunctions g_proxyFunctions;

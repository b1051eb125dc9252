// The natives of com/tavra/runtime/installer/platform/win32/Win32UserInfo.
#pragma once
#include <windows.h>
#include <lm.h>
#include <ntsecapi.h>

// Looks up a function of a module; GetProcAddress unless a test replaces it
// (to make a function missing).
using FindFunction = FARPROC (*)(HMODULE module, const char* name);

// The account functions the natives bind by name, each written on the first
// successful lookup and never reset, and the two imported look-ups the
// natives call through here. Wine keeps no accounts, groups, rights or
// logons, and its token is always an elevated administrator, so tests put
// doubles here before the first call.
struct UserInfoFunctions {
    // The token binding of advapi32: usable only when all five are bound.
    BOOL(WINAPI* allocateAndInitializeSid)(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD s0, DWORD s1,
                                           DWORD s2, DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID* sid);
    BOOL(WINAPI* equalSid)(PSID a, PSID b);
    BOOL(WINAPI* getTokenInformation)(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info, DWORD size,
                                      PDWORD returned);
    BOOL(WINAPI* openProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* openThreadToken)(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE token);

    // Further advapi32 functions bound by name.
    BOOL(WINAPI* convertSidToStringSid)(PSID sid, LPWSTR* text);
    BOOL(WINAPI* convertStringSidToSid)(LPCWSTR text, PSID* sid);
    BOOL(WINAPI* logonUser)(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD logonType, DWORD provider,
                            PHANDLE token);
    NTSTATUS(NTAPI* lsaOpenPolicy)(PLSA_UNICODE_STRING system, PLSA_OBJECT_ATTRIBUTES attributes,
                                   ACCESS_MASK access, PLSA_HANDLE policy);
    NTSTATUS(NTAPI* lsaAddAccountRights)(LSA_HANDLE policy, PSID account, PLSA_UNICODE_STRING rights, ULONG count);
    NTSTATUS(NTAPI* lsaRemoveAccountRights)(LSA_HANDLE policy, PSID account, BOOLEAN allRights,
                                            PLSA_UNICODE_STRING rights, ULONG count);
    NTSTATUS(NTAPI* lsaClose)(LSA_HANDLE handle);

    // netapi32, loaded on first use and kept.
    NET_API_STATUS(WINAPI* netUserDel)(LPCWSTR server, LPCWSTR user);
    NET_API_STATUS(WINAPI* netLocalGroupDel)(LPCWSTR server, LPCWSTR group);
    NET_API_STATUS(WINAPI* netLocalGroupAdd)(LPCWSTR server, DWORD level, LPBYTE info, LPDWORD parameterError);
    NET_API_STATUS(WINAPI* netLocalGroupGetInfo)(LPCWSTR server, LPCWSTR group, DWORD level, LPBYTE* info);
    NET_API_STATUS(WINAPI* netApiBufferFree)(LPVOID buffer);
    NET_API_STATUS(WINAPI* netUserAdd)(LPCWSTR server, DWORD level, LPBYTE info, LPDWORD parameterError);
    NET_API_STATUS(WINAPI* netUserGetInfo)(LPCWSTR server, LPCWSTR user, DWORD level, LPBYTE* info);
    NET_API_STATUS(WINAPI* netLocalGroupAddMembers)(LPCWSTR server, LPCWSTR group, DWORD level, LPBYTE members,
                                                    DWORD count);

    // Userenv.dll is loaded for each profile look-up and freed after it, so
    // its function is looked up in each load and never kept here; a test's
    // double set here is used instead.
    BOOL(WINAPI* getUserProfileDirectory)(HANDLE token, LPWSTR directory, LPDWORD size);

    // Imported; here so that tests can make groups and accounts known.
    BOOL(WINAPI* lookupAccountName)(LPCWSTR system, LPCWSTR account, PSID sid, LPDWORD sidSize, LPWSTR domain,
                                    LPDWORD domainSize, PSID_NAME_USE use);
    BOOL(WINAPI* lookupAccountSid)(LPCWSTR system, PSID sid, LPWSTR name, LPDWORD nameSize, LPWSTR domain,
                                   LPDWORD domainSize, PSID_NAME_USE use);

    FindFunction findFunction;
    // "sspicli.dll" is loaded once, before the first elevated start.
    bool sspicliLoaded;
};
extern UserInfoFunctions g_userInfoFunctions;

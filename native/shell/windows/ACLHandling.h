// The native of com/tavra/runtime/installer/platform/win32/ACLHandling.
#pragma once
#include <windows.h>
#include <aclapi.h>

// The security calls of addACE, imported, routed through here because Wine
// keeps no file access lists and never fails the list building, so tests
// put doubles here. They never change while natives run.
struct AclFunctions {
    DWORD(WINAPI* getNamedSecurityInfo)(LPCWSTR object, SE_OBJECT_TYPE type, SECURITY_INFORMATION info,
                                        PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                        PSECURITY_DESCRIPTOR* descriptor);
    DWORD(WINAPI* setEntriesInAcl)(ULONG count, PEXPLICIT_ACCESS_W entries, PACL oldAcl, PACL* newAcl);
    DWORD(WINAPI* setNamedSecurityInfo)(LPWSTR object, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID owner,
                                        PSID group, PACL dacl, PACL sacl);
};
extern AclFunctions g_aclFunctions;

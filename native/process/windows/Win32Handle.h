// The natives of com/tavra/runtime/installer/platform/win32/Win32Handle:
// the file handles of the current process, closing one, and the targets of
// symbolic link objects. Through functions of ntdll.dll and the thread start
// of kernel32.dll, bound on first use; tests may put doubles here first.
#pragma once
#include <windows.h>
#include <winternl.h>

struct HandleFunctions {
    NTSTATUS(NTAPI* querySystemInformation)(ULONG infoClass, PVOID buffer, ULONG bytes, PULONG returned);
    NTSTATUS(NTAPI* duplicateObject)(HANDLE sourceProcess, HANDLE source, HANDLE targetProcess, PHANDLE target,
                                     ACCESS_MASK access, ULONG attributes, ULONG options);
    NTSTATUS(NTAPI* queryObject)(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG bytes, PULONG returned);
    NTSTATUS(NTAPI* openSymbolicLink)(PHANDLE link, ACCESS_MASK access, POBJECT_ATTRIBUTES attributes);
    NTSTATUS(NTAPI* querySymbolicLink)(HANDLE link, PUNICODE_STRING target, PULONG returnedBytes);
    HANDLE(WINAPI* createThread)(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackBytes,
                                 LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, LPDWORD threadId);
};
extern HandleFunctions g_handleFunctions;

// The natives of com/tavra/runtime/installer/platform/win32/Win32CommunicationBackend:
// length-prefixed blocks over a local named pipe.
#pragma once
#include <windows.h>

// The calls that are retried and the retry rules: a server waits for its
// client through up to 601 failed ConnectNamedPipe calls, a client opens
// the pipe through up to 201 failed CreateFileW calls, with a pause of
// 500 ms between attempts. Tests shorten the pause and count the calls.
struct PipeFunctions {
    HANDLE(WINAPI* createFile)(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile);
    BOOL(WINAPI* connectNamedPipe)(HANDLE pipe, LPOVERLAPPED overlapped);
    int serverFailureLimit;  // gives up once the failures pass it
    int clientFailureLimit;
    DWORD retryPauseMilliseconds;
};
extern PipeFunctions g_pipeFunctions;

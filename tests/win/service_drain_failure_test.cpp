// The service process when the thread that drains the child's output
// cannot start: the child must not be left blocking on a full pipe with
// the service waiting for it forever.  The supervision stops the child,
// reports the service stopped with the start-failure codes and releases
// every pipe handle, as it does on its other early returns.
#include <windows.h>

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string>
#include <thread>
#include <vector>

#include "launcher/service/windows/ServiceHost.h"

extern BOOL(WINAPI* g_createServicePipe)(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD);
extern HANDLE(WINAPI* g_createDrainThread)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                           LPDWORD);

namespace {

std::vector<HANDLE> g_pipeHandles;
int g_failingPipe = 0;
int g_pipeCalls = 0;

BOOL WINAPI recordedPipe(PHANDLE readEnd, PHANDLE writeEnd, LPSECURITY_ATTRIBUTES attributes, DWORD size) {
    if (++g_pipeCalls == g_failingPipe) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!CreatePipe(readEnd, writeEnd, attributes, size)) return FALSE;
    g_pipeHandles.push_back(*readEnd);
    g_pipeHandles.push_back(*writeEnd);
    return TRUE;
}

HANDLE WINAPI noThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// The recorded pipe ends still open. A value that was closed may already
// name a handle that another thread of the test process opened since (an
// event, a thread, a file), so only a value that is still a pipe counts.
int openPipeHandles() {
    int open = 0;
    DWORD flags = 0;
    for (HANDLE h : g_pipeHandles)
        if (GetHandleInformation(h, &flags) && GetFileType(h) == FILE_TYPE_PIPE) ++open;
    return open;
}

int runningChildren() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == GetCurrentProcessId()) ++count;
    CloseHandle(snapshot);
    return count;
}

class ServiceDrainFailure : public ::testing::Test {
protected:
    void SetUp() override {
        g_pipeHandles.clear();
        g_pipeCalls = 0;
        g_failingPipe = 0;
        resetServiceStatus();  // each test is one service run
        g_createServicePipe = recordedPipe;
        wchar_t temp[MAX_PATH + 1], system[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH + 1), 0u);
        big = std::wstring(temp) + L"lrx_drain_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        HANDLE file = CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        std::string row(1023, 'x');
        row += '\n';
        DWORD written = 0;
        for (int i = 0; i < 1024; ++i) WriteFile(file, row.data(), static_cast<DWORD>(row.size()), &written, nullptr);
        CloseHandle(file);
        // Far more output than a pipe holds, then the wait for the stop request.
        child = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c type \"" + big + L"\" & set /p request= & exit 5";
    }
    void TearDown() override {
        g_createServicePipe = CreatePipe;
        g_createDrainThread = CreateThread;
        DeleteFileW(big.c_str());
    }

    std::wstring big, child;
};

}  // namespace

TEST_F(ServiceDrainFailure, ChildIsStoppedAndTheServiceReportsTheFailure) {
    g_createDrainThread = noThread;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread service([&] {
        superviseChild(child);
        SetEvent(done);
    });
    bool returned = WaitForSingleObject(done, 60000) == WAIT_OBJECT_0;
    if (!returned) {
        service.detach();  // it waits for a child blocked on its full pipe
        FAIL() << "the supervision waits forever for an undrained child";
    }
    service.join();
    CloseHandle(done);
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(serviceStatus().dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(serviceStatus().dwServiceSpecificExitCode, 5000u);
    EXPECT_EQ(runningChildren(), 0);
    EXPECT_EQ(g_pipeHandles.size(), 4u);
    EXPECT_EQ(openPipeHandles(), 0);
}

TEST_F(ServiceDrainFailure, EarlyReturnsReleaseThePipesAlreadyMade) {
    // The shutdown pipe fails after the output pipe was made.
    g_failingPipe = 2;
    superviseChild(child);
    EXPECT_EQ(g_pipeHandles.size(), 2u);
    EXPECT_EQ(openPipeHandles(), 0);
}

// The service process when the child's pipes cannot be made: the
// supervision gives up before starting the child and leaves the reported
// status alone (the service main then ends the process).  Pipe creation
// fails through the supervision's pipe factory.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "launcher/service/windows/ServiceHost.h"

// The supervision's pipe factory (launcher/service/windows/ServiceMain.cpp).
extern BOOL(WINAPI* g_createServicePipe)(PHANDLE, PHANDLE, LPSECURITY_ATTRIBUTES, DWORD);

namespace {

int g_pipeCalls = 0;
int g_failingCall = 0;
std::vector<HANDLE> g_pipeHandles;

// CreatePipe, except for the call numbered g_failingCall.
BOOL WINAPI pipeFailingOnce(PHANDLE readEnd, PHANDLE writeEnd, LPSECURITY_ATTRIBUTES attributes, DWORD size) {
    if (++g_pipeCalls == g_failingCall) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    if (!CreatePipe(readEnd, writeEnd, attributes, size)) return FALSE;
    g_pipeHandles.push_back(*readEnd);
    g_pipeHandles.push_back(*writeEnd);
    return TRUE;
}

class ServicePipeFailure : public ::testing::Test {
protected:
    void SetUp() override {
        g_pipeCalls = 0;
        g_pipeHandles.clear();
        g_createServicePipe = pipeFailingOnce;
        resetServiceStatus();  // each test is one service run
        wchar_t temp[MAX_PATH + 1];
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        marker = std::wstring(temp) + L"lrx_pipe_failure_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
        DeleteFileW(marker.c_str());
        wchar_t system[MAX_PATH + 1];
        ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH + 1), 0u);
        // A child that leaves a file behind when it runs and ends with 3,
        // which changes no reported state.
        child = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c echo ran> \"" + marker + L"\" & exit 3";
    }
    void TearDown() override {
        g_createServicePipe = CreatePipe;
        // The pipes made before the failure, if the supervision kept them.
        DWORD flags = 0;
        for (HANDLE h : g_pipeHandles)
            if (GetHandleInformation(h, &flags)) CloseHandle(h);
        DeleteFileW(marker.c_str());
    }

    bool childRan() { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::wstring marker, child;
};

}  // namespace

TEST_F(ServicePipeFailure, ChildIsNotStartedAndTheStatusStaysAsReported) {
    // The output pipe, then the shutdown pipe.
    for (int failing : {1, 2}) {
        g_failingCall = failing;
        g_pipeCalls = 0;
        SERVICE_STATUS before = serviceStatus();
        superviseChild(child);
        EXPECT_EQ(g_pipeCalls, failing);
        EXPECT_FALSE(childRan()) << "pipe " << failing;
        // Neither stopped nor changed otherwise: nothing was reported.
        EXPECT_EQ(std::memcmp(&before, &serviceStatus(), sizeof before), 0) << "pipe " << failing;
    }
}

TEST_F(ServicePipeFailure, SupervisionRunsTheChildWhenThePipesCanBeMade) {
    // The same factory and child with no failure: both pipes are made and
    // the child runs.
    g_failingCall = 0;
    superviseChild(child);
    EXPECT_EQ(g_pipeCalls, 2);
    EXPECT_TRUE(childRan());
}

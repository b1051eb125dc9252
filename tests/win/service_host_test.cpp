// The service host under Wine: the child's priority from the registry
// (Wine ignores priority classes in CreateProcess, so the value is checked
// where it is read), and the supervision of the child.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "launcher/service/windows/ServiceHost.h"

namespace {

class Priority : public ::testing::Test {
protected:
    void TearDown() override {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPriorityKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        RegDeleteValueW(key, name.c_str());
        RegCloseKey(key);
    }

    void write(uint64_t value, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPriorityKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value), size);
        RegCloseKey(key);
    }

    std::wstring name = L"Lrx Priority " + std::to_wstring(GetCurrentProcessId());
};

}  // namespace

TEST_F(Priority, FourByteValueIsThePriorityClass) {
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    write(BELOW_NORMAL_PRIORITY_CLASS, 4);
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    write(BELOW_NORMAL_PRIORITY_CLASS, 8);
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    write(BELOW_NORMAL_PRIORITY_CLASS, 2);
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    // Creation flags other than a class would start the child suspended
    // or under a debugger.
    write(CREATE_SUSPENDED, 4);
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    write(HIGH_PRIORITY_CLASS | DEBUG_PROCESS, 4);
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
    write(REALTIME_PRIORITY_CLASS, 4);
    EXPECT_EQ(childPriority(name.c_str()), static_cast<DWORD>(REALTIME_PRIORITY_CLASS));
}

// The service process's supervision of its child, run in this process
// (without a service control manager the status is only recorded).
TEST(ServiceChild, StoppedOnlyWhenTheChildEndsWellOrCannotStart) {
    resetServiceStatus();
    std::wstring cmd = L"C:\\windows\\system32\\cmd.exe /c exit ";
    superviseChild(cmd + L"3");
    EXPECT_NE(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    superviseChild(cmd + L"0");
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(serviceStatus().dwWin32ExitCode, 0u);

    superviseChild(L"\"C:\\no such dir\\svc.exe\" svc __tvr_restart");
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(serviceStatus().dwWin32ExitCode, static_cast<DWORD>(ERROR_SERVICE_SPECIFIC_ERROR));
    EXPECT_EQ(serviceStatus().dwServiceSpecificExitCode, 5000u);
}

namespace {

DWORD WINAPI superviseWaitingChild(void*) {
    // A child that ends once a line arrives on its standard input.
    superviseChild(L"C:\\windows\\system32\\cmd.exe /c set /p line= & exit 3");
    return 0;
}

}  // namespace

// A stop that comes after the service reported running but before its
// child's pipe exists reaches the child once it starts; a stop after the
// service reported stopped changes nothing.
TEST(ServiceChild, AStopBeforeThePipeExistsStillStopsTheChild) {
    resetServiceStatus();
    serviceControlHandler(SERVICE_CONTROL_STOP);
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));

    HANDLE supervision = CreateThread(nullptr, 0, superviseWaitingChild, nullptr, 0, nullptr);
    ASSERT_NE(supervision, nullptr);
    bool ended = WaitForSingleObject(supervision, 30000) == WAIT_OBJECT_0;
    if (!ended) {
        serviceControlHandler(SERVICE_CONTROL_STOP);  // the child's pipe exists now
        WaitForSingleObject(supervision, 30000);
    }
    CloseHandle(supervision);
    EXPECT_TRUE(ended) << "the child never got the stop request";
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));

    serviceControlHandler(SERVICE_CONTROL_SHUTDOWN);
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

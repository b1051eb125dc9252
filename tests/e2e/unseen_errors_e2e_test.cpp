// Fatal errors in a process nobody can see: a launcher with a damaged
// block, started by the service control manager, would show its block
// error in a message box on the service's invisible window station and
// wait there forever.  It writes the error to standard error instead and
// ends, so the service start fails at once.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

#include <tlhelp32.h>

namespace {

// Processes running the image named `exeName`.
int processesNamed(const std::wstring& exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) ++count;
    CloseHandle(snapshot);
    return count;
}

}  // namespace

TEST(UnseenErrors, ServiceWithADamagedBlockEndsInsteadOfWaitingOnABox) {
    ScratchDir dir(L"unseen");
    std::wstring exeName = L"lrxbroken" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    std::wstring exe = dir.file(exeName);
    size_t blockStart = readBytes(launcherImagePath()).size();
    packTo(exe, sampleDescription());
    std::vector<uint8_t> image = readBytes(exe);
    ASSERT_GT(image.size(), blockStart + 4);
    image[blockStart] ^= 0xFF;  // the magic: "Internal Error: magic"
    writeBytes(exe, image);

    std::wstring name = L"LrxBroken" + std::to_wstring(GetCurrentProcessId());
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE service = CreateServiceW(manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                       (L"\"" + exe + L"\"").c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(service, nullptr);

    // The launcher ends at once; a launcher waiting on a box makes the
    // start wait for the manager's time-out (after which Wine's manager
    // ends it, and Windows' leaves it waiting).
    DWORD start = GetTickCount();
    EXPECT_FALSE(StartServiceW(service, 0, nullptr));
    EXPECT_LT(GetTickCount() - start, 5000u);
    int left = processesNamed(exeName);
    for (int i = 0; i < 100 && left > 0; ++i) {
        Sleep(100);
        left = processesNamed(exeName);
    }
    EXPECT_EQ(left, 0) << "the launcher is still waiting on a message box nobody can see";
    SERVICE_STATUS status = {};
    QueryServiceStatus(service, &status);
    EXPECT_NE(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));

    // Leave no waiting process behind, whatever the outcome.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName.c_str()) == 0) {
            HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
            if (p) {
                TerminateProcess(p, 1);
                WaitForSingleObject(p, 5000);
                CloseHandle(p);
            }
        }
    CloseHandle(snapshot);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// The "lookup was tried" flag of the binding groups (version, folder,
// proxy and shell functions) under concurrent first calls.
#include <gtest/gtest.h>

#include <windows.h>

#include "native/frame/windows/OptionalBinding.h"

namespace {

bool g_tried = false;
int g_firstLookupRuns = 0;
HANDLE g_firstInside = nullptr;
HANDLE g_secondDone = nullptr;

// A first lookup that is slow (loading a module, say): it waits until the
// second caller has been through.
DWORD WINAPI slowFirstCaller(void*) {
    lookUpOnce(g_tried, [] {
        ++g_firstLookupRuns;
        SetEvent(g_firstInside);
        WaitForSingleObject(g_secondDone, 10000);
    });
    return 0;
}

}  // namespace

TEST(OptionalBinding, ACallDuringTheFirstLookupLooksUpItselfAndAFinishedOneIsNotRepeated) {
    g_firstInside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_secondDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE first = CreateThread(nullptr, 0, slowFirstCaller, nullptr, 0, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(WaitForSingleObject(g_firstInside, 10000), WAIT_OBJECT_0);

    int secondLookups = 0;
    lookUpOnce(g_tried, [&] { ++secondLookups; });
    EXPECT_EQ(secondLookups, 1) << "the second caller took the flag of a lookup still running";

    SetEvent(g_secondDone);
    WaitForSingleObject(first, 10000);
    CloseHandle(first);
    CloseHandle(g_firstInside);
    CloseHandle(g_secondDone);
    EXPECT_EQ(g_firstLookupRuns, 1);
    EXPECT_TRUE(g_tried);

    int laterLookups = 0;
    lookUpOnce(g_tried, [&] { ++laterLookups; });
    EXPECT_EQ(laterLookups, 0);
}

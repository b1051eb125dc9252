// Where the launcher's registry functions come from: kernel32 where it
// exports them (Wine's does, as Windows 7 and later do), advapi32 where it
// does not; both tables reach the same registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "launcher/config/windows/RegistryFunctions.h"

namespace {

const char kScratchKey[] = "Software\\tvrtest\\registry_functions";

template <class Function> void* address(Function f) { return reinterpret_cast<void*>(f); }

void* kernel32Export(const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}

// Writes a DWORD through one table and reads it back through it; the
// value as read, or -1 when a call failed.
long roundTrip(const RegistryFunctions& f, DWORD value) {
    HKEY key = nullptr;
    if (f.createKeyA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return -1;
    LONG set = f.setValueA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    f.closeKey(key);
    if (set != ERROR_SUCCESS || f.openKeyA(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return -1;
    DWORD read = 0, size = sizeof read;
    LONG got = f.queryValueA(key, "n", nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size);
    f.closeKey(key);
    return got == ERROR_SUCCESS ? static_cast<long>(read) : -1;
}

class RegistryFunctionsTest : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kScratchKey); }
};

TEST_F(RegistryFunctionsTest, TheLauncherTableComesFromKernel32WhereItHasThem) {
    const RegistryFunctions& f = registry();
    EXPECT_EQ(address(f.openKeyA), kernel32Export("RegOpenKeyExA"));
    EXPECT_EQ(address(f.queryValueW), kernel32Export("RegQueryValueExW"));
    EXPECT_EQ(address(f.enumKeyA), kernel32Export("RegEnumKeyExA"));
    EXPECT_EQ(address(f.closeKey), kernel32Export("RegCloseKey"));
    // kernel32 has no RegDeleteKeyW: that one is advapi32's.
    ASSERT_EQ(kernel32Export("RegDeleteKeyW"), nullptr);
    EXPECT_EQ(address(f.deleteKeyW), address(&RegDeleteKeyW));
    EXPECT_EQ(roundTrip(f, 7), 7);
}

TEST_F(RegistryFunctionsTest, AModuleWithoutThemLeavesEveryFunctionToAdvapi32) {
    // msvcrt stands in for a kernel32 that exports no registry function,
    // as Vista's does not.
    RegistryFunctions f = bindRegistryFunctions(GetModuleHandleW(L"msvcrt.dll"));
    EXPECT_EQ(address(f.openKeyA), address(&RegOpenKeyExA));
    EXPECT_EQ(address(f.createKeyW), address(&RegCreateKeyExW));
    EXPECT_EQ(address(f.setValueW), address(&RegSetValueExW));
    EXPECT_EQ(address(f.closeKey), address(&RegCloseKey));
    EXPECT_EQ(roundTrip(f, 9), 9);
    EXPECT_EQ(roundTrip(bindRegistryFunctions(nullptr), 11), 11);
}

}  // namespace

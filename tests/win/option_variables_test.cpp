// The environment variables of "E" class-path entries as the launch reads
// them under Wine: an empty variable is not set, as for GetEnvironmentVariable.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "launcher/launch/VmOptionAssembly.h"
#include "launcher/launch/windows/VmOptions.h"

TEST(OptionVariables, EmptyVariableIsNotSet) {
    const char name[] = "LRX_OPTION_VARIABLE";
    OptionWorld& world = windowsOptionWorld();
    std::string value = "old";
    bool undefined = false;

    ASSERT_TRUE(SetEnvironmentVariableA(name, ""));
    char buffer[16];
    SetLastError(0);
    if (GetEnvironmentVariableA(name, buffer, sizeof buffer) != 0 || GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        GTEST_SKIP() << "this system keeps no empty variables";
    EXPECT_FALSE(world.environmentVariable(name, value, undefined));
    EXPECT_FALSE(undefined);
    EXPECT_EQ(value, "");

    ASSERT_TRUE(SetEnvironmentVariableA(name, "C:\\x"));
    EXPECT_TRUE(world.environmentVariable(name, value, undefined));
    EXPECT_EQ(value, "C:\\x");

    ASSERT_TRUE(SetEnvironmentVariableA(name, nullptr));
    EXPECT_FALSE(world.environmentVariable(name, value, undefined));
    EXPECT_TRUE(undefined);
}

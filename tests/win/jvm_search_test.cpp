// The JVM search in this process: what it publishes after a failed search.
// (The end-to-end tests run the whole search in packed launchers.)
#include <windows.h>

#include <gtest/gtest.h>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/jvmsearch/windows/JvmEntry.h"
#include "launcher/jvmsearch/windows/JvmSearch.h"
#include "tests/support/runtime/FakeRuntime.h"

using namespace fake_runtime;

TEST(JvmSearchInProcess, PublishesTheLastCandidateThatPassedItsCheck) {
    ScratchTree tree(L"search");
    // Passes its check, but its jvm.dll does not load...
    std::wstring damaged = tree / L"damaged";
    installJava(damaged, javaVersion("1.8.0_301"));
    installBrokenJvm(damaged + L"\\bin", L"server");
    // ...and a later candidate is checked and rejected.
    std::wstring old = tree / L"old";
    installRuntime(old, "1.7.0_80");

    BlockData block;
    block.config = {{107, "4"}, {126, "1.8"}, {127, "1.8"}, {128, "A" + ascii(damaged) + ";EJAVA_HOME;"}};
    applyConfigurationBlock(block, "en");
    SetEnvironmentVariableW(L"JAVA_HOME", old.c_str());
    for (const wchar_t* name : {L"LORIX_JAVA_HOME", L"TAVRA_JAVA_HOME"}) SetEnvironmentVariableW(name, nullptr);

    EXPECT_FALSE(LoadDLL());
    SetEnvironmentVariableW(L"JAVA_HOME", nullptr);
    EXPECT_EQ(std::string(jvmHome()), lowerAscii(ascii(damaged)) + "\\bin\\..");
    EXPECT_STREQ(jvmVersion(), "1.8.0_301");
    EXPECT_EQ(javaRuns(old + L"\\bin").size(), 1u);
}

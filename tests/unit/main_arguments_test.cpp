// The argument array of the launcher class's main.
#include <gtest/gtest.h>

#include "launcher/launch/MainArguments.h"

namespace {

MainArgumentInputs sample() {
    MainArgumentInputs in;
    in.mainClass = L"com.orvane.server.ServerMain";
    in.errorFile = L"${installer:sys.tempDir}\\orvane_error.log";
    in.flag106 = true;
    in.jArgumentsAreVmOptions = true;
    return in;
}

}  // namespace

TEST(MainArguments, SampleConsoleRun) {
    EXPECT_EQ(buildMainArguments(sample(), {L"orvane.exe"}),
              (std::vector<std::wstring>{L"false", L"com.orvane.server.ServerMain",
                                         L"${installer:sys.tempDir}\\orvane_error.log", L"", L"true", L"orvane.exe"}));
}

TEST(MainArguments, ModuleModeGuiAndFixedArguments) {
    MainArgumentInputs in = sample();
    in.guiApplication = true;
    in.moduleMode = true;
    in.mainClass = L"app/org.example.Main";
    in.fixedArguments = L"--fixed \"two words\"";
    EXPECT_EQ(buildMainArguments(in, {L"svc", L"a"}),
              (std::vector<std::wstring>{L"true", L"/app/org.example.Main", in.errorFile, L"", L"true", L"svc",
                                         L"--fixed", L"two words", L"a"}));
}

TEST(MainArguments, VmOptionArgumentsAreLeftOut) {
    std::vector<std::wstring> args{L"prog", L"-J-Xmx1g", L"a", L"-Dsun.locale.formatasdefault=true", L"-Jb"};
    std::vector<std::wstring> out = buildMainArguments(sample(), args);
    EXPECT_EQ(std::vector<std::wstring>(out.begin() + 5, out.end()), (std::vector<std::wstring>{L"prog", L"a"}));

    MainArgumentInputs in = sample();
    in.jArgumentsAreVmOptions = false;
    out = buildMainArguments(in, args);
    EXPECT_EQ(std::vector<std::wstring>(out.begin() + 5, out.end()),
              (std::vector<std::wstring>{L"prog", L"-J-Xmx1g", L"a", L"-Jb"}));
}

TEST(MainArguments, NoArgumentsMeansNoSixthElement) {
    EXPECT_EQ(buildMainArguments(sample(), {}).size(), 5u);
}

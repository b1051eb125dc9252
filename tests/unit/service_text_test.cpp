#include <gtest/gtest.h>

#include "launcher/config/CommandLine.h"
#include "launcher/service/ServiceText.h"

TEST(ServiceText, DependenciesBecomeADoubleNulList) {
    EXPECT_EQ(dependencyList(L"Tcpip,Afd"), std::wstring(L"Tcpip\0Afd\0\0", 11));
    EXPECT_EQ(dependencyList(L""), L"");
    EXPECT_EQ(dependencyList(L",Tcpip,,"), std::wstring(L"Tcpip\0\0", 7));
}

TEST(ServiceText, ChildCommandLineQuotesElementsWithBlanks) {
    EXPECT_EQ(childCommandLine({L"C:\\Program Files\\svc.exe"}, L"My Svc", {L"My Svc"}),
              L"\"C:\\Program Files\\svc.exe\" \"My Svc\" __tvr_restart");
    EXPECT_EQ(childCommandLine({L"C:\\svc.exe"}, L"My Svc", {L"My Svc", L"-x", L"a b"}),
              L"C:\\svc.exe \"My Svc\" -x \"a b\" __tvr_restart");
    EXPECT_EQ(childCommandLine({L"C:\\svc.exe", L"own"}, L"Svc", {}), L"C:\\svc.exe Svc own __tvr_restart");
}

// The child splits the line with the launcher's splitter: every element,
// the marker last, must come back as it was.
TEST(ServiceText, ChildCommandLineElementsWithQuotesOrNothingComeBackWhole) {
    std::wstring line = childCommandLine({L"C:\\Bob's\\svc.exe", L"a\"b"}, L"O'Brien", {L"O'Brien", L"", L"say \"hi\""});
    ArgumentVector split;
    splitCommandLine(line.c_str(), split);
    EXPECT_EQ(split, ArgumentVector({L"C:\\Bob's\\svc.exe", L"O'Brien", L"a\"b", L"", L"say \"hi\"", kRestartMarker}));
    EXPECT_EQ(line, L"\"C:\\Bob's\\svc.exe\" \"O'Brien\" 'a\"b' \"\" 'say \"hi\"' __tvr_restart");
}

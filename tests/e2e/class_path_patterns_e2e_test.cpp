// Class-path entries that are patterns, in a real launch up to the VM
// options (the options probe of tests/support): "lib\*" passes as written
// when it matches, and stops the launch with message 1006 when it does not.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace {

class ClassPathPatterns : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* sub : {L"bin", L"tmp", L"lib", L"lib\\common", L"lib\\server", L"other"})
            CreateDirectoryW(dir.file(sub).c_str(), nullptr);
        writeBytes(dir.file(L"lib\\a.jar"), {'P', 'K'});
        description = sampleDescription();
    }

    ChildResult run() {
        std::wstring exe = dir.file(L"bin\\orvane.exe");
        packTo(exe, description, optionsProbeImagePath());
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"MANPATH="};
        return runChild(commandLine(exe, L""), options);
    }

    static std::string classPath(const std::string& out) {
        const std::string mark = "\n-Djava.class.path=";
        size_t at = out.find(mark);
        if (at == std::string::npos) return "<none>";
        at += mark.size();
        return out.substr(at, out.find("\r\n", at) - at);
    }

    ScratchDir dir{L"cppatterns"};
    LauncherDescription description;
};

}  // namespace

TEST_F(ClassPathPatterns, MatchingWildcardEntryReachesTheClassPathAsWritten) {
    setConfigValue(description, 121, "A1..\\lib\\*;A1..\\lib\\?.jar;");
    ChildResult r = run();
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    // The entries come last: resolved against the launcher's directory,
    // patterns untouched.
    std::string path = classPath(r.out);
    const std::string tail = "\\bin\\..\\lib\\*;";
    size_t at = path.find(tail);
    ASSERT_NE(at, std::string::npos) << path;
    size_t begin = path.rfind(';', at);
    begin = begin == std::string::npos ? 0 : begin + 1;
    std::string root = path.substr(begin, at - begin);  // the scratch directory, as the launcher spells it
    EXPECT_EQ(path.substr(at + tail.size()), root + "\\bin\\..\\lib\\?.jar") << path;
}

TEST_F(ClassPathPatterns, WildcardThatMatchesNothingIsMissing) {
    setConfigValue(description, 121, "A1..\\other\\*.jar;");
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err, "File or directory ..\\other\\*.jar not found or empty\r\n\r\n");
}

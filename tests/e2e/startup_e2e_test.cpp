// Packed launchers started as separate processes: the usage line, the
// diagnostic log, fatal errors of an unreadable block, language groups.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace {

const char kUsage[] = "Usage: orvane.exe /install | /uninstall | /stop | /start | /status | /run | /run-redirect\r\n";

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(dir.file(L"bin").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"tmp").c_str(), nullptr);
        exe = dir.file(L"bin\\orvane.exe");
        packTo(exe, sampleDescription());
    }

    // Runs the launcher with its temporary directory (and so its log) in
    // the scratch directory.
    ChildResult run(const std::wstring& arguments, std::vector<std::wstring> environment = {}) {
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=", L"LORIX_LOG="};
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        return runChild(commandLine(exe, arguments), options);
    }

    std::string log(int n) { return readText(dir.file(L"tmp\\tvr_nlog_" + std::to_wstring(n) + L".log")); }

    ScratchDir dir{L"startup"};
    std::wstring exe;
};

}  // namespace

TEST_F(Startup, HelpVerbsPrintTheUsageLine) {
    for (const wchar_t* verb : {L"/?", L"-?", L"/help", L"-help", L"--help"}) {
        ChildResult r = run(verb);
        EXPECT_EQ(r.exitCode, 0u) << narrowUtf8(verb);
        EXPECT_EQ(r.out, kUsage) << narrowUtf8(verb);
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Startup, UpperCaseHelpIsNotAVerb) {
    ChildResult r = run(L"/HELP", {L"TAVRA_LOG=yes"});
    EXPECT_EQ(r.out.find("Usage:"), std::string::npos);
    // Started from a console, the hand-over to the service control manager
    // fails, is logged, and the launcher ends with 0.
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_NE(log(1).find("calling StartServiceCtrlDispatcher"), std::string::npos);
    EXPECT_NE(log(1).find("StartServiceCtrlDispatcher failed with error "), std::string::npos);
    EXPECT_NE(log(1).find("StartServiceCtrlDispatcher returned"), std::string::npos);
}

TEST_F(Startup, LogIsNumberedUtf8WithTimePrefixes) {
    writeBytes(dir.file(L"tmp\\tvr_nlog_1.log"), {});
    writeBytes(dir.file(L"tmp\\tvr_nlog_2.log"), {});
    ChildResult r = run(L"/?", {L"TAVRA_LOG=yes"});
    ASSERT_EQ(r.exitCode, 0u);
    std::string text = log(3);
    ASSERT_GT(text.size(), 3u);
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");

    // The first line has no prefix; ctime's own newline leaves an empty line.
    std::string first = text.substr(3, text.find("\r\n") - 3);
    EXPECT_EQ(first.rfind("Started executable ", 0), 0u) << first;
    EXPECT_NE(first.find("orvane.exe at "), std::string::npos) << first;
    size_t rest = text.find("\r\n\r\n");
    ASSERT_NE(rest, std::string::npos);

    std::vector<std::string> lines;
    for (size_t pos = rest + 4, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
        lines.push_back(text.substr(pos, end - pos));
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        unsigned s = 0, ms = 0;
        char close = 0;
        EXPECT_EQ(sscanf(line.c_str(), "[%u:%u%c", &s, &ms, &close), 3) << line;
        EXPECT_EQ(close, ']') << line;
        EXPECT_LT(ms, 1000u) << line;
    }
    for (const char* expected : {"] number of sections: ", "] size of optional headers: 240", "] resSectionTableStart: ",
                                 "] rawDataSize: ", "] language/country is ", "] change working directory to ",
                                 "] command line \""})
        EXPECT_NE(text.find(expected), std::string::npos) << expected;
    EXPECT_FALSE(fileExists(dir.file(L"tmp\\tvr_nlog_4.log")));
}

TEST_F(Startup, LogSwitchWantsExactlyLowerCaseYes) {
    run(L"/?", {L"TAVRA_LOG=YES"});
    EXPECT_FALSE(fileExists(dir.file(L"tmp\\tvr_nlog_1.log")));
    run(L"/?", {L"LORIX_LOG=yes"});
    EXPECT_TRUE(fileExists(dir.file(L"tmp\\tvr_nlog_1.log")));
}

TEST_F(Startup, RelativeWorkingDirectoryIsTheLaunchersParent) {
    run(L"/?", {L"TAVRA_LOG=yes"});
    std::string expected = "change working directory to " + narrowUtf8(dir.path()) + "\r\n";
    std::string text = log(1);
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    EXPECT_NE(lower(text).find(lower(expected)), std::string::npos) << text;
}

TEST_F(Startup, FatalMessagesNameTheLogFile) {
    // An embedded file that cannot be extracted: message 1009 with "11".
    LauncherDescription d = sampleDescription();
    addEmbeddedFile(d, "lib\\x.dll", {1, 2, 3});
    addEmbeddedFile(d, "lib", {4});  // a file where the directory already is
    packTo(exe, d);
    ChildResult r = run(L"/run", {L"TAVRA_LOG=yes"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err.rfind("An internal error occurred (error code: 11)\r\n\r\nLog: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("tvr_nlog_1.log"), std::string::npos) << r.err;
}

// ---- a block that cannot be read: fatal text in a message box -----------

class CorruptBlock : public Startup {
protected:
    // Runs the launcher and answers the message box it shows.
    MessageBoxSeen runAndAnswer(DWORD& exitCode) {
        MessageBoxSeen seen;
        ChildOptions options;
        options.timeoutMs = 30000;
        options.whileRunning = [&](DWORD pid) {
            if (!seen.found) seen = answerMessageBox(pid);
        };
        ChildResult r = runChild(commandLine(exe, L"/?"), options);
        exitCode = r.exitCode;
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.out, "");
        return seen;
    }

    size_t blockOffset() { return readBytes(launcherImagePath()).size(); }
};

TEST_F(CorruptBlock, WrongMagic) {
    std::vector<uint8_t> image = readBytes(exe);
    image[blockOffset()] ^= 0xFF;
    writeBytes(exe, image);
    DWORD code = 0;
    MessageBoxSeen seen = runAndAnswer(code);
    ASSERT_TRUE(seen.found) << "no message box (is there a display?)";
    EXPECT_EQ(seen.text, L"Internal Error: magic");
    EXPECT_EQ(code, 1u);
}

TEST_F(CorruptBlock, CutInsideAStringOrAtItsLength) {
    std::vector<uint8_t> full = readBytes(exe);
    size_t start = blockOffset();
    // 34 bytes in: inside the first configuration value; 26: inside its id.
    const std::pair<size_t, const wchar_t*> cuts[] = {{34, L"Internal Error: readString"},
                                                      {26, L"Internal Error: readInt"}};
    for (const auto& cut : cuts) {
        writeBytes(exe, std::vector<uint8_t>(full.begin(), full.begin() + static_cast<long>(start + cut.first)));
        DWORD code = 0;
        MessageBoxSeen seen = runAndAnswer(code);
        ASSERT_TRUE(seen.found) << cut.first;
        EXPECT_EQ(seen.text, cut.second);
        EXPECT_EQ(code, 1u);
    }
}

TEST_F(CorruptBlock, HugeLengthIsRefusedBeforeAllocating) {
    std::vector<uint8_t> image = readBytes(exe);
    size_t length = blockOffset() + 28;  // the first configuration value's length
    image[length] = 0xF0;
    image[length + 1] = 0xFF;
    image[length + 2] = 0xFF;
    image[length + 3] = 0x7F;
    writeBytes(exe, image);
    DWORD code = 0;
    MessageBoxSeen seen = runAndAnswer(code);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Internal Error: readString");
    EXPECT_EQ(code, 1u);
}

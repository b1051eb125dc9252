// Packed runtimes under Wine with the fake unpack200.exe: which archives
// are unpacked, the unpacker's command line, the one announcement, and
// what stays when the unpacker fails.
#include <windows.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "launcher/jvmsearch/windows/PackedRuntime.h"
#include "tests/support/runtime/FakeRuntime.h"

using namespace fake_runtime;

namespace {

// Standard output of this process goes to a file while it lives.
class StdoutCapture {
public:
    explicit StdoutCapture(const std::wstring& file) {
        std::fflush(stdout);
        saved_ = _dup(_fileno(stdout));
        int fd = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
        _dup2(fd, _fileno(stdout));
        _close(fd);
    }
    ~StdoutCapture() {
        std::fflush(stdout);
        _dup2(saved_, _fileno(stdout));
        _close(saved_);
    }

private:
    int saved_;
};

class JvmPackedRuntime : public ::testing::Test {
protected:
    void SetUp() override {
        home = tree / L"jre";
        makeDirectories(home + L"\\lib\\ext");
        installUnpacker(home);
    }

    // Runs the preparation and gives what it printed (line ends as "\n").
    std::string prepare() {
        std::wstring output = tree / L"stdout.txt";
        {
            StdoutCapture capture(output);
            preparePackedRuntime(ascii(home).c_str());
        }
        std::string text = readText(output);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

    std::string expectedCommandLine(const std::wstring& relativeJar) {
        std::string h = ascii(home);
        std::string jar = h + "\\" + ascii(relativeJar);
        return "\"" + h + "\\bin\\unpack200.exe\" -r \"" + jar + ".pack\" \"" + jar + "\"";
    }

    ScratchTree tree{L"packed"};
    std::wstring home;
};

}  // namespace

TEST_F(JvmPackedRuntime, NothingPackedNothingDone) {
    writeText(home + L"\\lib\\rt.jar", "rt");
    EXPECT_EQ(prepare(), "");
    EXPECT_TRUE(unpackerRuns(home).empty());
}

TEST_F(JvmPackedRuntime, PackedArchiveIsUnpackedAndItsPackDeleted) {
    writeText(home + L"\\lib\\rt.jar.pack", "packed rt");
    EXPECT_EQ(prepare(), "Preparing JRE ...\n");
    std::vector<std::string> runs = unpackerRuns(home);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], expectedCommandLine(L"lib\\rt.jar"));
    EXPECT_EQ(readText(home + L"\\lib\\rt.jar"), "packed rt");
    EXPECT_FALSE(exists(home + L"\\lib\\rt.jar.pack"));

    // Unpacked for good: the next launch starts nothing.
    EXPECT_EQ(prepare(), "");
    EXPECT_EQ(unpackerRuns(home).size(), 1u);
}

TEST_F(JvmPackedRuntime, OneAnnouncementForLibAndLibExt) {
    writeText(home + L"\\lib\\rt.jar.pack", "rt");
    writeText(home + L"\\lib\\jsse.jar.pack", "jsse");
    writeText(home + L"\\lib\\ext\\nashorn.jar.pack", "nashorn");
    EXPECT_EQ(prepare(), "Preparing JRE ...\n");
    std::vector<std::string> runs = unpackerRuns(home);
    ASSERT_EQ(runs.size(), 3u);
    // lib first, then lib\ext.
    EXPECT_EQ(runs[2], expectedCommandLine(L"lib\\ext\\nashorn.jar"));
    for (const wchar_t* jar : {L"lib\\rt.jar", L"lib\\jsse.jar", L"lib\\ext\\nashorn.jar"}) {
        EXPECT_TRUE(exists(home + L"\\" + jar)) << ascii(jar);
        EXPECT_FALSE(exists(home + L"\\" + jar + L".pack")) << ascii(jar);
    }
}

TEST_F(JvmPackedRuntime, PackBesideItsJarIsLeftAlone) {
    writeText(home + L"\\lib\\a.jar.pack", "packed");
    writeText(home + L"\\lib\\a.jar", "plain");
    writeText(home + L"\\lib\\b.jar.pack.old", "not a pack");
    EXPECT_EQ(prepare(), "");
    EXPECT_TRUE(unpackerRuns(home).empty());
    EXPECT_EQ(readText(home + L"\\lib\\a.jar"), "plain");
    EXPECT_TRUE(exists(home + L"\\lib\\a.jar.pack"));
}

TEST_F(JvmPackedRuntime, FailedUnpackKeepsThePackForTheNextLaunch) {
    writeText(home + L"\\lib\\rt.jar.pack", "packed rt archive");
    writeText(home + L"\\bin\\unpack200.txt", "exit=3");
    EXPECT_EQ(prepare(), "Preparing JRE ...\n");
    EXPECT_EQ(unpackerRuns(home).size(), 1u);
    EXPECT_TRUE(exists(home + L"\\lib\\rt.jar.pack"));
    // The half-written archive does not pass for an unpacked one.
    EXPECT_FALSE(exists(home + L"\\lib\\rt.jar"));

    DeleteFileW((home + L"\\bin\\unpack200.txt").c_str());
    EXPECT_EQ(prepare(), "Preparing JRE ...\n");
    EXPECT_EQ(readText(home + L"\\lib\\rt.jar"), "packed rt archive");
    EXPECT_FALSE(exists(home + L"\\lib\\rt.jar.pack"));
}

TEST_F(JvmPackedRuntime, AnUnpackerThatFailsAfterRemovingThePackLeavesItsArchive) {
    // The archive is the only copy left: deleting it would leave the
    // runtime without its classes for good.
    writeText(home + L"\\lib\\rt.jar.pack", "packed rt archive");
    writeText(home + L"\\bin\\unpack200.txt", "exit=3 removed");
    EXPECT_EQ(prepare(), "Preparing JRE ...\n");
    EXPECT_FALSE(exists(home + L"\\lib\\rt.jar.pack"));
    EXPECT_EQ(readText(home + L"\\lib\\rt.jar"), "packed rt archive");
}

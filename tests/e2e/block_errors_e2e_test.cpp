// Packed launchers whose block is cut short: the fatal text names the read
// that failed (a length field is a readInt), and the message box carries
// the block's own caption once message 1000 was read before the cut.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace {

class CutBlock : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(dir.file(L"bin").c_str(), nullptr);
        exe = dir.file(L"bin\\orvane.exe");
        start = readBytes(launcherImagePath()).size();
    }

    // Packs, keeps the image up to `offset` bytes into the block, runs it
    // and answers its message box.
    MessageBoxSeen runCut(const LauncherDescription& description, size_t offset, DWORD& exitCode) {
        packTo(exe, description);
        std::vector<uint8_t> image = readBytes(exe);
        EXPECT_LE(start + offset, image.size());
        image.resize(start + offset);
        writeBytes(exe, image);

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

    // The block's length from its header field 3 (which counts from its own
    // first byte, 12 bytes into the block).
    size_t blockEnd(const LauncherDescription& description) {
        packTo(exe, description);
        std::vector<uint8_t> image = readBytes(exe);
        uint64_t length = 0;
        for (int i = 7; i >= 0; --i) length = (length << 8) | image.at(start + 12 + static_cast<size_t>(i));
        return 12 + static_cast<size_t>(length);
    }

    ScratchDir dir{L"cutblock"};
    std::wstring exe;
    size_t start = 0;
};

}  // namespace

TEST_F(CutBlock, InsideTheFirstValuesLengthIsReadInt) {
    // 24 bytes of header and count, 4 of the id, then the length.
    DWORD code = 0;
    MessageBoxSeen seen = runCut(sampleDescription(), 30, code);
    ASSERT_TRUE(seen.found) << "no message box (is there a display?)";
    EXPECT_EQ(seen.text, L"Internal Error: readInt");
    EXPECT_EQ(seen.caption, L"");  // nothing read yet: no caption
    EXPECT_EQ(code, 1u);
}

TEST_F(CutBlock, InsideTheGroupCountTheCaptionIsMessage1000) {
    // The sample has no groups: the block ends with the group count 0.
    LauncherDescription description = sampleDescription();
    DWORD code = 0;
    MessageBoxSeen seen = runCut(description, blockEnd(description) - 2, code);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Internal Error: readInt");
    EXPECT_EQ(seen.caption, L"Error");
    EXPECT_EQ(code, 1u);
}

TEST_F(CutBlock, InsideAGroupItsEntriesReadSoFarApply) {
    // A group for every locale whose last entry is cut: its caption, read
    // before the cut, is the box's caption.
    LauncherDescription description = sampleDescription();
    setGroupMessageText(description, "", 1000, u"Stopped");
    setGroupMessageText(description, "", 1013, u"Okay");
    DWORD code = 0;
    MessageBoxSeen seen = runCut(description, blockEnd(description) - 3, code);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.text, L"Internal Error: readWString");
    EXPECT_EQ(seen.caption, L"Stopped");
    EXPECT_EQ(code, 1u);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "launcher/service/FailureText.h"
#include "launcher/service/OutputTail.h"

namespace {

constexpr size_t kCap = OutputTail::kCapacity;

// Numbered lines "line 00001\n" ... of 11 bytes each.
std::string numberedLines(int from, int count) {
    std::string text;
    char line[32];
    for (int i = from; i < from + count; ++i) {
        snprintf(line, sizeof line, "line %05d\n", i);
        text += line;
    }
    return text;
}

}  // namespace

TEST(OutputTail, ShortOutputIsKeptWhole) {
    OutputTail tail;
    EXPECT_EQ(tail.text(), "");
    tail.append("No JVM could", 12);
    tail.append(" be found\r\npartial", 18);
    EXPECT_EQ(tail.text(), "No JVM could be found\r\npartial");
}

TEST(OutputTail, LongerOutputKeepsTheLastBytesFromALineStart) {
    // 2000 lines of 11 bytes in chunks that straddle the ring's end.
    std::string all = numberedLines(1, 2000);
    OutputTail tail;
    for (size_t at = 0; at < all.size(); at += 997)
        tail.append(all.data() + at, std::min<size_t>(997, all.size() - at));
    std::string kept = tail.text();
    // The newest 8192 bytes begin inside a line; the text starts at the next.
    std::string newest = all.substr(all.size() - kCap);
    std::string expected = newest.substr(newest.find('\n') + 1);
    EXPECT_EQ(kept, expected);
    EXPECT_LE(kept.size(), kCap);
    EXPECT_EQ(kept.substr(kept.size() - 11), "line 02000\n");
}

TEST(OutputTail, NoCutWhenTheKeptBytesBeginALine) {
    // 8192 = 11 * 744 + 8: behind a dropped "prefix\n" the kept bytes
    // start exactly at a line start, and that line is not lost.
    std::string all = "prefix\n" + numberedLines(1, 744) + "unended.";
    ASSERT_EQ(all.size(), kCap + 7);
    OutputTail tail;
    tail.append(all.data(), all.size());
    EXPECT_EQ(tail.text(), all.substr(7));

    // The same through a ring that wrapped: one byte at a time.
    OutputTail bytewise;
    for (char c : all) bytewise.append(&c, 1);
    EXPECT_EQ(bytewise.text(), all.substr(7));
}

TEST(OutputTail, ChunksOfTheCapacityAndMore) {
    std::string big(kCap * 3 + 5, 'a');
    big[kCap * 2] = '\n';                    // dropped with the front
    big[big.size() - 100] = '\n';            // the last line start
    OutputTail tail;
    tail.append("earlier\n", 8);
    tail.append(big.data(), big.size());
    EXPECT_EQ(tail.text(), std::string(99, 'a'));

    // Exactly the capacity after earlier output: the earlier output's last
    // byte was a line end, so nothing more is cut.
    std::string exact(kCap, 'b');
    OutputTail full;
    full.append("x\n", 2);
    full.append(exact.data(), exact.size());
    EXPECT_EQ(full.text(), exact);
}

TEST(OutputTail, TheEndOfAnOverlongLineIsKept) {
    std::string line(kCap * 2, 'z');
    OutputTail tail;
    tail.append(line.data(), line.size());
    EXPECT_EQ(tail.text(), std::string(kCap, 'z'));
    // Its line end alone would leave nothing after the cut.
    tail.append("\n", 1);
    EXPECT_EQ(tail.text(), std::string(kCap - 1, 'z') + "\n");
}

TEST(FailureText, ExitCodeAndOutput) {
    EXPECT_EQ(applicationEndedText(u"My Svc", 1, u"No JVM could be found on this system.\r\n"),
              u"The application of service 'My Svc' ended with exit code 1.\r\n\r\n"
              u"No JVM could be found on this system.");
    EXPECT_EQ(applicationEndedText(u"S", 3221225477u, u"\r\n \n"),
              u"The application of service 'S' ended with exit code 3221225477.");
}

TEST(FailureText, StartFailureNamesTheErrorAndCommandLine) {
    EXPECT_EQ(applicationNotStartedText(u"S", 2, u"\"C:\\a b\\s.exe\" S __tvr_restart"),
              u"The application of service 'S' could not be started (Windows error code 2).\r\n\r\n"
              u"Command line: \"C:\\a b\\s.exe\" S __tvr_restart");
}

TEST(FailureText, OutputLinesEndInCrLfAndNulsAreVisible) {
    EXPECT_EQ(eventOutputText(u"\na\nb\r\nc\rd"), u"\r\na\r\nb\r\nc\rd");
    EXPECT_EQ(eventOutputText(std::u16string(u"a\0b", 3)), u"a\xFFFD" u"b");
    EXPECT_EQ(eventOutputText(u"x\t \r\n\n"), u"x");
}

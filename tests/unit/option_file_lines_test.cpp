// Options files from their bytes: text-mode line pieces, byte-order
// marks, and UTF-16 files.
#include <gtest/gtest.h>

#include "launcher/launch/OptionLines.h"

namespace {

std::vector<std::wstring> lines(const std::string& bytes) { return optionFileLines(bytes); }

std::string utf16le(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF)};
    return bytes;
}

}  // namespace

TEST(OptionFileLines, TextModePieces) {
    EXPECT_EQ(lines("-Xmx1g\r\n-Da\rb\n\n-Dlast"),
              (std::vector<std::wstring>{L"-Xmx1g\n", L"-Da\rb\n", L"\n", L"-Dlast"}));
    EXPECT_TRUE(lines("").empty());
    // Bytes become the units of the same value; Ctrl-Z ends a narrow file.
    EXPECT_EQ(lines("-D\xE9\n-Dx\x1A-Dgone\n"), (std::vector<std::wstring>{L"-D\u00e9\n", L"-Dx"}));
    // A NUL ends what the piece shows, as in a C string.
    EXPECT_EQ(lines(std::string("-Da\0hidden\n-Db\n", 15)), (std::vector<std::wstring>{L"-Da", L"-Db\n"}));
}

TEST(OptionFileLines, LongLinesArriveInPiecesOf29999) {
    std::vector<std::wstring> got = lines(std::string(29999 * 2 + 1, 'a') + "\n");
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].size(), 29999u);
    EXPECT_EQ(got[1].size(), 29999u);
    EXPECT_EQ(got[2], L"a\n");
}

TEST(OptionFileLines, ByteOrderMarks) {
    EXPECT_EQ(lines("\xEF\xBB\xBF-Xmx1g\n"), (std::vector<std::wstring>{L"-Xmx1g\n"}));
    // Only at the very start.
    EXPECT_EQ(lines("-Da\n\xEF\xBB\xBF-Db")[1], L"\u00ef\u00bb\u00bf-Db");

    EXPECT_EQ(lines(utf16le(L"-Xmx1g\r\n-Dname=\u00e9\u4e2d\n")),
              (std::vector<std::wstring>{L"-Xmx1g\n", L"-Dname=\u00e9\u4e2d\n"}));
    std::string big = "\xFE\xFF";
    for (char c : std::string("-Db\n")) big += {'\0', c};
    EXPECT_EQ(lines(big), (std::vector<std::wstring>{L"-Db\n"}));
    // An odd last byte is no unit.
    EXPECT_EQ(lines(utf16le(L"-Dx") + "\x41"), (std::vector<std::wstring>{L"-Dx"}));
    EXPECT_TRUE(lines("\xFF\xFE").empty());
}

TEST(OptionFileLines, WideLinesAreCleanedLikeNarrowOnes) {
    std::wstring line = L"   -Dname=a b  \r\n";
    EXPECT_TRUE(cleanOptionFileLine(line));
    EXPECT_EQ(line, L"-Dname=a b");
    line = L"  # comment\n";
    EXPECT_FALSE(cleanOptionFileLine(line));
    line = L" \t-Dtab\n";
    EXPECT_TRUE(cleanOptionFileLine(line));
    EXPECT_EQ(line, L"\t-Dtab");
}

// The plain and quoted forms of values in launcher descriptions.
#include <gtest/gtest.h>

#include "tools/pack/TextForms.h"

namespace {

std::string allBytes() {
    std::string s;
    for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
    return s;
}

std::string unquotedBytes(const std::string& quoted) {
    size_t pos = 0;
    std::string out, error;
    EXPECT_TRUE(unquoteBytes(quoted, pos, out, error)) << quoted << ": " << error;
    EXPECT_EQ(pos, quoted.size());
    return out;
}

std::u16string unquotedText(const std::string& quoted) {
    size_t pos = 0;
    std::u16string out;
    std::string error;
    EXPECT_TRUE(unquoteText(quoted, pos, out, error)) << quoted << ": " << error;
    EXPECT_EQ(pos, quoted.size());
    return out;
}

std::string bytesError(const std::string& quoted) {
    size_t pos = 0;
    std::string out, error;
    EXPECT_FALSE(unquoteBytes(quoted, pos, out, error)) << quoted;
    return error;
}

std::string textError(const std::string& quoted) {
    size_t pos = 0;
    std::u16string out;
    std::string error;
    EXPECT_FALSE(unquoteText(quoted, pos, out, error)) << quoted;
    return error;
}

}  // namespace

TEST(PackTextForms, StrictUtf8Decoding) {
    std::u16string out;
    EXPECT_TRUE(utf16FromUtf8("a\xC3\xA9\xE2\x82\xAC", out));
    EXPECT_EQ(out, u"a\u00E9\u20AC");
    EXPECT_TRUE(utf16FromUtf8("\xF0\x9F\x98\x80", out));  // U+1F600 becomes a surrogate pair
    EXPECT_EQ(out, std::u16string({0xD83D, 0xDE00}));
    EXPECT_FALSE(utf16FromUtf8("\xC0\x80", out));          // overlong NUL
    EXPECT_FALSE(utf16FromUtf8("\xE0\x80\xAF", out));      // overlong "/"
    EXPECT_FALSE(utf16FromUtf8("\xED\xA0\x80", out));      // encoded surrogate
    EXPECT_FALSE(utf16FromUtf8("\xF4\x90\x80\x80", out));  // above U+10FFFF
    EXPECT_FALSE(utf16FromUtf8("\xE2\x82", out));          // cut short
    EXPECT_FALSE(utf16FromUtf8("\x80", out));              // lone continuation byte
}

TEST(PackTextForms, PlainFormOnlyForTextThatReadsBackUnchanged) {
    EXPECT_TRUE(bytesArePlain(""));
    EXPECT_TRUE(bytesArePlain("-Da=1 \"C:\\x y\" Gr\xC3\xBC\xC3\x9F" "e"));
    EXPECT_FALSE(bytesArePlain(" lead"));
    EXPECT_FALSE(bytesArePlain("trail "));
    EXPECT_FALSE(bytesArePlain("tab\there"));
    EXPECT_FALSE(bytesArePlain("del\x7F"));
    EXPECT_FALSE(bytesArePlain("\xFF"));
    EXPECT_FALSE(bytesArePlain("line\xE2\x80\xA8sep"));  // U+2028 breaks lines in editors
    EXPECT_FALSE(bytesArePlain("\xC2\x85"));             // U+0085, a C1 control

    EXPECT_TRUE(textIsPlain(std::u16string({u'x', 0xD83D, 0xDE00})));
    EXPECT_FALSE(textIsPlain(u"two\nlines"));
    EXPECT_FALSE(textIsPlain(std::u16string({u'x', 0xD800})));
    EXPECT_FALSE(textIsPlain(std::u16string({0xDC00, u'x'})));
}

TEST(PackTextForms, EveryByteSurvivesTheQuotedForm) {
    const std::string bytes = allBytes() + "\xC3\xA9 \"\\ \xF0\x9F\x98\x80\xE2\x80\xA9";
    const std::string quoted = quoteBytes(bytes);
    EXPECT_EQ(unquotedBytes(quoted), bytes);
    EXPECT_EQ(quoted.find('\n'), std::string::npos);
    // Readable where possible: valid characters stay, bytes become \xHH.
    EXPECT_EQ(quoteBytes("C:\\a \"b\"\n\xC3\xA9\xFF"), "\"C:\\\\a \\\"b\\\"\\n\xC3\xA9\\xFF\"");
}

TEST(PackTextForms, EveryCodeUnitSurvivesTheQuotedForm) {
    std::u16string text = u"line 1\nline 2\t\"q\" \\ \u00E9\u2028\uFEFF";
    text += std::u16string({0xD800, u'x', 0xDC00, 0xD83D, 0xDE00, 0xDBFF});  // unpaired, unpaired, pair, unpaired at end
    text.push_back(0);
    text.push_back(0x7F);
    const std::string quoted = quoteText(text);
    EXPECT_EQ(unquotedText(quoted), text);
    EXPECT_NE(quoted.find("\\uD800"), std::string::npos);
    EXPECT_NE(quoted.find("\xF0\x9F\x98\x80"), std::string::npos);  // a valid pair is written as UTF-8
}

TEST(PackTextForms, EscapesMeanBytesInValuesAndCodeUnitsInTexts) {
    EXPECT_EQ(unquotedBytes("\"\\u00E9\""), "\xC3\xA9");
    EXPECT_EQ(unquotedBytes("\"\\xE9\""), "\xE9");
    EXPECT_EQ(unquotedText("\"\\xE9\""), u"\u00E9");
    EXPECT_EQ(unquotedText("\"\\uDC00\""), std::u16string(1, char16_t(0xDC00)));
    EXPECT_EQ(unquotedBytes("\"\""), "");
    EXPECT_EQ(unquotedBytes("\"\\\\\\\\server\\\\share\""), "\\\\server\\share");
}

TEST(PackTextForms, MalformedQuotedFormsAreRefused) {
    EXPECT_NE(bytesError("\"open").find("closing"), std::string::npos);
    EXPECT_NE(bytesError("\"ends in \\").find("closing"), std::string::npos);
    EXPECT_NE(bytesError("\"\\q\"").find("unknown escape \\q"), std::string::npos);
    EXPECT_NE(bytesError("\"\\x4\"").find("two hex digits"), std::string::npos);
    EXPECT_NE(bytesError("\"\\u12G4\"").find("four hex digits"), std::string::npos);
    EXPECT_NE(bytesError("\"\\uD800\"").find("surrogate"), std::string::npos);
    EXPECT_NE(textError("\"\xFF\"").find("UTF-8"), std::string::npos);
    // Bytes that are not UTF-8 are taken as they are in a value.
    EXPECT_EQ(unquotedBytes("\"\xFF\""), "\xFF");
}

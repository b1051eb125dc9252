// Reading and writing launcher descriptions: forms, sections, errors with
// their line numbers, warnings, and the sample description.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "tools/pack/Description.h"
#include "tools/pack/FileIO.h"
#include "tests/unit/PackTempDir.h"
#include "launcher/config/ConfigBlock.h"

namespace {

struct Parsed {
    bool ok = false;
    LauncherDescription description;
    std::string error;
    std::vector<std::string> warnings;
};

Parsed parse(const std::string& text, const std::string& baseDir = ".") {
    Parsed p;
    p.ok = parseDescription(text, "t.launcher", baseDir, p.description, p.error, &p.warnings);
    return p;
}

// The error of a description that must fail, which must start with its
// file name and line.
std::string errorAt(const std::string& text, int line) {
    Parsed p = parse(text);
    EXPECT_FALSE(p.ok) << text;
    const std::string prefix = "t.launcher:" + std::to_string(line) + ": ";
    EXPECT_EQ(p.error.compare(0, prefix.size(), prefix), 0) << p.error;
    return p.error;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string joinedWarnings(const Parsed& p) {
    std::string all;
    for (const std::string& w : p.warnings) all += w + "\n";
    return all;
}

// The block bytes hold every entry, in order; header field 3 is compared
// apart because 0 stands for the computed length there.
bool sameBlock(const LauncherDescription& a, const LauncherDescription& b) {
    return serializeBlock(a.block) == serializeBlock(b.block) && a.header3IsLength == b.header3IsLength &&
           a.block.header3 == b.block.header3;
}

// A description that needs every corner of the format.
LauncherDescription trickyDescription() {
    LauncherDescription d;
    d.block.header1 = 4294967295u;
    d.block.header2 = 7;
    d.header3IsLength = false;
    d.block.header3 = 0;
    d.block.config = {
        {101, "orvane Service"},
        {103, "${installer:sys.tempDir}\\orvane_error.log"},
        {123, "\"-Dx=a b\" -Dy"},
        {124, ""},
        {150, "  padded  "},
        {151, std::string("nul\0tab\tcr\r\xFF\xC3\xA9", 14)},
        {101, "second value of the same key"},
        {-5, "negative id"},
        {2147483647, "="},
    };
    d.block.messages = {
        {1000, u"Error"},
        {1001, u"two\nlines and \"quotes\" and \\"},
        {1002, std::u16string({u'a', 0xD800, u'b', 0xDFFF, 0xD83D, 0xDE00})},
        {1000, u"Fehler"},
        {20017, u""},
    };
    d.block.groups = {
        {"de", {{1000, u"Fehler"}, {1000, u"doppelt"}}},
        {"", {{1009, u"\u00FCberall"}}},
        {" pt ", {}},
        {"\"q", {{1013, u" Ok "}}},
    };
    return d;
}

}  // namespace

TEST(PackDescription, ReadsEverySection) {
    Parsed p = parse(
        "# comment\n"
        "\n"
        "[launcher]\n"
        "header1 = 1\n"
        "header2 = 2\n"
        "header3 = 3\n"
        "[config]\n"
        "101 = orvane Service\n"
        "  103   =   C:\\temp\\x.log  \n"
        "124 =\n"
        "101 \"  padded\\t\"\n"
        "[messages]\n"
        "1000 = Error\n"
        "1001 \"a\\nb\"\n"
        "[group de]\n"
        "1000 = Fehler\n"
        "[group \"\"]\n"
        "[group]\n"
        "1000 = any\n"
        "[group \" x \"]\n");
    ASSERT_TRUE(p.ok) << p.error;
    const BlockData& b = p.description.block;
    EXPECT_EQ(b.header1, 1u);
    EXPECT_EQ(b.header2, 2u);
    EXPECT_EQ(b.header3, 3u);
    EXPECT_FALSE(p.description.header3IsLength);
    ASSERT_EQ(b.config.size(), 4u);
    EXPECT_EQ(b.config[1].value, "C:\\temp\\x.log");
    EXPECT_EQ(b.config[2].value, "");
    EXPECT_EQ(b.config[3].id, 101);  // duplicates stay, in order
    EXPECT_EQ(b.config[3].value, "  padded\t");
    ASSERT_EQ(b.messages.size(), 2u);
    EXPECT_EQ(b.messages[1].text, u"a\nb");
    ASSERT_EQ(b.groups.size(), 4u);
    EXPECT_EQ(b.groups[0].prefix, "de");
    EXPECT_EQ(b.groups[1].prefix, "");
    EXPECT_TRUE(b.groups[1].messages.empty());
    EXPECT_EQ(b.groups[2].prefix, "");
    EXPECT_EQ(b.groups[2].messages[0].text, u"any");
    EXPECT_EQ(b.groups[3].prefix, " x ");
}

TEST(PackDescription, FormatThenParseKeepsEveryValue) {
    const LauncherDescription d = trickyDescription();
    const std::string text = formatDescription(d);
    Parsed p = parse(text);
    ASSERT_TRUE(p.ok) << p.error << "\n" << text;
    EXPECT_TRUE(sameBlock(d, p.description)) << text;
    EXPECT_EQ(formatDescription(p.description), text);

    // Plain wherever possible: paths and quotes as they are.
    EXPECT_TRUE(contains(text, "\n103 = ${installer:sys.tempDir}\\orvane_error.log\n"));
    EXPECT_TRUE(contains(text, "\n123 = \"-Dx=a b\" -Dy\n"));
    EXPECT_TRUE(contains(text, "\n124 =\n"));
    EXPECT_TRUE(contains(text, "\n150 \"  padded  \"\n"));
    EXPECT_TRUE(contains(text, "\n1002 \"a\\uD800b\\uDFFF\xF0\x9F\x98\x80\"\n"));
    EXPECT_TRUE(contains(text, "\n[group \"\"]\n"));
    EXPECT_TRUE(contains(text, "\n[group \" pt \"]\n"));
    EXPECT_TRUE(contains(text, "\n[group \"\\\"q\"]\n"));
    EXPECT_TRUE(contains(text, "\nheader3 = 0\n"));
}

TEST(PackDescription, HeaderLengthIsTheDefault) {
    Parsed p = parse("[config]\n101 = x\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.description.header3IsLength);
    EXPECT_EQ(p.description.block.header1, 0u);
    EXPECT_TRUE(contains(formatDescription(p.description), "header3 = length"));
    EXPECT_TRUE(parse("[launcher]\nheader3 = length\n").description.header3IsLength);
}

TEST(PackDescription, WindowsLineEndsAndByteOrderMarkAreAccepted) {
    Parsed p = parse("\xEF\xBB\xBF[config]\r\n101 = a b\r\n102 = \r\n[messages]\r\n1000 \"x\"\r\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.description.block.config[0].value, "a b");
    EXPECT_EQ(p.description.block.config[1].value, "");
    EXPECT_EQ(p.description.block.messages[0].text, u"x");
}

TEST(PackDescription, ErrorsNameFileAndLine) {
    EXPECT_TRUE(contains(errorAt("[config]\n101 = a\nabc = 1\n", 3), "unknown key name \"abc\""));
    EXPECT_TRUE(contains(errorAt("[config]\n101 = a\n1O2 = 1\n", 3), "id \"1O2\" is not a 32-bit number"));
    EXPECT_TRUE(contains(errorAt("[messages]\n10x0 = a\n", 2), "not a 32-bit number"));
    EXPECT_TRUE(contains(errorAt("[config]\n2147483648 = a\n", 2), "not a 32-bit number"));
    EXPECT_TRUE(contains(errorAt("[config]\n= a\n", 2), "missing id"));
    EXPECT_TRUE(contains(errorAt("[config]\n101 orvane\n", 2), "expected \"=\""));
    EXPECT_TRUE(contains(errorAt("[config]\n101 \"a\" b\n", 2), "after the closing"));
    EXPECT_TRUE(contains(errorAt("[config]\n101 \"a\n", 2), "closing double quote"));
    EXPECT_TRUE(contains(errorAt("[config]\n101 \"C:\\x\"\n", 2), "needs two hex digits"));
    EXPECT_TRUE(contains(errorAt("[config]\n101 \"C:\\q\"\n", 2), "unknown escape \\q"));
    EXPECT_TRUE(contains(errorAt("# c\n101 = a\n", 2), "outside a section"));
    EXPECT_TRUE(contains(errorAt("[confg]\n", 1), "unknown section [confg]"));
    EXPECT_TRUE(contains(errorAt("\n[config\n", 2), "must end with"));
    EXPECT_TRUE(contains(errorAt("[group \"de]\n", 1), "closing double quote"));
    EXPECT_TRUE(contains(errorAt("[messages]\n1000 = \xFF\n", 2), "UTF-8"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nheader1 = -1\n", 2), "header1 must be a number"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nheader2 = 4294967296\n", 2), "header2 must be a number"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nheader3 = long\n", 2), "header3 must be"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nheader1 = 1\nheader1 = 2\n", 3), "given twice"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nsplash = x\n", 2), "unknown setting"));
    EXPECT_TRUE(contains(errorAt("[launcher]\nimage\n", 2), "NAME = VALUE"));
    EXPECT_TRUE(contains(errorAt("[files]\na.dll\n", 2), "NAME = SOURCE"));
    EXPECT_TRUE(contains(errorAt("[files]\na.dll =\n", 2), "missing source"));
}

TEST(PackDescription, LongestValueIs5999) {
    const std::string bytes5999(5999, 'v');
    Parsed ok = parse("[config]\n123 = " + bytes5999 + "\n");
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.description.block.config[0].value.size(), 5999u);
    EXPECT_TRUE(contains(errorAt("[config]\n\n123 = " + bytes5999 + "w\n", 3), "has 6000 bytes"));

    // Messages count UTF-16 code units, not bytes: 5999 "é" are 11998 bytes.
    std::string e5999;
    for (int i = 0; i < 5999; ++i) e5999 += "\xC3\xA9";
    Parsed text = parse("[messages]\n1000 = " + e5999 + "\n");
    ASSERT_TRUE(text.ok) << text.error;
    EXPECT_TRUE(contains(errorAt("[messages]\n1000 = " + e5999 + "\xC3\xA9\n", 2), "has 6000 characters"));
    // A character beyond U+FFFF takes two code units.
    EXPECT_TRUE(contains(errorAt("[group de]\n1000 = " + std::string(5998, 'x') + "\xF0\x9F\x98\x80\n", 2),
                         "has 6000 characters"));
}

TEST(PackDescription, WarnsAboutIdsTheLauncherDoesNotRead) {
    Parsed p = parse(
        "[config]\n"
        "141 = 0\n"
        "10250 = 1.8\n"
        "1000 = caption\n"
        "[messages]\n"
        "1100 = x\n"
        "[group de]\n"
        "999 = y\n");
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.warnings.size(), 3u) << joinedWarnings(p);
    EXPECT_EQ(p.warnings[0], "t.launcher:2: warning: key 141 is not read by the launcher (kept in the block)");
    EXPECT_EQ(p.warnings[1], "t.launcher:6: warning: message 1100 is not read by the launcher (kept in the block)");
    EXPECT_TRUE(contains(p.warnings[2], "t.launcher:8: warning: message 999"));
    EXPECT_EQ(p.description.block.config.size(), 3u);  // kept
}

TEST(PackDescription, WarnsAboutValuesTheLauncherReadsDifferently) {
    Parsed p = parse(
        "[config]\n"
        "102 = yes\n"                      // 2
        "107 =  4\n"                       // 3: blanks are fine for strtol
        "106 = 99999999999\n"              // 4
        "128 = B..\\jre;Q;E;Y;;\n"         // 5
        "121 = S1..\\lib;X1y;S1\n"         // 6
        "126 = 11\n"                       // 7
        "127 = 1.x\n"                      // 8
        "10114 = 0,0\n"                    // 9
        "10200 = 2\n"                      // 10
        "10201 = 1.8\n"                    // 11
        "10202 = -Xmx1g\n");               // 12
    ASSERT_TRUE(p.ok) << p.error;
    const std::string all = joinedWarnings(p);
    EXPECT_TRUE(contains(all, "t.launcher:2: warning: key 102 is read as a number, and \"yes\" reads as 0")) << all;
    EXPECT_FALSE(contains(all, ":3:")) << all;
    EXPECT_TRUE(contains(all, ":4: warning: key 106 is read as a 32-bit number")) << all;
    EXPECT_TRUE(contains(all, ":5: warning: key 128: search entry \"Q\" has no known type")) << all;
    EXPECT_TRUE(contains(all, ":5: warning: key 128: search entry \"E\" names no environment variable")) << all;
    EXPECT_TRUE(contains(all, ":6: warning: key 121: entry \"X1y\" has no known type")) << all;
    EXPECT_TRUE(contains(all, ":6: warning: key 121: entry \"S1\" has no name")) << all;
    EXPECT_TRUE(contains(all, ":8: warning: key 127 is a Java version, and its component \"x\" reads as 0")) << all;
    EXPECT_TRUE(contains(all, ":8: warning: the minimum Java version \"11\" (key 126) is above the maximum")) << all;
    EXPECT_TRUE(contains(all, ":9: warning: key 10114 is a colour")) << all;
    EXPECT_TRUE(contains(all, ":10: warning: key 10200 announces 2 version-specific entries, but key 10203 is missing"))
        << all;
    EXPECT_EQ(p.warnings.size(), 10u) << all;
}

TEST(PackDescription, WarnsAboutValuesCutByTheLaunchersShorterBuffers) {
    Parsed p = parse("[config]\n"
                     "152 = " + std::string(200, 's') + "\n"      // 2
                     "10003 = " + std::string(4001, 'd') + "\n"   // 3
                     "10111 = " + std::string(2000, 't') + "\n"   // 4
                     "124 = " + std::string(2000, 'a') + "\n"     // 5: fits
                     "10118 = " + std::string(1999, 't') + "\n"); // 6: fits
    ASSERT_TRUE(p.ok) << p.error;
    const std::string all = joinedWarnings(p);
    EXPECT_TRUE(contains(all, ":2: warning: key 152 is read up to 199 characters; 1 are lost")) << all;
    EXPECT_TRUE(contains(all, ":3: warning: key 10003 is read up to 4000 characters; 1 are lost")) << all;
    EXPECT_TRUE(contains(all, ":4: warning: key 10111 is read up to 1999 characters; 1 are lost")) << all;
    EXPECT_EQ(p.warnings.size(), 3u) << all;
}

TEST(PackDescription, VersionLimitsThatCanBothPassGiveNoWarning) {
    for (const char* limits : {"126 = 1.8\n127 = 1.8\n", "126 = 1.8.0_200\n127 = 1.8\n", "126 = 1.8\n127 = 11\n",
                               "126 =\n127 = 1.8\n"}) {
        Parsed p = parse(std::string("[config]\n") + limits);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_TRUE(p.warnings.empty()) << limits << joinedWarnings(p);
    }
}

TEST(PackDescription, EmbeddedFilesAreReadRelativeToTheDescription) {
    TempDir dir;
    dir.write("content/a.dll", "AAA");
    dir.write("content/lib/b.dll", std::string("\0\x01", 2));
    Parsed p = parse(
        "[files]\n"
        "a.dll = content/a.dll\n"
        "lib\\b.dll = content\\lib\\b.dll\n"
        "\"odd=name.txt\" = " + dir.path() + "/content/a.dll\n",
        dir.path());
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(p.description.files.size(), 3u);
    EXPECT_EQ(p.description.files[0].name, "a.dll");
    EXPECT_EQ(p.description.files[0].source, "content/a.dll");
    EXPECT_EQ(p.description.files[0].data, std::vector<uint8_t>({'A', 'A', 'A'}));
    EXPECT_EQ(p.description.files[1].name, "lib\\b.dll");
    EXPECT_EQ(p.description.files[1].data, std::vector<uint8_t>({0, 1}));
    EXPECT_EQ(p.description.files[2].name, "odd=name.txt");

    const std::string text = formatDescription(p.description);
    EXPECT_TRUE(contains(text, "\n[files]\na.dll = content/a.dll\nlib\\b.dll = content\\lib\\b.dll\n\"odd=name.txt\" = "));
    Parsed again = parse(text, dir.path());
    ASSERT_TRUE(again.ok) << again.error;
    EXPECT_EQ(again.description.files[2].name, "odd=name.txt");
}

TEST(PackDescription, FileNamesThatWouldReadAsCommentOrSectionAreQuoted) {
    TempDir dir;
    dir.write("a.txt", "A");
    dir.write("b.txt", "B");
    LauncherDescription d;
    d.files = {{"#a.txt", "a.txt", {'A'}}, {"[b.txt", "b.txt", {'B'}}, {"lib\\#c.txt", "a.txt", {'A'}}};
    const std::string text = formatDescription(d);
    EXPECT_TRUE(contains(text, "\n\"#a.txt\" = a.txt\n\"[b.txt\" = b.txt\nlib\\#c.txt = a.txt\n")) << text;
    Parsed back = parse(text, dir.path());
    ASSERT_TRUE(back.ok) << back.error << "\n" << text;
    ASSERT_EQ(back.description.files.size(), 3u) << text;
    EXPECT_EQ(back.description.files[0].name, "#a.txt");
    EXPECT_EQ(back.description.files[0].data, std::vector<uint8_t>({'A'}));
    EXPECT_EQ(back.description.files[1].name, "[b.txt");
    EXPECT_EQ(back.description.files[1].data, std::vector<uint8_t>({'B'}));
    EXPECT_EQ(back.description.files[2].name, "lib\\#c.txt");
}

TEST(PackDescription, MissingOrUnsafeEmbeddedFilesAreErrors) {
    TempDir dir;
    dir.write("x.dll", "x");
    auto fileError = [&](const std::string& line) {
        Parsed p = parse("[files]\n" + line + "\n", dir.path());
        EXPECT_FALSE(p.ok) << line;
        EXPECT_EQ(p.error.compare(0, 13, "t.launcher:2:"), 0) << p.error;
        return p.error;
    };
    EXPECT_TRUE(contains(fileError("a.dll = missing.dll"), "cannot read embedded file \"missing.dll\""));
    EXPECT_TRUE(contains(fileError("..\\a.dll = x.dll"), "inside the extraction directory"));
    EXPECT_TRUE(contains(fileError("lib\\..\\a.dll = x.dll"), "more than one directory level"));
    EXPECT_TRUE(contains(fileError("lib\\.. = x.dll"), "inside the extraction directory"));
    EXPECT_TRUE(contains(fileError("a\\b\\c.dll = x.dll"), "more than one directory level"));
    EXPECT_TRUE(contains(fileError("a;b.dll = x.dll"), "\";\""));
    EXPECT_TRUE(contains(fileError("C:x.dll = x.dll"), "cannot hold"));
    EXPECT_TRUE(contains(fileError("lib/x.dll = x.dll"), "\"/\""));
    EXPECT_TRUE(contains(fileError("\\x.dll = x.dll"), "empty part"));
    EXPECT_TRUE(contains(fileError("lib\\ = x.dll"), "empty part"));
    EXPECT_TRUE(contains(fileError("= x.dll"), "needs a name"));
    // Names that Windows opens as devices, or stores under another name.
    for (const char* device : {"CON", "nul.txt", "lib\\Com1.dll", "LPT9", "aux\\a.dll", "\"prn .txt\"", "conout$"})
        EXPECT_TRUE(contains(fileError(std::string(device) + " = x.dll"), "names a Windows device")) << device;
    EXPECT_TRUE(contains(fileError("lib.\\a.dll = x.dll"), "which Windows drops"));
    EXPECT_TRUE(contains(fileError("\"a.dll \" = x.dll"), "which Windows drops"));
    for (const char* file : {"console.dll", "com10", "lpt.txt", "nul_.txt", "lib\\con1.dll"})
        EXPECT_TRUE(parse(std::string("[files]\n") + file + " = x.dll\n", dir.path()).ok) << file;

    Parsed twice = parse("[files]\nA.dll = x.dll\na.DLL = x.dll\n", dir.path());
    ASSERT_TRUE(twice.ok) << twice.error;
    EXPECT_TRUE(contains(joinedWarnings(twice), "t.launcher:3: warning: the file name \"a.DLL\" is given twice"));

    dir.write("empty.txt", "");
    Parsed empty = parse("[files]\nmarker.txt = empty.txt\n", dir.path());
    ASSERT_TRUE(empty.ok) << empty.error;
    EXPECT_TRUE(contains(joinedWarnings(empty), "t.launcher:2: warning: the embedded file \"marker.txt\" is empty"));
}

TEST(PackDescription, ImageIsResolvedAgainstTheDescription) {
    Parsed p = parse("[launcher]\nimage = ..\\bin\\servicelauncher.exe\n", "/work/desc");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.description.image, "/work/desc/../bin/servicelauncher.exe");
    EXPECT_EQ(parse("[launcher]\nimage = /abs/x.exe\n", "/work").description.image, "/abs/x.exe");
}

TEST(PackDescription, EditingHelpersChangeWhatTheLauncherReads) {
    Parsed p = parse("[config]\n101 = a\n102 = 1\n101 = b\n[group de]\n1000 = x\n[group de]\n1000 = y\n");
    ASSERT_TRUE(p.ok) << p.error;
    LauncherDescription& d = p.description;
    EXPECT_EQ(*findConfigValue(d, 101), "b");
    EXPECT_EQ(findConfigValue(d, 999), nullptr);

    setConfigValue(d, 101, "c");  // the last entry is the one the launcher reads
    EXPECT_EQ(d.block.config[0].value, "a");
    EXPECT_EQ(d.block.config[2].value, "c");
    setConfigValue(d, 107, "4");
    EXPECT_EQ(d.block.config.back().id, 107);
    removeConfigValue(d, 101);
    EXPECT_EQ(findConfigValue(d, 101), nullptr);

    setGroupMessageText(d, "de", 1000, u"z");
    EXPECT_EQ(d.block.groups[0].messages[0].text, u"x");
    EXPECT_EQ(d.block.groups[1].messages[0].text, u"z");
    setGroupMessageText(d, "", 1009, u"any");
    ASSERT_EQ(d.block.groups.size(), 3u);
    EXPECT_EQ(d.block.groups[2].prefix, "");
}

TEST(PackDescription, SampleHoldsTheSampleBlock) {
    LauncherDescription d;
    std::string error;
    std::vector<std::string> warnings;
    ASSERT_TRUE(loadDescription(LRX_SOURCE_DIR "/samples/orvane.launcher", d, error, &warnings)) << error;
    EXPECT_EQ(d.block.config.size(), 65u);
    EXPECT_EQ(d.block.messages.size(), 22u);
    EXPECT_TRUE(d.block.groups.empty());
    EXPECT_TRUE(d.files.empty());
    EXPECT_EQ(d.block.header1, 0u);
    EXPECT_NE(d.block.header2, 0u);
    EXPECT_TRUE(d.header3IsLength);
    EXPECT_EQ(*findConfigValue(d, 101), "orvane Service");
    EXPECT_EQ(*findConfigValue(d, 103), "${installer:sys.tempDir}\\orvane_error.log");
    EXPECT_EQ(*findConfigValue(d, 123), "-Djava.awt.headless=true \"-Dtavra.launcherId=70\" -Dtavra.swt=false");
    EXPECT_EQ(*findConfigValue(d, 128), "B..\\jre;Y;EJAVA_HOME;EJDK_HOME;");
    EXPECT_EQ(*findConfigValue(d, 10003), "..\\");
    EXPECT_EQ(d.block.messages[1].id, 1001);
    EXPECT_EQ(d.block.messages[1].text.substr(0, 60), u"No JVM could be found on your system.\nPlease define LORIX_JA");
    EXPECT_EQ(d.block.messages[6].text, u"File or directory {0} not found or empty\n");
    EXPECT_EQ(d.block.messages[21].id, 20017);
    EXPECT_EQ(d.block.messages[21].text, u"");

    // The only warnings are the keys that no part of the launcher reads.
    std::string unread;
    for (const std::string& w : warnings) {
        EXPECT_TRUE(contains(w, "is not read by the launcher")) << w;
        unread += w.substr(w.find("key ") + 4, w.find(" is not") - w.find("key ") - 4) + " ";
    }
    EXPECT_EQ(unread, "141 142 145 147 148 150 151 153 155 156 157 159 161 164 10112 10119 ");
}

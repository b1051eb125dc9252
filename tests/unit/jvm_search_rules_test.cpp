// The text rules of the JVM search: the -version first line, the version
// cache's names, paths derived from java.exe, the search sequence and its
// fallback entries, and the JavaSoft probe order.
#include <gtest/gtest.h>

#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/SearchSequence.h"

namespace {

std::string firstLineVersion(const char* line) {
    std::string version = "unchanged";
    return versionFromFirstLine(line, version) ? version : "<none>";
}

std::string entries(const char* sequence) {
    std::string out;
    for (const SearchEntry& e : parseSearchSequence(sequence)) out += std::string(1, e.type) + "[" + e.value + "]";
    return out;
}

}  // namespace

TEST(JvmFirstLine, TheTwoPrefixes) {
    EXPECT_EQ(firstLineVersion("java version \"1.8.0_301\"\n"), "1.8.0_301");
    EXPECT_EQ(firstLineVersion("openjdk version \"11.0.2\" 2019-01-15\n"), "11.0.2");
    EXPECT_EQ(firstLineVersion("java version \"\""), "");
}

TEST(JvmFirstLine, OtherLinesFail) {
    EXPECT_EQ(firstLineVersion("Picked up _JAVA_OPTIONS: -Xmx1g\n"), "<none>");
    EXPECT_EQ(firstLineVersion(" java version \"1.8.0\""), "<none>");
    EXPECT_EQ(firstLineVersion("java version 1.8.0\n"), "<none>");
    EXPECT_EQ(firstLineVersion("Java version \"1.8.0\""), "<none>");
    EXPECT_EQ(firstLineVersion(""), "<none>");
    EXPECT_EQ(firstLineVersion(nullptr), "<none>");
    // No closing quote: the version is not settled, the probe fails.
    EXPECT_EQ(firstLineVersion("java version \"1.8.0_301\n"), "<none>");
}

TEST(JvmFirstLine, ProbeCommandLineQuotesPathsWithBlanks) {
    EXPECT_EQ(versionCommandLine("C:\\JRE~1\\bin\\java.exe"), "C:\\JRE~1\\bin\\java.exe -version");
    EXPECT_EQ(versionCommandLine("c:\\program files\\java\\bin\\java.exe"),
              "\"c:\\program files\\java\\bin\\java.exe\" -version");
}

TEST(JvmCacheText, KeyAndStaleValues) {
    EXPECT_EQ(versionCacheKey("c:\\jre\\bin\\java.exe"), "SOFTWARE\\brightmoor\\lorix\\jvms\\c:/jre/bin/java.exe");
    EXPECT_EQ(slashesToBackslashes("c:/jre/bin/java.exe"), "c:\\jre\\bin\\java.exe");
    for (const char* stale : {"1.7.", "1.6.", "1.5."}) EXPECT_TRUE(isStaleCachedVersion(stale)) << stale;
    for (const char* usable : {"1.6", "1.6.0", "1.6.0_45", "1.8.", "", "1.0.0"})
        EXPECT_FALSE(isStaleCachedVersion(usable)) << usable;
    EXPECT_STREQ(kFailedProbeVersion, "1.0.0");
}

TEST(JvmExePaths, HomeBinAndJdkRuntime) {
    EXPECT_EQ(javaHomeOfJavaExe("C:\\app\\jre\\bin\\java.exe"), "C:\\app\\jre\\bin\\..");
    EXPECT_EQ(javaHomeOfJavaExe("c:\\app\\jre\\bin\\javaw.exe"), "c:\\app\\jre\\bin\\..");
    EXPECT_EQ(binDirectoryOf("C:\\jre\\bin\\java.exe"), "C:\\jre\\bin");
    EXPECT_EQ(jreBinVariantOf("C:\\jdk\\bin\\java.exe"), "C:\\jdk\\bin\\..\\jre\\bin\\java.exe");
    EXPECT_EQ(jreBinVariantOf("C:\\jdk\\bin\\javaw.exe"), "C:\\jdk\\bin\\..\\jre\\bin\\java.exe");
    EXPECT_EQ(javawNameOf("c:\\jre\\bin\\java.exe"), "c:\\jre\\bin\\javaw.exe");
    EXPECT_EQ(javawNameOf("exe"), "exe");
}

TEST(JvmSearchSequence, EntriesAndEmptyRuns) {
    EXPECT_EQ(entries("B..\\jre;Y;EJAVA_HOME;EJDK_HOME;"), "B[..\\jre]Y[]E[JAVA_HOME]E[JDK_HOME]");
    EXPECT_EQ(entries(";;A C:\\x;;;S;"), "A[ C:\\x]S[]");
    EXPECT_EQ(entries(""), "");
    EXPECT_EQ(entries(";;;"), "");
    EXPECT_EQ(entries("Q?"), "Q[?]");
}

TEST(JvmSearchSequence, SplitListDropsEmptyItems) {
    EXPECT_EQ(splitList("C:\\a;;C:\\b;", ';'), (std::vector<std::string>{"C:\\a", "C:\\b"}));
    EXPECT_TRUE(splitList("", ';').empty());
    EXPECT_TRUE(splitList(nullptr, ';').empty());
}

TEST(JvmSearchSequence, FallbackTakesApplicationLocalEntries) {
    EXPECT_TRUE(isAbsoluteLocation("C:\\jre"));
    EXPECT_TRUE(isAbsoluteLocation("C:"));
    EXPECT_TRUE(isAbsoluteLocation("\\\\srv\\jre"));
    EXPECT_FALSE(isAbsoluteLocation("C"));
    EXPECT_FALSE(isAbsoluteLocation("\\jre"));
    EXPECT_FALSE(isAbsoluteLocation("..\\jre"));

    EXPECT_TRUE(qualifiesForFallback({'B', "..\\jre"}));
    EXPECT_TRUE(qualifiesForFallback({'B', "C:\\jre"}));
    EXPECT_TRUE(qualifiesForFallback({'A', "jre"}));
    EXPECT_TRUE(qualifiesForFallback({'R', "\\jre"}));
    EXPECT_FALSE(qualifiesForFallback({'A', "C:\\jre"}));
    EXPECT_FALSE(qualifiesForFallback({'R', "\\\\srv\\jre"}));
    for (char other : {'E', 'S', 'Y', 'Q', 'b'}) EXPECT_FALSE(qualifiesForFallback({other, "jre"})) << other;
}

TEST(JvmJavaSoftOrder, TextualOrderFromTheLast) {
    VersionVector none;
    EXPECT_EQ(versionKeysInProbeOrder({"1.8.0_301", "1.8.0_91", "1.8"}, none, none),
              (std::vector<std::string>{"1.8.0_91", "1.8.0_301", "1.8"}));
    EXPECT_EQ(versionKeysInProbeOrder({"11.0.2", "9.0.4"}, none, none),
              (std::vector<std::string>{"9.0.4", "11.0.2"}));
    // Names outside the limits are left out; short names pass.
    VersionVector minimum = parseVersion("1.8.0_200"), maximum = parseVersion("1.8");
    EXPECT_EQ(versionKeysInProbeOrder({"1.7", "1.8", "11", "1.8.0_301"}, minimum, maximum),
              (std::vector<std::string>{"1.8.0_301", "1.8"}));
}

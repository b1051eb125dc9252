// Option lines, entry lists, module options and the instance name.
#include <gtest/gtest.h>

#include "launcher/launch/OptionLines.h"
#include "launcher/launch/OptionRules.h"

namespace {

std::string cleaned(std::string line, bool* kept = nullptr) {
    bool k = cleanOptionFileLine(line);
    if (kept) *kept = k;
    return k ? line : "<skipped>";
}

}  // namespace

TEST(OptionLines, DirectivesNeedTheirPrefixWithOneSpace) {
    EXPECT_EQ(classifyOptionLine(L"-include-options x.vmoptions").kind, OptionLineKind::IncludeOptions);
    EXPECT_EQ(classifyOptionLine(L"-include-options x.vmoptions").text, L"x.vmoptions");
    EXPECT_EQ(classifyOptionLine(L"-classpath a;b ").text, L"a;b ");  // the rest is verbatim
    EXPECT_EQ(classifyOptionLine(L"-classpath/p pre").kind, OptionLineKind::ClassPathPrefix);
    EXPECT_EQ(classifyOptionLine(L"-classpath/a post").kind, OptionLineKind::ClassPathSuffix);
    // Without the space, or in another case, they are VM options.
    EXPECT_EQ(classifyOptionLine(L"-classpath/a").kind, OptionLineKind::VmOption);
    EXPECT_EQ(classifyOptionLine(L"-Classpath x").kind, OptionLineKind::VmOption);
    EXPECT_EQ(classifyOptionLine(L"-cp x").text, L"-cp x");
}

TEST(OptionLines, FileLinesTrimOnlySpaces) {
    EXPECT_EQ(cleaned("   -Xmx512m   \n"), "-Xmx512m");
    EXPECT_EQ(cleaned("-Dname=a b\r\n"), "-Dname=a b");
    EXPECT_EQ(cleaned("\t-Dx=1\n"), "\t-Dx=1");
    EXPECT_EQ(cleaned("  # comment\n"), "<skipped>");
    EXPECT_EQ(cleaned("   \n"), "<skipped>");
    EXPECT_EQ(cleaned(""), "<skipped>");
    EXPECT_EQ(cleaned("-classpath/a   \n"), "-classpath/a");
}

TEST(OptionLines, IncludeTokensAreJoinedWithTheirPath) {
    EXPECT_EQ(joinIncludeTokens({L"-Xmx1g", L"-include-options", L"more.vmoptions", L"-Dx"}),
              (std::vector<std::wstring>{L"-Xmx1g", L"-include-options more.vmoptions", L"-Dx"}));
    EXPECT_EQ(joinIncludeTokens({L"-include-options"}), (std::vector<std::wstring>{L"-include-options"}));
    EXPECT_EQ(joinIncludeTokens({L"-classpath", L"x"}), (std::vector<std::wstring>{L"-classpath", L"x"}));
}

TEST(PathEntries, EmptyPiecesAreSkipped) {
    std::vector<PathEntry> entries = parsePathEntries("S1dir;;A1x;");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].type, 'S');
    EXPECT_TRUE(entries[0].required);
    EXPECT_EQ(entries[0].name, "dir");
    EXPECT_EQ(entries[1].name, "x");
    entries = parsePathEntries("E0JAVA_HOME;D");
    EXPECT_FALSE(entries[0].required);
    EXPECT_EQ(entries[1].name, "");
    EXPECT_TRUE(parsePathEntries("").empty());
}

TEST(VersionLines, PrefixIsComparedBytewise) {
    EXPECT_TRUE(versionPrefixMatches("1.8.0_172", "1.8"));
    EXPECT_TRUE(versionPrefixMatches("1.80", "1.8"));
    EXPECT_TRUE(versionPrefixMatches("17.0.1", ""));
    EXPECT_FALSE(versionPrefixMatches("1.7.0_80", "1.8"));
    EXPECT_FALSE(versionPrefixMatches("1", "1.8"));
}

TEST(ModuleOptions, ModuleModeOpensThePackageAndAddsTheModule) {
    EXPECT_EQ(moduleOptions("C:\\m;", true, "app/org.example.Main", "com.lorix.runtime"),
              (std::vector<std::string>{"--module-path=C:\\m", "--add-opens=app/org.example=com.lorix.runtime",
                                        "--add-modules=app,com.lorix.runtime"}));
    EXPECT_EQ(moduleOptions("C:\\m;", false, "org.example.Main", "com.tavra.runtime"),
              (std::vector<std::string>{"--module-path=C:\\m", "--add-modules=com.tavra.runtime"}));
    // A class without a package opens nothing; a name without "/" stays whole.
    EXPECT_EQ(moduleOptions("m", true, "app/Main", "r"), (std::vector<std::string>{"--module-path=m", "--add-modules=app,r"}));
    EXPECT_EQ(moduleOptions("m", true, "Main", "r"), (std::vector<std::string>{"--module-path=m", "--add-modules=Main,r"}));
}

TEST(ModuleOptions, TwoTokenFlagsAreJoinedOnce) {
    std::vector<std::string> options{"--add-modules", "mymod", "-Xmx1g", "--add-opens", "--add-reads", "x", "--limit-modules"};
    joinModuleOptions(options);
    EXPECT_EQ(options, (std::vector<std::string>{"--add-modules=mymod", "-Xmx1g", "--add-opens=--add-reads", "x",
                                                 "--limit-modules"}));
}

TEST(ModuleOptions, XrsMustMatchExactly) {
    EXPECT_TRUE(hasOption({"-Xmx1g", "-Xrs"}, "-Xrs"));
    EXPECT_FALSE(hasOption({"-Xrsx", "-xrs"}, "-Xrs"));
    EXPECT_EQ(withoutTrailingSemicolon("a;b;"), "a;b");
    EXPECT_EQ(withoutTrailingSemicolon("a;;"), "a;");
}

TEST(LocaleArgument, AddsLanguageAndCountryUnlessTrue) {
    std::vector<std::wstring> args{L"prog", L"-Dsun.locale.formatasdefault=false"};
    EXPECT_EQ(localeOptionLines(args, "de", "CH"),
              (std::vector<std::wstring>{L"-Dsun.locale.formatasdefault=false", L"-Duser.language=de", L"-Duser.country=CH"}));
    EXPECT_EQ(localeOptionLines(args, "de", nullptr),
              (std::vector<std::wstring>{L"-Dsun.locale.formatasdefault=false", L"-Duser.language=de"}));
    args.push_back(L"-Dsun.locale.formatasdefault=true");  // the last one counts
    EXPECT_EQ(localeOptionLines(args, "de", "CH"), (std::vector<std::wstring>{L"-Dsun.locale.formatasdefault=true"}));
    EXPECT_TRUE(localeOptionLines({L"prog", L"x"}, "de", "CH").empty());
}

TEST(JArguments, RemainderAfterTheTwoCharacters) {
    EXPECT_EQ(jArgumentOptionLines({L"-J-Xmx1g", L"-j-x", L"a", L"-J"}), (std::vector<std::wstring>{L"-Xmx1g", L""}));
}

TEST(InstanceName, BackslashesAndBlanksBecomeUnderscores) {
    EXPECT_EQ(instanceBaseName("c:\\my apps\\svc.exe", false), "Local\\c:_my_apps_svc.exe");
    EXPECT_EQ(instanceBaseName("c:\\a\\b.exe", true), "Global\\c:_a_b.exe");
}

// A file system without unique file indexes reports 0, or all ones, for
// every file: such a file has no identity of its own, or two different
// options files would be taken for one and the second never read.
TEST(OptionsFileIdentity, IsTheVolumeAndIndexUnlessTheIndexIsNone) {
    EXPECT_EQ(L"file:00c0ffee:0000000100000002", fileIndexIdentity(0xC0FFEE, 1, 2));
    EXPECT_NE(fileIndexIdentity(7, 0, 1), fileIndexIdentity(7, 1, 0));
    EXPECT_EQ(L"", fileIndexIdentity(7, 0, 0));
    EXPECT_EQ(L"", fileIndexIdentity(7, 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_NE(L"", fileIndexIdentity(7, 0xFFFFFFFF, 0));
}

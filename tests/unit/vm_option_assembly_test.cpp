// The VM option list as a pure function of configuration, arguments,
// launch facts, directory listings and file contents.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "launcher/launch/VmOptionAssembly.h"

namespace {

const char kExeDir[] = "C:\\app\\bin\\";

std::string narrowAscii(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
}
std::wstring wideAscii(const std::string& s) { return std::wstring(s.begin(), s.end()); }

bool isRelative(const std::string& p) { return !(p.size() > 2 && p[1] == ':') && p.rfind("\\\\", 0) != 0; }

class FakeWorld : public OptionWorld {
public:
    std::map<int, std::string> config;
    std::map<std::string, std::vector<std::string>> directories;  // dir -> file names
    std::map<std::string, std::string> environment;
    std::map<std::wstring, std::vector<std::string>> files;  // full path -> lines
    std::vector<std::string> defaultFile;
    bool hasDefaultFile = false;
    std::vector<std::pair<int, std::string>> fatals;
    std::map<std::string, int> listings;  // listNames calls by pattern
    std::map<std::string, int> probes;    // exists calls by path

    std::string configText(int key) override { return config.count(key) ? config[key] : ""; }
    std::wstring configWideText(int key) override { return wideAscii(configText(key)); }
    int configNumber(int key) override { return atoi(configText(key).c_str()); }
    std::wstring expandWide(const std::wstring& text, bool) override { return wideAscii(expandNarrow(narrowAscii(text))); }
    std::string expandNarrow(const std::string& text) override {
        std::string out = text;
        for (const auto& [name, value] : environment) {
            std::string pattern = "${" + name + "}";
            for (size_t at; (at = out.find(pattern)) != std::string::npos;) out.replace(at, pattern.size(), value);
        }
        return out;
    }
    std::string narrow(const std::wstring& text) override { return narrowAscii(text); }
    std::string resolve(const std::string& path) override { return isRelative(path) ? kExeDir + path : path; }
    std::string fullPath(const std::string& path) override {
        std::string p = resolve(path);
        for (size_t at; (at = p.find("\\bin\\..\\")) != std::string::npos;) p.replace(at, 8, "\\");
        return p;
    }
    bool exists(const std::string& path) override {
        ++probes[path];
        return directories.count(path) > 0;
    }
    bool listNames(const std::string& pattern, std::vector<std::string>& names) override {
        ++listings[pattern];
        size_t star = pattern.rfind("\\*");
        std::string dir = pattern.substr(0, star), extension = pattern.substr(star + 2);
        auto found = directories.find(dir);
        if (found == directories.end()) return false;
        for (const std::string& n : found->second)
            if (n.size() > extension.size() && n.compare(n.size() - extension.size(), extension.size(), extension) == 0)
                names.push_back(n);
        return !names.empty();
    }
    bool environmentVariable(const std::string& name, std::string& value, bool& undefined) override {
        undefined = !environment.count(name);
        if (undefined) return false;
        value = environment[name];
        return true;
    }
    bool readDefaultOptionsFile(std::string& bytes, std::wstring& path) override {
        bytes = joined(defaultFile);
        path = L"C:\\app\\bin\\orvane.vmoptions";
        return hasDefaultFile;
    }
    std::wstring resolveInclude(const std::wstring& path, const std::wstring* reference) override {
        if (!isRelative(narrowAscii(path))) return path;
        std::wstring base = reference ? reference->substr(0, reference->rfind(L'\\') + 1) : wideAscii(kExeDir);
        return base + path;
    }
    bool readOptionsFile(const std::wstring& path, std::string& bytes) override {
        if (!files.count(path)) return false;
        bytes = joined(files[path]);
        return true;
    }
    static std::string joined(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const std::string& line : lines) bytes += line;
        return bytes;
    }
    std::wstring fileIdentity(const std::wstring& path) override { return path; }
    void fatal(int messageId, const std::string& argument) override { fatals.push_back({messageId, argument}); }
};

class Assembly : public ::testing::Test {
protected:
    void SetUp() override {
        // The sample configuration.
        world.config = {{121, "S1..\\lib\\common;S1..\\lib\\server;"},
                        {122, "com.orvane.server.ServerMain"},
                        {123, "-Djava.awt.headless=true \"-Dtavra.launcherId=70\" -Dtavra.swt=false"},
                        {125, "1"},
                        {166, "1"},
                        {2001, "i"},
                        {10003, "..\\"}};
        world.directories = {{"C:\\app\\bin\\..\\lib\\common", {"a.jar", "b.zip", "notes.txt"}},
                             {"C:\\app\\bin\\..\\lib\\server", {"s.jar"}},
                             {"C:\\tmp\\x_dir", {"e.jar"}},
                             {"C:\\tmp\\x_dir\\user", {"u.zip"}}};
        facts.semaphoreName = "Local\\c:_app_bin_orvane.exe0";
        facts.tavraFlavour = true;
        facts.serviceFlag = true;
        facts.executablePath = "C:\\app\\bin\\orvane.exe";
        facts.extractionDirectory = "C:\\tmp\\x_dir";
        facts.extractionEnd = 4321;
        facts.path = "C:\\app\\native;C:\\jre\\bin";
        facts.consoleCodePage = 437;
        facts.jvmVersion = "1.8.0_301";
        facts.language = "de";
        facts.country = "CH";
    }

    std::vector<std::string> assemble(const ArgumentVector& arguments = {L"C:\\app\\bin\\orvane.exe"}) {
        std::vector<std::string> options;
        ok = assembleOptionList(arguments, facts, world, options);
        return options;
    }

    // The options after the nine launcher properties.
    std::vector<std::string> configured(const ArgumentVector& arguments = {L"prog"}) {
        std::vector<std::string> all = assemble(arguments);
        return std::vector<std::string>(all.begin() + 9, all.end());
    }

    std::string classPath(const std::vector<std::string>& options) {
        for (const std::string& o : options)
            if (o.rfind("-Djava.class.path=", 0) == 0) return o.substr(18);
        return "<none>";
    }

    FakeWorld world;
    LaunchFacts facts;
    bool ok = false;
};

}  // namespace

TEST_F(Assembly, SampleListInOrder) {
    EXPECT_EQ(assemble(), (std::vector<std::string>{
                              "-Dlorix.semaphoreName=Local\\c:_app_bin_orvane.exe0",
                              "-Dlorix.isTavra=true",
                              "-Dlorix.isService=true",
                              "-Dlorix.moduleName=C:\\app\\bin\\orvane.exe",
                              "-Dsun.java.command=C:\\app\\bin\\orvane.exe",
                              "-Dlorix.tempDir=C:\\tmp\\x_dir",
                              "-Dlorix.unextractedPosition=4321",
                              "-Djava.library.path=C:\\app\\native;C:\\jre\\bin",
                              "-Dlorix.consoleCodepage=cp437",
                              "-Djava.awt.headless=true",
                              "-Dtavra.launcherId=70",
                              "-Dtavra.swt=false",
                              "-Djava.class.path=C:\\tmp\\x_dir\\e.jar;C:\\tmp\\x_dir\\user\\u.zip;C:\\app\\.tavra\\tvrruntime.jar;"
                              "C:\\app\\bin\\..\\lib\\common\\a.jar;C:\\app\\bin\\..\\lib\\common\\b.zip;"
                              "C:\\app\\bin\\..\\lib\\server\\s.jar",
                              "-Xrs",
                          }));
    EXPECT_TRUE(ok);
}

TEST_F(Assembly, OptionalPropertiesFollowTheFacts) {
    facts.tavraFlavour = false;
    facts.serviceFlag = false;
    facts.noRedirection = true;
    facts.manpathSet = true;
    facts.extractionDirectory.clear();
    std::vector<std::string> all = assemble();
    EXPECT_EQ(all[1], "-Dlorix.moduleName=C:\\app\\bin\\orvane.exe");
    EXPECT_EQ(all[3], "-Dlorix.tempDir=");
    EXPECT_EQ(all[5].rfind("-Djava.library.path=", 0), 0u);
    EXPECT_EQ(all[6], "-Djava.awt.headless=true");
    EXPECT_EQ(all.back(), "-Dtavra.noRedir=true");
    EXPECT_FALSE(std::count(all.begin(), all.end(), "-Xrs"));
}

TEST_F(Assembly, ConfiguredXrsSuppressesTheAutomaticOne) {
    world.config[123] = "-Xrs -Xmx1g";
    std::vector<std::string> all = assemble();
    EXPECT_EQ(std::count(all.begin(), all.end(), "-Xrs"), 1);
    EXPECT_NE(all.back(), "-Xrs");
    world.config[123] = "-Xrsx";
    all = assemble();
    EXPECT_EQ(all.back(), "-Xrs");
}

TEST_F(Assembly, ModuleModeWithBothFlavours) {
    world.config[133] = "1";
    world.config[122] = "app/org.example.Main";
    world.config[121] = "";
    facts.extractionDirectory = "C:\\none";
    facts.tavraFlavour = false;
    std::vector<std::string> all = assemble();
    EXPECT_EQ(classPath(all), "");
    for (const std::string& o : all) EXPECT_NE(o.rfind("--", 0), 0u) << o;

    facts.tavraFlavour = true;
    all = assemble();
    std::vector<std::string> tail(all.end() - 4, all.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"--module-path=C:\\app\\.tavra\\tvrruntime.jar",
                                              "--add-opens=app/org.example=com.tavra.runtime",
                                              "--add-modules=app,com.tavra.runtime", "-Xrs"}));
}

TEST_F(Assembly, ClassPathDirectives) {
    world.config[121] = "";
    facts.extractionDirectory = "C:\\none";
    facts.tavraFlavour = false;
    world.hasDefaultFile = true;
    world.defaultFile = {"-classpath/a first\n", "-classpath/a second.jar\n"};
    EXPECT_EQ(classPath(assemble()), ";second.jar");

    world.defaultFile = {"-classpath/p pre.jar\n", "-classpath C:\\other.jar\n"};
    EXPECT_EQ(classPath(assemble()), "pre.jar;C:\\other.jar");
}

TEST_F(Assembly, TwoTokenModuleOptionsAreJoined) {
    world.config[123] = "--add-modules mymod -Dx --add-modules";
    std::vector<std::string> c = configured();
    EXPECT_EQ(c[0], "--add-modules=mymod");
    EXPECT_EQ(c[1], "-Dx");
    // At the very end of the configured options the flag meets the class
    // path option, as the list is joined once at the end.
    EXPECT_EQ(c[2].rfind("--add-modules=-Djava.class.path=", 0), 0u);
}

TEST_F(Assembly, FirstMatchingVersionLineOnly) {
    world.config[10200] = "3";
    world.config[10201] = "1.7";
    world.config[10202] = "-Dv=17";
    world.config[10203] = "1.8";
    world.config[10204] = "-Dv=18 -Dw";
    world.config[10205] = "";
    world.config[10206] = "-Dv=any";
    facts.jvmVersion = "1.80";
    std::vector<std::string> c = configured();
    EXPECT_EQ(std::vector<std::string>(c.begin() + 3, c.begin() + 5), (std::vector<std::string>{"-Dv=18", "-Dw"}));
    EXPECT_EQ(std::count(c.begin(), c.end(), "-Dv=any"), 0);
    facts.jvmVersion.reset();
    c = configured();
    EXPECT_EQ(std::count(c.begin(), c.end(), "-Dv=18"), 0);
}

TEST_F(Assembly, JArgumentsAndTheLocaleArgument) {
    ArgumentVector args{L"prog", L"-J-Xmx1g", L"x", L"-Dsun.locale.formatasdefault=false"};
    std::vector<std::string> c = configured(args);
    EXPECT_EQ(std::vector<std::string>(c.begin() + 3, c.begin() + 7),
              (std::vector<std::string>{"-Xmx1g", "-Dsun.locale.formatasdefault=false", "-Duser.language=de",
                                        "-Duser.country=CH"}));
    world.config[125] = "0";
    args.back() = L"-Dsun.locale.formatasdefault=true";
    c = configured(args);
    EXPECT_EQ(c[3], "-Dsun.locale.formatasdefault=true");
    EXPECT_EQ(std::count(c.begin(), c.end(), "-Xmx1g"), 0);
    EXPECT_EQ(std::count(c.begin(), c.end(), "-Duser.language=de"), 0);
}

TEST_F(Assembly, EntryKinds) {
    world.environment["JAVA_LIBS"] = "\"C:\\x\"";
    world.directories["C:\\app\\bin\\dir"] = {"d.jar"};
    world.directories["C:\\app\\bin\\x"] = {};
    world.config[121] = "S1dir;;A1x;E0JAVA_LIBS;E0UNSET;Q0what";
    facts.tavraFlavour = false;
    facts.extractionDirectory = "C:\\none";
    EXPECT_EQ(classPath(assemble()), "C:\\app\\bin\\dir\\d.jar;C:\\app\\bin\\x;C:\\x");
    EXPECT_TRUE(ok);
}

// One listing of the directory gives its archives: the ".jar" ones, then
// the ".zip" ones, in listing order, whatever the case of the extension.
TEST_F(Assembly, ADirectoryIsListedOnceForItsJarsThenItsZips) {
    world.directories["C:\\app\\bin\\dir"] = {"b.ZIP", "a.Jar", "notes.txt", "c.jarx", "jar", "d.jar"};
    world.config[121] = "S1dir;S0absent";
    facts.tavraFlavour = false;
    facts.extractionDirectory = "C:\\none";
    EXPECT_EQ(classPath(assemble()), "C:\\app\\bin\\dir\\a.Jar;C:\\app\\bin\\dir\\d.jar;C:\\app\\bin\\dir\\b.ZIP");
    EXPECT_TRUE(ok);
    EXPECT_EQ(world.listings["C:\\app\\bin\\dir\\*"], 1);
    // What listed is not probed again; what did not is asked whether it exists.
    EXPECT_EQ(world.probes.count("C:\\app\\bin\\dir"), 0u);
    EXPECT_EQ(world.probes["C:\\app\\bin\\absent"], 1);
}

// A directory whose listing matches nothing still exists: a required
// entry naming it is found, and adds nothing.
TEST_F(Assembly, AnEmptyDirectoryIsFoundWithoutArchives) {
    world.directories["C:\\app\\bin\\empty"] = {};
    world.config[121] = "S1empty";
    facts.tavraFlavour = false;
    facts.extractionDirectory = "C:\\none";
    EXPECT_EQ(classPath(assemble()), "");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(world.fatals.empty());
    EXPECT_EQ(world.probes["C:\\app\\bin\\empty"], 1);
}

// No extraction directory: nothing is looked for at the root of the drive.
TEST_F(Assembly, WithoutAnExtractionDirectoryNoRootFolderJoinsTheClassPath) {
    world.directories["\\user"] = {"stray.jar"};
    world.directories[""] = {"empty.jar"};
    world.config[121] = "";
    facts.tavraFlavour = false;
    facts.extractionDirectory = "";
    EXPECT_EQ(classPath(assemble()), "");
    EXPECT_TRUE(world.listings.empty());
}

TEST_F(Assembly, RequiredEntriesThatAreMissingAreFatal) {
    world.config[121] = "A1${APP}\\missing.jar";
    world.environment["APP"] = "C:\\app";
    assemble();
    EXPECT_FALSE(ok);
    ASSERT_EQ(world.fatals.size(), 1u);
    EXPECT_EQ(world.fatals[0], (std::pair<int, std::string>{1006, "C:\\app\\missing.jar"}));

    world.fatals.clear();
    world.config[121] = "E1LIBS_HOME";
    assemble();
    EXPECT_FALSE(ok);
    EXPECT_EQ(world.fatals[0], (std::pair<int, std::string>{1008, "LIBS_HOME"}));

    world.fatals.clear();
    world.config[121] = "";
    world.config[132] = "S1mods";
    assemble();
    EXPECT_EQ(world.fatals[0], (std::pair<int, std::string>{1006, "mods"}));
}

TEST_F(Assembly, EmptyVariableIsNotSet) {
    world.environment["EMPTY"] = "";
    world.directories["C:\\app\\bin\\dir"] = {"d.jar"};
    world.config[121] = "E0EMPTY;S1dir";
    facts.tavraFlavour = false;
    facts.extractionDirectory = "C:\\none";
    EXPECT_EQ(classPath(assemble()), "C:\\app\\bin\\dir\\d.jar");
    EXPECT_TRUE(ok);

    // Required: a missing entry, not an undefined variable.
    world.config[121] = "E1EMPTY";
    assemble();
    EXPECT_FALSE(ok);
    ASSERT_EQ(world.fatals.size(), 1u);
    EXPECT_EQ(world.fatals[0], (std::pair<int, std::string>{1006, "EMPTY"}));
}

TEST_F(Assembly, SeveralPathsInOneEntryMustAllExist) {
    world.directories["C:\\one"] = {};
    world.config[121] = "A1C:\\one;";
    facts.tavraFlavour = false;
    facts.extractionDirectory = "C:\\none";
    world.config[121] = "A1${BOTH}";
    world.environment["BOTH"] = "C:\\one;C:\\two";
    assemble();
    EXPECT_EQ(world.fatals.size(), 1u);
    world.directories["C:\\two"] = {};
    world.fatals.clear();
    EXPECT_EQ(classPath(assemble()), "C:\\one;C:\\two");
    EXPECT_TRUE(world.fatals.empty());
}

// A list from a variable often ends in ";" or holds ";;". Its empty pieces
// name nothing; resolved, they would put the executable's directory (which
// exists) on the class path. A name without ";" is resolved as it stands.
TEST_F(Assembly, EmptyPiecesOfAPathListAddNothing) {
    world.directories["C:\\one"] = {};
    world.directories["C:\\app\\bin\\"] = {};
    facts.tavraFlavour = false;
    facts.extractionDirectory = "C:\\none";
    world.environment["LIBS"] = ";C:\\one;;";
    world.config[121] = "A1${LIBS}";
    EXPECT_EQ(classPath(assemble()), "C:\\one");
    EXPECT_TRUE(ok);

    // Nothing but separators: a required entry is missing.
    world.environment["LIBS"] = ";;";
    assemble();
    EXPECT_FALSE(ok);
    ASSERT_EQ(world.fatals.size(), 1u);
    EXPECT_EQ(world.fatals[0], (std::pair<int, std::string>{1006, ";;"}));
}

TEST_F(Assembly, OptionsFilesWithCommentsTabsTrailingSpacesAndIncludes) {
    world.hasDefaultFile = true;
    world.defaultFile = {"  -Xmx512m   \n", "# comment\n", "\n", "\t-Dtab\n", "-Dname=a b\n",
                         "-include-options conf\\more.vmoptions\n", "-Dafter\n"};
    world.files[L"C:\\app\\bin\\conf\\more.vmoptions"] = {"-Dmore\n", "-include-options deeper.vmoptions\n"};
    world.files[L"C:\\app\\bin\\conf\\deeper.vmoptions"] = {"-Ddeeper\n", "-include-options more.vmoptions\n"};
    std::vector<std::string> c = configured();
    EXPECT_EQ(std::vector<std::string>(c.begin() + 3, c.begin() + 10),
              (std::vector<std::string>{"-Xmx512m", "\t-Dtab", "-Dname=a b", "-Dmore", "-Ddeeper", "-Dafter",
                                        c[9]}));
    EXPECT_EQ(c[9].rfind("-Djava.class.path=", 0), 0u);
}

TEST_F(Assembly, ConfiguredIncludeResolvesAgainstTheExecutable) {
    world.config[123] = "-include-options extra.vmoptions";
    world.files[L"C:\\app\\bin\\extra.vmoptions"] = {"-Dextra\n"};
    EXPECT_EQ(configured()[0], "-Dextra");
}

// Without an extraction directory nothing of one is scanned: "%s\user" of
// an empty name would be "\user" of the current drive, which any local
// user can create.
TEST_F(Assembly, NoExtractionDirectoryMeansNoUserArchives) {
    facts.extractionDirectory.clear();
    world.directories["\\user"] = {"planted.jar"};
    world.directories[""] = {"planted.zip"};
    std::string cp = classPath(assemble());
    EXPECT_EQ(cp.find("planted"), std::string::npos) << cp;
    EXPECT_EQ(cp.find("user"), std::string::npos) << cp;
    EXPECT_EQ(cp.rfind("C:\\app\\.tavra\\tvrruntime.jar;", 0), 0u) << cp;
}

// Each options file is read once in a cycle, the default file included.
TEST_F(Assembly, IncludeCyclesThroughTheDefaultFileReadEachFileOnce) {
    world.hasDefaultFile = true;
    world.defaultFile = {"-Dp\n", "-include-options orvane.vmoptions\n", "-include-options q.vmoptions\n", "-Dp.end\n"};
    world.files[L"C:\\app\\bin\\q.vmoptions"] = {"-Dq\n", "-include-options orvane.vmoptions\n", "-Dq.end\n"};
    world.files[L"C:\\app\\bin\\orvane.vmoptions"] = world.defaultFile;
    std::vector<std::string> c = configured();
    EXPECT_EQ(std::vector<std::string>(c.begin() + 3, c.begin() + 7),
              (std::vector<std::string>{"-Dp", "-Dq", "-Dq.end", "-Dp.end"}));
    EXPECT_EQ(c[7].rfind("-Djava.class.path=", 0), 0u);
}

TEST_F(Assembly, ByteOrderMarksAreNotPartOfTheFirstOption) {
    world.hasDefaultFile = true;
    world.defaultFile = {"\xEF\xBB\xBF-Xmx1g\n", "-Dsecond\n"};
    std::vector<std::string> c = configured();
    EXPECT_EQ(c[3], "-Xmx1g");
    EXPECT_EQ(c[4], "-Dsecond");

    std::string utf16 = "\xFF\xFE";
    for (char ch : std::string("-Xmx2g\r\n-Dname=\xE9\n")) utf16 += {ch, '\0'};
    utf16 += {'\x14', '\x20', '\n', '\0'};  // U+2014, not representable: "?" here
    world.defaultFile = {utf16};
    c = configured();
    EXPECT_EQ(c[3], "-Xmx2g");
    EXPECT_EQ(c[4], "-Dname=?");  // the fake narrows to ASCII
    EXPECT_EQ(c[5], "?");
}

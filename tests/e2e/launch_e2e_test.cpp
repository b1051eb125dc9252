// Packed launchers running the whole launch driver under Wine against the
// stub JVM: the option list and the main array it records, the child role,
// and every way the launch can fail.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/runtime/FakeRuntime.h"

namespace {

// "C:\x" as the stub JVM's record writes strings: quoted, "\" doubled.
std::string recordText(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

class Launch : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* d : {L"bin", L"tmp", L"lib", L"lib\\common", L"lib\\server", L".tavra"})
            CreateDirectoryW(dir.file(d).c_str(), nullptr);
        writeBytes(dir.file(L"lib\\common\\a.jar"), {'P', 'K'});
        fake_runtime::installJava(dir.file(L"jre"), fake_runtime::javaVersion("1.8.0_301"));
        fake_runtime::makeDirectories(dir.file(L"jre\\bin\\server"));
        CopyFileW(stubJvmPath().c_str(), jvmDir(L"jvm.dll").c_str(), FALSE);
        exe = dir.file(L"bin\\orvane.exe");
        description = sampleDescription();
        packTo(exe, description);
    }
    void TearDown() override { fake_runtime::removeCacheEntriesBelow(dir.path()); }

    static std::wstring stubJvmPath() { return fake_runtime::environmentValue(L"LRX_STUB_JVM"); }
    std::wstring jvmDir(const wchar_t* name) { return dir.file(L"jre\\bin\\server\\") + name; }

    void behaviour(const std::string& text) { fake_runtime::writeText(jvmDir(L"jvm.behaviour"), text); }

    // Each run starts with a fresh record (the stub appends) and log.
    ChildResult run(const std::wstring& arguments, std::vector<std::wstring> environment = {}, DWORD flags = 0) {
        DeleteFileW(jvmDir(L"jvm.record").c_str());
        DeleteFileW(dir.file(L"tmp\\tvr_nlog_1.log").c_str());
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=yes",
                               L"JAVA_HOME=", L"JDK_HOME=", L"LORIX_JAVA_HOME=", L"TAVRA_JAVA_HOME=", L"MANPATH="};
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        options.creationFlags = flags;
        return runChild(commandLine(exe, arguments), options);
    }

    std::vector<std::string> record() {
        std::vector<std::string> out;
        std::string text = readText(jvmDir(L"jvm.record"));
        for (size_t pos = 0, end; pos < text.size(); pos = end + 1) {
            end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            out.push_back(text.substr(pos, end - pos));
            if (!out.back().empty() && out.back().back() == '\r') out.back().pop_back();
        }
        return out;
    }

    // The option strings the JVM was created with, in order.
    std::vector<std::string> options() {
        std::vector<std::string> out;
        for (const std::string& line : record())
            if (line.rfind("option\t", 0) == 0) out.push_back(line.substr(7));
        return out;
    }

    // The record line of the launcher class's main call.
    std::string mainCall() {
        for (const std::string& line : record())
            if (line.find("CallStaticVoidMethod") == 0 && line.find(".main([Ljava/lang/String;)V") != std::string::npos)
                return line;
        return "<no main call>";
    }

    bool recorded(const std::string& text) {
        for (const std::string& line : record())
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    std::string log() { return readText(dir.file(L"tmp\\tvr_nlog_1.log")); }

    std::string root() { return narrowUtf8(dir.path()); }

    ScratchDir dir{L"launch"};
    std::wstring exe;
    LauncherDescription description;
};

}  // namespace

TEST_F(Launch, ConsoleRunOfTheSample) {
    ChildResult r = run(L"/run");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> o = options();
    ASSERT_EQ(o.size(), 13u) << readText(jvmDir(L"jvm.record"));
    std::string exePath = root() + "\\bin\\orvane.exe";
    std::string base = "Local\\";
    for (char c : exePath) base += (c == '\\' || c == ' ') ? '_' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(o[0], recordText("-Dlorix.semaphoreName=" + base + "0"));
    EXPECT_EQ(o[1], recordText("-Dlorix.isTavra=true"));
    EXPECT_EQ(o[2], recordText("-Dlorix.moduleName=" + exePath));
    EXPECT_EQ(o[3], recordText("-Dsun.java.command=" + exePath));
    EXPECT_EQ(o[4], recordText("-Dlorix.tempDir="));
    EXPECT_EQ(o[5], recordText("-Dlorix.unextractedPosition=0"));
    EXPECT_EQ(o[6].rfind("\"-Djava.library.path=", 0), 0u);
    EXPECT_EQ(o[7].rfind("\"-Dlorix.consoleCodepage=cp", 0), 0u);
    EXPECT_EQ(o[8], recordText("-Djava.awt.headless=true"));
    EXPECT_EQ(o[9], recordText("-Dtavra.launcherId=70"));
    EXPECT_EQ(o[10], recordText("-Dtavra.swt=false"));
    EXPECT_EQ(o[11], recordText("-Djava.class.path=" + root() + "\\.tavra\\tvrruntime.jar;" + root() +
                            "\\bin\\..\\lib\\common\\a.jar"));
    EXPECT_EQ(o[12], recordText("-Dtavra.noRedir=true"));
    EXPECT_TRUE(recorded("version 0x00010002\tignoreUnrecognized true"));

    std::string expectedArray = "java/lang/String[6]{\"false\", \"com.orvane.server.ServerMain\", " +
                                recordText("${installer:sys.tempDir}\\orvane_error.log") + ", \"\", \"true\", " +
                                recordText(exePath) + "}";
    EXPECT_NE(mainCall().find(expectedArray), std::string::npos) << mainCall();
    EXPECT_TRUE(recorded("DestroyJavaVM"));
    for (const char* line : {"launching program", "Creating JVM", "JVM created", "calling main", "main returned",
                             "dest JVM", "launch done"})
        EXPECT_NE(log().find(line), std::string::npos) << line;
}

TEST_F(Launch, RunRedirectPassesArgumentsAndNamesTheService) {
    ChildResult r = run(L"/run-redirect a b");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> o = options();
    EXPECT_EQ(std::count(o.begin(), o.end(), recordText("-Dtavra.noRedir=true")), 0);
    EXPECT_EQ(std::count(o.begin(), o.end(), recordText("-Dlorix.isService=true")), 0);
    std::string exePath = root() + "\\bin\\orvane.exe";
    EXPECT_NE(mainCall().find("\"true\", " + recordText(exePath) + ", \"a\", \"b\"}"), std::string::npos) << mainCall();
}

TEST_F(Launch, JArgumentsBecomeVmOptionsOnlyWhenConfigured) {
    ChildResult r = run(L"/run -J-Xmx1g x");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> o = options();
    EXPECT_EQ(std::count(o.begin(), o.end(), recordText("-Xmx1g")), 1);
    EXPECT_EQ(mainCall().find("-J-Xmx1g"), std::string::npos);

    setConfigValue(description, 125, "0");
    packTo(exe, description);
    r = run(L"/run -J-Xmx1g x");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    o = options();
    EXPECT_EQ(std::count(o.begin(), o.end(), recordText("-Xmx1g")), 0);
    EXPECT_NE(mainCall().find("\"-J-Xmx1g\", \"x\"}"), std::string::npos) << mainCall();
}

TEST_F(Launch, ChildRoleOfTheService) {
    ChildResult r = run(L"svc __tvr_restart");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> o = options();
    EXPECT_EQ(o[2], recordText("-Dlorix.isService=true"));
    EXPECT_EQ(o.back(), recordText("-Xrs"));
    EXPECT_NE(mainCall().find("\"true\", \"svc\"}"), std::string::npos) << mainCall();
    EXPECT_NE(log().find("registering ConsoleCtrlHandler"), std::string::npos);
}

TEST_F(Launch, JvmCreationFailureRemovesTheExtractionDirectory) {
    addEmbeddedFile(description, "lib\\native.dll", {1, 2, 3});
    packTo(exe, description);
    behaviour("create-fail -4\n");
    ChildResult r = run(L"/run");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(log().find("ERROR: could not initialize JVM"), std::string::npos);
    EXPECT_NE(log().find("extracting files done"), std::string::npos);
    EXPECT_EQ(mainCall(), "<no main call>");
    for (const std::wstring& name : dir.list(L"tmp\\lrx*")) EXPECT_EQ(name.find(L"_dir"), std::wstring::npos);
}

TEST_F(Launch, NormalEndKeepsTheExtractionDirectoryForTheApplication) {
    addEmbeddedFile(description, "lib\\native.dll", {1, 2, 3});
    packTo(exe, description);
    ChildResult r = run(L"/run");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> o = options();
    std::string tempDir = o[4].substr(std::string("\"-Dlorix.tempDir=").size());
    tempDir.pop_back();  // the closing quote
    std::string unescaped;
    for (size_t i = 0; i < tempDir.size(); ++i) unescaped += tempDir[i] == '\\' ? tempDir[++i] : tempDir[i];
    EXPECT_EQ(readBytes(wideUtf8(unescaped) + L"\\lib\\native.dll"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_NE(o[5], recordText("-Dlorix.unextractedPosition=0"));
}

TEST_F(Launch, MissingLauncherClassOrMain) {
    behaviour("hide-class com/tavra/runtime/launcher/WinLauncher\n");
    ChildResult r = run(L"/run");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err, "Couldn't load main class.\r\n\r\nLog: " + narrowUtf8(dir.file(L"tmp\\tvr_nlog_1.log")) + "\r\n");

    behaviour("hide-method com/tavra/runtime/launcher/WinLauncher main ([Ljava/lang/String;)V\n");
    r = run(L"/run");
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err.rfind("Main method not found.\r\n", 0), 0u) << r.err;
}

TEST_F(Launch, MainThrowing) {
    behaviour("main throw the application failed\n");
    ChildResult r = run(L"/run");
    EXPECT_EQ(r.exitCode, 1u);
    std::string text = log();
    EXPECT_NE(text.find("ERROR: an exception occurred"), std::string::npos);
    EXPECT_NE(text.find("ERROR: java.lang.RuntimeException: the application failed"), std::string::npos) << text;
    EXPECT_NE(text.find("ERROR: could not call main"), std::string::npos);
    EXPECT_NE(r.err.find("Exception in thread \"main\" java.lang.RuntimeException: the application failed"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(recorded("DestroyJavaVM"));
}

TEST_F(Launch, NativeLibraryRegistration) {
    // Without .tavra\tvrinst.dll: a null handle in the log, main still runs.
    ChildResult r = run(L"/run");
    ASSERT_EQ(r.exitCode, 0u);
    EXPECT_NE(log().find("helper dll 0000000000000000 " + root() + "\\bin\\..\\.tavra\\tvrinst.dll"),
              std::string::npos)
        << log();
    EXPECT_FALSE(recorded("initFromLauncher"));

    CopyFileW(fake_runtime::environmentValue(L"LRX_FAKE_TVRINST").c_str(), dir.file(L".tavra\\tvrinst.dll").c_str(), FALSE);
    std::wstring tvrRecord = dir.file(L"tvrinst.record");
    r = run(L"/run", {L"LRX_FAKE_TVRINST_RECORD=" + tvrRecord});
    ASSERT_EQ(r.exitCode, 0u);
    EXPECT_EQ(readText(tvrRecord), "env=set\nmodule=own\n");
    EXPECT_NE(log().find("ERROR: fake tvrinst called with wide text and 42"), std::string::npos) << log();
    EXPECT_TRUE(recorded("initFromLauncher(Z)V\ttrue"));
    EXPECT_FALSE(recorded("initFromLauncher(Z)V\tfalse"));

    r = run(L"/run", {L"LRX_FAKE_TVRINST_RESULT=0"});
    ASSERT_EQ(r.exitCode, 0u);
    EXPECT_NE(log().find("ERROR: registering helper dll failed"), std::string::npos);
    EXPECT_TRUE(recorded("initFromLauncher(Z)V\tfalse"));
    EXPECT_NE(mainCall(), "<no main call>");
}

// The steps before main fail softly and leave no exception pending, which
// would make a JVM refuse the main class: a missing splash or Common class,
// a missing method of either, a native class that registration cannot find.
TEST_F(Launch, SoftFailuresBeforeMainLeaveNoExceptionPending) {
    setConfigValue(description, 108, "1");
    packTo(exe, description);
    CopyFileW(fake_runtime::environmentValue(L"LRX_FAKE_TVRINST").c_str(), dir.file(L".tavra\\tvrinst.dll").c_str(), FALSE);
    const std::string common = "com/tavra/runtime/installer/platform/win32/Common";
    const std::string splashClass = "com/lorix/runtime/WinLauncher";
    const std::string splashMethod =
        "initAwtSplashConfig (ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V";
    struct Case {
        std::string behaviour;
        std::vector<std::string> errors;
        bool realLibrary;
    };
    const Case cases[] = {
        {"hide-class " + splashClass + "\nhide-class " + common + "\n",
         {"could not find main class for splash properties", "did not find " + common},
         false},
        {"hide-method " + splashClass + " " + splashMethod + "\nhide-method " + common + " initFromLauncher (Z)V\n",
         {"could not find method for splash properties", "did not find initMethod"},
         false},
        {"hide-class com/tavra/runtime/installer/platform/win32/Misc\n",
         {"could not load class com/tavra/runtime/installer/platform/win32/Misc", "registering helper dll failed"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.behaviour);
        if (c.realLibrary)
            CopyFileW(fake_runtime::environmentValue(L"LRX_TVRINST").c_str(), dir.file(L".tavra\\tvrinst.dll").c_str(),
                      FALSE);
        behaviour(c.behaviour);
        ChildResult r = run(L"/run");
        EXPECT_EQ(r.exitCode, 0u) << r.err;
        for (const std::string& error : c.errors) EXPECT_NE(log().find("ERROR: " + error), std::string::npos) << log();
        EXPECT_FALSE(recorded("called with an exception pending")) << readText(jvmDir(L"jvm.record"));
        EXPECT_NE(mainCall(), "<no main call>");
    }
}

// The real tvrinst.dll: every row of its 15 classes registered in table
// order before main, and the Java side told so once.
TEST_F(Launch, TheRealNativeLibraryRegistersEveryNative) {
    CopyFileW(fake_runtime::environmentValue(L"LRX_TVRINST").c_str(), dir.file(L".tavra\\tvrinst.dll").c_str(), FALSE);
    ChildResult r = run(L"/run");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    size_t rows = 0, classes = 0, mainAt = 0, lastRegistrationAt = 0, line = 0;
    for (const std::string& text : record()) {
        ++line;
        if (text.rfind("RegisterNatives row\t", 0) == 0) {
            EXPECT_NE(text.find("-> bound"), std::string::npos) << text;
            ++rows;
        }
        if (text.rfind("RegisterNatives\t", 0) == 0) {
            EXPECT_NE(text.find("-> 0"), std::string::npos) << text;
            ++classes;
            lastRegistrationAt = line;
        }
        if (text.find(".main([Ljava/lang/String;)V") != std::string::npos && !mainAt) mainAt = line;
    }
    EXPECT_EQ(rows, 79u);
    EXPECT_EQ(classes, 15u);
    EXPECT_LT(lastRegistrationAt, mainAt);
    EXPECT_TRUE(recorded("initFromLauncher(Z)V\ttrue"));
    EXPECT_FALSE(recorded("initFromLauncher(Z)V\tfalse"));
    EXPECT_EQ(log().find("ERROR: registering helper dll failed"), std::string::npos) << log();
}

TEST_F(Launch, SplashSettingsInOrder) {
    setConfigValue(description, 108, "1");
    setConfigValue(description, 10111, "first line");
    packTo(exe, description);
    ChildResult r = run(L"/run");
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::string splash;
    for (const std::string& line : record())
        if (line.find("initAwtSplashConfig") != std::string::npos && line.rfind("CallStaticVoidMethod", 0) == 0)
            splash = line;
    EXPECT_NE(splash.find("\ttrue\tfalse\t\"first line\"\t20\t20\t\"0,0,0\"\t8\t500\t\"version 3.2.2\"\t20\t40\t\"0,0,0\"\t8\t500"),
              std::string::npos)
        << splash;
}

TEST_F(Launch, WithoutAConsoleTheVersionProbeLeavesNoTemporaryFile) {
    // Started detached, like the service's child, with a cold version cache.
    fake_runtime::removeCacheEntriesBelow(dir.path());
    ChildResult r = run(L"svc __tvr_restart", {}, DETACHED_PROCESS);
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    EXPECT_EQ(fake_runtime::javaRuns(dir.file(L"jre\\bin")).size(), 1u);
    EXPECT_TRUE(dir.list(L"tmp\\lrx*").empty());
}

// Each argument string of main's array is let go once the array holds it:
// with thousands of arguments the JVM's few guaranteed local references
// would otherwise run out.
TEST_F(Launch, ArgumentStringsAreReleasedOnceStored) {
    std::wstring arguments = L"/run-redirect";
    for (int i = 0; i < 40; ++i) arguments += L" arg" + std::to_wstring(i);
    ChildResult r = run(arguments);
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> lines = record();
    for (int i = 0; i < 40; ++i) {
        std::string text = "\"arg" + std::to_string(i) + "\"";
        auto stored = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.rfind("SetObjectArrayElement\t", 0) == 0 && l.size() > text.size() &&
                   l.compare(l.size() - text.size(), text.size(), text) == 0;
        });
        ASSERT_NE(stored, lines.end()) << text;
        EXPECT_NE(std::find(stored, lines.end(), "DeleteLocalRef\t" + text), lines.end()) << text;
    }
}

// Packed launchers running the whole launch driver under Wine against the
// stub JVM: the option list and the main array it records, the child role,
// and every way the launch can fail.
#include <gtest/gtest.h>

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

    ChildResult run(const std::wstring& arguments, std::vector<std::wstring> environment = {}) {
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=yes",
                               L"JAVA_HOME=", L"JDK_HOME=", L"LORIX_JAVA_HOME=", L"TAVRA_JAVA_HOME=", L"MANPATH="};
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
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

// The VM options of a real launch under Wine: the default options file
// found by the executable's own name, and required entries that are
// missing.  The options probe (tests/support) runs the launch up to the
// option assembly and prints the list.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(dir.file(L"bin").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"tmp").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"lib").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"lib\\common").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"lib\\server").c_str(), nullptr);
        writeBytes(dir.file(L"lib\\common\\a.jar"), {'P', 'K'});
        description = sampleDescription();
        addEmbeddedFile(description, "x.jar", {'P', 'K'});
    }

    ChildResult run(const std::wstring& exe, const std::wstring& arguments = L"") {
        packTo(exe, description, optionsProbeImagePath());
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"MANPATH=",
                               L"LRX_PROBE_JVM_VERSION=1.8.0_301"};
        return runChild(commandLine(exe, arguments), options);
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        for (size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
            out.push_back(text.substr(pos, end - pos));
        return out;
    }

    bool extractionDirectoryLeft() {
        for (const std::wstring& name : dir.list(L"tmp\\lrx*"))
            if (name.find(L"_dir") != std::wstring::npos) return true;
        return false;
    }

    ScratchDir dir{L"options"};
    LauncherDescription description;
};

}  // namespace

TEST_F(Options, DefaultOptionsFileCarriesTheExecutablesOwnName) {
    std::string file = "-Xmx256m\r\n  # memory\r\n-Dfrom=svc2 file  \r\n";
    writeBytes(dir.file(L"bin\\svc2.vmoptions"), std::vector<uint8_t>(file.begin(), file.end()));
    writeBytes(dir.file(L"bin\\orvane.vmoptions"), {'-', 'D', 'w', 'r', 'o', 'n', 'g'});
    ChildResult r = run(dir.file(L"bin\\svc2.exe"));
    ASSERT_EQ(r.exitCode, 0u) << r.err;
    std::vector<std::string> options = lines(r.out);
    ASSERT_GT(options.size(), 13u);
    EXPECT_EQ(options[0], "version=10002 ignore=1");
    EXPECT_EQ(options[1].rfind("-Dlorix.semaphoreName=Local\\", 0), 0u);
    // The three configured options, then the file's two.
    auto at = std::find(options.begin(), options.end(), "-Dtavra.swt=false");
    ASSERT_NE(at, options.end());
    EXPECT_EQ(*(at + 1), "-Xmx256m");
    EXPECT_EQ(*(at + 2), "-Dfrom=svc2 file");
    EXPECT_EQ(std::count(options.begin(), options.end(), "-Dwrong"), 0);
    // The class path holds the extracted archive and the sample's directory.
    std::string classPath = *(at + 3);
    EXPECT_EQ(classPath.rfind("-Djava.class.path=", 0), 0u) << classPath;
    EXPECT_NE(classPath.find("\\x.jar;"), std::string::npos) << classPath;
    EXPECT_NE(classPath.find("\\bin\\..\\lib\\common\\a.jar"), std::string::npos) << classPath;
    EXPECT_EQ(options.back(), "-Xrs");
}

TEST_F(Options, MissingRequiredDirectoryStopsWith1006) {
    setConfigValue(description, 121, "S1..\\lib\\common;S1..\\lib\\missing;");
    ChildResult r = run(dir.file(L"bin\\orvane.exe"));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err, "File or directory ..\\lib\\missing not found or empty\r\n\r\n");
    EXPECT_FALSE(extractionDirectoryLeft());
}

TEST_F(Options, UndefinedRequiredVariableStopsWith1008) {
    setConfigValue(description, 121, "E1LRX_NOT_DEFINED;");
    ChildResult r = run(dir.file(L"bin\\orvane.exe"));
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.err, "The environment variable LRX_NOT_DEFINED has to be defined\r\n");
    EXPECT_FALSE(extractionDirectoryLeft());
}

// Embedded files extracted into a fresh directory, and that directory
// removed again on a fatal stop.  The extraction probe (a test double that
// runs the launcher's start and extraction, see tests/support) is packed
// like a launcher.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"
#include "tools/pack/Image.h"

namespace {

class Extraction : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(dir.file(L"tmp").c_str(), nullptr);
        exe = dir.file(L"probe.exe");
    }

    ChildResult run(const wchar_t* arguments = L"", std::vector<std::wstring> environment = {}) {
        ChildOptions options;
        options.environment = {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=yes"};
        options.environment.insert(options.environment.end(), environment.begin(), environment.end());
        return runChild(commandLine(exe, arguments), options);
    }

    // The value of "name=" in the probe's output.
    static std::string field(const ChildResult& r, const char* name) {
        std::string key = std::string(name) + "=";
        size_t at = r.out.find(key);
        if (at == std::string::npos) return "<missing>";
        size_t end = r.out.find_first_of("\r\n", at);
        return r.out.substr(at + key.size(), end - at - key.size());
    }

    std::vector<std::wstring> leftovers() { return dir.list(L"tmp\\lrx*"); }

    std::string log() { return readText(dir.file(L"tmp\\tvr_nlog_1.log")); }

    // A launcher whose block lists `names` but whose files are written by
    // hand: for names the packaging tool rightly refuses.
    void packRaw(const std::string& names, const std::vector<std::vector<uint8_t>>& files) {
        std::vector<uint8_t> image = readBytes(probeImagePath());
        uint32_t end = 0;
        std::string error;
        ASSERT_TRUE(findImageEnd(image, end, error)) << error;
        image.resize(end);
        LauncherDescription d = sampleDescription();
        setConfigValue(d, 2002, std::to_string(files.size()));
        setConfigValue(d, 2003, names);
        d.block.header3 = 0;
        std::vector<uint8_t> block = serializeBlock(d.block);
        image.insert(image.end(), block.begin(), block.end());
        for (const std::vector<uint8_t>& f : files) {
            for (int i = 0; i < 8; ++i) image.push_back(static_cast<uint8_t>(f.size() >> (8 * i)));
            for (uint8_t b : f) image.push_back(b ^ kEmbeddedFileMask);
        }
        writeBytes(exe, image);
    }

    ScratchDir dir{L"extract"};
    std::wstring exe;
};

std::vector<uint8_t> pattern(size_t size) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
    return data;
}

}  // namespace

TEST_F(Extraction, FilesAreDecodedIntoANewDirectoryWithOneLevel) {
    LauncherDescription d = sampleDescription();
    addEmbeddedFile(d, "a.dll", {0x00, 0x01});
    addEmbeddedFile(d, "empty.txt", {});
    addEmbeddedFile(d, "lib\\b.dll", pattern(6001));
    packTo(exe, d, probeImagePath());

    ChildResult r = run();
    ASSERT_EQ(r.exitCode, 0u) << r.out << r.err;
    EXPECT_EQ(field(r, "result"), "0");
    std::wstring extracted = wideUtf8(field(r, "dir"));
    // <temp>\lrxNNNN.tmp_dir<seconds>; the lrxNNNN.tmp file that made the
    // name unique is gone once the directory exists.
    std::wstring base = extracted.substr(0, extracted.rfind(L"_dir"));
    EXPECT_EQ(base.substr(0, dir.file(L"tmp\\lrx").size()), dir.file(L"tmp\\lrx"));
    EXPECT_EQ(base.substr(base.size() - 4), L".tmp");
    EXPECT_FALSE(fileExists(base));
    EXPECT_EQ(leftovers(), (std::vector<std::wstring>{extracted.substr(extracted.rfind(L'\\') + 1)}));

    EXPECT_EQ(readBytes(extracted + L"\\a.dll"), (std::vector<uint8_t>{0x00, 0x01}));
    EXPECT_EQ(readBytes(extracted + L"\\lib\\b.dll"), pattern(6001));
    EXPECT_FALSE(fileExists(extracted + L"\\empty.txt"));
    EXPECT_EQ(field(r, "end"), std::to_string(readBytes(exe).size()));

    std::string text = log();
    for (const char* line : {"extracting files", "Included files: 3", "tempPath is ", "tempFile is ", "Temp dir3: ",
                             "creating directory ", "(size: 6001)", "(size: 0)", "extracting files done"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
}

TEST_F(Extraction, NoEmbeddedFilesMeansNoDirectory) {
    packTo(exe, sampleDescription(), probeImagePath());
    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(field(r, "dir"), "");
    EXPECT_EQ(field(r, "end"), "0");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Extraction, FatalStopEmptiesAndRemovesTheDirectory) {
    LauncherDescription d = sampleDescription();
    addEmbeddedFile(d, "a.dll", {1, 2, 3});
    addEmbeddedFile(d, "lib\\b.dll", {4, 5});
    packTo(exe, d, probeImagePath());
    ChildResult r = run(L"fail");
    EXPECT_EQ(r.exitCode, 1u);
    std::wstring extracted = wideUtf8(field(r, "dir"));
    ASSERT_FALSE(extracted.empty());
    EXPECT_FALSE(fileExists(extracted));
    EXPECT_TRUE(leftovers().empty());  // no lrxNNNN.tmp name holder either
    EXPECT_NE(log().find("attempting to remove "), std::string::npos);
}

TEST_F(Extraction, NamesLeavingTheDirectoryAreRefused) {
    for (const char* name : {"..\\evil.dll", "C:\\evil.dll", "\\evil.dll", "lib\\..\\..\\evil.dll"}) {
        packRaw(name, {{'x'}});
        ChildResult r = run();
        EXPECT_EQ(r.exitCode, 1u) << name;
        EXPECT_EQ(r.err.rfind("An internal error occurred (error code: 11)", 0), 0u) << name << ": " << r.err;
        EXPECT_FALSE(fileExists(dir.file(L"evil.dll"))) << name;
        EXPECT_FALSE(fileExists(L"C:\\evil.dll")) << name;
        for (const std::wstring& left : leftovers()) EXPECT_EQ(left.find(L"_dir"), std::wstring::npos);
    }
}

TEST_F(Extraction, ImageEndingEarlyFailsWith16) {
    LauncherDescription d = sampleDescription();
    addEmbeddedFile(d, "a.dll", pattern(100));
    packTo(exe, d, probeImagePath());
    std::vector<uint8_t> image = readBytes(exe);
    image.resize(image.size() - 10);
    writeBytes(exe, image);

    ChildResult r = run();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(field(r, "result"), "1");
    EXPECT_EQ(r.err.rfind("An internal error occurred (error code: 16)", 0), 0u) << r.err;
    EXPECT_NE(log().find("ERROR: ReadFile failed 0 "), std::string::npos);
    EXPECT_NE(log().find("ERROR: Failed to extract "), std::string::npos);
    for (const std::wstring& left : leftovers()) EXPECT_EQ(left.find(L"_dir"), std::wstring::npos);
}

// ---- the temporary directory candidates ----------------------------------

class TempCandidates : public Extraction {
protected:
    void SetUp() override {
        Extraction::SetUp();
        packTo(exe, sampleDescription(), probeImagePath());
        profileTemp = dir.file(L"profile\\AppData\\Local\\Temp");
        for (const wchar_t* d : {L"profile", L"profile\\AppData", L"profile\\AppData\\Local", L"profile\\AppData\\Local\\Temp", L"home"})
            CreateDirectoryW(dir.file(d).c_str(), nullptr);
    }

    // TMP and TEMP at a place where no directory can be made.
    std::vector<std::wstring> noTempPath() { return {L"TMP=Q:\\nowhere", L"TEMP=Q:\\nowhere"}; }

    std::wstring profileTemp;
};

TEST_F(TempCandidates, TempPathComesFirstAsWindowsGivesIt) {
    ChildResult r = run();
    EXPECT_EQ(wideUtf8(field(r, "tempWide")), dir.file(L"tmp\\"));
    EXPECT_EQ(wideUtf8(field(r, "tempNarrow")), dir.file(L"tmp\\"));
}

TEST_F(TempCandidates, ThenTheProfilesTempThenHomeDriveAndPath) {
    std::vector<std::wstring> env = noTempPath();
    env.push_back(L"USERPROFILE=" + dir.file(L"profile"));
    ChildResult r = run(L"", env);
    EXPECT_EQ(wideUtf8(field(r, "tempWide")), profileTemp);
    EXPECT_EQ(wideUtf8(field(r, "tempNarrow")), profileTemp);

    std::wstring home = dir.file(L"home");
    env = noTempPath();
    env.push_back(L"USERPROFILE=");
    env.push_back(L"HOMEDRIVE=" + home.substr(0, 2));
    env.push_back(L"HOMEPATH=" + home.substr(2));
    r = run(L"", env);
    EXPECT_EQ(wideUtf8(field(r, "tempWide")), home);
    EXPECT_EQ(wideUtf8(field(r, "tempNarrow")), home);
}

TEST_F(TempCandidates, NarrowSearchSkipsANameTheAnsiCodePageCannotShow) {
    std::wstring foreign = dir.file(L"tmp\u0416");
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
    std::vector<std::wstring> env = {L"TMP=" + foreign, L"TEMP=" + foreign, L"USERPROFILE=" + dir.file(L"profile")};
    ChildResult r = run(L"", env);
    EXPECT_EQ(wideUtf8(field(r, "tempWide")), foreign + L"\\");
    EXPECT_EQ(wideUtf8(field(r, "tempNarrow")), profileTemp);
}

// VM options files under Wine: line rules, includes relative to the
// including file, directive order, and include cycles.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "launcher/config/windows/Paths.h"
#include "launcher/launch/windows/VmOptions.h"

namespace {

class OptionsFiles : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        dir = std::wstring(temp) + L"lrx_vmopts_" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(dir.c_str(), nullptr);
        CreateDirectoryW((dir + L"\\opts").c_str(), nullptr);
    }
    void TearDown() override {
        for (const std::wstring& f : written) DeleteFileW(f.c_str());
        RemoveDirectoryW((dir + L"\\opts").c_str());
        RemoveDirectoryW(dir.c_str());
    }

    std::wstring write(const std::wstring& name, const std::string& text) {
        std::wstring path = dir + L"\\" + name;
        FILE* f = _wfopen(path.c_str(), L"wb");
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
        written.push_back(path);
        return path;
    }

    OptionSink read(const std::wstring& path) {
        OptionSink sink;
        std::string bytes;
        EXPECT_TRUE(windowsOptionWorld().readOptionsFile(path, bytes));
        processOptionsFile(bytes, path, &path, sink, windowsOptionWorld());
        return sink;
    }

    std::wstring dir;
    std::vector<std::wstring> written;
};

}  // namespace

TEST_F(OptionsFiles, LinesBecomeOptionsWithInnerSpacesKept) {
    OptionSink sink = read(write(L"a.vmoptions", "  -Xmx512m  \r\n# comment\r\n\r\n-Dname=a b\r\n\t-Dtab\n-classpath/a   \n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Xmx512m", "-Dname=a b", "\t-Dtab", "-classpath/a"}));
    EXPECT_FALSE(sink.classPathSuffix);
}

TEST_F(OptionsFiles, IncludesResolveAgainstTheIncludingFile) {
    write(L"opts\\more.vmoptions", "-Dmore=1\n-classpath second.jar\n");
    OptionSink sink = read(write(L"main.vmoptions",
                                 "-Dfirst\n-classpath first.jar\n-include-options opts\\more.vmoptions\n-Dlast\n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Dfirst", "-Dmore=1", "-Dlast"}));
    ASSERT_TRUE(sink.classPathReplacement);
    EXPECT_EQ(*sink.classPathReplacement, "second.jar");
}

TEST_F(OptionsFiles, ClassPathDirectivesKeepTheLastOfEachKind) {
    OptionSink sink = read(write(L"cp.vmoptions", "-classpath/a one\n-classpath/a two\n-classpath/p p1\n"));
    EXPECT_EQ(*sink.classPathSuffix, "two");
    EXPECT_EQ(*sink.classPathPrefix, "p1");
    EXPECT_TRUE(sink.options.empty());
}

TEST_F(OptionsFiles, IncludeCyclesEndInsteadOfRecursing) {
    write(L"b.vmoptions", "-Db\n-include-options a.vmoptions\n");
    OptionSink sink = read(write(L"a.vmoptions", "-Da\n-include-options b.vmoptions\n-include-options a.vmoptions\n-Dend\n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Da", "-Db", "-Dend"}));
}

TEST_F(OptionsFiles, MissingIncludedFileIsSkipped) {
    OptionSink sink = read(write(L"m.vmoptions", "-include-options nothing-here.vmoptions\n-Dafter\n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Dafter"}));
}

TEST_F(OptionsFiles, VariablesInLinesAreExpanded) {
    SetEnvironmentVariableW(L"LRX_HEAP", L"768m");
    OptionSink sink = read(write(L"v.vmoptions", "-Xmx${LRX_HEAP}\n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Xmx768m"}));
}

TEST_F(OptionsFiles, ConfiguredIncludeResolvesAgainstTheExecutable) {
    std::wstring beside = std::wstring(executableDirWideLong()) + L"lrx_beside.vmoptions";
    FILE* f = _wfopen(beside.c_str(), L"wb");
    fputs("-Dbeside\n", f);
    fclose(f);
    OptionSink sink;
    processOptionLine(L"-include-options lrx_beside.vmoptions", nullptr, sink, windowsOptionWorld());
    DeleteFileW(beside.c_str());
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Dbeside"}));
}

// The guard knows a file being read however the include writes its path:
// another case, a detour through "..", or its full path.
TEST_F(OptionsFiles, ACycleThroughOtherSpellingsReadsEachFileOnce) {
    write(L"opts\\q.vmoptions", "-Dq\n-include-options ..\\P.VMOPTIONS\n-include-options " +
                                    std::string(dir.begin(), dir.end()) + "\\p.vmoptions\n-Dq.end\n");
    OptionSink sink = read(write(L"p.vmoptions", "-Dp\n-include-options opts\\..\\p.vmoptions\n"
                                                 "-include-options opts\\q.vmoptions\n-Dp.end\n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Dp", "-Dq", "-Dq.end", "-Dp.end"}));
}

TEST_F(OptionsFiles, ByteOrderMarksAndUtf16Files) {
    OptionSink sink = read(write(L"u8.vmoptions", "\xEF\xBB\xBF-Xmx1g\r\n-Dsecond\r\n"));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Xmx1g", "-Dsecond"}));

    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("  -Xmx2g\r\n# note\r\n-Dname=a b\r\n")) utf16 += {c, '\0'};
    sink = read(write(L"u16.vmoptions", utf16));
    EXPECT_EQ(sink.options, (std::vector<std::string>{"-Xmx2g", "-Dname=a b"}));
}

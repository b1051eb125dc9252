// Variable expansion: order of the fixed variables, environment variables,
// and buffers that the result does not fit.
#include <gtest/gtest.h>

#include <map>

#include "launcher/config/Expansion.h"
#include "tests/support/HostLog.h"

namespace {

class FakeSource : public VariableSource<wchar_t> {
public:
    std::map<VariableValue, std::wstring> values{
        {VariableValue::LauncherDirectory, L"C:\\App\\bin\\"},
        {VariableValue::ExtractionDirectory, L""},
        {VariableValue::PathListSeparator, L";"},
        {VariableValue::JvmHome, L"C:\\Java"},
        {VariableValue::TempDirectory, L"C:\\Temp\\"},
    };
    std::wstring environment;  // "A=1|B=2|" with | for NUL
    std::map<VariableValue, int> asked;
    int blocksRead = 0;

    std::wstring value(VariableValue which) override {
        ++asked[which];
        return values[which];
    }
    const wchar_t* environmentBlock() override {
        ++blocksRead;
        block_ = environment;
        for (wchar_t& c : block_)
            if (c == L'|') c = 0;
        block_.push_back(0);
        return block_.c_str();
    }

private:
    std::wstring block_;
};

std::wstring expand(const wchar_t* text, FakeSource& source, size_t capacity = 6000) {
    std::vector<wchar_t> buffer(capacity);
    std::wcsncpy(buffer.data(), text, capacity - 1);
    expandVariables(buffer.data(), capacity, source);
    return buffer.data();
}

}  // namespace

TEST(Expansion, LauncherDirectoryEndsWithABackslash) {
    FakeSource s;
    EXPECT_EQ(expand(L"${launcher:sys.launcherDirectory}lib", s), L"C:\\App\\bin\\lib");
    EXPECT_EQ(expand(L"%LORIX_EXEDIR%x;%TAVRA_EXEDIR%y;${LORIX_EXEDIR}z", s), L"C:\\App\\bin\\x;C:\\App\\bin\\y;C:\\App\\bin\\z");
}

TEST(Expansion, ExtractionDirectoryIsEmptyBeforeExtraction) {
    FakeSource s;
    EXPECT_EQ(expand(L"[%TAVRA_TEMPDIR%]", s), L"[]");
}

TEST(Expansion, EveryOccurrenceIsReplaced) {
    FakeSource s;
    EXPECT_EQ(expand(L"${launcher:sys.tempDir}x${launcher:sys.tempDir}", s), L"C:\\Temp\\xC:\\Temp\\");
    EXPECT_EQ(expand(L"%LORIX_JVM_HOME%\\lib;%TAVRA_JVM_HOME%\\bin", s), L"C:\\Java\\lib;C:\\Java\\bin");
}

TEST(Expansion, UnknownReferencesStay) {
    FakeSource s;
    s.environment = L"Path=C:\\w|";
    EXPECT_EQ(expand(L"${installer:sys.tempDir}\\x.log ${NOPE} %PATH%", s), L"${installer:sys.tempDir}\\x.log ${NOPE} %PATH%");
}

TEST(Expansion, EnvironmentNamesMatchAsStoredAndInUpperCase) {
    FakeSource s;
    s.environment = L"Path=C:\\w|=C:=C:\\x|";
    EXPECT_EQ(expand(L"${Path} ${PATH} ${path}", s), L"C:\\w C:\\w ${path}");
}

TEST(Expansion, ValueContainingItsOwnPatternIsNotExpandedAgain) {
    FakeSource s;
    s.values[VariableValue::TempDirectory] = L"${launcher:sys.tempDir}!";
    EXPECT_EQ(expand(L"${launcher:sys.tempDir}", s), L"${launcher:sys.tempDir}!");
}

TEST(Expansion, LaterPassesExpandWhatEarlierOnesInserted) {
    FakeSource s;
    s.values[VariableValue::JvmHome] = L"${JAVA_ROOT}\\jre";
    s.environment = L"JAVA_ROOT=D:\\jdk|";
    EXPECT_EQ(expand(L"%LORIX_JVM_HOME%", s), L"D:\\jdk\\jre");
}

TEST(Expansion, ValuesAreFetchedOnlyWhenTheirPatternOccurs) {
    FakeSource s;
    expand(L"plain text", s);
    EXPECT_EQ(s.asked.count(VariableValue::TempDirectory), 0u);
    expand(L"${launcher:sys.tempDir}", s);
    EXPECT_EQ(s.asked[VariableValue::TempDirectory], 1);
}

TEST(Expansion, ReplacementThatDoesNotFitIsSkippedWithALogLine) {
    FakeSource s;
    s.values[VariableValue::TempDirectory] = std::wstring(40, L't');
    clearHostLog();
    EXPECT_EQ(expand(L"${launcher:sys.tempDir}", s, 30), L"${launcher:sys.tempDir}");
    EXPECT_TRUE(hostLogContains(L"not expanding ${launcher:sys.tempDir}"));

    // 32 characters in a buffer of 40: the first replacement grows the text
    // to 38, the second would need 44.
    s.values[VariableValue::JvmHome] = L"C:\\Java\\very\\long\\home";
    EXPECT_EQ(expand(L"%TAVRA_JVM_HOME%%TAVRA_JVM_HOME%", s, 40), L"C:\\Java\\very\\long\\home%TAVRA_JVM_HOME%");
}

TEST(Expansion, ReplacementsAreLogged) {
    FakeSource s;
    clearHostLog();
    expand(L"%LORIX_PATHLIST_SEPARATOR%", s);
    EXPECT_TRUE(hostLogContains(L"expanding2 %LORIX_PATHLIST_SEPARATOR% to ; in ;."));
}

TEST(Expansion, NarrowVariantUsesTheSameRules) {
    std::string text = "a%TAVRA_PATHLIST_SEPARATOR%b";
    std::vector<char> buffer(text.begin(), text.end());
    buffer.resize(100, 0);
    replaceVariable<char>(buffer.data(), buffer.size(), "%TAVRA_PATHLIST_SEPARATOR%", ";");
    EXPECT_STREQ(buffer.data(), "a;b");
}

TEST(Expansion, TheEnvironmentIsReadOnlyWhenAPatternIsLeft) {
    FakeSource s;
    s.environment = L"A=1|";
    EXPECT_EQ(expand(L"plain %A% text", s), L"plain %A% text");
    EXPECT_EQ(expand(L"%LORIX_EXEDIR%lib", s), L"C:\\App\\bin\\lib");
    EXPECT_EQ(s.blocksRead, 0);
    // A fixed variable's value may itself name an environment variable.
    s.values[VariableValue::JvmHome] = L"${A}\\jre";
    EXPECT_EQ(expand(L"%LORIX_JVM_HOME%", s), L"1\\jre");
    EXPECT_EQ(expand(L"${A}", s), L"1");
    EXPECT_EQ(s.blocksRead, 2);
}

// Command-line splitting and verb recognition.
#include <gtest/gtest.h>

#include "launcher/config/CommandLine.h"

namespace {

ArgumentVector split(const wchar_t* text) {
    ArgumentVector out;
    splitCommandLine(text, out);
    return out;
}

}  // namespace

TEST(SplitCommandLine, BlanksSeparateAndRunsOfBlanksCollapse) {
    EXPECT_EQ(split(L"a b  c "), (ArgumentVector{L"a", L"b", L"c"}));
    EXPECT_EQ(split(L"   "), ArgumentVector{});
    EXPECT_EQ(split(L""), ArgumentVector{});
    EXPECT_EQ(split(nullptr), ArgumentVector{});
}

TEST(SplitCommandLine, QuotesJoinTheTextBeforeThem) {
    EXPECT_EQ(split(L"a\"b c\"d"), (ArgumentVector{L"ab c", L"d"}));
    EXPECT_EQ(split(L"'x y'"), (ArgumentVector{L"x y"}));
    EXPECT_EQ(split(L"\"C:\\Program Files\\app.exe\" /run"), (ArgumentVector{L"C:\\Program Files\\app.exe", L"/run"}));
}

TEST(SplitCommandLine, UnclosedQuoteRunsToTheEnd) {
    EXPECT_EQ(split(L"a \"b c"), (ArgumentVector{L"a", L"b c"}));
    EXPECT_EQ(split(L"\""), (ArgumentVector{L""}));
}

TEST(SplitCommandLine, EmptyQuotedArgumentIsKept) {
    EXPECT_EQ(split(L"a \"\" b"), (ArgumentVector{L"a", L"", L"b"}));
}

TEST(SplitCommandLine, OtherQuoteKindIsOrdinaryInsideQuotes) {
    EXPECT_EQ(split(L"\"it's here\" 'say \"hi\"'"), (ArgumentVector{L"it's here", L"say \"hi\""}));
}

TEST(SplitCommandLine, FirstQuoteKindDecidesAndAClosingQuoteEndsTheArgument) {
    EXPECT_EQ(split(L"a'b\"c'd\" e"), (ArgumentVector{L"ab\"c", L"d e"}));
}

TEST(SplitCommandLine, BackslashesAndTabsAreOrdinary) {
    EXPECT_EQ(split(L"a\\\"b c\"\td"), (ArgumentVector{L"a\\b c", L"\td"}));
    EXPECT_EQ(split(L"x\ty z"), (ArgumentVector{L"x\ty", L"z"}));
}

TEST(SplitCommandLine, OnlyOneBlankAfterTheClosingQuoteIsSkippedThenRunsCollapse) {
    EXPECT_EQ(split(L"\"a\"   b"), (ArgumentVector{L"a", L"b"}));
    EXPECT_EQ(split(L"\"a\"b"), (ArgumentVector{L"a", L"b"}));
}

TEST(SplitCommandLine, AppendsToTheCallersVector) {
    ArgumentVector out{L"kept"};
    splitCommandLine(L"x", out);
    EXPECT_EQ(out, (ArgumentVector{L"kept", L"x"}));
}

TEST(Verbs, SlashDashAndDoubleDashAreTheSame) {
    std::wstring verb;
    for (const wchar_t* arg : {L"/install", L"-install", L"--install"}) {
        ASSERT_TRUE(parseVerb(arg, verb)) << arg;
        EXPECT_EQ(verb, L"install");
    }
    EXPECT_FALSE(parseVerb(L"x", verb));
    EXPECT_FALSE(parseVerb(L"", verb));
    ASSERT_TRUE(parseVerb(L"-", verb));
    EXPECT_EQ(verb, L"");
    ASSERT_TRUE(parseVerb(L"---x", verb));
    EXPECT_EQ(verb, L"-x");
}

TEST(Verbs, RoadsAreExactAndCaseSensitive) {
    EXPECT_EQ(roadForVerb(L"?"), Road::Usage);
    EXPECT_EQ(roadForVerb(L"help"), Road::Usage);
    EXPECT_EQ(roadForVerb(L"HELP"), Road::Dispatcher);
    for (const wchar_t* v : {L"install", L"install-and-start", L"install-auto", L"install-demand", L"uninstall",
                             L"stop", L"start", L"restart", L"status"})
        EXPECT_EQ(roadForVerb(v), Road::ServiceCommand) << v;
    EXPECT_EQ(roadForVerb(L"Install"), Road::Dispatcher);
    EXPECT_EQ(roadForVerb(L"run"), Road::Run);
    EXPECT_EQ(roadForVerb(L"run-redirect"), Road::RunRedirect);
    EXPECT_EQ(roadForVerb(L"runs"), Road::Dispatcher);
}

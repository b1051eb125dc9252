// The behaviour file of the stub JVM: what tests write must mean what the
// README says, and a mistake must be reported with its line.
#include <gtest/gtest.h>

#include "tests/support/jvm/stub/Behaviour.h"

namespace {

using stubjvm::Behaviour;
using stubjvm::parseBehaviour;
using Kind = stubjvm::Step::Kind;

Behaviour parsed(const std::string& text) {
    Behaviour b;
    std::string error;
    EXPECT_TRUE(parseBehaviour(text, &b, &error)) << error;
    return b;
}

std::string errorOf(const std::string& text) {
    Behaviour b;
    std::string error;
    EXPECT_FALSE(parseBehaviour(text, &b, &error));
    return error;
}

TEST(Behaviour, StepsKeepTheirOrderAndArguments) {
    Behaviour b = parsed("\xEF\xBB\xBF# comment\r\n\r\nmain sleep 250\r\nmain print  two  words \nmain throw a: b\tc\nmain exit -3\n"
                         "main wait-stop\nmain return");
    ASSERT_EQ(6u, b.mainSteps.size());
    EXPECT_EQ(Kind::Sleep, b.mainSteps[0].kind);
    EXPECT_EQ(250, b.mainSteps[0].number);
    EXPECT_EQ(Kind::Print, b.mainSteps[1].kind);
    EXPECT_EQ("two  words", b.mainSteps[1].text);
    EXPECT_EQ(Kind::Throw, b.mainSteps[2].kind);
    EXPECT_TRUE(b.mainSteps[2].hasText);
    EXPECT_EQ("a: b\tc", b.mainSteps[2].text);
    EXPECT_EQ(-3, b.mainSteps[3].number);
    EXPECT_EQ(Kind::WaitStop, b.mainSteps[4].kind);
    EXPECT_EQ(Kind::Return, b.mainSteps[5].kind);
    EXPECT_FALSE(b.createFails);
}

TEST(Behaviour, EmptyFileMeansMainReturns) {
    Behaviour b = parsed("");
    EXPECT_TRUE(b.mainSteps.empty());
    EXPECT_FALSE(b.createFails);
}

TEST(Behaviour, ThrowWithoutTextHasNoMessage) {
    Behaviour b = parsed("main throw\n");
    ASSERT_EQ(1u, b.mainSteps.size());
    EXPECT_FALSE(b.mainSteps[0].hasText);
}

TEST(Behaviour, CreationFailureAndHiding) {
    Behaviour b = parsed("create-fail -6\nhide-class com/x/A\nhide-method com/x/A run (I)V\n");
    EXPECT_TRUE(b.createFails);
    EXPECT_EQ(-6, b.createResult);
    ASSERT_EQ(1u, b.hiddenClasses.size());
    EXPECT_EQ("com/x/A", b.hiddenClasses[0]);
    ASSERT_EQ(1u, b.hiddenMethods.size());
    EXPECT_EQ("run", b.hiddenMethods[0].name);
    EXPECT_EQ("(I)V", b.hiddenMethods[0].signature);
}

TEST(Behaviour, MistakesNameTheirLine) {
    EXPECT_EQ("line 2: exit needs a code", errorOf("main return\nmain exit soon\n"));
    EXPECT_EQ("line 1: sleep needs milliseconds", errorOf("main sleep -5"));
    EXPECT_EQ("line 1: create-fail needs a non-zero code", errorOf("create-fail 0"));
    EXPECT_EQ("line 1: unknown keyword \"mian\"", errorOf("mian return"));
    EXPECT_EQ("line 1: unknown main step \"return now\"", errorOf("main return now"));
    EXPECT_EQ("line 1: hide-method needs a class, a name and a signature", errorOf("hide-method com/x/A run"));
    EXPECT_EQ("line 1: hide-class needs one class name", errorOf("hide-class a b"));
}

}  // namespace

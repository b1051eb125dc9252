// Version strings: parsing, the inclusive limits, the pre-release rule and
// "newer than", with the examples the launcher's behaviour rests on.
#include <gtest/gtest.h>

#include "launcher/config/ConfigTables.h"
#include "launcher/jvmsearch/Versions.h"
#include "tests/support/HostLog.h"

namespace {

using V = VersionVector;

void allowPreRelease(const char* value) {
    BlockData block;
    block.config.push_back({130, value});
    applyConfigurationBlock(block, "en");
}

bool java(const char* version, const char* minimum, const char* maximum, bool skip = false) {
    return matchJavaVersion(version, parseVersion(minimum), parseVersion(maximum), skip);
}

bool key(const char* version, const char* minimum, const char* maximum) {
    return matchKeyVersion(version, parseVersion(minimum), parseVersion(maximum));
}

class JvmVersionMatch : public ::testing::Test {
protected:
    void SetUp() override {
        allowPreRelease("0");
        clearHostLog();
    }
};

}  // namespace

TEST(JvmVersionParse, SeparatorsAndComponents) {
    EXPECT_EQ(parseVersion("1.8.0_301"), (V{1, 8, 0, 301}));
    EXPECT_EQ(parseVersion("11.0.2+9"), (V{11, 0, 2, 9}));
    EXPECT_EQ(parseVersion("1.8.0_301-b09"), (V{1, 8, 0, 301, 0}));
    EXPECT_EQ(parseVersion("9-ea"), (V{9, 0}));
    EXPECT_EQ(parseVersion("17"), (V{17}));
    // Runs of separators count once; none at the ends makes an empty part.
    EXPECT_EQ(parseVersion("1..8"), (V{1, 8}));
    EXPECT_EQ(parseVersion("._1.8+-"), (V{1, 8}));
    EXPECT_EQ(parseVersion(""), V{});
    EXPECT_EQ(parseVersion(nullptr), V{});
    EXPECT_EQ(parseVersion("..."), V{});
}

TEST(JvmVersionParse, ComponentsReadLikeStrtol) {
    EXPECT_EQ(parseVersion(" 7.x9.12abc"), (V{7, 0, 12}));
    EXPECT_EQ(parseVersion("2147483647.2147483648.99999999999999999999"), (V{2147483647, 2147483647, 2147483647}));
    EXPECT_EQ(parseVersion("007.08"), (V{7, 8}));
}

TEST(JvmVersionLimit, OnlyTheLimitsComponentsAreCompared) {
    // A maximum of 1.8 admits every 1.8 update and rejects 9 and 1.9.
    EXPECT_TRUE(checkVersionLimit({1, 8}, {1, 8, 0, 301}, true, false));
    EXPECT_FALSE(checkVersionLimit({1, 8}, {9}, true, false));
    EXPECT_FALSE(checkVersionLimit({1, 8}, {1, 9}, true, false));
    // Both limits are inclusive.
    EXPECT_TRUE(checkVersionLimit({1, 8}, {1, 8}, false, false));
    EXPECT_TRUE(checkVersionLimit({1, 8}, {1, 8}, true, false));
    // A minimum of 1.8.0_200 rejects 1.8.0_91 and admits 1.8.0_201 and 11.
    EXPECT_FALSE(checkVersionLimit({1, 8, 0, 200}, {1, 8, 0, 91}, false, false));
    EXPECT_TRUE(checkVersionLimit({1, 8, 0, 200}, {1, 8, 0, 201}, false, false));
    EXPECT_TRUE(checkVersionLimit({1, 8, 0, 200}, {11}, false, false));
    EXPECT_TRUE(checkVersionLimit({}, {}, false, false));
    EXPECT_TRUE(checkVersionLimit({}, {}, true, false));
}

TEST(JvmVersionLimit, ShortCandidates) {
    // Without accept-shorter the missing components count 0...
    EXPECT_FALSE(checkVersionLimit({1, 8, 0, 200}, {1, 8}, false, false));
    EXPECT_TRUE(checkVersionLimit({1, 8, 0, 200}, {1, 8}, true, false));
    EXPECT_FALSE(checkVersionLimit({1, 8}, {}, false, false));
    // ...with it the candidate passes where it ends.
    EXPECT_TRUE(checkVersionLimit({1, 8, 0, 200}, {1, 8}, false, true));
    EXPECT_TRUE(checkVersionLimit({1, 8}, {}, false, true));
    EXPECT_FALSE(checkVersionLimit({1, 8, 0, 200}, {1, 7}, false, true));
}

TEST_F(JvmVersionMatch, SampleLimitsAdmitOnlyJava8) {
    EXPECT_TRUE(java("1.8.0_301", "1.8", "1.8"));
    EXPECT_TRUE(java("1.8", "1.8", "1.8"));
    EXPECT_FALSE(java("1.7.0_80", "1.8", "1.8"));
    EXPECT_FALSE(java("9", "1.8", "1.8"));
    EXPECT_FALSE(java("17.0.1", "1.8", "1.8"));
}

TEST_F(JvmVersionMatch, EmptyLimitsAdmitEverything) {
    for (const char* v : {"1.8.0_301", "", "garbage", "0"}) {
        EXPECT_TRUE(java(v, "", "")) << v;
        EXPECT_TRUE(key(v, "", "")) << v;
    }
}

TEST_F(JvmVersionMatch, KeyNamesMayBeShorterThanTheLimit) {
    EXPECT_FALSE(java("1.8", "1.8.0_200", ""));
    EXPECT_TRUE(key("1.8", "1.8.0_200", ""));
    EXPECT_TRUE(key("1.8", "", "1.8.0_200"));
    EXPECT_FALSE(key("1.7", "1.8.0_200", ""));
    // A minimum of 1.8 admits 11: no special treatment of the 1.x scheme.
    EXPECT_TRUE(java("11.0.2", "1.8", ""));
}

TEST_F(JvmVersionMatch, PreReleaseRuntimesAreRejectedUnlessAllowed) {
    for (const char* v : {"11-ea", "1.9.0-rc1", "1.8.0-beta", "1.8.0_301-release"}) {
        clearHostLog();
        EXPECT_FALSE(java(v, "", "")) << v;
        EXPECT_TRUE(hostLogContains(L"beta vm not allowed")) << v;
        // Skipped by the caller: only the limits judge.
        EXPECT_TRUE(java(v, "", "", true)) << v;
        // Key names get no pre-release test.
        EXPECT_TRUE(key(v, "", "")) << v;
    }
    EXPECT_FALSE(java("11-ea", "", "1.8", true));
    EXPECT_FALSE(java("11-EA", "", "1.8", true));
    EXPECT_TRUE(java("11-EA", "", ""));  // case-sensitive test

    allowPreRelease("1");
    EXPECT_TRUE(java("11-ea", "", ""));
    EXPECT_TRUE(java("1.9.0-rc1", "1.9", "1.9"));
    EXPECT_FALSE(java("11-ea", "", "1.8"));
}

TEST(JvmVersionNewer, ComponentsAreComparedAsNumbers) {
    EXPECT_TRUE(isNewerVersion("1.8.0_301", "1.8.0_91"));
    EXPECT_FALSE(isNewerVersion("1.8.0_91", "1.8.0_301"));
    EXPECT_TRUE(isNewerVersion("9.0.4", "1.8.0_301"));
    EXPECT_TRUE(isNewerVersion("11.0.2", "9.0.4"));
}

TEST(JvmVersionNewer, EqualAndPrefixVersions) {
    EXPECT_FALSE(isNewerVersion("1.8", "1.8"));
    EXPECT_TRUE(isNewerVersion("1.8.0", "1.8"));
    EXPECT_FALSE(isNewerVersion("1.8", "1.8.0"));
    EXPECT_TRUE(isNewerVersion("1.8", ""));
    EXPECT_FALSE(isNewerVersion("", "1.8"));
    EXPECT_FALSE(isNewerVersion("", ""));
    // b09 counts 0: equal up to the fourth component, longer is newer.
    EXPECT_TRUE(isNewerVersion("1.8.0_301-b09", "1.8.0_301"));
    EXPECT_FALSE(isNewerVersion("1.8.0_301-b09", "1.8.0_301-b10"));
}

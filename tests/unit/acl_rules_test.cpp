#include <gtest/gtest.h>

#include "native/shell/AclRules.h"

TEST(AclRules, EachFlagAddsItsGenericRight) {
    EXPECT_EQ(0u, aclAccessMask(false, false, false, false));
    EXPECT_EQ(0x80000000u, aclAccessMask(true, false, false, false));
    EXPECT_EQ(0x40000000u, aclAccessMask(false, true, false, false));
    EXPECT_EQ(0x20000000u, aclAccessMask(false, false, true, false));
    EXPECT_EQ(0x10000000u, aclAccessMask(false, false, false, true));
    EXPECT_EQ(0xF0000000u, aclAccessMask(true, true, true, true));
}

TEST(AclRules, KindsOneThreeAndFiveAreSpecialAndEveryOtherKindIsEveryone) {
    TrusteeSid authenticated = trusteeSidOfKind(1);
    EXPECT_FALSE(authenticated.fromAccount);
    EXPECT_EQ(5, authenticated.authority);
    EXPECT_EQ(11u, authenticated.subAuthority);
    EXPECT_TRUE(trusteeSidOfKind(3).fromAccount);
    TrusteeSid local = trusteeSidOfKind(5);
    EXPECT_EQ(2, local.authority);
    EXPECT_EQ(547u, local.subAuthority);
    for (int kind : {0, 2, 4, 6, -1, 1000}) {
        TrusteeSid everyone = trusteeSidOfKind(kind);
        EXPECT_FALSE(everyone.fromAccount) << kind;
        EXPECT_EQ(1, everyone.authority) << kind;
        EXPECT_EQ(0u, everyone.subAuthority) << kind;
    }
}

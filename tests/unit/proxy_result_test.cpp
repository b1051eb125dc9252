// The result codes of proxy detection: the high 32 bits say which step
// failed, the low 32 bits carry the Windows error.
#include <gtest/gtest.h>

#include "native/shell/ProxyResult.h"

TEST(ProxyResult, TheStepIsInTheHighWordAndTheErrorInTheLowWord) {
    EXPECT_EQ(0x100000000LL + 12029, proxySessionFailure(12029));
    EXPECT_EQ(0x200000000LL + 12180, proxyLookupFailure(12180));  // ERROR_WINHTTP_AUTODETECTION_FAILED
    EXPECT_EQ(2, proxyLookupFailure(12180) >> 32);
    EXPECT_EQ(12180, proxyLookupFailure(12180) & 0xFFFFFFFF);
}

TEST(ProxyResult, AnErrorWithItsTopBitSetStaysInTheLowWord) {
    EXPECT_EQ(0x1FFFFFFFFLL, proxySessionFailure(0xFFFFFFFFu));
    EXPECT_EQ(0x280000000LL, proxyLookupFailure(0x80000000u));
    EXPECT_NE(kProxyFunctionsMissing, proxyLookupFailure(0) & 0xFFFFFFFF);
}

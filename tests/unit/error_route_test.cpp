// Whether a fatal error may be shown in a message box: only where someone
// can see and answer it.
#include <gtest/gtest.h>

#include "launcher/config/ErrorRoute.h"

TEST(ErrorRoute, OnlyAVisibleWindowStationWithADesktopGetsABox) {
    DisplayFacts interactive{true, true, true};
    EXPECT_TRUE(messageBoxReachable(interactive));

    DisplayFacts service = interactive;  // a service's own, invisible station
    service.windowStationVisible = false;
    EXPECT_FALSE(messageBoxReachable(service));

    DisplayFacts noStation{false, false, false};
    EXPECT_FALSE(messageBoxReachable(noStation));

    DisplayFacts noDesktop = interactive;
    noDesktop.hasDesktop = false;
    EXPECT_FALSE(messageBoxReachable(noDesktop));
}

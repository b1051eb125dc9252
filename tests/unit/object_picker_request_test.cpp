// The object picker's scope for each combination of the five choices.
#include <gtest/gtest.h>

#include "native/shell/ObjectPickerRequest.h"

namespace {

TEST(ObjectPickerScope, LocalComputerOnlyOrEveryScopeWithTheUserAndGroupDefaultFilters) {
    ObjectPickerScope local = objectPickerScope({false, true, true, false, true});
    EXPECT_EQ(0x1u, local.scopeType);
    EXPECT_EQ(0xC0u, local.scopeFlags);
    EXPECT_EQ(0u, local.options);
    ObjectPickerScope everywhere = objectPickerScope({true, true, true, false, false});
    EXPECT_EQ(0x36Fu, everywhere.scopeType);
    EXPECT_EQ(0x1u, everywhere.options);
}

TEST(ObjectPickerScope, FiltersAddUpByChoice) {
    struct Case {
        bool groups, users, wellKnown;
        uint32_t uplevel, downlevel;
    } cases[] = {
        {false, false, false, 0x0, 0x0},
        {true, false, false, 0x3F4, 0x80000006},
        {false, true, false, 0x2, 0x80000001},
        {true, true, false, 0x3F6, 0x80000007},
        {false, false, true, 0x8, 0x800C4000},
        {true, false, true, 0x3FC, 0x80020006},
        {false, true, true, 0xA, 0x800C4001},
        {true, true, true, 0x3FE, 0x80020007},
    };
    for (const Case& c : cases) {
        for (bool local : {false, true}) {
            ObjectPickerScope scope = objectPickerScope({false, c.groups, c.users, c.wellKnown, local});
            EXPECT_EQ(c.uplevel, scope.uplevelFilter) << c.groups << c.users << c.wellKnown;
            EXPECT_EQ(c.downlevel, scope.downlevelFilter) << c.groups << c.users << c.wellKnown;
        }
    }
}

}  // namespace

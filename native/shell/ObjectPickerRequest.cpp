#include "native/shell/ObjectPickerRequest.h"

namespace {

const uint32_t kMultiSelect = 0x1;
const uint32_t kTargetComputer = 0x1;
// Target computer, uplevel and downlevel joined domain, enterprise domain,
// external uplevel and downlevel domain, user-entered uplevel and
// downlevel scope.
const uint32_t kEveryScope = 0x36F;
const uint32_t kDefaultFilterUsersAndGroups = 0xC0;
const uint32_t kUplevelGroups = 0x3F4;  // built-in, universal, global and domain-local groups
const uint32_t kUplevelUsers = 0x2;
const uint32_t kUplevelWellKnownPrincipals = 0x8;
const uint32_t kDownlevelGroups = 0x80000006;  // local and global groups
const uint32_t kDownlevelUsers = 0x80000001;
const uint32_t kDownlevelAllWellKnownSids = 0x80020000;
const uint32_t kDownlevelServiceAccounts = 0x800C4000;  // system, local service, network service

}  // namespace

ObjectPickerScope objectPickerScope(const ObjectPickerChoices& choices) {
    ObjectPickerScope scope = {};
    scope.options = choices.multiSelect ? kMultiSelect : 0;
    scope.scopeType = choices.localComputerOnly ? kTargetComputer : kEveryScope;
    scope.scopeFlags = kDefaultFilterUsersAndGroups;
    if (choices.groups) {
        scope.uplevelFilter |= kUplevelGroups;
        scope.downlevelFilter |= kDownlevelGroups;
    }
    if (choices.users) {
        scope.uplevelFilter |= kUplevelUsers;
        scope.downlevelFilter |= kDownlevelUsers;
    }
    if (choices.wellKnownPrincipals) {
        scope.uplevelFilter |= kUplevelWellKnownPrincipals;
        scope.downlevelFilter |= choices.groups ? kDownlevelAllWellKnownSids : kDownlevelServiceAccounts;
    }
    return scope;
}

#include "native/shell/AclRules.h"

namespace {

const uint32_t kGenericRead = 0x80000000u;
const uint32_t kGenericWrite = 0x40000000u;
const uint32_t kGenericExecute = 0x20000000u;
const uint32_t kGenericAll = 0x10000000u;

const uint8_t kWorldAuthority = 1;
const uint8_t kLocalAuthority = 2;
const uint8_t kNtAuthority = 5;

}  // namespace

uint32_t aclAccessMask(bool read, bool write, bool execute, bool all) {
    return (read ? kGenericRead : 0) | (write ? kGenericWrite : 0) | (execute ? kGenericExecute : 0) |
           (all ? kGenericAll : 0);
}

TrusteeSid trusteeSidOfKind(int kind) {
    switch (kind) {
    case 1: return {false, kNtAuthority, 11};  // Authenticated Users
    case 3: return {true, 0, 0};
    // S-1-2-547: the local authority with the relative id of Power Users.
    // It names no well-known group (Power Users is S-1-5-32-547), but
    // callers may rely on this very SID, so it stays as it always was.
    case 5: return {false, kLocalAuthority, 547};
    default: return {false, kWorldAuthority, 0};  // Everyone
    }
}

// Which SID and which rights an access entry of the ACL native grants, free
// of Windows so that the table is unit-tested on the host.
#pragma once
#include <cstdint>

// The generic rights of the four access flags, or-ed together (0 when all
// are false: an entry that grants nothing).
uint32_t aclAccessMask(bool read, bool write, bool execute, bool all);

// The trustee of a kind: the caller's account (kind 3), or a SID of one
// identifier authority and one sub-authority.
struct TrusteeSid {
    bool fromAccount;
    uint8_t authority;
    uint32_t subAuthority;
};

// Kind 1: Authenticated Users (S-1-5-11); kind 3: the account argument;
// kind 5: S-1-2-547 (see the source); any other kind: Everyone (S-1-1-0).
TrusteeSid trusteeSidOfKind(int kind);

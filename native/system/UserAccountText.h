// The texts of the user account natives, free of Windows so that they are
// unit-tested on the host: bounded text building, the names shown for
// accounts, and the result texts of account creation. Units are UTF-16.
#pragma once
#include <cstddef>
#include <initializer_list>

// Appends to a fixed buffer of capacity units (at least one), always
// NUL-terminated; what does not fit is cut off.
class UnitText {
public:
    UnitText(char16_t* out, size_t capacity);
    UnitText& append(const char16_t* text);
    UnitText& appendNumber(long long value);
    // The numbers in decimal, separated by single spaces ("2 87 3").
    UnitText& appendNumbers(std::initializer_list<long long> values);
    const char16_t* text() const { return out_; }
    size_t length() const { return length_; }
    bool empty() const { return length_ == 0; }

private:
    char16_t* out_;
    size_t capacity_;
    size_t length_ = 0;
};

// The name of an account that has no profile of its own: "NT AUTHORITY\System",
// "NT AUTHORITY\LocalService" or "NT AUTHORITY\NetworkService" for S-1-5-18,
// -19 and -20; null for any other SID text (and for null).
const char16_t* wellKnownAccountName(const char16_t* sid);

// True for SIDs of the built-in domain, whose texts start with "S-1-5-32-".
bool isBuiltinDomainSid(const char16_t* sid);

// The domain an account is shown in: "." (the local machine) for a built-in
// SID or an empty domain, otherwise the domain as looked up.
const char16_t* shownDomain(const char16_t* sid, const char16_t* domain);

// The account name for the Java side: the name alone, or the shown domain,
// a backslash and the name.
void appendAccountName(UnitText& out, const char16_t* sid, const char16_t* domain, const char16_t* name,
                       bool nameOnly);

// The result of a successful account creation: the user's SID, and when a
// group was looked up its SID and whether this call created it
// ("S-1-5-21-..-1001 S-1-5-21-..-1002 true").
void appendCreatedAccount(UnitText& out, const char16_t* userSid, const char16_t* groupSid, bool groupCreated);

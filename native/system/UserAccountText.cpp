#include "native/system/UserAccountText.h"

namespace {

bool sameText(const char16_t* a, const char16_t* b) {
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

bool startsWith(const char16_t* text, const char16_t* prefix) {
    while (*prefix && *text == *prefix) ++text, ++prefix;
    return *prefix == 0;
}

struct ServiceAccount {
    const char16_t* sid;
    const char16_t* name;
};

const ServiceAccount kServiceAccounts[] = {
    {u"S-1-5-18", u"NT AUTHORITY\\System"},
    {u"S-1-5-19", u"NT AUTHORITY\\LocalService"},
    {u"S-1-5-20", u"NT AUTHORITY\\NetworkService"},
};

}  // namespace

UnitText::UnitText(char16_t* out, size_t capacity) : out_(out), capacity_(capacity) { out_[0] = 0; }

UnitText& UnitText::append(const char16_t* text) {
    if (!text) return *this;
    while (*text && length_ + 1 < capacity_) out_[length_++] = *text++;
    out_[length_] = 0;
    return *this;
}

UnitText& UnitText::appendNumber(long long value) {
    char16_t digits[24];
    size_t n = 0;
    // Negated digit by digit so that the most negative value needs no negation.
    bool negative = value < 0;
    do {
        int digit = static_cast<int>(value % 10);
        digits[n++] = static_cast<char16_t>(u'0' + (negative ? -digit : digit));
        value /= 10;
    } while (value != 0);
    char16_t text[26];
    size_t t = 0;
    if (negative) text[t++] = u'-';
    while (n > 0) text[t++] = digits[--n];
    text[t] = 0;
    return append(text);
}

UnitText& UnitText::appendNumbers(std::initializer_list<long long> values) {
    bool first = true;
    for (long long value : values) {
        if (!first) append(u" ");
        appendNumber(value);
        first = false;
    }
    return *this;
}

const char16_t* wellKnownAccountName(const char16_t* sid) {
    if (!sid) return nullptr;
    for (const ServiceAccount& account : kServiceAccounts)
        if (sameText(sid, account.sid)) return account.name;
    return nullptr;
}

bool isBuiltinDomainSid(const char16_t* sid) { return sid && startsWith(sid, u"S-1-5-32-"); }

const char16_t* shownDomain(const char16_t* sid, const char16_t* domain) {
    if (isBuiltinDomainSid(sid) || !domain || !*domain) return u".";
    return domain;
}

void appendAccountName(UnitText& out, const char16_t* sid, const char16_t* domain, const char16_t* name,
                       bool nameOnly) {
    if (!nameOnly) out.append(shownDomain(sid, domain)).append(u"\\");
    out.append(name);
}

void appendCreatedAccount(UnitText& out, const char16_t* userSid, const char16_t* groupSid, bool groupCreated) {
    out.append(userSid);
    if (!groupSid) return;
    out.append(u" ").append(groupSid).append(groupCreated ? u" true" : u" false");
}

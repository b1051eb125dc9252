#include "native/process/ProcessText.h"

std::vector<TextSpan> environmentBlockEntries(const char16_t* block) {
    std::vector<TextSpan> entries;
    if (!block) return entries;
    size_t at = 0;
    while (block[at] != 0) {
        size_t length = 0;
        while (block[at + length] != 0) ++length;
        entries.push_back({at, length});
        at += length + 1;
    }
    return entries;
}

bool endsWithTemporarySuffix(const char16_t* text, size_t length) {
    static const char16_t kSuffix[] = {u'.', u't', u'm', u'p'};
    const size_t suffixLength = sizeof kSuffix / sizeof kSuffix[0];
    if (!text || length <= suffixLength) return false;
    for (size_t i = 0; i < suffixLength; ++i)
        if (text[length - suffixLength + i] != kSuffix[i]) return false;
    return true;
}

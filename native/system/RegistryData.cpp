#include "native/system/RegistryData.h"

size_t registryStringUnits(const char16_t* data, size_t byteCount) {
    size_t units = byteCount / 2;
    size_t text = 0;
    while (text < units && data[text] != 0) ++text;
    return text;
}

std::vector<UnitSpan> registryMultiStringParts(const char16_t* data, size_t byteCount) {
    std::vector<UnitSpan> parts;
    size_t units = byteCount / 2;
    bool terminated = units > 0 && data[units - 1] == 0;
    size_t position = 0;
    while (position + 1 < units || (!terminated && position < units)) {
        size_t end = position;
        while (end < units && data[end] != 0) ++end;
        parts.push_back(UnitSpan{position, end - position});
        position = end + 1;
    }
    return parts;
}

bool MultiStringWriter::append(const char16_t* text, size_t length) {
    // Room for the text, its NUL and the list's final NUL.
    if (length == 0 || capacity_ < 2 || used_ > capacity_ - 2 || length > capacity_ - 2 - used_) return false;
    for (size_t i = 0; i < length; ++i) out_[used_ + i] = text[i];
    used_ += length;
    out_[used_++] = 0;
    return true;
}

size_t MultiStringWriter::finish() {
    out_[used_] = 0;
    return (used_ + 1) * 2;
}

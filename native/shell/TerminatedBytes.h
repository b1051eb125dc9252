// Copies of the byte arrays that the Java side fills with NUL-terminated
// strings (ANSI for shortcuts, UTF-16LE for shell notifications). The copy
// always ends in a NUL unit, so an array that lacks its terminator is never
// read past its end. Free of Windows so that it is unit-tested on the host.
#pragma once
#include <cstddef>
#include <vector>

// The bytes, zeros up to the next whole unit of unitSize bytes, then one
// zero unit. A string that already ends in its NUL is unchanged for every
// reader that stops at the first NUL.
std::vector<char> terminatedCopy(const void* bytes, size_t length, size_t unitSize);

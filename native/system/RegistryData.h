// The byte layouts of registry string values, free of Windows so that they
// are unit-tested on the host. Units are UTF-16 code units; every function
// reads and writes only inside the counts it is given.
#pragma once
#include <cstddef>
#include <vector>

// Units of the text of a REG_SZ or REG_EXPAND_SZ value of byteCount bytes:
// the whole units of the data (an odd last byte is not part of any unit) up
// to the first NUL. A value stored without its NUL keeps all of its text;
// one stored with padding after its NUL (a writer that gave its buffer's
// size) ends where its text ends, as every other reader of it sees it.
size_t registryStringUnits(const char16_t* data, size_t byteCount);

// One string of a REG_MULTI_SZ value: its first unit and its length.
struct UnitSpan {
    size_t start;
    size_t length;
};

// The strings of a REG_MULTI_SZ value of byteCount bytes, in stored order:
// each runs from the current position up to its NUL, taken while the
// position lies before the last unit (the list's final NUL). A last string
// that the data cuts before its NUL ends at the data's end.
std::vector<UnitSpan> registryMultiStringParts(const char16_t* data, size_t byteCount);

// Builds REG_MULTI_SZ data into out (capacity units): each string and its
// NUL, then the final NUL. Fails (returning false) on an empty string, which
// would end the list early, and on a string that would not leave room for
// its NUL and the final NUL. On success *byteCount is the data's size.
class MultiStringWriter {
public:
    MultiStringWriter(char16_t* out, size_t capacity) : out_(out), capacity_(capacity) {}
    bool append(const char16_t* text, size_t length);
    // The size in bytes with the final NUL written.
    size_t finish();

private:
    char16_t* out_;
    size_t capacity_;
    size_t used_ = 0;
};

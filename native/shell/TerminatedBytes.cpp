#include "native/shell/TerminatedBytes.h"

#include <cstring>

std::vector<char> terminatedCopy(const void* bytes, size_t length, size_t unitSize) {
    if (unitSize == 0) unitSize = 1;
    size_t wholeUnits = (length + unitSize - 1) / unitSize;
    std::vector<char> copy((wholeUnits + 1) * unitSize, 0);
    if (length > 0) memcpy(copy.data(), bytes, length);
    return copy;
}

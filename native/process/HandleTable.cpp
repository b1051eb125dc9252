#include "native/process/HandleTable.h"

#include <cstring>

namespace {

uint64_t read64(const uint8_t* at) {
    uint64_t value = 0;
    for (int i = 0; i < 8; ++i) value |= static_cast<uint64_t>(at[i]) << (8 * i);
    return value;
}

uint32_t read32(const uint8_t* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

// Offsets inside one extended entry.
const size_t kObjectOffset = 0;
const size_t kProcessIdOffset = 8;
const size_t kHandleValueOffset = 16;
const size_t kGrantedAccessOffset = 24;

}  // namespace

std::vector<HandleTableEntry> extendedHandlesOfProcess(const uint8_t* table, size_t bytes, uint64_t processId) {
    std::vector<HandleTableEntry> found;
    if (!table || bytes < kExtendedTableHeaderBytes) return found;
    uint64_t count = read64(table);
    uint64_t fitting = (bytes - kExtendedTableHeaderBytes) / kExtendedEntryBytes;
    if (count > fitting) count = fitting;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* entry = table + kExtendedTableHeaderBytes + i * kExtendedEntryBytes;
        if (read64(entry + kProcessIdOffset) != processId) continue;
        found.push_back({read64(entry + kHandleValueOffset), read32(entry + kGrantedAccessOffset),
                         read64(entry + kObjectOffset)});
    }
    return found;
}

bool handleValueFitsInt(uint64_t value) { return value <= 0x7FFFFFFFu; }

bool isFileTypeName(const char16_t* name, size_t byteLength) {
    static const char16_t kFile[] = {u'F', u'i', u'l', u'e'};
    return name && byteLength == sizeof kFile && memcmp(name, kFile, sizeof kFile) == 0;
}

// The system handle table as NtQuerySystemInformation returns it, read
// without Windows so that the layouts are unit-tested on the host.
//
// The classic table (class 16) holds each handle value in 16 bits: in a
// process with more than 16384 handles the values wrap and name other
// objects. The extended table (class 64) carries the full value and the full
// process id, so only it is read for the handle list.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

const uint32_t kExtendedHandleInformationClass = 64;
// x64 layout: count (8 bytes), reserved (8), then entries of 40 bytes.
const size_t kExtendedTableHeaderBytes = 16;
const size_t kExtendedEntryBytes = 40;

struct HandleTableEntry {
    uint64_t value;
    uint32_t grantedAccess;
    uint64_t object;  // the kernel object's address; 0 where the system does not tell
};

// The entries of the process, in table order, read only inside the first
// `bytes` bytes of the buffer (a count larger than the buffer holds is cut).
std::vector<HandleTableEntry> extendedHandlesOfProcess(const uint8_t* table, size_t bytes, uint64_t processId);

// A handle value as the Java side carries it (an int); false for a value
// that does not fit, which would name another handle once cut.
bool handleValueFitsInt(uint64_t value);

// True for the object type name "File" exactly (byteLength 8, case-sensitive).
bool isFileTypeName(const char16_t* name, size_t byteLength);

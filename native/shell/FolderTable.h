// Which shell folder a folder id of the Java side names, and the text of a
// universal name that could not be found. Free of Windows so that the table
// is unit-tested on the host.
#pragma once
#include <cstddef>
#include <cstdint>

// Added to every CSIDL so that a missing folder is created.
const int kCsidlFlagCreate = 0x8000;

// Ids above this select a known folder by identifier, the others a CSIDL.
const int kLastCsidlFolderId = 1000;

inline bool isKnownFolderId(int id) { return id > kLastCsidlFolderId; }

// The CSIDL (without kCsidlFlagCreate) of an id up to 1000: the per-user or
// the all-users column of the folder table, CSIDL_DESKTOP (0) for ids the
// table does not name.
int csidlOfFolderId(int id, bool common);

// A GUID laid out as Windows lays it out.
struct FolderGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

// The known folder of an id above 1000: Downloads (1001), UserProgramFiles
// (1002), UserProgramFilesCommon (1003), the user profile for the others.
const FolderGuid& knownFolderOfId(int id);

// ";" and the code in decimal, as "%d" prints it (so a code above INT_MAX
// shows as negative), with its NUL; false when it does not fit.
bool universalNameErrorText(uint32_t code, char16_t* out, size_t capacity);

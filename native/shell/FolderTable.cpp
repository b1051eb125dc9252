#include "native/shell/FolderTable.h"

namespace {

struct FolderRow {
    int id;
    int perUser;
    int allUsers;
};

// The CSIDLs by id; the all-users column repeats the per-user one where
// Windows has no all-users folder of that kind.
const FolderRow kFolderRows[] = {
    {1, 0x10, 0x19},  // desktop directory
    {2, 0x0B, 0x16},  // start menu
    {3, 0x02, 0x17},  // programs
    {4, 0x07, 0x18},  // startup
    {5, 0x09, 0x09},  // send to
    {6, 0x14, 0x14},  // fonts
    {7, 0x1A, 0x23},  // application data
    {8, 0x05, 0x2E},  // documents
    {9, 0x15, 0x2D},  // templates
    {10, 0x06, 0x1F}, // favorites
    {11, 0x1C, 0x1C}, // local application data
};

const int kCsidlDesktop = 0x00;

const FolderGuid kDownloads = {0x374DE290, 0x123F, 0x4565, {0x91, 0x64, 0x39, 0xC4, 0x92, 0x5E, 0x46, 0x7B}};
const FolderGuid kUserProgramFiles = {0x5CD7AEE2, 0x2219, 0x4A67, {0xB8, 0x5D, 0x6C, 0x9C, 0xE1, 0x56, 0x60, 0xCB}};
const FolderGuid kUserProgramFilesCommon = {0xBCBD3057, 0xCA5C, 0x4622, {0xB4, 0x2D, 0xBC, 0x56, 0xDB, 0x0A, 0xE5, 0x16}};
const FolderGuid kProfile = {0x5E6C858F, 0x0E22, 0x4760, {0x9A, 0xFE, 0xEA, 0x33, 0x17, 0xB6, 0x71, 0x73}};

}  // namespace

int csidlOfFolderId(int id, bool common) {
    for (const FolderRow& row : kFolderRows)
        if (row.id == id) return common ? row.allUsers : row.perUser;
    return kCsidlDesktop;
}

const FolderGuid& knownFolderOfId(int id) {
    switch (id) {
    case 1001: return kDownloads;
    case 1002: return kUserProgramFiles;
    case 1003: return kUserProgramFilesCommon;
    default: return kProfile;
    }
}

bool universalNameErrorText(uint32_t code, char16_t* out, size_t capacity) {
    int32_t value = static_cast<int32_t>(code);
    // Digits of the magnitude, least significant first; unsigned so that
    // INT_MIN has one.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    char16_t digits[10];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t needed = 1 + (value < 0 ? 1 : 0) + count + 1;
    if (needed > capacity) {
        if (capacity > 0) out[0] = 0;
        return false;
    }
    size_t at = 0;
    out[at++] = u';';
    if (value < 0) out[at++] = u'-';
    while (count > 0) out[at++] = digits[--count];
    out[at] = 0;
    return true;
}

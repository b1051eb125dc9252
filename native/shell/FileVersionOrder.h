// The order of two file versions, and the choice between the shell folder
// modules that it makes. Free of Windows so that it is unit-tested on the
// host.
#pragma once
#include <cstdint>

// The file version words of a fixed version block (dwFileVersionMS,
// dwFileVersionLS).
struct FileVersionWords {
    uint32_t mostSignificant;
    uint32_t leastSignificant;
};

// Results of comparing two files' versions.
enum FileVersionOrder {
    kVersionsEqual = 0,
    kFirstVersionHigher = 1,
    kSecondVersionHigher = 2,
    kVersionUnreadable = 3,
};

// Compares the words as unsigned numbers, most significant word first; a
// null argument stands for a version that could not be read and gives
// kVersionUnreadable.
int compareFileVersionWords(const FileVersionWords* first, const FileVersionWords* second);

// Whether the replacement folder module ("_shfoldr.dll") is tried before
// "shfolder.dll", for the comparison of the first against the second: when
// the replacement is newer, or when the versions cannot tell.
bool prefersReplacementFolderModule(int order);

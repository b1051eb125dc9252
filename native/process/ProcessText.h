// Texts of the process natives, free of Windows: the environment block and
// the executable paths of listed processes.
#pragma once
#include <cstddef>
#include <vector>

// A string inside a larger buffer: its first unit and its length.
struct TextSpan {
    size_t start;
    size_t length;
};

// The strings of an environment block (each NUL-terminated, the block ended
// by an empty string), in block order. The entries of the drive
// directories, whose names are empty ("=C:=C:\\dir"), are kept.
std::vector<TextSpan> environmentBlockEntries(const char16_t* block);

// True when the text ends in exactly ".tmp" (case-sensitive) and is longer
// than that: an installer's self-extracted copy, whose executable name the
// image-name query reports for a process started from a temporary file.
bool endsWithTemporarySuffix(const char16_t* text, size_t length);

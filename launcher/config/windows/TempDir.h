// The temporary directory, the per-run extraction directory and its
// clean-up.
#pragma once

// The narrow (ANSI code page) temporary directory, searched once and
// cached.  Stops the launcher with message 1015 when no candidate passes.
void findTempDirNarrow(char* buffer);  // 6000 bytes
// The wide temporary directory, searched once and cached.  When no
// candidate passes: message 1015 if `fatalWhenNone`, else an empty string.
void findTempDirWide(wchar_t* buffer, bool fatalWhenNone);  // 6000 characters

// The extraction directory of this run; empty until it exists.
const char* extractionDirectory();
void setExtractionDirectory(const char* path);

// Deletes the files of a directory and removes its subdirectories; with
// `recursive`, the files of each subdirectory first.  Paths that are empty
// or begin with "." are left alone.
void emptyDirectory(const char* path, bool recursive);

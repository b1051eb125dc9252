// Files and paths of the machine the packaging tool runs on.  Paths are
// UTF-8 strings on every host (converted to UTF-16 for Windows calls).
// Both "/" and "\" separate directories, so that a description written on
// one host reads the same on the other.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

bool readHostFile(const std::string& path, std::vector<uint8_t>& out, std::string& error);

// Writes the data to a temporary file beside `path` and renames it over
// `path` only when everything was written, so that a failure never leaves
// a half-written file behind (the temporary file is removed).
bool writeHostFileReplacing(const std::string& path, const std::vector<uint8_t>& data, std::string& error);

// Writes the text to an open stream (standard output) and flushes it;
// false unless all of it was written.
bool writeHostStream(std::FILE* stream, const std::string& text);

// Creates the directory and its missing parents; an existing directory is
// fine.
bool makeHostDirectories(const std::string& path, std::string& error);

bool isAbsoluteHostPath(const std::string& path);
// `relative` resolved against `base`; an absolute `relative` stays as it is.
// Backslashes become slashes except on Windows.
std::string joinHostPath(const std::string& base, const std::string& relative);
// The directory part of a path ("" for a bare file name).
std::string hostDirectoryOf(const std::string& path);
// A path that leads from directory `fromDir` to `target`, both taken
// relative to the current directory unless absolute.  Falls back to the
// absolute target when no relative path exists (another drive).
std::string relativeHostPath(const std::string& fromDir, const std::string& target);

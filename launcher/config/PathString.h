// Pure path-string rules shared by the narrow and wide path utilities.
// Defined for char and wchar_t.
#pragma once
#include <cstddef>
#include <string>

// Keeps the first two characters (the two backslashes of a UNC path), then
// drops every backslash that directly follows a kept backslash:
// C:\a\\b becomes C:\a\b, \\srv\\x becomes \\srv\x.  In place.
template <class Ch> void collapseBackslashes(Ch* path);

// Neither drive-rooted ("C:\") nor UNC ("\\"); a leading double quote is
// skipped.  Strings shorter than 3 characters are relative, and so is one
// shorter than 4 with its quote.  A forward slash counts as a separator
// in the root ("C:/x", "//srv/x" are absolute).
template <class Ch> bool isRelativePath(const Ch* path);

// At least 5 characters whose last four are ".exe", ignoring case.
template <class Ch> bool hasExeSuffix(const Ch* path);

// The part after the first character is exactly ":\", ":\." or ":\.\.".
template <class Ch> bool isDriveRoot(const Ch* path);

// Whether only FindFirstFile can say that the path exists: it holds "*" or
// "?" (a pattern exists when it matches something), or it ends in "\" or
// "/", which FindFirstFile does not find; any other path is the same test
// for a file's attributes.
template <class Ch> bool needsFindData(const Ch* path);

// Lower-cases A to Z in place.
template <class Ch> void lowerCaseAscii(Ch* text);

// The short path in what `cmd.exe /C for %I in ("...") do @echo %~sI`
// printed: the text up to the first line end, accepted only when the
// command exited with 0, printed at least 6 bytes, and the line holds no
// "?" (a character the console code page could not represent).
bool shortPathFromCmdOutput(const char* output, size_t count, unsigned long exitCode,
                            std::string& shortPath);

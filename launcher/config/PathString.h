// Pure path-string rules shared by the narrow and wide path utilities.
#pragma once
#include <cstddef>

// Keeps the first two characters (the two backslashes of a UNC path), then
// drops every backslash that directly follows a kept backslash:
// C:\a\\b becomes C:\a\b, \\srv\\x becomes \\srv\x.  In place.
template <class Ch> void collapseBackslashes(Ch* path);

// Neither drive-rooted ("C:\") nor UNC ("\\"); a leading double quote is
// skipped.  Strings shorter than 3 characters are relative, and so is one
// shorter than 4 with its quote.
template <class Ch> bool isRelativePath(const Ch* path);

// At least 5 characters whose last four are ".exe", ignoring case.
template <class Ch> bool hasExeSuffix(const Ch* path);

// The part after the first character is exactly ":\", ":\." or ":\.\.".
template <class Ch> bool isDriveRoot(const Ch* path);

// Lower-cases A to Z in place.
template <class Ch> void lowerCaseAscii(Ch* text);

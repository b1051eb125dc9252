// Path utilities of the launcher: its own paths in wide and narrow form,
// code-page conversion, resolving relative paths against the executable's
// directory, existence tests, and short (8.3) names through cmd.exe.
// All values are computed once and cached.
#pragma once
#include <cstdint>
#include <string>

// The executable's path: wide long form, and the narrow form chosen by the
// fallback chain (long, 8.3 short, cmd.exe short, GetShortPathNameA).
const wchar_t* executableLongPath();
const char* executableNarrowPath();
// The executable's directory with a trailing backslash: narrow, the narrow
// form widened, and from the long path.
const char* executableDirNarrow();
const wchar_t* executableDirWideFromNarrow();
const wchar_t* executableDirWideLong();

// Wide to narrow in the file-API code page (OEM when AreFileApisANSI is
// false).  `lossy` reports whether a character had to be replaced.
std::string narrowPath(const wchar_t* wide, bool* lossy = nullptr);
// The same in a given code page (CP_ACP and CP_OEMCP included); a text that
// UTF-8 or GB18030 cannot hold gives "" and is reported lossy.
std::string narrowPathInCodePage(unsigned codePage, const wchar_t* wide, bool* lossy = nullptr);
// Narrow to wide in the same code page.
std::wstring widenPath(const char* narrow);

// Collapses doubled backslashes after the first two characters, in place;
// the narrow variant leaves the text unchanged when narrowing back is lossy.
void collapseBackslashesNarrow(char* path);
// Lower-cases (A to Z) in place; the narrow variant keeps the input when
// narrowing back is lossy.
void lowerCasePathWide(wchar_t* path);
void lowerCasePathNarrow(char* path);

// Makes `path` absolute against the executable's directory (or, when
// `referenceFile` is given, against that file's directory) and collapses
// backslashes.  The wide variant uses the long directory when
// `useLongDirectory` is set, else the narrow one widened.  `size` counts
// characters; a result that does not fit leaves `out` empty (logged).
void resolvePathWide(const wchar_t* path, wchar_t* out, int size, bool useLongDirectory,
                     const wchar_t* referenceFile = nullptr);
void resolvePathNarrow(const char* path, char* out, int size, const char* referenceFile = nullptr);

// Resolve, then GetFullPathName, lower-case unless `keepCase`, collapse.
// A result that does not fit leaves `out` empty (logged).
void fullPathWide(const wchar_t* path, wchar_t* out, int size, bool keepCase, bool useLongDirectory);
void fullPathNarrow(const char* path, char* out, int size, bool keepCase);

// A drive root ("C:\", "C:\.", "C:\.\.") exists without a look-up; anything
// else when FindFirstFile finds it (asked as GetFileAttributes where that
// gives the same answer); a pattern with "*" or "?" exists when it matches
// something.  `lastWrite` receives the FILETIME of what was
// found (0 for a drive root or a missing path).  A path holding '<', '>'
// or '"' (no file name can) never exists.
bool pathExistsWide(const wchar_t* path, uint64_t* lastWrite = nullptr);
bool pathExistsNarrow(const char* path, uint64_t* lastWrite = nullptr);

// GetLongPathNameW of `path` into `longPath` (kBufferChars): the length of
// the long form, or 0 with the error when there is none.
unsigned long longPathName(const wchar_t* path, wchar_t* longPath);

// The narrow short path that cmd.exe prints for `path` (for %I in ("path")
// do @echo %~sI); false when that fails.  Paths holding a double quote or
// "%" are refused: cmd.exe would run or expand parts of them.
bool shortPathViaCmd(const wchar_t* path, std::string& shortPath);

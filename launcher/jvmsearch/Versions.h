// Java version strings as integer vectors: parsing, the configured minimum
// and maximum, the pre-release rule and "which of two is newer".  Used for
// versions that java.exe reports (or the version cache holds) and for the
// names of JavaSoft registry keys.
#pragma once
#include <cstdint>
#include <vector>

// The components of a version string in order: 1.8.0_301 gives [1, 8, 0, 301].
using VersionVector = std::vector<int32_t>;

// Splits at every run of '.', '_', '-', '+' (no empty components); each
// component is read like strtol in base 10 (leading blanks skipped, digits
// up to the first non-digit, 0 without digits, saturating at 2147483647).
// Null or empty text gives an empty vector.
VersionVector parseVersion(const char* text);

// True when `candidate` lies on the allowed side of `limit` (both limits
// are inclusive).  Only the limit's components are compared; an empty
// limit passes everything.  A candidate shorter than the limit passes at
// its end with `acceptShorter`, otherwise its missing components count 0.
bool checkVersionLimit(const VersionVector& limit, const VersionVector& candidate, bool isMaximum,
                       bool acceptShorter);

// Judges a full version that a java.exe reported.  Unless skipped, or
// allowed by configuration key 130, a version containing "beta", "ea" or
// "rc" is rejected ("beta vm not allowed").  Missing components count 0.
bool matchJavaVersion(const char* version, const VersionVector& minimum, const VersionVector& maximum,
                      bool skipPreReleaseTest);

// Judges a registry key name such as "1.8": no pre-release test, and a
// name shorter than a limit passes (the runtime is judged in full later).
bool matchKeyVersion(const char* version, const VersionVector& minimum, const VersionVector& maximum);

// True when `a` is strictly newer than `b`, component by component; a
// version that continues where the other ends is newer (1.8.0 > 1.8).
bool isNewerVersion(const char* a, const char* b);

// From a Java home to a usable java.exe: deriving the executable's path,
// learning its version (from the per-user version cache, or by running
// `java.exe -version`) and judging that version.
//
// The version cache: one key per executable below HKEY_CURRENT_USER,
// SOFTWARE\brightmoor\lorix\jvms\<lower-cased full path with "/" for "\">,
// with the values LastWriteTime (REG_BINARY, the executable's FILETIME)
// and Version (REG_SZ).  An entry counts only while the file's last-write
// time is unchanged.
#pragma once
#include <cstdint>

#include "launcher/jvmsearch/Versions.h"

// How long a probe may run before it is ended, in milliseconds: 60 s.
// Process-wide so that a test program linking the probing code can
// shorten it; nothing in the launcher changes it.
extern uint32_t g_probeLimitMillis;

// The java.exe of a Java home, into `javaExe` (6000 bytes):
// home\jre\bin\java.exe when it exists, else home\bin\java.exe.  With
// configuration key 131 (a JDK is required) only home\jre\bin\java.exe,
// and only when home\lib\tools.jar exists.  False when no path can be
// given.
bool deriveJavaExe(const char* home, char* javaExe);

// True when the runtime of `javaExe` (a 6000-byte buffer, rewritten to its
// lower-cased full path, and to javaw.exe for configuration key 107 = 1)
// is usable: it exists, its version (into `version`, `versionSize` bytes)
// passes matchJavaVersion, and for key 107 = 1 its javaw.exe exists.
bool checkJavaExe(char* javaExe, char* version, int versionSize, const VersionVector& minimum,
                  const VersionVector& maximum, bool skipPreReleaseTest, bool useCache);

// The version cache: a usable entry for the path and last-write time into
// `version` (a value that does not fit `versionSize` is a miss), and
// storing an entry.  Registry failures only lose the cache's benefit.
bool lookupCachedVersion(const char* javaExe, uint64_t lastWrite, char* version, int versionSize);
void storeCachedVersion(const char* javaExe, uint64_t lastWrite, const char* version);

// Within one launch each executable is probed once (per last-write time);
// later checks reuse the version, failure or time-out.  A test program
// that plays several launches forgets them in between.
void forgetProbeResults();

// Text rules of the JVM discovery that need no Windows: the first line
// that `java.exe -version` prints, the version cache's key names and
// values, and the paths derived from an accepted java.exe.
#pragma once
#include <cstddef>
#include <string>

// The buffer in which the JVM search keeps a version string.
constexpr int kVersionChars = 2000;

// The cache value that records a probe ending with a non-zero exit code.
extern const char kFailedProbeVersion[];  // "1.0.0"

// The version inside the first line of `java.exe -version`:
//   java version "1.8.0_301"                 gives 1.8.0_301
//   openjdk version "11.0.2" 2019-01-15      gives 11.0.2
// False for any other line, and for a line without the closing quote.
bool versionFromFirstLine(const char* line, std::string& version);

// The notices a Java launcher prints before its version when it takes
// options from the environment, such as
//   Picked up JAVA_TOOL_OPTIONS: -Xmx1g
//   NOTE: Picked up JDK_JAVA_OPTIONS: --add-opens=...
// The probe reads past them to the version line.
bool isOptionsNotice(const char* line);

// The command line of a version probe: "<path> -version", the path quoted
// when it holds a blank (unquoted, CreateProcess would try c:\program.exe
// for c:\program files\java\bin\java.exe).
std::string versionCommandLine(const char* javaExe);

// Cached values that older launchers wrote for unusable runtimes and that
// count as a cache miss: exactly "1.7.", "1.6." or "1.5.".
bool isStaleCachedVersion(const char* version);

// The version cache key of a lower-cased full java.exe path, relative to
// HKEY_CURRENT_USER: c:\jre\bin\java.exe gives
// SOFTWARE\brightmoor\lorix\jvms\c:/jre/bin/java.exe.
std::string versionCacheKey(const char* javaExe);

// A located-runtime key name back to its java.exe path: every "/" becomes "\".
std::string slashesToBackslashes(const char* text);

// C:\app\jre\bin\java.exe gives C:\app\jre\bin\.. (the published JVM home).
std::string javaHomeOfJavaExe(const char* javaExe);

// C:\app\jre\bin\java.exe gives C:\app\jre\bin (no trailing backslash).
std::string binDirectoryOf(const char* javaExe);

// C:\jdk\bin\java.exe gives C:\jdk\bin\..\jre\bin\java.exe: the runtime
// inside a JDK.
std::string jreBinVariantOf(const char* javaExe);

// c:\jre\bin\java.exe gives c:\jre\bin\javaw.exe: the last four characters
// (".exe") become "w.exe".  Text shorter than four characters is returned
// unchanged.
std::string javawNameOf(const char* javaExe);

// The pure rules of VM option assembly: entry lists, the module options,
// joining two-token module options, the locale argument, the instance
// name.  The Windows side (windows/VmOptions.cpp) feeds them real values.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One entry of a class-path or module-path list (keys 121 and 132): a type
// letter, a flag character ("1" = required) and a name.
struct PathEntry {
    char type = 0;  // 'A'/'D' path, 'E' environment variable, 'S' directory
    bool required = false;
    std::string name;  // as configured, variables not yet expanded
};

// Splits at ";", skipping empty pieces; entries shorter than two
// characters have an empty name.
std::vector<PathEntry> parsePathEntries(const std::string& list);

// True when the JVM's version string starts with the prefix (an empty
// prefix matches every version).
bool versionPrefixMatches(const std::string& version, const std::string& prefix);

// Drops one trailing ";" when there is one.
std::string withoutTrailingSemicolon(std::string text);

// The module options for a non-empty module path: "--module-path=...",
// in module mode with "module/pkg.Class" an "--add-opens=module/pkg=RUNTIME",
// and "--add-modules=[module,]RUNTIME".
std::vector<std::string> moduleOptions(const std::string& modulePath, bool moduleMode, const std::string& mainClass,
                                       const std::string& runtimeModule);

// Joins "--add-modules" (and the other two-token module flags) with the
// option after it into "--add-modules=value"; a flag in last position stays.
void joinModuleOptions(std::vector<std::string>& options);

// True when some option is exactly `option`.
bool hasOption(const std::vector<std::string>& options, const std::string& option);

// The option lines that the locale argument of the command line adds: the
// last "-Dsun.locale.formatasdefault=" argument itself, and unless it is
// "...=true", "-Duser.language=" and "-Duser.country=" for the values that
// exist (null or empty: not added).  Empty without such an argument.
std::vector<std::wstring> localeOptionLines(const std::vector<std::wstring>& arguments, const char* language,
                                            const char* country);

// "-J" arguments' remainders, when -J arguments are VM options.
std::vector<std::wstring> jArgumentOptionLines(const std::vector<std::wstring>& arguments);

// "Local\" or "Global\" followed by the full, lower-cased path with every
// backslash and blank replaced by "_".
std::string instanceBaseName(const std::string& fullLowerPath, bool global);

// The identity of an options file for the include-cycle guard: the volume's
// serial number and the file's 64-bit index, which are the same for every
// spelling of its path. Empty where the file system gives no unique index
// (0, or all ones, which are to be ignored), so that the caller falls back
// to the path rather than take two such files for one.
std::wstring fileIndexIdentity(uint32_t volumeSerial, uint32_t indexHigh, uint32_t indexLow);

// The configured JVM search sequence (configuration key 128) and the rules
// of the search that are plain data: entry parsing, which entries the
// fallback pass retries, which message a failed search shows, and the
// order in which JavaSoft version keys are probed.
#pragma once
#include <string>
#include <vector>

#include "launcher/jvmsearch/Versions.h"

// Where the accepted (or last tried) runtime came from.
enum class JvmSourceKind { None = 0, PathSearch = 1, Location = 2, Environment = 3, Registry = 4 };

// One entry: a type letter and the rest of the entry as its value.
//   A, B, R  a Java home directory, relative to the launcher or absolute
//   E        the name of an environment variable holding a Java home
//   S        java.exe found by the system's file search
//   Y        the registry and located-runtime lookup
struct SearchEntry {
    char type;
    std::string value;
};

// "B..\jre;Y;EJAVA_HOME;;" gives B "..\jre", Y "", E "JAVA_HOME": split
// at ";", runs of ";" giving no empty entries.
std::vector<SearchEntry> parseSearchSequence(const char* sequence);

// Splits at `separator`, dropping empty items ("a;;b;" gives a, b).
std::vector<std::string> splitList(const char* text, char separator);

// At least two characters, and a ':' second or two leading backslashes.
bool isAbsoluteLocation(const std::string& value);

// The fallback pass retries application-local runtimes: B entries, and A
// or R entries whose value is not absolute.
bool qualifiesForFallback(const SearchEntry& entry);

// The message a failed search shows for the stored source kind, and what
// goes in place of {0}.
enum class MessageArgument { None, SixtyFour, LocationText };
struct FailureMessage {
    int messageId;
    MessageArgument argument;
};
FailureMessage failureMessageFor(JvmSourceKind kind);

// JavaSoft version subkey names in the order they are probed: those that
// pass matchKeyVersion, sorted byte-wise and taken from the last to the
// first (so 1.8.0_91 comes before 1.8.0_301, and 9.0.4 before 11.0.2).
std::vector<std::string> versionKeysInProbeOrder(std::vector<std::string> names, const VersionVector& minimum,
                                                 const VersionVector& maximum);

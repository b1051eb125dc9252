// The configuration keys and message ids that the launcher reads, with a
// short meaning for each key, and the checks of values whose form the
// launcher relies on.  An id outside these tables is kept in the block
// (the launcher stores it and never looks at it) but earns a warning,
// since it is usually a typing mistake.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/config/ConfigBlock.h"

bool isKnownConfigKey(int32_t id);
bool isKnownMessageId(int32_t id);

// A few words on what the key means ("service name"); empty for unknown keys.
std::string configKeyMeaning(int32_t id);

// The readable name of a key ("main-class", "version-prefix-0"), which a
// description may write instead of the number; empty for keys without one.
std::string configKeyName(int32_t id);
// The key of a readable name; false for an unknown name.
bool configKeyOfName(const std::string& name, int32_t& id);

// Problems with the form of one value that the launcher would read
// differently from what was probably meant: a number that is not a number,
// a search-sequence entry of unknown type, a version that reads as 0 and
// the like.  Each problem is one sentence without a file or line.
std::vector<std::string> checkConfigValue(int32_t id, const std::string& value);

// Problems between keys: a minimum Java version above the maximum, a count
// of version-specific entries whose keys are missing.  Each problem names
// the entry of `config` it concerns, so that it can be reported at that
// entry's line.  Only the last entry of an id counts, as in the launcher.
struct KeyProblem {
    size_t entry;  // index into block.config
    std::string text;
};
std::vector<KeyProblem> checkConfigKeys(const std::vector<ConfigEntry>& config);

// The integer the launcher reads from a value: base 10 with strtol rules
// (leading white space and a sign accepted, digits up to the first other
// character, none gives 0), saturated to 32 bits.
int32_t launcherInt(const std::string& value);

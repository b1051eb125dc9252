#include "tools/pack/KnownKeys.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <map>

namespace {

// How the launcher reads a value, as far as a check can tell it apart.
enum class Form {
    Text,            // any bytes
    Integer,         // strtol, base 10
    Version,         // components separated by . _ - +
    SearchSequence,  // type letter and value, entries separated by ;
    EntryList,       // type letter, flag, name; entries separated by ;
    Colour,          // red,green,blue
};

struct KnownKey {
    int32_t id;
    const char* name;  // the readable name a description may use instead of the number
    Form form;
    const char* meaning;
};

const KnownKey kKnownKeys[] = {
    {101, "service-name", Form::Text, "service name and display name"},
    {102, "error-redirect", Form::Integer, "non-zero: standard error goes to the file of key 103"},
    {103, "error-file", Form::Text, "error-output file"},
    {104, "output-redirect", Form::Integer, "non-zero: standard output goes to the file of key 105"},
    {105, "output-file", Form::Text, "standard-output file"},
    {106, "launcher-flag", Form::Integer, "flag handed to the launcher class"},
    {107, "executable-type", Form::Integer, "executable type: 1 GUI, 4 service, 5 errors in message boxes"},
    {108, "splash-settings", Form::Integer, "non-zero: hand the splash text settings to the Java side"},
    {121, "class-path", Form::EntryList, "class path entry list"},
    {122, "main-class", Form::Text, "main class"},
    {123, "vm-options", Form::Text, "VM options"},
    {124, "arguments", Form::Text, "fixed arguments of the main method"},
    {125, "j-arguments", Form::Integer, "non-zero: -J arguments become VM options"},
    {126, "min-java-version", Form::Version, "minimum Java version (empty: no limit)"},
    {127, "max-java-version", Form::Version, "maximum Java version (empty: no limit)"},
    {128, "jvm-search", Form::SearchSequence, "JVM search sequence"},
    {130, "allow-pre-release", Form::Integer, "non-zero: pre-release runtimes are allowed"},
    {131, "jdk-required", Form::Integer, "non-zero: a JDK is required"},
    {132, "module-path", Form::EntryList, "module path entry list"},
    {133, "module-mode", Form::Integer, "non-zero: module mode"},
    {146, "working-directory", Form::Text, "working directory (empty: unchanged)"},
    {149, "service-dependencies", Form::Text, "service dependencies, comma-separated"},
    {152, "jvm-subdirectory", Form::Text, "preferred JVM subdirectory of the runtime's bin directory"},
    {154, "dll-directories", Form::Integer, "non-zero: register DLL directories"},
    {158, "global-instance", Form::Integer, "non-zero: single-instance name in the global name space"},
    {160, "application-id", Form::Text, "application id of earlier installations"},
    {163, "splash-flag", Form::Integer, "flag handed to the splash settings call"},
    {165, "located-runtimes-only", Form::Integer, "non-zero: registry search accepts only located runtimes"},
    {166, "default-options-file", Form::Integer, "non-zero: read the default VM options file"},
    {2001, "flavour", Form::Text, "launcher flavour: first character i = tavra"},
    {2002, "file-count", Form::Integer, "number of embedded files"},
    {2003, "file-names", Form::Text, "embedded file names, separated by ;"},
    {10003, "application-directory", Form::Text, "application directory"},
    {10004, "native-library-directories", Form::Text, "native library directories, separated by ;"},
    {10005, "single-instance", Form::Integer, "non-zero: single-instance mode"},
    {10007, "to-front", Form::Integer, "non-zero: a second start brings the running instance to the front"},
    {10109, "splash1-x", Form::Integer, "splash line 1: position x"},
    {10110, "splash1-y", Form::Integer, "splash line 1: position y"},
    {10111, "splash1-text", Form::Text, "splash line 1: text"},
    {10113, "splash1-colour-value", Form::Integer, "splash line 1: first number of its colour"},
    {10114, "splash1-colour", Form::Colour, "splash line 1: colour red,green,blue"},
    {10115, "splash1-colour-value2", Form::Integer, "splash line 1: second number of its colour"},
    {10116, "splash2-x", Form::Integer, "splash line 2: position x"},
    {10117, "splash2-y", Form::Integer, "splash line 2: position y"},
    {10118, "splash2-text", Form::Text, "splash line 2: text"},
    {10120, "splash2-colour-value", Form::Integer, "splash line 2: first number of its colour"},
    {10121, "splash2-colour", Form::Colour, "splash line 2: colour red,green,blue"},
    {10122, "splash2-colour-value2", Form::Integer, "splash line 2: second number of its colour"},
    {10200, "version-options-count", Form::Integer, "number of version-specific VM option entries"},
};

constexpr int32_t kVersionEntriesCount = 10200;
constexpr int32_t kFirstVersionEntry = 10201;
constexpr int32_t kLastVersionEntry = 10399;
constexpr int32_t kMinimumVersion = 126;
constexpr int32_t kMaximumVersion = 127;

// Values the launcher reads into buffers smaller than its usual 6000 bytes,
// with the characters it keeps of them.
struct ReadLimit {
    int32_t id;
    size_t chars;
};
const ReadLimit kReadLimits[] = {
    {124, 2000},    // the fixed main arguments
    {152, 199},     // the preferred JVM subdirectory
    {10003, 4000},  // the application directory, where the helper DLL is looked for
    {10111, 1999}, {10114, 1999}, {10118, 1999}, {10121, 1999},  // the splash texts and colours
};
constexpr size_t kValueBufferBytes = 6000;

const KnownKey* findKnownKey(int32_t id) {
    for (const KnownKey& k : kKnownKeys)
        if (k.id == id) return &k;
    return nullptr;
}

bool isVersionEntryKey(int32_t id) { return id >= kFirstVersionEntry && id <= kLastVersionEntry; }

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::vector<std::string> splitSkippingEmpty(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True when the value is exactly an optional sign and digits behind
// optional white space, which strtol reads completely.
bool isWholeInteger(const std::string& value) {
    size_t i = 0;
    while (i < value.size() && isSpace(value[i])) ++i;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) ++i;
    size_t digits = i;
    while (i < value.size() && isDigit(value[i])) ++i;
    return i > digits && i == value.size();
}

void checkInteger(int32_t id, const std::string& value, std::vector<std::string>& problems) {
    if (value.empty()) return;
    const std::string reads = std::to_string(launcherInt(value));
    if (!isWholeInteger(value)) {
        problems.push_back("key " + std::to_string(id) + " is read as a number, and " + quoted(value) +
                           " reads as " + reads);
        return;
    }
    long long full = std::strtoll(value.c_str(), nullptr, 10);
    if (full > INT32_MAX || full < INT32_MIN)
        problems.push_back("key " + std::to_string(id) + " is read as a 32-bit number, and " + quoted(value) +
                           " reads as " + reads);
}

// The components of a version as the JVM search reads them.
std::vector<long> versionComponents(const std::string& version) {
    std::vector<long> out;
    std::string text = version;
    for (char& c : text)
        if (c == '.' || c == '_' || c == '-' || c == '+') c = '.';
    for (const std::string& token : splitSkippingEmpty(text, '.')) {
        long long v = std::strtoll(token.c_str(), nullptr, 10);
        out.push_back(v > INT32_MAX ? INT32_MAX : static_cast<long>(v));
    }
    return out;
}

void checkVersion(int32_t id, const std::string& value, std::vector<std::string>& problems) {
    std::string text = value;
    for (char& c : text)
        if (c == '.' || c == '_' || c == '-' || c == '+') c = '.';
    for (const std::string& token : splitSkippingEmpty(text, '.')) {
        size_t i = 0;
        while (i < token.size() && isSpace(token[i])) ++i;
        if (i == token.size() || !isDigit(token[i])) {
            problems.push_back("key " + std::to_string(id) + " is a Java version, and its component " +
                               quoted(token) + " reads as 0");
            return;
        }
    }
}

void checkSearchSequence(int32_t id, const std::string& value, std::vector<std::string>& problems) {
    for (const std::string& entry : splitSkippingEmpty(value, ';')) {
        const char type = entry[0];
        const std::string where = "key " + std::to_string(id) + ": search entry " + quoted(entry);
        if (std::string("ABRESY").find(type) == std::string::npos)
            problems.push_back(where + " has no known type (A, B, R, E, S or Y) and is skipped");
        else if (entry.size() == 1 && type != 'S' && type != 'Y')
            problems.push_back(where + (type == 'E' ? " names no environment variable" : " names no directory"));
    }
}

void checkEntryList(int32_t id, const std::string& value, std::vector<std::string>& problems) {
    for (const std::string& entry : splitSkippingEmpty(value, ';')) {
        const std::string where = "key " + std::to_string(id) + ": entry " + quoted(entry);
        if (std::string("ADES").find(entry[0]) == std::string::npos)
            problems.push_back(where + " has no known type (A, D, E or S) and adds nothing");
        else if (entry.size() < 3)
            problems.push_back(where + " has no name (type letter, flag character, then the name)");
    }
}

void checkColour(int32_t id, const std::string& value, std::vector<std::string>& problems) {
    if (value.empty()) return;
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t comma = value.find(',', start);
        parts.push_back(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    bool good = parts.size() == 3;
    for (const std::string& p : parts) good = good && isWholeInteger(p);
    if (!good)
        problems.push_back("key " + std::to_string(id) + " is a colour of three numbers red,green,blue, not " +
                           quoted(value));
}

// Only the last entry of an id counts, as in the launcher's table.
std::map<int32_t, size_t> lastEntries(const std::vector<ConfigEntry>& config) {
    std::map<int32_t, size_t> last;
    for (size_t i = 0; i < config.size(); ++i) last[config[i].id] = i;
    return last;
}

// True when no version can pass both limits: at the first component where
// they differ, the minimum is larger.  Components beyond the shorter limit
// are never compared with each other.
bool versionLimitsExclude(const std::vector<long>& minimum, const std::vector<long>& maximum) {
    for (size_t i = 0; i < minimum.size() && i < maximum.size(); ++i) {
        if (minimum[i] != maximum[i]) return minimum[i] > maximum[i];
    }
    return false;
}

void checkVersionLimits(const std::vector<ConfigEntry>& config, const std::map<int32_t, size_t>& last,
                        std::vector<KeyProblem>& problems) {
    auto minIt = last.find(kMinimumVersion), maxIt = last.find(kMaximumVersion);
    if (minIt == last.end() || maxIt == last.end()) return;
    const std::string& minimum = config[minIt->second].value;
    const std::string& maximum = config[maxIt->second].value;
    if (minimum.empty() || maximum.empty()) return;
    if (versionLimitsExclude(versionComponents(minimum), versionComponents(maximum)))
        problems.push_back({std::max(minIt->second, maxIt->second),
                            "the minimum Java version " + quoted(minimum) + " (key 126) is above the maximum " +
                                quoted(maximum) + " (key 127): no runtime can match"});
}

void checkVersionEntries(const std::vector<ConfigEntry>& config, const std::map<int32_t, size_t>& last,
                         std::vector<KeyProblem>& problems) {
    auto countIt = last.find(kVersionEntriesCount);
    if (countIt == last.end()) return;
    const int32_t count = launcherInt(config[countIt->second].value);
    for (int32_t i = 0; i < count; ++i) {
        for (int32_t id : {kFirstVersionEntry + 2 * i, kFirstVersionEntry + 2 * i + 1}) {
            if (last.count(id)) continue;
            problems.push_back({countIt->second, "key 10200 announces " + std::to_string(count) +
                                                     " version-specific entries, but key " + std::to_string(id) +
                                                     " is missing"});
            return;  // one report is enough; the rest would repeat it
        }
    }
}

}  // namespace

bool isKnownConfigKey(int32_t id) {
    // Message ids count too: a message that is absent or empty is looked up
    // as a configuration value of the same id.
    return findKnownKey(id) || isVersionEntryKey(id) || isKnownMessageId(id);
}

bool isKnownMessageId(int32_t id) { return (id >= 1000 && id <= 1020) || id == 20017; }

std::string configKeyMeaning(int32_t id) {
    if (const KnownKey* k = findKnownKey(id)) return k->meaning;
    if (isVersionEntryKey(id)) {
        const int32_t index = (id - kFirstVersionEntry) / 2;
        return "version-specific entry " + std::to_string(index) +
               ((id - kFirstVersionEntry) % 2 == 0 ? ": version prefix" : ": VM options");
    }
    if (isKnownMessageId(id)) return "text of message " + std::to_string(id) + " when the message is empty";
    return std::string();
}

std::string configKeyName(int32_t id) {
    if (const KnownKey* k = findKnownKey(id)) return k->name;
    if (isVersionEntryKey(id)) {
        const int32_t index = (id - kFirstVersionEntry) / 2;
        return ((id - kFirstVersionEntry) % 2 == 0 ? "version-prefix-" : "version-options-") + std::to_string(index);
    }
    return std::string();
}

bool configKeyOfName(const std::string& name, int32_t& id) {
    for (const KnownKey& k : kKnownKeys) {
        if (name == k.name) {
            id = k.id;
            return true;
        }
    }
    // version-prefix-N and version-options-N, N written without leading zeros.
    for (int32_t offset : {0, 1}) {
        const std::string stem = offset == 0 ? "version-prefix-" : "version-options-";
        if (name.compare(0, stem.size(), stem) != 0) continue;
        const std::string number = name.substr(stem.size());
        if (number.empty() || number.size() > 3 || (number.size() > 1 && number[0] == '0')) return false;
        for (char c : number)
            if (!isDigit(c)) return false;
        const int32_t candidate = kFirstVersionEntry + 2 * std::atoi(number.c_str()) + offset;
        if (!isVersionEntryKey(candidate)) return false;
        id = candidate;
        return true;
    }
    return false;
}

std::vector<std::string> checkConfigValue(int32_t id, const std::string& value) {
    std::vector<std::string> problems;
    const KnownKey* key = findKnownKey(id);
    if (!key) return problems;
    switch (key->form) {
    case Form::Text: break;
    case Form::Integer: checkInteger(id, value, problems); break;
    case Form::Version: checkVersion(id, value, problems); break;
    case Form::SearchSequence: checkSearchSequence(id, value, problems); break;
    case Form::EntryList: checkEntryList(id, value, problems); break;
    case Form::Colour: checkColour(id, value, problems); break;
    }
    for (const ReadLimit& limit : kReadLimits)
        if (limit.id == id && value.size() > limit.chars)
            problems.push_back("key " + std::to_string(id) + " is read up to " + std::to_string(limit.chars) +
                               " characters; " + std::to_string(value.size() - limit.chars) + " are lost");
    return problems;
}

std::vector<KeyProblem> checkConfigKeys(const std::vector<ConfigEntry>& config) {
    std::vector<KeyProblem> problems;
    const std::map<int32_t, size_t> last = lastEntries(config);
    checkVersionLimits(config, last, problems);
    checkVersionEntries(config, last, problems);
    return problems;
}

int32_t launcherInt(const std::string& value) {
    // The launcher reads through a buffer of 6000 bytes, and strtol stops at
    // a NUL byte.
    const std::string cut = value.substr(0, kValueBufferBytes - 1);
    long long v = std::strtoll(cut.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(v);
}

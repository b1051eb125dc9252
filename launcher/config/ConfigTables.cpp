#include "launcher/config/ConfigTables.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <utility>
#include <vector>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/Log.h"

namespace {

// An id-keyed table kept sorted by id; storing an id again replaces its
// value.  A few hundred entries at most, filled once.
template <class Text>
class IdTable {
public:
    void clear() { entries_.clear(); }
    void store(int32_t id, Text value) {
        auto at = lowerBound(entries_, id);
        if (at != entries_.end() && at->first == id)
            at->second = std::move(value);
        else
            entries_.insert(at, {id, std::move(value)});
    }
    const Text* find(int32_t id) const {
        auto at = lowerBound(entries_, id);
        return at != entries_.end() && at->first == id ? &at->second : nullptr;
    }

private:
    using Entry = std::pair<int32_t, Text>;
    template <class Entries>
    static auto lowerBound(Entries& entries, int32_t id) {
        return std::lower_bound(entries.begin(), entries.end(), id,
                                [](const Entry& e, int32_t key) { return e.first < key; });
    }
    std::vector<Entry> entries_;
};

IdTable<std::string> g_config;
IdTable<std::wstring> g_messages;
bool g_messageBox = true;
char g_flavour = 0;

// Message texts are UTF-16 code units; wchar_t holds one unit each (on
// Windows it is UTF-16 itself).
std::wstring toWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

void storeMessages(const std::vector<MessageEntry>& messages) {
    for (const MessageEntry& m : messages) g_messages.store(m.id, toWide(m.text));
}

template <class Ch>
int copyCut(const Ch* text, size_t length, Ch* buffer, int size) {
    if (size <= 0) return 0;
    size_t n = length < static_cast<size_t>(size - 1) ? length : static_cast<size_t>(size - 1);
    for (size_t i = 0; i < n; ++i) buffer[i] = text[i];
    buffer[n] = 0;
    return static_cast<int>(n);
}

const std::string* findConfig(int32_t id) {
    return g_config.find(id);
}

// Both forms cut a value that does not fit and say so in the log.
void logWhenCut(int32_t id, int size, size_t length) {
    if (length >= static_cast<size_t>(size))
        logLine(L"ERROR: config string %d truncated (%d %d)", static_cast<int>(id), size, static_cast<int>(length));
}

}  // namespace

void storeConfigurationTables(const BlockData& block, const char* localeName) {
    g_config.clear();
    g_messages.clear();
    for (const ConfigEntry& e : block.config) g_config.store(e.id, e.value);
    storeMessages(block.messages);
    for (const LanguageGroup& g : block.groups)
        if (languageGroupMatches(g.prefix, localeName)) storeMessages(g.messages);
}

void applyConfigurationBlock(const BlockData& block, const char* localeName) {
    storeConfigurationTables(block, localeName);
    int type = configInt(kExecutableTypeKey);
    if (type != 1 && type != 5) g_messageBox = false;
}

int configString(int32_t id, char* buffer, int size) {
    const std::string* value = findConfig(id);
    if (!value) return copyCut("", 0, buffer, size);
    logWhenCut(id, size, value->size());
    return copyCut(value->c_str(), value->size(), buffer, size);
}

int configWideString(int32_t id, wchar_t* buffer, int size) {
    const std::string* value = findConfig(id);
    if (!value) return copyCut(L"", 0, buffer, size);
    std::wstring wide;
    wide.reserve(value->size());
    for (unsigned char c : *value) wide.push_back(static_cast<wchar_t>(c));
    logWhenCut(id, size, wide.size());
    return copyCut(wide.c_str(), wide.size(), buffer, size);
}

int configInt(int32_t id) {
    char buffer[kBufferChars];
    configString(id, buffer, sizeof buffer);
    // strtol of a 32-bit long: out-of-range values saturate.
    long long value = std::strtoll(buffer, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int>(value);
}

std::string configStringCopy(int32_t id) {
    const std::string* value = findConfig(id);
    return value ? *value : std::string();
}

int messageText(int32_t id, wchar_t* buffer, int size) {
    const std::wstring* text = g_messages.find(id);
    if (!text) return copyCut(L"", 0, buffer, size);
    return copyCut(text->c_str(), text->size(), buffer, size);
}

int messageOrConfigText(int32_t id, wchar_t* buffer, int size) {
    int length = messageText(id, buffer, size);
    return length ? length : configWideString(id, buffer, size);
}

bool messageBoxFlag() { return g_messageBox; }
void setMessageBoxFlag(bool on) { g_messageBox = on; }

void readLauncherFlavour() {
    char first[2];
    configString(kFlavourKey, first, sizeof first);
    g_flavour = first[0];
}

bool isTavraFlavour() { return g_flavour == 'i'; }

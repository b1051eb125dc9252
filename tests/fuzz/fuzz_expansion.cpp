// Variable expansion of arbitrary text with an arbitrary environment and
// buffer size: no crash, no write past the buffer, the result terminated
// inside it, and a text without "${" or "%" left as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/config/Expansion.h"

namespace {

class FuzzSource : public VariableSource<char> {
public:
    std::string values[5];
    std::string block;  // entries NUL-terminated, then an empty one

    std::string value(VariableValue which) override { return values[static_cast<int>(which)]; }
    const char* environmentBlock() override { return block.c_str(); }
};

// Splits the input at 0x01 bytes: capacity byte, five values, the
// environment entries (at 0x02), and the text.
std::vector<std::string> fields(const std::string& data, char separator) {
    std::vector<std::string> out(1);
    for (char c : data) {
        if (c == separator)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t capacity = 1 + data[0] * 24;  // 1 to 6121 bytes
    std::vector<std::string> parts = fields(std::string(reinterpret_cast<const char*>(data) + 1, size - 1), '\x01');
    FuzzSource source;
    for (int i = 0; i < 5 && i + 1 < static_cast<int>(parts.size()); ++i) source.values[i] = parts[i + 1];
    if (parts.size() > 6)
        for (const std::string& entry : fields(parts[6], '\x02'))
            if (!entry.empty() && entry.find('\0') == std::string::npos) source.block += entry + '\0';
    source.block += '\0';
    std::string text = parts.size() > 7 ? parts[7] : parts[0];
    text = text.substr(0, std::strlen(text.c_str()));
    if (text.size() >= capacity) text.resize(capacity - 1);

    // A buffer with a guard zone behind it that must stay untouched.
    constexpr size_t kGuard = 64;
    std::vector<char> buffer(capacity + kGuard, '\x5A');
    std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
    expandVariables(buffer.data(), capacity, source);
    for (size_t i = capacity; i < buffer.size(); ++i)
        if (buffer[i] != '\x5A') abort();
    if (std::memchr(buffer.data(), 0, capacity) == nullptr) abort();
    if (text.find("${") == std::string::npos && text.find('%') == std::string::npos && std::strcmp(buffer.data(), text.c_str()) != 0) abort();
    return 0;
}

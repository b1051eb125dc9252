#include "launcher/launch/OptionLines.h"

namespace {

struct Directive {
    const wchar_t* prefix;
    OptionLineKind kind;
};

const Directive kDirectives[] = {
    {L"-include-options ", OptionLineKind::IncludeOptions},
    {L"-classpath ", OptionLineKind::ClassPath},
    {L"-classpath/p ", OptionLineKind::ClassPathPrefix},
    {L"-classpath/a ", OptionLineKind::ClassPathSuffix},
};

}  // namespace

OptionLine classifyOptionLine(const std::wstring& line) {
    for (const Directive& d : kDirectives) {
        std::wstring prefix = d.prefix;
        if (line.compare(0, prefix.size(), prefix) == 0) return {d.kind, line.substr(prefix.size())};
    }
    return {OptionLineKind::VmOption, line};
}

template <class Text>
bool cleanLine(Text& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    while (!line.empty() && line.back() == ' ') line.pop_back();
    size_t start = line.find_first_not_of(' ');
    if (start == Text::npos) return false;
    line.erase(0, start);
    return line[0] != '#';
}

bool cleanOptionFileLine(std::string& line) { return cleanLine(line); }
bool cleanOptionFileLine(std::wstring& line) { return cleanLine(line); }

namespace {

constexpr size_t kLinePieceUnits = 29999;  // what a 30000-unit line buffer holds

bool startsWith(const std::string& bytes, const char* mark, size_t length) {
    return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
}

// The file's text as code units: UTF-16 after its mark, otherwise each byte
// as the unit of the same value (after a UTF-8 mark, which is dropped).  A
// narrow file ends at Ctrl-Z, as in text mode.
std::wstring fileUnits(const std::string& bytes) {
    std::wstring units;
    bool little = startsWith(bytes, "\xFF\xFE", 2), big = startsWith(bytes, "\xFE\xFF", 2);
    if (little || big) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned char a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
            units.push_back(static_cast<wchar_t>(little ? a | (b << 8) : (a << 8) | b));
        }
        return units;
    }
    size_t start = startsWith(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
    for (size_t i = start; i < bytes.size() && bytes[i] != '\x1A'; ++i)
        units.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
    return units;
}

}  // namespace

std::vector<std::wstring> optionFileLines(const std::string& bytes) {
    std::wstring units = fileUnits(bytes);
    std::vector<std::wstring> lines;
    std::wstring shown;   // a NUL ends what a piece shows, as in a C string
    size_t length = 0;    // units in the piece, the hidden ones included
    bool hidden = false;
    for (size_t i = 0; i < units.size(); ++i) {
        wchar_t c = units[i];
        if (c == L'\r' && i + 1 < units.size() && units[i + 1] == L'\n') continue;  // CR LF reads as LF
        hidden = hidden || c == 0;
        if (!hidden) shown.push_back(c);
        if (++length == kLinePieceUnits || c == L'\n') {
            lines.push_back(shown);
            shown.clear();
            length = 0;
            hidden = false;
        }
    }
    if (length > 0) lines.push_back(shown);
    return lines;
}

std::vector<std::wstring> joinIncludeTokens(const std::vector<std::wstring>& tokens) {
    std::vector<std::wstring> lines;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == L"-include-options" && i + 1 < tokens.size()) {
            lines.push_back(tokens[i] + L" " + tokens[i + 1]);
            ++i;
        } else {
            lines.push_back(tokens[i]);
        }
    }
    return lines;
}

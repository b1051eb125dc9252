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

bool cleanOptionFileLine(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    while (!line.empty() && line.back() == ' ') line.pop_back();
    size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) return false;
    line.erase(0, start);
    return line[0] != '#';
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

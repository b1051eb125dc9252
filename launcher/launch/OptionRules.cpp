#include "launcher/launch/OptionRules.h"

namespace {

const char* const kTwoTokenModuleFlags[] = {
    "--upgrade-module-path", "--add-modules", "--limit-modules", "--add-exports",
    "--add-opens",           "--add-reads",   "--patch-module",
};

bool isTwoTokenModuleFlag(const std::string& option) {
    for (const char* flag : kTwoTokenModuleFlags)
        if (option == flag) return true;
    return false;
}

const wchar_t kLocaleArgument[] = L"-Dsun.locale.formatasdefault=";

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::char_traits<wchar_t>::length(prefix), prefix) == 0;
}

std::wstring widenAscii(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

}  // namespace

std::vector<PathEntry> parsePathEntries(const std::string& list) {
    std::vector<PathEntry> entries;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) {
            std::string piece = list.substr(start, end - start);
            PathEntry entry;
            entry.type = piece[0];
            entry.required = piece.size() > 1 && piece[1] == '1';
            entry.name = piece.size() > 2 ? piece.substr(2) : std::string();
            entries.push_back(entry);
        }
        start = end + 1;
    }
    return entries;
}

bool versionPrefixMatches(const std::string& version, const std::string& prefix) {
    return version.compare(0, prefix.size(), prefix) == 0 && version.size() >= prefix.size();
}

std::string withoutTrailingSemicolon(std::string text) {
    if (!text.empty() && text.back() == ';') text.pop_back();
    return text;
}

std::vector<std::string> moduleOptions(const std::string& modulePath, bool moduleMode, const std::string& mainClass,
                                       const std::string& runtimeModule) {
    std::vector<std::string> options;
    options.push_back("--module-path=" + withoutTrailingSemicolon(modulePath));
    std::string addModules = "--add-modules=";
    if (moduleMode) {
        size_t slash = mainClass.find('/');
        size_t lastDot = mainClass.rfind('.');
        // module/pkg.Class: the package is opened to the runtime module,
        // which loads the class reflectively.
        if (slash != std::string::npos && lastDot != std::string::npos && lastDot > slash)
            options.push_back("--add-opens=" + mainClass.substr(0, lastDot) + "=" + runtimeModule);
        addModules += mainClass.substr(0, slash) + ",";
    }
    options.push_back(addModules + runtimeModule);
    return options;
}

void joinModuleOptions(std::vector<std::string>& options) {
    for (size_t i = 0; i + 1 < options.size(); ++i) {
        if (!isTwoTokenModuleFlag(options[i])) continue;
        options[i] += "=" + options[i + 1];
        options.erase(options.begin() + static_cast<long>(i) + 1);
    }
}

bool hasOption(const std::vector<std::string>& options, const std::string& option) {
    for (const std::string& o : options)
        if (o == option) return true;
    return false;
}

std::vector<std::wstring> localeOptionLines(const std::vector<std::wstring>& arguments, const char* language,
                                            const char* country) {
    std::vector<std::wstring> lines;
    const std::wstring* last = nullptr;
    for (const std::wstring& a : arguments)
        if (startsWith(a, kLocaleArgument)) last = &a;
    if (!last) return lines;
    lines.push_back(*last);
    if (*last == std::wstring(kLocaleArgument) + L"true") return lines;
    if (language && *language) lines.push_back(L"-Duser.language=" + widenAscii(language));
    if (country && *country) lines.push_back(L"-Duser.country=" + widenAscii(country));
    return lines;
}

std::vector<std::wstring> jArgumentOptionLines(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> lines;
    for (const std::wstring& a : arguments)
        if (startsWith(a, L"-J")) lines.push_back(a.substr(2));
    return lines;
}

std::string instanceBaseName(const std::string& fullLowerPath, bool global) {
    std::string name = global ? "Global\\" : "Local\\";
    for (char c : fullLowerPath) name += (c == '\\' || c == ' ') ? '_' : c;
    return name;
}

namespace {

void appendHex(std::wstring& out, uint32_t value) {
    for (int shift = 28; shift >= 0; shift -= 4) out += L"0123456789abcdef"[(value >> shift) & 0xF];
}

}  // namespace

std::wstring fileIndexIdentity(uint32_t volumeSerial, uint32_t indexHigh, uint32_t indexLow) {
    bool noIndex = (indexHigh == 0 && indexLow == 0) || (indexHigh == 0xFFFFFFFFu && indexLow == 0xFFFFFFFFu);
    if (noIndex) return std::wstring();
    std::wstring identity = L"file:";
    appendHex(identity, volumeSerial);
    identity += L':';
    appendHex(identity, indexHigh);
    appendHex(identity, indexLow);
    return identity;
}

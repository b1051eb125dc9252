#include "launcher/service/ServiceText.h"

#include "launcher/config/CommandLine.h"

namespace {

// The child splits its command line with the launcher's splitter, where a
// quote of either kind opens a section that the next quote of that kind
// closes. So an element that is empty or holds a blank or a quote goes in
// double quotes, or in single ones when it holds a double quote, and comes
// back whole (one that holds both kinds cannot).
std::wstring quotedForSplitter(const std::wstring& text) {
    if (!text.empty() && text.find_first_of(L" '\"") == std::wstring::npos) return text;
    const wchar_t quote = text.find(L'"') == std::wstring::npos ? L'"' : L'\'';
    return quote + text + quote;
}

}  // namespace

std::wstring dependencyList(const std::wstring& commaSeparated) {
    std::wstring list;
    size_t start = 0;
    while (start <= commaSeparated.size()) {
        size_t end = commaSeparated.find(L',', start);
        if (end == std::wstring::npos) end = commaSeparated.size();
        if (end > start) {
            list += commaSeparated.substr(start, end - start);
            list += L'\0';
        }
        start = end + 1;
    }
    if (!list.empty()) list += L'\0';
    return list;
}

std::wstring childCommandLine(const std::vector<std::wstring>& ownArguments, const std::wstring& serviceName,
                              const std::vector<std::wstring>& managerArguments) {
    std::wstring line = ownArguments.empty() ? std::wstring() : quotedForSplitter(ownArguments[0]);
    line += L" " + quotedForSplitter(serviceName);
    for (size_t i = 1; i < ownArguments.size(); ++i) line += L" " + quotedForSplitter(ownArguments[i]);
    for (size_t i = 1; i < managerArguments.size(); ++i) line += L" " + quotedForSplitter(managerArguments[i]);
    return line + L" " + kRestartMarker;
}

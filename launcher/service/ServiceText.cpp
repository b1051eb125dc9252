#include "launcher/service/ServiceText.h"

#include "launcher/config/CommandLine.h"

namespace {

std::wstring quotedIfBlank(const std::wstring& text) {
    return text.find(L' ') == std::wstring::npos ? text : L"\"" + text + L"\"";
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
    std::wstring line = ownArguments.empty() ? std::wstring() : quotedIfBlank(ownArguments[0]);
    line += L" " + quotedIfBlank(serviceName);
    for (size_t i = 1; i < ownArguments.size(); ++i) line += L" " + quotedIfBlank(ownArguments[i]);
    for (size_t i = 1; i < managerArguments.size(); ++i) line += L" " + quotedIfBlank(managerArguments[i]);
    return line + L" " + kRestartMarker;
}

#include "launcher/config/CommandLine.h"

#include <cwchar>

namespace {

// True when position a exists and comes before b (or b does not exist).
bool before(size_t a, size_t b) { return a != std::wstring::npos && (b == std::wstring::npos || a < b); }

}  // namespace

void splitCommandLine(const wchar_t* input, ArgumentVector& out) {
    const std::wstring text = input ? input : L"";
    const size_t npos = std::wstring::npos;
    size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == L' ') {
            ++pos;
            continue;
        }
        size_t dq = text.find(L'"', pos);
        size_t sq = text.find(L'\'', pos);
        size_t blank = text.find(L' ', pos);

        if (before(blank, dq) && before(blank, sq)) {
            out.push_back(text.substr(pos, blank - pos));
            pos = blank + 1;
            continue;
        }
        size_t quote;
        if (dq != npos && (sq == npos || dq < sq))
            quote = dq;
        else if (sq != npos)
            quote = sq;
        else {
            out.push_back(text.substr(pos));
            break;
        }
        size_t close = text.find(text[quote], quote + 1);
        size_t end = close == npos ? text.size() : close;
        out.push_back(text.substr(pos, quote - pos) + text.substr(quote + 1, end - quote - 1));
        pos = close == npos ? text.size() : close + 1;
        if (pos < text.size() && text[pos] == L' ') ++pos;
    }
}

bool parseVerb(const std::wstring& argument, std::wstring& verb) {
    if (argument.empty() || (argument[0] != L'/' && argument[0] != L'-')) return false;
    size_t skip = argument.size() > 1 && argument[1] == L'-' ? 2 : 1;
    verb = argument.substr(skip);
    return true;
}

Road roadForVerb(const std::wstring& verb) {
    static const wchar_t* const kServiceVerbs[] = {
        L"install", L"install-and-start", L"install-auto", L"install-demand", L"uninstall",
        L"stop",    L"start",             L"restart",      L"status",
    };
    if (verb == L"?" || verb == L"help") return Road::Usage;
    for (const wchar_t* v : kServiceVerbs)
        if (verb == v) return Road::ServiceCommand;
    if (verb == L"run") return Road::Run;
    if (verb == L"run-redirect") return Road::RunRedirect;
    return Road::Dispatcher;
}

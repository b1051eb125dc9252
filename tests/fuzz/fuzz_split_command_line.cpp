// splitCommandLine on arbitrary text: no crash, and the arguments together
// never hold more characters than the text (quotes and blanks only drop).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "launcher/config/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c) text.push_back(c);
    }
    ArgumentVector out;
    splitCommandLine(text.c_str(), out);
    size_t total = 0;
    for (const std::wstring& a : out) total += a.size();
    if (total > text.size()) abort();
    return 0;
}

#include "launcher/service/FailureText.h"

namespace {

std::u16string ascii(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

std::u16string decimal(uint32_t value) {
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::u16string headline(const std::u16string& serviceName, const char* what) {
    return ascii("The application of service '") + serviceName + ascii("' ") + ascii(what);
}

bool isTrailingSpace(char16_t c) { return c == u'\r' || c == u'\n' || c == u' ' || c == u'\t'; }

}  // namespace

std::u16string eventOutputText(const std::u16string& output) {
    std::u16string text;
    text.reserve(output.size() + output.size() / 16);
    for (size_t i = 0; i < output.size(); ++i) {
        char16_t c = output[i];
        if (c == u'\n' && (i == 0 || output[i - 1] != u'\r')) text += u'\r';
        text += c == 0 ? u'\xFFFD' : c;
    }
    while (!text.empty() && isTrailingSpace(text.back())) text.pop_back();
    return text;
}

std::u16string applicationEndedText(const std::u16string& serviceName, uint32_t exitCode,
                                    const std::u16string& output) {
    std::u16string text = headline(serviceName, "ended with exit code ") + decimal(exitCode) + u'.';
    std::u16string shown = eventOutputText(output);
    if (!shown.empty()) text += u"\r\n\r\n" + shown;
    return text;
}

std::u16string applicationNotStartedText(const std::u16string& serviceName, uint32_t errorCode,
                                         const std::u16string& commandLine) {
    return headline(serviceName, "could not be started (Windows error code ") + decimal(errorCode) +
           ascii(").\r\n\r\nCommand line: ") + commandLine;
}

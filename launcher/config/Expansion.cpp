#include "launcher/config/Expansion.h"

#include <cstring>

#include "launcher/config/Log.h"

const FixedVariable kFixedVariables[21] = {
    {"%LORIX_EXEDIR%", VariableValue::LauncherDirectory},
    {"%TAVRA_EXEDIR%", VariableValue::LauncherDirectory},
    {"%LORIX_TEMPDIR%", VariableValue::ExtractionDirectory},
    {"%TAVRA_TEMPDIR%", VariableValue::ExtractionDirectory},
    {"%LORIX_PATHLIST_SEPARATOR%", VariableValue::PathListSeparator},
    {"%TAVRA_PATHLIST_SEPARATOR%", VariableValue::PathListSeparator},
    {"%LORIX_JVM_HOME%", VariableValue::JvmHome},
    {"%TAVRA_JVM_HOME%", VariableValue::JvmHome},
    {"${LORIX_EXEDIR}", VariableValue::LauncherDirectory},
    {"${TAVRA_EXEDIR}", VariableValue::LauncherDirectory},
    {"${LORIX_TEMPDIR}", VariableValue::ExtractionDirectory},
    {"${TAVRA_TEMPDIR}", VariableValue::ExtractionDirectory},
    {"${LORIX_PATHLIST_SEPARATOR}", VariableValue::PathListSeparator},
    {"${TAVRA_PATHLIST_SEPARATOR}", VariableValue::PathListSeparator},
    {"${LORIX_JVM_HOME}", VariableValue::JvmHome},
    {"${TAVRA_JVM_HOME}", VariableValue::JvmHome},
    {"${launcher:sys.launcherDirectory}", VariableValue::LauncherDirectory},
    {"${launcher:sys.launcherTempDirectory}", VariableValue::ExtractionDirectory},
    {"${launcher:sys.pathlistSeparator}", VariableValue::PathListSeparator},
    {"${launcher:sys.jvmHome}", VariableValue::JvmHome},
    {"${launcher:sys.tempDir}", VariableValue::TempDirectory},
};

namespace {

template <class Ch> std::basic_string<Ch> widen(const char* ascii) {
    return std::basic_string<Ch>(ascii, ascii + std::strlen(ascii));
}

template <class Ch> size_t length(const Ch* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

void logExpansion(const std::string& pattern, const std::string& value, const char* text) {
    logLine(L"expanding2 %S to %S in %S.", pattern.c_str(), value.c_str(), text);
}
void logExpansion(const std::wstring& pattern, const std::wstring& value, const wchar_t* text) {
    logLine(L"expanding2 %s to %s in %s.", pattern.c_str(), value.c_str(), text);
}
void logTooLong(const std::string& pattern, size_t capacity) {
    logLine(L"not expanding %S: the result does not fit %d characters", pattern.c_str(), static_cast<int>(capacity));
}
void logTooLong(const std::wstring& pattern, size_t capacity) {
    logLine(L"not expanding %s: the result does not fit %d characters", pattern.c_str(), static_cast<int>(capacity));
}

template <class Ch> std::basic_string<Ch> upperAscii(std::basic_string<Ch> s) {
    for (Ch& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<Ch>(c - 'a' + 'A');
    return s;
}

}  // namespace

template <class Ch>
void replaceVariable(Ch* text, size_t capacity, const std::basic_string<Ch>& pattern,
                     const std::basic_string<Ch>& value) {
    if (pattern.empty() || capacity == 0) return;
    std::basic_string<Ch> current(text, length(text));
    size_t pos = 0;
    while ((pos = current.find(pattern, pos)) != std::basic_string<Ch>::npos) {
        if (current.size() - pattern.size() + value.size() >= capacity) {
            logTooLong(pattern, capacity);
            pos += pattern.size();
            continue;
        }
        current.replace(pos, pattern.size(), value);
        current.copy(text, current.size());
        text[current.size()] = 0;
        logExpansion(pattern, value, text);
        pos += value.size();
    }
}

template <class Ch> void expandVariables(Ch* text, size_t capacity, VariableSource<Ch>& source) {
    for (const FixedVariable& v : kFixedVariables) {
        std::basic_string<Ch> pattern = widen<Ch>(v.pattern);
        if (std::basic_string<Ch>(text, length(text)).find(pattern) == std::basic_string<Ch>::npos) continue;
        replaceVariable(text, capacity, pattern, source.value(v.value));
    }
    // Every environment pattern starts with "${": a text without one has
    // nothing left to expand, and the environment block is not read.
    if (std::basic_string<Ch>(text, length(text)).find(widen<Ch>("${")) == std::basic_string<Ch>::npos) return;
    const Ch* entry = source.environmentBlock();
    for (; entry && *entry; entry += length(entry) + 1) {
        std::basic_string<Ch> line(entry);
        size_t equals = line.find(static_cast<Ch>('='));
        if (equals == std::basic_string<Ch>::npos) continue;
        std::basic_string<Ch> value = line.substr(equals + 1);
        std::basic_string<Ch> pattern = widen<Ch>("${") + line.substr(0, equals) + widen<Ch>("}");
        replaceVariable(text, capacity, pattern, value);
        replaceVariable(text, capacity, upperAscii(pattern), value);
    }
}

template void replaceVariable<char>(char*, size_t, const std::string&, const std::string&);
template void replaceVariable<wchar_t>(wchar_t*, size_t, const std::wstring&, const std::wstring&);
template void expandVariables<char>(char*, size_t, VariableSource<char>&);
template void expandVariables<wchar_t>(wchar_t*, size_t, VariableSource<wchar_t>&);

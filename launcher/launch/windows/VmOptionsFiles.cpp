#include "launcher/launch/windows/VmOptionsFiles.h"

#include <windows.h>

#include <cwchar>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/PathString.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/launch/OptionLines.h"

namespace {

constexpr int kLineBytes = 30000;  // a longer line arrives in pieces
constexpr size_t kMaxIncludeDepth = 32;

// The files being read right now (full, lower-cased paths), so that a file
// that includes itself, directly or through others, is not read again.
std::vector<std::wstring> g_reading;

std::wstring identity(const wchar_t* path) {
    wchar_t full[kBufferChars];
    DWORD n = GetFullPathNameW(path, kBufferChars, full, nullptr);
    std::wstring id = n > 0 && n < kBufferChars ? full : path;
    lowerCaseAscii(&id[0]);
    return id;
}

FILE* openOptionsFile(const std::wstring& path) { return _wfopen(path.c_str(), L"rt"); }

// Candidates beside `exe`: the name without ".exe" plus ".vmoptions", then
// the whole name plus ".vmoptions".
FILE* openBeside(const std::wstring& exe) {
    std::wstring first = exe.substr(0, exe.size() >= 4 ? exe.size() - 4 : 0) + L".vmoptions";
    FILE* file = openOptionsFile(first);
    logLine(L"vmoptions2: exe %s file: %s, file: %p", exe.c_str(), first.c_str(), file);
    if (file) return file;
    std::wstring second = exe + L".vmoptions";
    file = openOptionsFile(second);
    logLine(L"vmoptions: opts2: %s, file: %p", second.c_str(), file);
    return file;
}

void includeOptionsFile(const std::wstring& rest, const wchar_t* referencePath, OptionSink& sink) {
    wchar_t expanded[kBufferChars];
    wcsncpy(expanded, rest.c_str(), kBufferChars - 1);
    expanded[kBufferChars - 1] = 0;
    expandVariablesWide(expanded, false);
    logLine(L"after exp from %s %s", expanded, rest.c_str());

    wchar_t resolved[kBufferChars];
    resolvePathWide(expanded, resolved, kBufferChars, true, referencePath);
    FILE* file = nullptr;
    std::wstring id = identity(resolved);
    bool cycle = false;
    for (const std::wstring& open : g_reading) cycle |= open == id;
    if (cycle)
        logLine(L"not including %s again: it is being read", resolved);
    else if (g_reading.size() >= kMaxIncludeDepth)
        logLine(L"not including %s: options files nest deeper than %d", resolved, static_cast<int>(kMaxIncludeDepth));
    else
        file = openOptionsFile(resolved);
    logLine(L"adding vmoptions from (%p) <%s> (%s)", file, resolved, expanded);
    readOptionsFile(file, resolved, sink);
    logLine(L"adding vmoptions 2");
    logLine(L"adding vmoptions 3");
}

}  // namespace

FILE* findDefaultOptionsFile() {
    FILE* file = openBeside(executableLongPath());
    if (file) return file;
    wchar_t module[kBufferChars];
    DWORD n = GetModuleFileNameW(nullptr, module, kBufferChars);
    module[n < kBufferChars ? n : kBufferChars - 1] = 0;
    return openBeside(module);
}

void readOptionsFile(FILE* file, const wchar_t* referencePath, OptionSink& sink) {
    if (!file) return;
    if (referencePath) g_reading.push_back(identity(referencePath));
    std::vector<char> line(kLineBytes);
    while (fgets(line.data(), kLineBytes, file)) {
        std::string text = line.data();
        if (!cleanOptionFileLine(text)) continue;
        // Bytes become the code units of the same value (ISO 8859-1 style).
        std::vector<wchar_t> wide(kLineBytes, 0);
        for (size_t i = 0; i < text.size(); ++i) wide[i] = static_cast<unsigned char>(text[i]);
        expandVariablesWide(wide.data(), true, wide.size());
        processOptionLine(wide.data(), referencePath, sink);
    }
    fclose(file);
    if (referencePath) g_reading.pop_back();
}

void processOptionLine(const std::wstring& line, const wchar_t* referencePath, OptionSink& sink) {
    OptionLine parsed = classifyOptionLine(line);
    switch (parsed.kind) {
    case OptionLineKind::IncludeOptions: includeOptionsFile(parsed.text, referencePath, sink); return;
    case OptionLineKind::ClassPath: sink.classPathReplacement = narrowPath(parsed.text.c_str()); return;
    case OptionLineKind::ClassPathPrefix: sink.classPathPrefix = narrowPath(parsed.text.c_str()); return;
    case OptionLineKind::ClassPathSuffix: sink.classPathSuffix = narrowPath(parsed.text.c_str()); return;
    case OptionLineKind::VmOption: sink.options.push_back(narrowPath(line.c_str())); return;
    }
}

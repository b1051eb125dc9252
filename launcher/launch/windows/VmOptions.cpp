#include "launcher/launch/windows/VmOptions.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Locale.h"
#include "launcher/config/Log.h"
#include "launcher/config/PathString.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/launch/windows/SingleInstance.h"

namespace {

constexpr int kLineBytes = 30000;  // a longer line arrives in pieces

// Reads a file in text mode (CR LF as LF) in pieces of at most 29999 bytes.
bool readLines(const std::wstring& path, std::vector<std::string>& lines) {
    FILE* file = _wfopen(path.c_str(), L"rt");
    if (!file) return false;
    std::vector<char> line(kLineBytes);
    while (fgets(line.data(), kLineBytes, file)) lines.push_back(line.data());
    fclose(file);
    return true;
}

// <exe>.vmoptions (the name without ".exe"), then <exe>.exe.vmoptions.
bool readBeside(const std::wstring& exe, std::vector<std::string>& lines) {
    std::wstring first = exe.substr(0, exe.size() >= 4 ? exe.size() - 4 : 0) + L".vmoptions";
    bool found = readLines(first, lines);
    logLine(L"vmoptions2: exe %s file: %s, file: %p", exe.c_str(), first.c_str(), found ? &lines : nullptr);
    if (found) return true;
    std::wstring second = exe + L".vmoptions";
    found = readLines(second, lines);
    logLine(L"vmoptions: opts2: %s, file: %p", second.c_str(), found ? &lines : nullptr);
    return found;
}

// The whole value; `error` is 0 when the variable is set (an empty one
// included) and the look-up's error otherwise.  The error is cleared
// first: a call that succeeds with 0 characters does not set it.
std::string environmentValue(const char* name, DWORD& error) {
    SetLastError(0);
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    error = size ? 0 : GetLastError();
    if (size == 0) return std::string();
    std::string value(size, '\0');
    DWORD n = GetEnvironmentVariableA(name, &value[0], size);
    value.resize(n < size ? n : 0);
    return value;
}

class WindowsOptionWorld : public OptionWorld {
public:
    std::string configText(int key) override {
        char value[kBufferChars];
        configString(key, value, kBufferChars);
        return value;
    }
    std::wstring configWideText(int key) override {
        wchar_t value[kBufferChars];
        configWideString(key, value, kBufferChars);
        return value;
    }
    int configNumber(int key) override { return configInt(key); }

    std::wstring expandWide(const std::wstring& text, bool ansiSafe) override {
        std::vector<wchar_t> buffer(text.size() < kBufferChars ? kBufferChars : text.size() + 1, 0);
        text.copy(buffer.data(), text.size());
        expandVariablesWide(buffer.data(), ansiSafe, buffer.size());
        return buffer.data();
    }
    std::string expandNarrow(const std::string& text) override {
        std::vector<char> buffer(text.size() < kBufferChars ? kBufferChars : text.size() + 1, 0);
        text.copy(buffer.data(), text.size());
        expandVariablesNarrow(buffer.data(), buffer.size());
        return buffer.data();
    }
    std::string narrow(const std::wstring& text) override { return narrowPath(text.c_str()); }

    std::string resolve(const std::string& path) override {
        char out[kBufferChars];
        resolvePathNarrow(path.c_str(), out, kBufferChars);
        return out;
    }
    std::string fullPath(const std::string& path) override {
        char out[kBufferChars];
        fullPathNarrow(path.c_str(), out, kBufferChars, true);
        return out;
    }
    bool exists(const std::string& path) override { return pathExistsNarrow(path.c_str()); }
    std::vector<std::string> listNames(const std::string& pattern) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAA entry;
        UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &entry));
        if (!find.valid()) return names;
        do names.push_back(entry.cFileName);
        while (FindNextFileA(find.get(), &entry));
        return names;
    }
    // GetEnvironmentVariableA gives 0 for an empty variable as for a
    // missing one; only the error code tells them apart.
    bool environmentVariable(const std::string& name, std::string& value, bool& undefined) override {
        DWORD error = 0;
        value = environmentValue(name.c_str(), error);
        undefined = error == ERROR_ENVVAR_NOT_FOUND;
        return error == 0 && !value.empty();
    }

    bool readDefaultOptionsFile(std::vector<std::string>& lines) override {
        if (readBeside(executableLongPath(), lines)) return true;
        wchar_t module[kBufferChars];
        DWORD n = GetModuleFileNameW(nullptr, module, kBufferChars);
        module[n < kBufferChars ? n : kBufferChars - 1] = 0;
        // Normally the same path: its files were just looked for.
        return _wcsicmp(module, executableLongPath()) != 0 && readBeside(module, lines);
    }
    std::wstring resolveInclude(const std::wstring& path, const std::wstring* referenceFile) override {
        wchar_t out[kBufferChars];
        resolvePathWide(path.c_str(), out, kBufferChars, true, referenceFile ? referenceFile->c_str() : nullptr);
        return out;
    }
    bool readOptionsFile(const std::wstring& path, std::vector<std::string>& lines) override {
        return readLines(path, lines);
    }
    std::wstring fileIdentity(const std::wstring& path) override {
        wchar_t full[kBufferChars];
        DWORD n = GetFullPathNameW(path.c_str(), kBufferChars, full, nullptr);
        std::wstring id = n > 0 && n < kBufferChars ? full : path;
        if (!id.empty()) lowerCaseAscii(&id[0]);
        return id;
    }

    void fatal(int messageId, const std::string& argument) override { fatalMessage(messageId, argument.c_str()); }
};

LaunchFacts gatherFacts(const char* jvmVersion) {
    LaunchFacts facts;
    facts.semaphoreName = instanceSemaphoreName();
    facts.tavraFlavour = isTavraFlavour();
    facts.serviceFlag = runState().serviceFlag;
    facts.noRedirection = runState().noRedirection;
    facts.executablePath = executableNarrowPath();
    facts.extractionDirectory = extractionDirectory();
    facts.extractionEnd = extractionEndPosition();
    DWORD error = 0;
    facts.path = environmentValue("PATH", error);  // whole, whatever its length
    environmentValue("MANPATH", error);
    facts.manpathSet = error != ERROR_ENVVAR_NOT_FOUND;
    facts.consoleCodePage = GetConsoleOutputCP();
    if (jvmVersion) facts.jvmVersion = jvmVersion;
    facts.language = localeLanguage();
    if (localeCountry()) facts.country = localeCountry();
    return facts;
}

JavaVMInitArgs* pack(const std::vector<std::string>& options) {
    static std::vector<std::string> kept;
    static std::vector<JavaVMOption> array;
    static JavaVMInitArgs args;
    kept = options;
    array.assign(kept.size(), JavaVMOption{});
    logLine(L"vmoption count %d", static_cast<int>(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i) {
        array[i].optionString = &kept[i][0];
        array[i].extraInfo = nullptr;
        logLine(L"vmoption %d: %S", static_cast<int>(i), kept[i].c_str());
    }
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(array.size());
    args.options = array.data();
    args.ignoreUnrecognized = JNI_TRUE;
    return &args;
}

}  // namespace

OptionWorld& windowsOptionWorld() {
    static WindowsOptionWorld world;
    return world;
}

JavaVMInitArgs* assembleVmOptions(const ArgumentVector& arguments, const char* jvmVersion) {
    std::vector<std::string> options;
    if (!assembleOptionList(arguments, gatherFacts(jvmVersion), windowsOptionWorld(), options)) fatalExit(1);
    return pack(options);
}

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
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"
#include "launcher/config/windows/Handles.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/launch/OptionRules.h"
#include "launcher/launch/windows/SingleInstance.h"

namespace {

// The file's bytes; its lines are split as text mode would read them.
bool readFileBytes(const std::wstring& path, std::string& bytes) {
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return false;
    bytes.clear();
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    fclose(file);
    return true;
}

// <exe>.vmoptions (the name without ".exe"), then <exe>.exe.vmoptions.
bool readBeside(const std::wstring& exe, std::string& bytes, std::wstring& path) {
    std::wstring first = exe.substr(0, exe.size() >= 4 ? exe.size() - 4 : 0) + L".vmoptions";
    bool found = readFileBytes(first, bytes);
    logLine(L"vmoptions2: exe %s file: %s, file: %p", exe.c_str(), first.c_str(), found ? &bytes : nullptr);
    if (found) {
        path = first;
        return true;
    }
    std::wstring second = exe + L".vmoptions";
    found = readFileBytes(second, bytes);
    logLine(L"vmoptions: opts2: %s, file: %p", second.c_str(), found ? &bytes : nullptr);
    if (found) path = second;
    return found;
}

// The volume and file index of an existing file (fileIndexIdentity), which
// are the same for every spelling of its path (short names, "..", other
// case); false when there is none.
bool volumeIdentity(const std::wstring& path, std::wstring& identity) {
    UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return false;
    identity = fileIndexIdentity(info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow);
    return !identity.empty();
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
    bool listNames(const std::string& pattern, std::vector<std::string>& names) override {
        WIN32_FIND_DATAA entry;
        UniqueFindHandle find(FindFirstFileA(pattern.c_str(), &entry));
        if (!find.valid()) return false;
        do names.push_back(entry.cFileName);
        while (FindNextFileA(find.get(), &entry));
        return true;
    }
    // GetEnvironmentVariableA gives 0 for an empty variable as for a
    // missing one; only the error code tells them apart.
    bool environmentVariable(const std::string& name, std::string& value, bool& undefined) override {
        DWORD error = 0;
        value = environmentValue(name.c_str(), error);
        undefined = error == ERROR_ENVVAR_NOT_FOUND;
        return error == 0 && !value.empty();
    }

    bool readDefaultOptionsFile(std::string& bytes, std::wstring& path) override {
        if (readBeside(executableLongPath(), bytes, path)) return true;
        wchar_t module[kBufferChars];
        DWORD n = GetModuleFileNameW(nullptr, module, kBufferChars);
        module[n < kBufferChars ? n : kBufferChars - 1] = 0;
        // Normally the same path: its files were just looked for.
        return _wcsicmp(module, executableLongPath()) != 0 && readBeside(module, bytes, path);
    }
    std::wstring resolveInclude(const std::wstring& path, const std::wstring* referenceFile) override {
        wchar_t out[kBufferChars];
        resolvePathWide(path.c_str(), out, kBufferChars, true, referenceFile ? referenceFile->c_str() : nullptr);
        return out;
    }
    bool readOptionsFile(const std::wstring& path, std::string& bytes) override { return readFileBytes(path, bytes); }
    std::wstring fileIdentity(const std::wstring& path) override {
        std::wstring id;
        if (volumeIdentity(path, id)) return id;
        wchar_t full[kBufferChars];
        DWORD n = GetFullPathNameW(path.c_str(), kBufferChars, full, nullptr);
        id = n > 0 && n < kBufferChars ? full : path;
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

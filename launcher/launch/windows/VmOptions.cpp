#include "launcher/launch/windows/VmOptions.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "launcher/config/ConfigTables.h"
#include "launcher/config/Locale.h"
#include "launcher/config/Log.h"
#include "launcher/config/RunState.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Extraction.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/launch/OptionLines.h"
#include "launcher/launch/OptionRules.h"
#include "launcher/launch/windows/SingleInstance.h"
#include "launcher/launch/windows/VmOptionsFiles.h"

namespace {

constexpr int kClassPathKey = 121;
constexpr int kMainClassKey = 122;
constexpr int kVmOptionsKey = 123;
constexpr int kJArgumentsKey = 125;
constexpr int kModulePathKey = 132;
constexpr int kModuleModeKey = 133;
constexpr int kDefaultOptionsFileKey = 166;
constexpr int kApplicationDirKey = 10003;
constexpr int kVersionLinesKey = 10200;
constexpr int kMissingEntryMessage = 1006;
constexpr int kMissingVariableMessage = 1008;

enum class PathList { ClassPath, ModulePath };

std::string environmentValue(const char* name, DWORD* error = nullptr) {
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (error) *error = size ? 0 : GetLastError();
    if (size == 0) return std::string();
    std::string value(size, '\0');
    DWORD n = GetEnvironmentVariableA(name, &value[0], size);
    value.resize(n < size ? n : 0);
    return value;
}

bool environmentSet(const char* name) {
    DWORD error = 0;
    environmentValue(name, &error);
    return error != ERROR_ENVVAR_NOT_FOUND;
}

std::string resolveNarrow(const std::string& path) {
    char out[kBufferChars];
    resolvePathNarrow(path.c_str(), out, kBufferChars);
    return out;
}

// Appends every "<dir>\*.<ext>" archive, resolved and collapsed, with ";".
bool addArchives(const std::string& dir, const char* extension, std::string& target) {
    if (!pathExistsNarrow(dir.c_str())) return false;
    std::string pattern = dir + "\\*" + (extension[0] == '.' ? "" : ".") + extension;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return true;
    do {
        target += resolveNarrow(dir + "\\" + entry.cFileName) + ";";
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return true;
}

void addArchivesOf(const std::string& dir, std::string& target) {
    addArchives(dir, "jar", target);
    addArchives(dir, "zip", target);
}

std::string expandedNarrow(const std::string& text) {
    std::vector<char> buffer(kBufferChars, 0);
    strncpy(buffer.data(), text.c_str(), kBufferChars - 1);
    expandVariablesNarrow(buffer.data());
    return buffer.data();
}

// "A"/"D": a path; several separated by ";" are resolved one by one, and
// the entry is found when every one of them exists.
bool addPathEntry(const std::string& name, std::string& target) {
    std::string joined;
    bool found = true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(';', start);
        if (end == std::string::npos) end = name.size();
        std::string piece = resolveNarrow(name.substr(start, end - start));
        found = found && pathExistsNarrow(piece.c_str());
        joined += (joined.empty() ? "" : ";") + piece;
        start = end + 1;
    }
    target += joined + ";";
    return found;
}

bool addVariableEntry(const PathEntry& entry, const std::string& name, std::string& target) {
    DWORD error = 0;
    std::string value = environmentValue(name.c_str(), &error);
    if (error) {
        if (entry.required && error == ERROR_ENVVAR_NOT_FOUND) fatalMessage(kMissingVariableMessage, name.c_str());
        return !entry.required;
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    target += value;
    if (value.empty() || value.back() != ';') target += ";";
    return true;
}

void addEntryList(int key, PathList list, std::string& target) {
    char raw[kBufferChars];
    configString(key, raw, kBufferChars);
    logLine(L"entry %S", raw);
    std::vector<PathEntry> entries = parsePathEntries(raw);
    logLine(L"entries %d", static_cast<int>(entries.size()));
    for (const PathEntry& entry : entries) {
        std::string name = expandedNarrow(entry.name);
        bool found = false;
        switch (entry.type) {
        case 'A':
        case 'D': found = addPathEntry(name, target); break;
        case 'E': found = addVariableEntry(entry, name, target); break;
        case 'S': {
            std::string dir = resolveNarrow(name);
            if (list == PathList::ClassPath) {
                found = pathExistsNarrow(dir.c_str());
                addArchivesOf(dir, target);
            } else {
                found = pathExistsNarrow(dir.c_str());
                target += dir + ";";
            }
            break;
        }
        default: break;  // unknown types add nothing; required ones are reported below
        }
        if (entry.required && !found) fatalMessage(kMissingEntryMessage, name.c_str());
    }
}

void addProperty(OptionSink& sink, const char* name, const std::string& value) {
    sink.options.push_back(std::string("-D") + name + "=" + value);
}

void addLauncherProperties(OptionSink& sink) {
    addProperty(sink, "lorix.semaphoreName", instanceSemaphoreName());
    if (isTavraFlavour()) addProperty(sink, "lorix.isTavra", "true");
    if (runState().serviceFlag) addProperty(sink, "lorix.isService", "true");
    addProperty(sink, "lorix.moduleName", executableNarrowPath());
    addProperty(sink, "sun.java.command", executableNarrowPath());
    addProperty(sink, "lorix.tempDir", extractionDirectory());
    addProperty(sink, "lorix.unextractedPosition", std::to_string(static_cast<int>(extractionEndPosition())));
    // PATH as the JVM search extended it, whatever its length.
    sink.options.push_back("-Djava.library.path=" + environmentValue("PATH"));
    if (!environmentSet("MANPATH"))
        addProperty(sink, "lorix.consoleCodepage", "cp" + std::to_string(GetConsoleOutputCP()));
}

// Expands, splits and processes a configured option string.
void addConfiguredOptions(wchar_t* text, OptionSink& sink) {
    expandVariablesWide(text, true);
    ArgumentVector tokens;
    splitCommandLine(text, tokens);
    for (const std::wstring& line : joinIncludeTokens(tokens)) processOptionLine(line, nullptr, sink);
}

void addVersionSpecificLine(const char* jvmVersion, OptionSink& sink) {
    int count = configInt(kVersionLinesKey);
    if (count <= 0) return;
    logLine(L"check %d version specific vm option lines for %S", count, jvmVersion ? jvmVersion : "");
    if (!jvmVersion) return;
    for (int i = 0; i < count; ++i) {
        std::string prefix = configStringCopy(kVersionLinesKey + 1 + 2 * i);
        bool match = versionPrefixMatches(jvmVersion, prefix);
        logLine(L"checking version %S %d", prefix.c_str(), match ? 1 : 0);
        if (!match) continue;
        wchar_t line[kBufferChars];
        configWideString(kVersionLinesKey + 2 + 2 * i, line, kBufferChars);
        logLine(L"adding specific %s", line);
        addConfiguredOptions(line, sink);
        return;
    }
}

// The runtime archive under the application directory (tavra flavour).
std::string runtimeArchive() {
    char dir[kBufferChars];
    configString(kApplicationDirKey, dir, kBufferChars);
    char full[kBufferChars];
    fullPathNarrow(dir, full, kBufferChars, true);
    std::string path = full;
    if (path.empty() || path.back() != '\\') path += "\\";
    return path + ".tavra\\tvrruntime.jar;";
}

std::string buildClassPath(const OptionSink& sink, std::string& modulePath, bool moduleMode) {
    std::string classPath = "-Djava.class.path=";
    std::string& archives = (!modulePath.empty() || moduleMode) ? modulePath : classPath;
    if (sink.classPathPrefix) classPath += *sink.classPathPrefix + ";";
    std::string extraction = extractionDirectory();
    addArchivesOf(extraction, archives);
    addArchivesOf(extraction + "\\user", classPath);
    if (isTavraFlavour()) archives += runtimeArchive();
    if (sink.classPathReplacement) {
        classPath += *sink.classPathReplacement;
    } else {
        logLine(L"adding preconfigured classpath");
        addEntryList(kClassPathKey, PathList::ClassPath, classPath);
    }
    if (sink.classPathSuffix) {
        if (classPath.empty() || classPath.back() != ';') classPath += ";";
        classPath += *sink.classPathSuffix;
    }
    return withoutTrailingSemicolon(classPath);
}

JavaVMInitArgs* pack(std::vector<std::string>& options) {
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

JavaVMInitArgs* assembleVmOptions(const ArgumentVector& arguments, const char* jvmVersion) {
    OptionSink sink;
    addLauncherProperties(sink);

    wchar_t configured[kBufferChars];
    configWideString(kVmOptionsKey, configured, kBufferChars);
    logLine(L"adding options");
    addConfiguredOptions(configured, sink);
    addVersionSpecificLine(jvmVersion, sink);

    if (configInt(kJArgumentsKey) != 0)
        for (const std::wstring& line : jArgumentOptionLines(arguments)) processOptionLine(line, nullptr, sink);
    for (const std::wstring& line : localeOptionLines(arguments, localeLanguage(), localeCountry()))
        processOptionLine(line, nullptr, sink);

    if (configInt(kDefaultOptionsFileKey) != 0) {
        FILE* file = findDefaultOptionsFile();
        logLine(L"default vmoptions file: %p", file);
        readOptionsFile(file, nullptr, sink);
    }

    bool moduleMode = configInt(kModuleModeKey) != 0;
    std::string modulePath;
    logLine(L"adding preconfigured modulepath");
    addEntryList(kModulePathKey, PathList::ModulePath, modulePath);
    sink.options.push_back(buildClassPath(sink, modulePath, moduleMode));

    if (!modulePath.empty()) {
        wchar_t mainClass[kBufferChars];
        configWideString(kMainClassKey, mainClass, kBufferChars);
        const char* runtimeModule = isTavraFlavour() ? "com.tavra.runtime" : "com.lorix.runtime";
        for (const std::string& o : moduleOptions(modulePath, moduleMode, narrowPath(mainClass), runtimeModule))
            sink.options.push_back(o);
    }
    if (runState().serviceFlag && !hasOption(sink.options, "-Xrs")) {
        logLine(L"service: adding -Xrs");
        sink.options.push_back("-Xrs");
    }
    if (runState().noRedirection) sink.options.push_back("-Dtavra.noRedir=true");
    joinModuleOptions(sink.options);
    return pack(sink.options);
}

#include "launcher/launch/VmOptionAssembly.h"

#include <cstring>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/Log.h"
#include "launcher/launch/OptionLines.h"
#include "launcher/launch/OptionRules.h"

namespace {

constexpr size_t kMaxIncludeDepth = 32;

enum class PathList { ClassPath, ModulePath };

// The options files being read right now, so that a file that includes
// itself, directly or through others, is not read again.
std::vector<std::wstring> g_reading;

void includeOptionsFile(const std::wstring& rest, const std::wstring* referenceFile, OptionSink& sink,
                        OptionWorld& world) {
    std::wstring expanded = world.expandWide(rest, false);
    logLine(L"after exp from %s %s", expanded.c_str(), rest.c_str());
    std::wstring resolved = world.resolveInclude(expanded, referenceFile);
    std::wstring identity = world.fileIdentity(resolved);

    bool cycle = false;
    for (const std::wstring& open : g_reading) cycle = cycle || open == identity;
    std::string bytes;
    bool opened = false;
    if (cycle)
        logLine(L"not including %s again: it is being read", resolved.c_str());
    else if (g_reading.size() >= kMaxIncludeDepth)
        logLine(L"not including %s: options files nest deeper than %d", resolved.c_str(),
                static_cast<int>(kMaxIncludeDepth));
    else
        opened = world.readOptionsFile(resolved, bytes);
    logLine(L"adding vmoptions from (%p) <%s> (%s)", opened ? &bytes : nullptr, resolved.c_str(), expanded.c_str());
    if (opened) processOptionsFile(bytes, resolved, &resolved, sink, world);
    logLine(L"adding vmoptions 2");
    logLine(L"adding vmoptions 3");
}

// True when the name ends in `extension` (".jar"), in any case, as the
// file system compares names.
bool hasExtension(const std::string& name, const char* extension) {
    size_t length = std::strlen(extension);
    if (name.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        char c = name[name.size() - length + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != extension[i]) return false;
    }
    return true;
}

// Appends the directory's ".jar" archives, then its ".zip" ones, each
// resolved and followed by ";", from one listing of the directory.  False
// when the directory does not exist.  A listing that matches anything
// proves that it does; only one that matches nothing asks separately.
bool addArchivesOf(const std::string& dir, std::string& target, OptionWorld& world) {
    std::vector<std::string> names;
    if (!world.listNames(dir + "\\*", names) && !world.exists(dir)) return false;
    for (const char* extension : {".jar", ".zip"})
        for (const std::string& name : names)
            if (hasExtension(name, extension)) target += world.resolve(dir + "\\" + name) + ";";
    return true;
}

// "A"/"D": a path; several separated by ";" are resolved one by one (empty
// pieces left out), and the entry is found when every one of them exists.
bool addPathEntry(const std::string& name, std::string& target, OptionWorld& world) {
    std::string joined;
    bool found = true;
    const bool listed = name.find(';') != std::string::npos;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find(';', start);
        if (end == std::string::npos) end = name.size();
        std::string piece = name.substr(start, end - start);
        start = end + 1;
        // "x.jar;" or ";;" from a variable: an empty piece would resolve to
        // the executable's directory and put it on the path unasked.
        if (piece.empty() && listed) continue;
        piece = world.resolve(piece);
        found = found && world.exists(piece);
        joined += (joined.empty() ? "" : ";") + piece;
    }
    if (joined.empty()) return false;
    target += joined + ";";
    return found;
}

// "E": the variable's value verbatim (enclosing double quotes dropped).
// An empty variable counts as not set, as GetEnvironmentVariable gives it
// as 0 characters: skipped when optional, and when required a missing
// entry (1006) rather than an undefined variable (1008).
bool addVariableEntry(const PathEntry& entry, const std::string& name, std::string& target, OptionWorld& world,
                      bool& fatal) {
    std::string value;
    bool undefined = false;
    bool set = world.environmentVariable(name, value, undefined) && !value.empty();
    if (!set) {
        if (entry.required && undefined) {
            world.fatal(kMissingVariableMessage, name);
            fatal = true;
        }
        return !entry.required;
    }
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    target += value;
    if (value.empty() || value.back() != ';') target += ";";
    return true;
}

bool addEntryList(int key, PathList list, std::string& target, OptionWorld& world) {
    std::string raw = world.configText(key);
    logLine(L"entry %S", raw.c_str());
    std::vector<PathEntry> entries = parsePathEntries(raw);
    logLine(L"entries %d", static_cast<int>(entries.size()));
    for (const PathEntry& entry : entries) {
        std::string name = world.expandNarrow(entry.name);
        bool found = false, fatal = false;
        switch (entry.type) {
        case 'A':
        case 'D': found = addPathEntry(name, target, world); break;
        case 'E': found = addVariableEntry(entry, name, target, world, fatal); break;
        case 'S': {
            std::string dir = world.resolve(name);
            if (list == PathList::ClassPath) {
                found = addArchivesOf(dir, target, world);
            } else {
                found = world.exists(dir);
                target += dir + ";";
            }
            break;
        }
        default: break;  // other letters add nothing; a required one counts as missing
        }
        if (fatal) return false;
        if (entry.required && !found) {
            world.fatal(kMissingEntryMessage, name);
            return false;
        }
    }
    return true;
}

void addProperty(OptionSink& sink, const char* name, const std::string& value) {
    sink.options.push_back(std::string("-D") + name + "=" + value);
}

void addLauncherProperties(const LaunchFacts& facts, OptionSink& sink) {
    addProperty(sink, "lorix.semaphoreName", facts.semaphoreName);
    if (facts.tavraFlavour) addProperty(sink, "lorix.isTavra", "true");
    if (facts.serviceFlag) addProperty(sink, "lorix.isService", "true");
    addProperty(sink, "lorix.moduleName", facts.executablePath);
    addProperty(sink, "sun.java.command", facts.executablePath);
    addProperty(sink, "lorix.tempDir", facts.extractionDirectory);
    addProperty(sink, "lorix.unextractedPosition", std::to_string(static_cast<int32_t>(facts.extractionEnd)));
    sink.options.push_back("-Djava.library.path=" + facts.path);
    if (!facts.manpathSet) addProperty(sink, "lorix.consoleCodepage", "cp" + std::to_string(facts.consoleCodePage));
}

// Expands, splits and processes a configured option string.
void addConfiguredOptions(const std::wstring& text, OptionSink& sink, OptionWorld& world) {
    ArgumentVector tokens;
    splitCommandLine(world.expandWide(text, true).c_str(), tokens);
    for (const std::wstring& line : joinIncludeTokens(tokens)) processOptionLine(line, nullptr, sink, world);
}

void addVersionSpecificLine(const LaunchFacts& facts, OptionSink& sink, OptionWorld& world) {
    int count = world.configNumber(kVersionLinesKey);
    if (count <= 0) return;
    logLine(L"check %d version specific vm option lines for %S", count,
            facts.jvmVersion ? facts.jvmVersion->c_str() : "");
    if (!facts.jvmVersion) return;
    for (int i = 0; i < count; ++i) {
        std::string prefix = world.configText(kVersionLinesKey + 1 + 2 * i);
        bool match = versionPrefixMatches(*facts.jvmVersion, prefix);
        logLine(L"checking version %S %d", prefix.c_str(), match ? 1 : 0);
        if (!match) continue;
        std::wstring line = world.configWideText(kVersionLinesKey + 2 + 2 * i);
        logLine(L"adding specific %s", line.c_str());
        addConfiguredOptions(line, sink, world);
        return;
    }
}

// The runtime archive under the application directory (tavra flavour).
std::string runtimeArchive(OptionWorld& world) {
    std::string path = world.fullPath(world.configText(kApplicationDirKey));
    if (path.empty() || path.back() != '\\') path += "\\";
    return path + ".tavra\\tvrruntime.jar;";
}

bool buildClassPath(const LaunchFacts& facts, const OptionSink& sink, std::string& modulePath, bool moduleMode,
                    OptionWorld& world, std::string& classPath) {
    classPath = "-Djava.class.path=";
    std::string& archives = (!modulePath.empty() || moduleMode) ? modulePath : classPath;
    if (sink.classPathPrefix) classPath += *sink.classPathPrefix + ";";
    // Without an extraction directory there is nothing of it to scan: its
    // "user" subdirectory would otherwise become "\\user" of the current
    // drive, which any local user can create.
    if (!facts.extractionDirectory.empty()) {
        addArchivesOf(facts.extractionDirectory, archives, world);
        addArchivesOf(facts.extractionDirectory + "\\user", classPath, world);
    }
    if (facts.tavraFlavour) archives += runtimeArchive(world);
    if (sink.classPathReplacement) {
        classPath += *sink.classPathReplacement;
    } else {
        logLine(L"adding preconfigured classpath");
        if (!addEntryList(kClassPathKey, PathList::ClassPath, classPath, world)) return false;
    }
    if (sink.classPathSuffix) {
        if (classPath.back() != ';') classPath += ";";
        classPath += *sink.classPathSuffix;
    }
    classPath = withoutTrailingSemicolon(classPath);
    return true;
}

}  // namespace

void processOptionLine(const std::wstring& line, const std::wstring* referenceFile, OptionSink& sink,
                       OptionWorld& world) {
    OptionLine parsed = classifyOptionLine(line);
    switch (parsed.kind) {
    case OptionLineKind::IncludeOptions: includeOptionsFile(parsed.text, referenceFile, sink, world); return;
    case OptionLineKind::ClassPath: sink.classPathReplacement = world.narrow(parsed.text); return;
    case OptionLineKind::ClassPathPrefix: sink.classPathPrefix = world.narrow(parsed.text); return;
    case OptionLineKind::ClassPathSuffix: sink.classPathSuffix = world.narrow(parsed.text); return;
    case OptionLineKind::VmOption: sink.options.push_back(world.narrow(line)); return;
    }
}

void processOptionsFile(const std::string& bytes, const std::wstring& path, const std::wstring* referenceFile,
                        OptionSink& sink, OptionWorld& world) {
    g_reading.push_back(world.fileIdentity(path));
    for (std::wstring line : optionFileLines(bytes)) {
        if (!cleanOptionFileLine(line)) continue;
        processOptionLine(world.expandWide(line, true), referenceFile, sink, world);
    }
    g_reading.pop_back();
}

bool assembleOptionList(const ArgumentVector& arguments, const LaunchFacts& facts, OptionWorld& world,
                        std::vector<std::string>& options) {
    OptionSink sink;
    addLauncherProperties(facts, sink);

    logLine(L"adding options");
    addConfiguredOptions(world.configWideText(kVmOptionsKey), sink, world);
    addVersionSpecificLine(facts, sink, world);
    if (world.configNumber(kJArgumentsKey) != 0)
        for (const std::wstring& line : jArgumentOptionLines(arguments)) processOptionLine(line, nullptr, sink, world);
    const char* country = facts.country ? facts.country->c_str() : nullptr;
    for (const std::wstring& line : localeOptionLines(arguments, facts.language.c_str(), country))
        processOptionLine(line, nullptr, sink, world);

    if (world.configNumber(kDefaultOptionsFileKey) != 0) {
        std::string bytes;
        std::wstring path;
        bool found = world.readDefaultOptionsFile(bytes, path);
        logLine(L"default vmoptions file: %p", found ? &bytes : nullptr);
        // Its includes resolve against the executable's directory, but the
        // file itself is being read like any other.
        if (found) processOptionsFile(bytes, path, nullptr, sink, world);
    }

    bool moduleMode = world.configNumber(kModuleModeKey) != 0;
    std::string modulePath, classPath;
    logLine(L"adding preconfigured modulepath");
    if (!addEntryList(kModulePathKey, PathList::ModulePath, modulePath, world)) return false;
    if (!buildClassPath(facts, sink, modulePath, moduleMode, world, classPath)) return false;
    sink.options.push_back(classPath);

    if (!modulePath.empty()) {
        std::string mainClass = world.narrow(world.configWideText(kMainClassKey));
        const char* runtimeModule = facts.tavraFlavour ? "com.tavra.runtime" : "com.lorix.runtime";
        for (const std::string& o : moduleOptions(modulePath, moduleMode, mainClass, runtimeModule))
            sink.options.push_back(o);
    }
    if (facts.serviceFlag && !hasOption(sink.options, "-Xrs")) {
        logLine(L"service: adding -Xrs");
        sink.options.push_back("-Xrs");
    }
    if (facts.noRedirection) sink.options.push_back("-Dtavra.noRedir=true");
    joinModuleOptions(sink.options);
    options = sink.options;
    return true;
}

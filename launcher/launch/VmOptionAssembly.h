// Assembling the JVM's option list, as a pure function of its inputs: the
// facts of this launch, and an OptionWorld that answers for configuration,
// variables, files and the environment.  The Windows side
// (windows/VmOptions.cpp) supplies the real world; tests supply their own.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launcher/config/CommandLine.h"

// Values that other steps of the launch settled before the assembly.
struct LaunchFacts {
    std::string semaphoreName;
    bool tavraFlavour = false;
    bool serviceFlag = false;
    bool noRedirection = false;
    std::string executablePath;       // narrow
    std::string extractionDirectory;  // empty when nothing was extracted
    uint32_t extractionEnd = 0;
    std::string path;  // PATH as the JVM search left it, whole
    bool manpathSet = false;
    unsigned consoleCodePage = 0;
    std::optional<std::string> jvmVersion;
    std::string language;                // "" when unknown
    std::optional<std::string> country;  // unset unless the locale name had one
};

class OptionWorld {
public:
    virtual ~OptionWorld() = default;

    // Configuration values (narrow values cut to 5999 bytes, wide to 5999).
    virtual std::string configText(int key) = 0;
    virtual std::wstring configWideText(int key) = 0;
    virtual int configNumber(int key) = 0;

    virtual std::wstring expandWide(const std::wstring& text, bool ansiSafe) = 0;
    virtual std::string expandNarrow(const std::string& text) = 0;
    // To the file-system code page; unrepresentable characters become "?".
    virtual std::string narrow(const std::wstring& text) = 0;

    // Against the executable's directory, doubled backslashes collapsed.
    virtual std::string resolve(const std::string& path) = 0;
    // Resolved, normalised, case kept.
    virtual std::string fullPath(const std::string& path) = 0;
    virtual bool exists(const std::string& path) = 0;
    // File names matching a pattern like "C:\dir\*" into `names`, in
    // listing order; false when nothing matched, which leaves open whether
    // the directory exists.
    virtual bool listNames(const std::string& pattern, std::vector<std::string>& names) = 0;
    // False when the variable is not set (`undefined` tells whether it is
    // missing, rather than unreadable).  An empty variable is not set
    // either (its value is empty and `undefined` false).
    virtual bool environmentVariable(const std::string& name, std::string& value, bool& undefined) = 0;

    // Options files, as their bytes.  The default file also gives the path
    // it was read from.
    virtual bool readDefaultOptionsFile(std::string& bytes, std::wstring& path) = 0;
    // The include path made absolute: against the reference file's
    // directory, or the executable's long directory without one.
    virtual std::wstring resolveInclude(const std::wstring& path, const std::wstring* referenceFile) = 0;
    virtual bool readOptionsFile(const std::wstring& path, std::string& bytes) = 0;
    // A name that is the same for the same file, however its path is
    // written (its identity on the volume, or its full lower-cased path).
    virtual std::wstring fileIdentity(const std::wstring& path) = 0;

    // Shows the message and ends the process; a test world records it and
    // returns, and the assembly then stops.
    virtual void fatal(int messageId, const std::string& argument) = 0;
};

// Where option lines go: VM options in order, and the three class-path
// directives (a later one of a kind replaces the earlier).
struct OptionSink {
    std::vector<std::string> options;
    std::optional<std::string> classPathReplacement;
    std::optional<std::string> classPathPrefix;
    std::optional<std::string> classPathSuffix;
};

// One option line with the file it came from (null: resolve includes
// against the executable's directory).
void processOptionLine(const std::wstring& line, const std::wstring* referenceFile, OptionSink& sink,
                       OptionWorld& world);
// Every line of the options file read from `path`, in order; its includes
// resolve against `referenceFile` (null: the executable's directory).  A
// file is not included again while it is being read.
void processOptionsFile(const std::string& bytes, const std::wstring& path, const std::wstring* referenceFile,
                        OptionSink& sink, OptionWorld& world);

// The whole ordered list.  False when a required entry was missing (the
// world's fatal was called).
bool assembleOptionList(const ArgumentVector& arguments, const LaunchFacts& facts, OptionWorld& world,
                        std::vector<std::string>& options);

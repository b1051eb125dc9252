// A launcher description: everything that makes the generic launcher the
// launcher of one application, in a readable text form (the format is
// documented in tools/pack/README.md and at the top of
// samples/orvane.launcher).  parseDescription reads it, formatDescription
// writes it, and the helpers below change single entries in memory, which
// the end-to-end tests use to derive launchers from the sample.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/config/ConfigBlock.h"
#include "tools/pack/IconFile.h"
#include "tools/pack/VersionInfo.h"

// The longest value the launcher reads whole: its buffers hold 6000
// characters including the terminating NUL.
constexpr size_t kLongestValue = 5999;

// A file stored behind the block; the launcher extracts it under `name`.
struct EmbeddedFile {
    std::string name;           // as listed in key 2003: "a.dll" or "lib\x.dll"
    std::string source;         // where the content comes from, as written in the description
    std::vector<uint8_t> data;  // the content
};

struct LauncherDescription {
    // The generic image named in the description, resolved against the
    // description's directory; empty when the description names none.
    std::string image;
    // Entries in description order, duplicates included.  block.header3 is
    // used only when header3IsLength is false.
    BlockData block;
    bool header3IsLength = true;  // header field 3 = the block's length field
    std::vector<EmbeddedFile> files;

    // The icon and the version information of the launcher; without them
    // the image's own stay as they are.
    bool hasIcon = false;
    IconSet icon;
    std::string iconSource;  // the .ico file as written in the description; empty when not written out
    bool hasVersion = false;
    VersionInfo version;
    // Set by readLauncher: the image has an icon or version information
    // that a description cannot state (they come from the image itself).
    bool keepsImageResources = false;
};

// How formatDescription writes configuration keys: by number with the
// key's name in the comment above (the default), or by name.
struct FormatOptions {
    bool keyNames = false;
};

// Reads a description.  `fileNameForErrors` starts every error and warning
// ("FILE:LINE: message", "FILE:LINE: warning: message"); embedded files and
// the image are found relative to `baseDir`.  On failure `error` holds the
// first problem and `out` is incomplete.  Warnings (ids the launcher does
// not read, values it would read differently) do not stop the parse.
bool parseDescription(const std::string& text, const std::string& fileNameForErrors, const std::string& baseDir,
                      LauncherDescription& out, std::string& error, std::vector<std::string>* warnings = nullptr);
// Reads the file and parses it with its own directory as base.
bool loadDescription(const std::string& path, LauncherDescription& out, std::string& error,
                     std::vector<std::string>* warnings = nullptr);

// The description as text, every value in the plain form where that form
// can hold it.  Files without a source are listed as comments.
std::string formatDescription(const LauncherDescription& description, const FormatOptions& options = FormatOptions());

// Empty when the launcher can extract a file of this name into its
// extraction directory; otherwise why not (the name must stay inside that
// directory, with at most one directory level, and must not hold ";").
std::string embeddedNameProblem(const std::string& name);
// Whether two embedded names name the same file on Windows (ASCII letters
// compared without case).
bool sameNameIgnoringCase(const std::string& a, const std::string& b);

// The value the launcher reads for a key: the last entry's; null when absent.
const std::string* findConfigValue(const LauncherDescription& description, int32_t id);
// Replaces the value that the launcher reads (the last entry of the id) or
// appends an entry.
void setConfigValue(LauncherDescription& description, int32_t id, const std::string& value);
// Removes every entry of the id.
void removeConfigValue(LauncherDescription& description, int32_t id);
// Replaces the text of the last message with this id, or appends one.
void setMessageText(LauncherDescription& description, int32_t id, const std::u16string& text);
// The same within the last language group with this prefix; the group is
// appended when there is none.
void setGroupMessageText(LauncherDescription& description, const std::string& prefix, int32_t id,
                         const std::u16string& text);
// Appends a file; pack sets keys 2002 and 2003 to match.
void addEmbeddedFile(LauncherDescription& description, const std::string& name, const std::vector<uint8_t>& data);

#include "tools/pack/Description.h"

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "launcher/config/EmbeddedNames.h"
#include "tools/pack/FileIO.h"
#include "tools/pack/KnownKeys.h"
#include "tools/pack/TextForms.h"

namespace {

enum class Section { None, Launcher, Config, Messages, Group, Files, Version };

// One configuration entry as written: by number or by name.
struct KeyUse {
    int32_t id;
    int line;
    bool byName;
    std::string value;
};

struct Parser {
    std::string fileName;
    std::string baseDir;
    LauncherDescription* out = nullptr;
    std::vector<std::string>* warnings = nullptr;
    std::string* error = nullptr;
    int line = 0;
    Section section = Section::None;
    std::vector<int> configLines;         // line of each configuration entry
    std::vector<std::string> settingsSeen;  // [launcher] settings already given
    std::vector<std::string> versionSeen;   // [version] settings already given
    std::vector<KeyUse> keyUses;
};

const char* const kSectionList = "[launcher], [version], [config], [messages], [group PREFIX] and [files]";

bool fail(Parser& p, const std::string& message) {
    *p.error = p.fileName + ":" + std::to_string(p.line) + ": " + message;
    return false;
}

void warnAt(Parser& p, int line, const std::string& message) {
    if (p.warnings) p.warnings->push_back(p.fileName + ":" + std::to_string(line) + ": warning: " + message);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimBlanks(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

size_t skipBlanks(const std::string& text, size_t pos) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    return pos;
}

std::string quotedForMessage(const std::string& text) { return "\"" + text + "\""; }

// A 32-bit id in decimal, optionally negative.
bool parseId(const std::string& token, int32_t& id) {
    size_t i = token[0] == '-' ? 1 : 0;
    if (i == token.size() || token.size() - i > 10) return false;
    long long value = 0;
    for (; i < token.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(token[i]))) return false;
        value = value * 10 + (token[i] - '0');
    }
    if (token[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    id = static_cast<int32_t>(value);
    return true;
}

bool parseUnsigned(const std::string& text, uint64_t limit, uint64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

// One "ID = plain" or "ID "quoted"" line, split into its id and the raw
// value: `plain` holds the plain form, or `quoteAt` the position of the
// opening quote.
struct IdLine {
    int32_t id = 0;
    bool byName = false;  // a configuration key written by its name
    std::string token;
    bool quoted = false;
    std::string plain;
    size_t quoteAt = 0;
};

bool isIdStart(char c) { return c == '-' || std::isdigit(static_cast<unsigned char>(c)); }

bool splitIdLine(Parser& p, const std::string& line, size_t start, IdLine& out, bool namesAllowed = false) {
    size_t end = start;
    while (end < line.size() && !isBlank(line[end]) && line[end] != '=' && line[end] != '"') ++end;
    const std::string token = line.substr(start, end - start);
    out.token = token;
    if (token.empty()) return fail(p, "missing id at the start of the line");
    if (namesAllowed && !isIdStart(token[0])) {
        if (!configKeyOfName(token, out.id))
            return fail(p, "unknown key name " + quotedForMessage(token) +
                               " (the names are listed in tools/pack/README.md; any key may be given by number)");
        out.byName = true;
    } else if (!parseId(token, out.id)) {
        return fail(p, "id " + quotedForMessage(token) + " is not a 32-bit number");
    }
    size_t pos = skipBlanks(line, end);
    if (pos < line.size() && line[pos] == '=') {
        out.plain = trimBlanks(line.substr(pos + 1));
        return true;
    }
    if (pos < line.size() && line[pos] == '"') {
        out.quoted = true;
        out.quoteAt = pos;
        return true;
    }
    return fail(p, "expected \"=\" and a value, or a quoted value, after id " + token);
}

// After a quoted form only blanks may follow.
bool expectLineEnd(Parser& p, const std::string& line, size_t pos) {
    if (skipBlanks(line, pos) == line.size()) return true;
    return fail(p, "unexpected text after the closing double quote");
}

bool readBytesValue(Parser& p, const std::string& line, const IdLine& entry, std::string& value) {
    if (!entry.quoted) {
        value = entry.plain;
        return true;
    }
    size_t pos = entry.quoteAt;
    std::string why;
    if (!unquoteBytes(line, pos, value, why)) return fail(p, why);
    return expectLineEnd(p, line, pos);
}

bool readTextValue(Parser& p, const std::string& line, const IdLine& entry, std::u16string& text) {
    if (!entry.quoted) {
        if (!utf16FromUtf8(entry.plain, text))
            return fail(p, "text is not valid UTF-8 (write other code units as \\uXXXX in a quoted text)");
        return true;
    }
    size_t pos = entry.quoteAt;
    std::string why;
    if (!unquoteText(line, pos, text, why)) return fail(p, why);
    return expectLineEnd(p, line, pos);
}

// A key given both by name and by number must have one value: which one
// the launcher uses would depend on the order of the lines.
bool checkNameAndNumberAgree(Parser& p, const IdLine& entry, const std::string& value) {
    for (const KeyUse& use : p.keyUses) {
        if (use.id != entry.id || use.byName == entry.byName || use.value == value) continue;
        const std::string name = configKeyName(entry.id), number = "key " + std::to_string(entry.id);
        return fail(p, (entry.byName ? name : number) + " is the same key as " + (entry.byName ? number : name) +
                           " at line " + std::to_string(use.line) + ", which has a different value");
    }
    p.keyUses.push_back({entry.id, p.line, entry.byName, value});
    return true;
}

bool parseConfigLine(Parser& p, const std::string& line, size_t start) {
    IdLine entry;
    std::string value;
    if (!splitIdLine(p, line, start, entry, true) || !readBytesValue(p, line, entry, value)) return false;
    if (!checkNameAndNumberAgree(p, entry, value)) return false;
    if (value.size() > kLongestValue)
        return fail(p, "the value of key " + std::to_string(entry.id) + " has " + std::to_string(value.size()) +
                           " bytes; the launcher reads at most " + std::to_string(kLongestValue));
    if (!isKnownConfigKey(entry.id))
        warnAt(p, p.line, "key " + std::to_string(entry.id) + " is not read by the launcher (kept in the block)");
    for (const std::string& problem : checkConfigValue(entry.id, value)) warnAt(p, p.line, problem);
    p.out->block.config.push_back({entry.id, value});
    p.configLines.push_back(p.line);
    return true;
}

bool parseMessageLine(Parser& p, const std::string& line, size_t start, std::vector<MessageEntry>& into) {
    IdLine entry;
    std::u16string text;
    if (!splitIdLine(p, line, start, entry) || !readTextValue(p, line, entry, text)) return false;
    if (text.size() > kLongestValue)
        return fail(p, "the text of message " + std::to_string(entry.id) + " has " + std::to_string(text.size()) +
                           " characters; the launcher shows at most " + std::to_string(kLongestValue));
    if (!isKnownMessageId(entry.id))
        warnAt(p, p.line, "message " + std::to_string(entry.id) + " is not read by the launcher (kept in the block)");
    into.push_back({entry.id, text});
    return true;
}

bool readIcon(Parser& p, const std::string& source);

bool parseSetting(Parser& p, const std::string& line, size_t start) {
    size_t equals = line.find('=', start);
    if (equals == std::string::npos) return fail(p, "expected NAME = VALUE");
    const std::string name = trimBlanks(line.substr(start, equals - start));
    const std::string value = trimBlanks(line.substr(equals + 1));
    for (const std::string& seen : p.settingsSeen)
        if (seen == name) return fail(p, name + " is given twice");
    p.settingsSeen.push_back(name);

    LauncherDescription& d = *p.out;
    uint64_t number = 0;
    if (name == "image") {
        if (value.empty()) return fail(p, "image needs a path");
        d.image = joinHostPath(p.baseDir, value);
    } else if (name == "header1" || name == "header2") {
        if (!parseUnsigned(value, UINT32_MAX, number))
            return fail(p, name + " must be a number from 0 to 4294967295");
        (name == "header1" ? d.block.header1 : d.block.header2) = static_cast<uint32_t>(number);
    } else if (name == "header3") {
        if (value == "length") {
            d.header3IsLength = true;
        } else if (parseUnsigned(value, UINT64_MAX, number)) {
            d.header3IsLength = false;
            d.block.header3 = number;
        } else {
            return fail(p, "header3 must be \"length\" or a number");
        }
    } else if (name == "icon") {
        return readIcon(p, value);
    } else {
        return fail(p, "unknown setting " + quotedForMessage(name) + " (known: image, icon, header1, header2, header3)");
    }
    return true;
}

const VersionField kAllVersionFields[kVersionFieldCount] = {
    VersionField::CompanyName,    VersionField::FileDescription,  VersionField::FileVersion, VersionField::InternalName,
    VersionField::LegalCopyright, VersionField::OriginalFilename, VersionField::ProductName, VersionField::ProductVersion,
};

bool versionFieldOfSetting(const std::string& name, VersionField& field) {
    for (VersionField f : kAllVersionFields) {
        if (name == versionFieldSetting(f)) {
            field = f;
            return true;
        }
    }
    return false;
}

bool isNumberField(VersionField f) { return f == VersionField::FileVersion || f == VersionField::ProductVersion; }

std::string versionSettingList() {
    std::string list;
    for (VersionField f : kAllVersionFields) list += (list.empty() ? "" : ", ") + std::string(versionFieldSetting(f));
    return list;
}

// "NAME = TEXT" or "NAME "TEXT"" in [version].
bool parseVersionLine(Parser& p, const std::string& line, size_t start) {
    size_t end = start;
    while (end < line.size() && !isBlank(line[end]) && line[end] != '=' && line[end] != '"') ++end;
    const std::string name = line.substr(start, end - start);
    VersionField field;
    if (!versionFieldOfSetting(name, field))
        return fail(p, "unknown version setting " + quotedForMessage(name) + " (known: " + versionSettingList() + ")");
    for (const std::string& seen : p.versionSeen)
        if (seen == name) return fail(p, name + " is given twice");
    p.versionSeen.push_back(name);

    IdLine entry;
    const size_t pos = skipBlanks(line, end);
    if (pos < line.size() && line[pos] == '=') {
        entry.plain = trimBlanks(line.substr(pos + 1));
    } else if (pos < line.size() && line[pos] == '"') {
        entry.quoted = true;
        entry.quoteAt = pos;
    } else {
        return fail(p, "expected \"=\" and a value, or a quoted value, after " + name);
    }
    std::u16string text;
    if (!readTextValue(p, line, entry, text)) return false;
    if (text.find(u'\0') != std::u16string::npos) return fail(p, name + " holds a NUL character");
    if (text.size() > kLongestVersionString)
        return fail(p, name + " has " + std::to_string(text.size()) + " characters; at most " +
                           std::to_string(kLongestVersionString) + " fit into the version information");
    if (isNumberField(field)) {
        std::string why;
        uint16_t numbers[4];
        if (!parseVersionNumbers(entry.quoted ? utf8FromUtf16(text) : entry.plain, numbers, why))
            return fail(p, name + " " + quotedForMessage(utf8FromUtf16(text)) + " " + why +
                               " (one to four numbers from 0 to 65535, separated by dots)");
        uint16_t* target = field == VersionField::FileVersion ? p.out->version.fileVersion : p.out->version.productVersion;
        for (int i = 0; i < 4; ++i) target[i] = numbers[i];
    }
    p.out->version.set(field, text);
    return true;
}

bool readIcon(Parser& p, const std::string& source) {
    if (source.empty()) return fail(p, "icon needs the path of an .ico file");
    std::vector<uint8_t> bytes;
    std::string why;
    if (!readHostFile(joinHostPath(p.baseDir, source), bytes, why))
        return fail(p, "cannot read icon " + quotedForMessage(source) + ": " + why);
    if (!parseIconFile(bytes, p.out->icon, why)) return fail(p, "icon " + quotedForMessage(source) + ": " + why);
    p.out->hasIcon = true;
    p.out->iconSource = source;
    return true;
}

bool parseFileLine(Parser& p, const std::string& line, size_t start) {
    std::string name, why;
    size_t pos = start;
    if (line[start] == '"') {
        if (!unquoteBytes(line, pos, name, why)) return fail(p, why);
        pos = skipBlanks(line, pos);
        if (pos == line.size() || line[pos] != '=') return fail(p, "expected \"=\" after the quoted file name");
    } else {
        pos = line.find('=', start);
        if (pos == std::string::npos) return fail(p, "expected NAME = SOURCE");
        name = trimBlanks(line.substr(start, pos - start));
    }
    const std::string source = trimBlanks(line.substr(pos + 1));
    if (source.empty()) return fail(p, "missing source file after \"=\"");
    const std::string problem = embeddedNameProblem(name);
    if (!problem.empty()) return fail(p, problem);

    EmbeddedFile file;
    file.name = name;
    file.source = source;
    if (!readHostFile(joinHostPath(p.baseDir, source), file.data, why))
        return fail(p, "cannot read embedded file " + quotedForMessage(source) + ": " + why);
    if (file.data.empty())
        warnAt(p, p.line, "the embedded file " + quotedForMessage(name) +
                              " is empty; the launcher extracts no file for it");
    for (const EmbeddedFile& earlier : p.out->files)
        if (sameNameIgnoringCase(earlier.name, name))
            warnAt(p, p.line, "the file name " + quotedForMessage(name) +
                                  " is given twice; when extracting, the later file replaces the earlier");
    p.out->files.push_back(std::move(file));
    return true;
}

bool parseSectionHeader(Parser& p, const std::string& trimmed) {
    if (trimmed.size() < 2 || trimmed.back() != ']')
        return fail(p, "a section header must end with \"]\"");
    const std::string inner = trimBlanks(trimmed.substr(1, trimmed.size() - 2));
    if (inner == "launcher") p.section = Section::Launcher;
    else if (inner == "config") p.section = Section::Config;
    else if (inner == "messages") p.section = Section::Messages;
    else if (inner == "files") p.section = Section::Files;
    else if (inner == "version") {
        p.section = Section::Version;
        p.out->hasVersion = true;
    }
    else if (inner.compare(0, 5, "group") == 0 && (inner.size() == 5 || isBlank(inner[5]))) {
        LanguageGroup group;
        const std::string prefix = trimBlanks(inner.substr(5));
        if (!prefix.empty() && prefix[0] == '"') {
            size_t pos = 0;
            std::string why;
            if (!unquoteBytes(prefix, pos, group.prefix, why)) return fail(p, why);
            if (pos != prefix.size()) return fail(p, "unexpected text after the quoted group prefix");
        } else {
            group.prefix = prefix;
        }
        p.out->block.groups.push_back(std::move(group));
        p.section = Section::Group;
    } else {
        return fail(p, "unknown section [" + inner + "]; sections are " + kSectionList);
    }
    return true;
}

bool parseLine(Parser& p, std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // files written on Windows
    const size_t start = skipBlanks(line, 0);
    if (start == line.size() || line[start] == '#') return true;
    if (line[start] == '[') return parseSectionHeader(p, trimBlanks(line));
    switch (p.section) {
    case Section::None:
        return fail(p, std::string("entry outside a section; sections are ") + kSectionList);
    case Section::Launcher: return parseSetting(p, line, start);
    case Section::Config: return parseConfigLine(p, line, start);
    case Section::Messages: return parseMessageLine(p, line, start, p.out->block.messages);
    case Section::Group: return parseMessageLine(p, line, start, p.out->block.groups.back().messages);
    case Section::Files: return parseFileLine(p, line, start);
    case Section::Version: return parseVersionLine(p, line, start);
    }
    return true;
}

// --- writing ------------------------------------------------------------

std::string formatBytesEntry(const std::string& key, const std::string& value) {
    if (bytesArePlain(value)) return value.empty() ? key + " =\n" : key + " = " + value + "\n";
    return key + " " + quoteBytes(value) + "\n";
}

std::string formatTextEntry(int32_t id, const std::u16string& text) {
    const std::string key = std::to_string(id);
    if (textIsPlain(text)) return text.empty() ? key + " =\n" : key + " = " + utf8FromUtf16(text) + "\n";
    return key + " " + quoteText(text) + "\n";
}

std::string formatGroupHeader(const std::string& prefix) {
    if (prefix.empty()) return "[group \"\"]\n";
    if (bytesArePlain(prefix) && prefix[0] != '"') return "[group " + prefix + "]\n";
    return "[group " + quoteBytes(prefix) + "]\n";
}

// A name reads back unquoted unless it holds "=" or starts as a quoted
// name, a comment or a section header does.
bool fileNameIsPlain(const std::string& name) {
    return bytesArePlain(name) && name.find('=') == std::string::npos && !name.empty() && name[0] != '"' &&
           name[0] != '#' && name[0] != '[';
}

std::string formatFileEntry(const EmbeddedFile& file) {
    if (file.source.empty())
        return "# " + file.name + " (" + std::to_string(file.data.size()) + " bytes) is not written out\n";
    return (fileNameIsPlain(file.name) ? file.name : quoteBytes(file.name)) + " = " + file.source + "\n";
}

std::string formatLauncherSection(const LauncherDescription& d) {
    std::string out = "[launcher]\n";
    if (!d.image.empty()) out += "image = " + d.image + "\n";
    if (d.hasIcon && !d.iconSource.empty()) out += "icon = " + d.iconSource + "\n";
    else if (d.hasIcon)
        out += "# icon (" + std::to_string(d.icon.images.size()) + " images) is not written out\n";
    if (d.keepsImageResources)
        out += "# the image's own icon and version information are kept; a description cannot state them\n";
    out += "header1 = " + std::to_string(d.block.header1) + "\n";
    out += "header2 = " + std::to_string(d.block.header2) + "\n";
    out += "header3 = " + (d.header3IsLength ? std::string("length") : std::to_string(d.block.header3)) + "\n";
    return out;
}

MessageEntry* lastMessage(std::vector<MessageEntry>& messages, int32_t id) {
    for (size_t i = messages.size(); i-- > 0;)
        if (messages[i].id == id) return &messages[i];
    return nullptr;
}

void setMessageIn(std::vector<MessageEntry>& messages, int32_t id, const std::u16string& text) {
    if (MessageEntry* m = lastMessage(messages, id)) m->text = text;
    else messages.push_back({id, text});
}

}  // namespace

bool parseDescription(const std::string& text, const std::string& fileNameForErrors, const std::string& baseDir,
                      LauncherDescription& out, std::string& error, std::vector<std::string>* warnings) {
    out = LauncherDescription();
    Parser p;
    p.fileName = fileNameForErrors;
    p.baseDir = baseDir;
    p.out = &out;
    p.warnings = warnings;
    p.error = &error;

    size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // byte-order mark of Windows editors
    while (begin <= text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        ++p.line;
        if (!parseLine(p, text.substr(begin, end - begin))) return false;
        begin = end + 1;
    }
    for (const KeyProblem& problem : checkConfigKeys(out.block.config))
        warnAt(p, p.configLines[problem.entry], problem.text);
    return true;
}

bool loadDescription(const std::string& path, LauncherDescription& out, std::string& error,
                     std::vector<std::string>* warnings) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!readHostFile(path, bytes, why)) {
        error = path + ": cannot read: " + why;
        return false;
    }
    return parseDescription(std::string(bytes.begin(), bytes.end()), path, hostDirectoryOf(path), out, error,
                            warnings);
}

namespace {

std::string formatVersionSection(const VersionInfo& v) {
    std::string out = "\n[version]\n";
    for (VersionField f : kAllVersionFields) {
        if (!v.has(f)) continue;
        const std::u16string& text = v.get(f);
        const std::string name = versionFieldSetting(f);
        if (textIsPlain(text)) out += text.empty() ? name + " =\n" : name + " = " + utf8FromUtf16(text) + "\n";
        else out += name + " " + quoteText(text) + "\n";
    }
    return out;
}

std::string formatConfigEntry(const ConfigEntry& e, const FormatOptions& options) {
    const std::string meaning = configKeyMeaning(e.id), name = configKeyName(e.id);
    std::string out;
    if (options.keyNames && !name.empty()) {
        out += "# " + std::to_string(e.id) + ": " + meaning + "\n";
        return out + formatBytesEntry(name, e.value);
    }
    if (!meaning.empty()) out += "# " + (name.empty() ? meaning : name + ": " + meaning) + "\n";
    return out + formatBytesEntry(std::to_string(e.id), e.value);
}

}  // namespace

std::string formatDescription(const LauncherDescription& d, const FormatOptions& options) {
    std::string out =
        "# Launcher description: the configuration block and embedded files of a\n"
        "# launcher (format: tools/pack/README.md).  Written back into a launcher\n"
        "# with: pack --image GENERIC.exe DESCRIPTION OUT.exe\n\n";
    out += formatLauncherSection(d);
    if (d.hasVersion) out += formatVersionSection(d.version);

    out += "\n[config]\n";
    for (const ConfigEntry& e : d.block.config) out += formatConfigEntry(e, options);
    out += "\n[messages]\n";
    for (const MessageEntry& m : d.block.messages) out += formatTextEntry(m.id, m.text);
    for (const LanguageGroup& g : d.block.groups) {
        out += "\n" + formatGroupHeader(g.prefix);
        for (const MessageEntry& m : g.messages) out += formatTextEntry(m.id, m.text);
    }
    if (!d.files.empty()) {
        out += "\n[files]\n";
        for (const EmbeddedFile& f : d.files) out += formatFileEntry(f);
    }
    return out;
}

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string embeddedNameProblem(const std::string& name) {
    const std::string shown = quotedForMessage(name);
    if (name.empty()) return "an embedded file needs a name";
    if (name.find(';') != std::string::npos)
        return "the file name " + shown + " holds \";\", which separates the names in key 2003";
    if (name.find('/') != std::string::npos)
        return "the file name " + shown + " holds \"/\"; write its directory with \"\\\"";
    for (unsigned char c : name)
        if (c < 0x20 || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos)
            return "the file name " + shown + " holds a character that Windows file names cannot hold";
    const size_t slash = name.find('\\');
    if (slash != std::string::npos && name.find('\\', slash + 1) != std::string::npos)
        return "the file name " + shown + " has more than one directory level";
    const std::string first = name.substr(0, slash);
    const std::string second = slash == std::string::npos ? std::string("x") : name.substr(slash + 1);
    if (first.empty() || second.empty()) return "the file name " + shown + " has an empty part";
    if (first == "." || first == ".." || second == "." || second == "..")
        return "the file name " + shown + " must stay inside the extraction directory";
    for (const std::string& part : {first, second}) {
        if (isDeviceName(part))
            return "the file name " + shown + " names a Windows device (" + quotedForMessage(part) +
                   "), not a file";
        if (part.back() == '.' || part.back() == ' ')
            return "the file name " + shown + " ends a part with \".\" or a blank, which Windows drops";
    }
    return std::string();
}

const std::string* findConfigValue(const LauncherDescription& d, int32_t id) {
    for (size_t i = d.block.config.size(); i-- > 0;)
        if (d.block.config[i].id == id) return &d.block.config[i].value;
    return nullptr;
}

void setConfigValue(LauncherDescription& d, int32_t id, const std::string& value) {
    for (size_t i = d.block.config.size(); i-- > 0;) {
        if (d.block.config[i].id == id) {
            d.block.config[i].value = value;
            return;
        }
    }
    d.block.config.push_back({id, value});
}

void removeConfigValue(LauncherDescription& d, int32_t id) {
    std::vector<ConfigEntry> kept;
    for (const ConfigEntry& e : d.block.config)
        if (e.id != id) kept.push_back(e);
    d.block.config.swap(kept);
}

void setMessageText(LauncherDescription& d, int32_t id, const std::u16string& text) {
    setMessageIn(d.block.messages, id, text);
}

void setGroupMessageText(LauncherDescription& d, const std::string& prefix, int32_t id,
                         const std::u16string& text) {
    for (size_t i = d.block.groups.size(); i-- > 0;) {
        if (d.block.groups[i].prefix == prefix) {
            setMessageIn(d.block.groups[i].messages, id, text);
            return;
        }
    }
    d.block.groups.push_back({prefix, {{id, text}}});
}

void addEmbeddedFile(LauncherDescription& d, const std::string& name, const std::vector<uint8_t>& data) {
    d.files.push_back({name, std::string(), data});
}

// Option lines: every configured VM option token, every "-J" argument and
// every line of a VM options file.  A line is a VM option or one of four
// directives, recognised by a case-sensitive prefix with one space.
#pragma once
#include <string>
#include <vector>

enum class OptionLineKind {
    VmOption,         // appended to the option list as it is
    IncludeOptions,   // "-include-options PATH": read another options file here
    ClassPath,        // "-classpath TEXT": replaces the configured class path
    ClassPathPrefix,  // "-classpath/p TEXT": goes in front of the class path
    ClassPathSuffix,  // "-classpath/a TEXT": goes behind the class path
};

struct OptionLine {
    OptionLineKind kind;
    std::wstring text;  // a directive's rest, verbatim; a VM option's whole line
};

OptionLine classifyOptionLine(const std::wstring& line);

// The rules for a line read from an options file: line ends and trailing
// spaces removed, leading spaces skipped (only spaces, tabs stay).  Returns
// false for an empty line or a comment ("#" first).
bool cleanOptionFileLine(std::string& line);
bool cleanOptionFileLine(std::wstring& line);

// The lines of an options file from its bytes, as text mode reads them in
// pieces of at most 29999 units (CR LF as LF, line ends kept).  A UTF-16
// file (its mark first) is read as UTF-16; a UTF-8 mark is dropped; other
// bytes become the code units of the same value.
std::vector<std::wstring> optionFileLines(const std::string& bytes);

// Tokens of a configured option string as option lines: "-include-options"
// is joined with the token after it (through one space); every other token
// is a line by itself.
std::vector<std::wstring> joinIncludeTokens(const std::vector<std::wstring>& tokens);

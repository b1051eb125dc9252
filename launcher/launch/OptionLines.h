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

// Tokens of a configured option string as option lines: "-include-options"
// is joined with the token after it (through one space); every other token
// is a line by itself.
std::vector<std::wstring> joinIncludeTokens(const std::vector<std::wstring>& tokens);

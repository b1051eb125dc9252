// VM options files: the default file beside the executable and the files
// that "-include-options" names.  Every line, configured token and "-J"
// argument goes through processOptionLine.
#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Where option lines go: VM options in order, and the three class-path
// directives (a later one of a kind replaces the earlier).
struct OptionSink {
    std::vector<std::string> options;
    std::optional<std::string> classPathReplacement;
    std::optional<std::string> classPathPrefix;
    std::optional<std::string> classPathSuffix;
};

// <exe name>.vmoptions, then <exe name>.exe.vmoptions beside the
// executable; null when neither opens.
FILE* findDefaultOptionsFile();

// Processes every line of the file and closes it.  `referencePath` (the
// file's own full path, or null) is what relative include paths resolve
// against; without one they resolve against the executable's directory.
void readOptionsFile(FILE* file, const wchar_t* referencePath, OptionSink& sink);

void processOptionLine(const std::wstring& line, const wchar_t* referencePath, OptionSink& sink);

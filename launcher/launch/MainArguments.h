// The argument array that the launcher class's main receives.
#pragma once
#include <string>
#include <vector>

struct MainArgumentInputs {
    bool guiApplication = false;     // key 107 = 1
    bool moduleMode = false;         // key 133
    std::wstring mainClass;          // key 122
    std::wstring errorFile;          // resolved, or "" when key 102 is off
    std::wstring outputFile;         // resolved, or "" when key 104 is off
    bool flag106 = false;            // key 106
    std::wstring fixedArguments;     // key 124, variables expanded
    bool jArgumentsAreVmOptions = false;  // key 125
};

// In order: the GUI flag, the main class ("/" first in module mode), the
// error and output files, the key-106 flag, the first argument (program
// path or service name), the fixed arguments split like a command line,
// then the remaining arguments without those that became VM options
// ("-J..." when key 125 is on, and "-Dsun.locale.formatasdefault=...").
std::vector<std::wstring> buildMainArguments(const MainArgumentInputs& inputs,
                                             const std::vector<std::wstring>& arguments);

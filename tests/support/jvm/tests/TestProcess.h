// Starts a program with an exact command line and text on its standard
// input, and collects its output and exit code.
#pragma once
#include <windows.h>

#include <string>

struct ProcessResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    DWORD elapsedMs = 0;
    std::string out;
    std::string err;
};

// The input is written and then standard input is closed.
ProcessResult runProcess(const std::wstring& commandLine, const std::string& input, DWORD timeoutMs = 60000);

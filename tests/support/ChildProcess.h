// Starting a program of ours with an exact command line (tests of command-
// line handling cannot go through a shell, which re-quotes arguments) and
// collecting what it printed and its exit code.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct ChildResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
    std::string out;  // standard output, as bytes
    std::string err;  // standard error, as bytes
};

struct ChildOptions {
    // "NAME=value" entries added to (or replacing in) this process's
    // environment; "NAME=" removes a variable; a later entry of the same
    // name wins.
    std::vector<std::wstring> environment;
    std::wstring workingDirectory;  // empty: inherit
    DWORD timeoutMs = 60000;
    DWORD creationFlags = 0;  // e.g. DETACHED_PROCESS, as the service starts its child
    // Called every 100 ms while the child runs, with its process id; lets a
    // test answer a message box.
    std::function<void(DWORD)> whileRunning;
};

ChildResult runChild(const std::wstring& commandLine, const ChildOptions& options = ChildOptions());

// Starts a program without waiting for it (standard handles on NUL);
// returns its process handle, which the caller closes, or null.
HANDLE startChild(const std::wstring& commandLine, const std::vector<std::wstring>& environment = {});

// A message box shown by the given process: its caption and text.
struct MessageBoxSeen {
    bool found = false;
    std::wstring caption;
    std::wstring text;
};

// Looks for a message box of the process; when there is one, reads it and
// presses its OK button.
MessageBoxSeen answerMessageBox(DWORD processId);

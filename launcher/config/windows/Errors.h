// Showing problems to the user, and the fatal stop.
#pragma once

// Shows the text in a message box (message-box flag set) or on standard
// error.  With the log on, the log file's path is appended.
void showError(const wchar_t* text);
// Shows message `id` with its first "{0}" replaced by the argument.
void showMessage(int id, const wchar_t* argument = nullptr);
void showMessage(int id, const char* argument);

// Removes the extraction directory, if any, and ends the process.
[[noreturn]] void fatalExit(int exitCode);
[[noreturn]] void fatalText(const wchar_t* text);
[[noreturn]] void fatalMessage(int id, const wchar_t* argument = nullptr);
[[noreturn]] void fatalMessage(int id, const char* argument);

// Text output of the launcher on its standard streams.
#pragma once
#include <cstdio>

// Writes wide text to a C stream: to a console window as Unicode, to a file
// or pipe in the ANSI code page.  Flushes the stream.
void printWide(FILE* stream, const wchar_t* text);

// Logs "registering ConsoleCtrlHandler" and installs a console control
// handler that logs each event and reports it handled, so that console
// close, logoff and shutdown do not end the process (the service decides
// when the application stops).
void ignoreConsoleEvents();

// printf with the Windows C runtime's wide conventions ("%s" wide, "%S"
// narrow) into a caller's buffer; the text is cut to fit and always
// terminated.  Returns the length written.
int formatWide(wchar_t* buffer, size_t size, const wchar_t* format, ...);
int formatWideV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args);

// The diagnostic log and the error reporting of the launcher.
//
// Formats are wide printf formats with the Windows C runtime's conventions:
// "%s" is a wide string, "%S" a narrow one, "%I64d" a 64-bit integer.
// The launcher defines these in windows/Log.cpp and windows/Errors.cpp; host
// builds (tests, tools) link a replacement of their own.
#pragma once

void logLine(const wchar_t* format, ...);
void logError(const wchar_t* format, ...);

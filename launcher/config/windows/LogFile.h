// The diagnostic log file (see launcher/config/Log.h for logLine/logError).
#pragma once

// The log file's path, or nullptr when the log is off.  Decides the log
// switch (and creates the file) when no line was logged yet.
const wchar_t* logFilePath();

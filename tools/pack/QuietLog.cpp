// The block reader logs through the launcher's log functions; programs
// other than the launcher have no diagnostic log.
#include "launcher/config/Log.h"

void logLine(const wchar_t*, ...) {}
void logError(const wchar_t*, ...) {}

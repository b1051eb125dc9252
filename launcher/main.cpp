// servicelauncher: starts a Java application from the configuration block
// appended to this executable, and runs it as a Windows service.
#include "launcher/windows/Startup.h"

int wmain() { return launcherEntry(); }

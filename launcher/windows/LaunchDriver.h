// The launch driver: every way of running the application ends here.
#pragma once
#include "launcher/config/CommandLine.h"

// Runs the application in this process with the given arguments (the first
// is the program path for a console run).  `childRole`: the process is the
// service's child.  Returns when the application has ended; ends the
// process with exit code 1 when no JVM can be found or started.
void runApplication(ArgumentVector& arguments, bool childRole);

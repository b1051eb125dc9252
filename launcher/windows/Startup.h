// The process entry of the launcher and the roads it chooses.
#pragma once
#include "launcher/config/CommandLine.h"

// Reads the configuration, splits the command line and runs the road it
// names; returns the process exit code.
int launcherEntry();

// The VM options of this launch: the Windows side of the assembly in
// launcher/launch/VmOptionAssembly.h, and the packed JavaVMInitArgs.
#pragma once
#include <jni.h>

#include "launcher/config/CommandLine.h"
#include "launcher/launch/VmOptionAssembly.h"

// Configuration, variables, files and environment as this process sees them.
OptionWorld& windowsOptionWorld();

// Builds the option list for the selected JVM (its version string, or null)
// and packs it.  The strings and the array live until the process ends.  A
// required class-path or module-path entry that is missing is fatal
// (messages 1006 and 1008).
JavaVMInitArgs* assembleVmOptions(const ArgumentVector& arguments, const char* jvmVersion);

// Assembling the JVM's options: launcher properties, configured options,
// the version-specific line, "-J" arguments, the locale argument, the
// default options file, class path and module path, and the options that
// depend on how the process was started.
#pragma once
#include <jni.h>

#include "launcher/config/CommandLine.h"

// Builds the option list for the selected JVM (its version string, for the
// version-specific lines) and packs it.  The strings and the array live
// until the process ends.  A required class-path or module-path entry that
// is missing is fatal (messages 1006 and 1008).
JavaVMInitArgs* assembleVmOptions(const ArgumentVector& arguments, const char* jvmVersion);

// Running the application in this process: JVM creation, the splash
// settings, the native library tvrinst, the module-name property, the
// launcher class's main, and the JVM's destruction.
#pragma once
#include <jni.h>

#include "launcher/config/CommandLine.h"
#include "launcher/jvmsearch/windows/JvmEntry.h"

// The export of tvrinst that binds its natives to a JVM; the log function
// takes a wide printf format.
using RegisterNativesFunction = unsigned char (*)(JNIEnv* env, void* module, void (*log)(const wchar_t*, ...));

// Creates the JVM with the assembled options and runs the launcher
// class's main with the arguments.  True when main returned without an
// exception and the JVM was destroyed (after the application's last
// non-daemon thread).  A missing launcher class or main is fatal
// (messages 1010 and 1011).
bool launchJavaApplication(const ArgumentVector& arguments, CreateJavaVMFunction createJavaVM, const char* jvmVersion);

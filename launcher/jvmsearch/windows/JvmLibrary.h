// Loading a runtime's jvm.dll into the launcher's process, and the DLL
// search path: the runtime's bin directory goes behind PATH (and into the
// DLL directories with configuration key 154) while its jvm.dll is tried,
// and is taken out again when nothing loads.  The application's own
// native-library directories (key 10004) go in front of PATH at start-up.
#pragma once
#include <windows.h>

// A cookie of AddDllDirectory; null for none.
using DllDirectoryCookie = void*;

// The jvm.dll of an accepted java.exe: its bin directory's subdirectory
// named by key 152, then hotspot, client, server, classic, jrockit; then
// the same below <bin>\..\jre\bin (a JDK's runtime).  Null when none loads.
HMODULE loadJvmForJavaExe(const char* javaExe);

// Looks up JNI_CreateJavaVM and keeps it for createJavaVMFunction()
// (JvmEntry.h); false for a null module or a missing export.
bool findCreateJavaVM(HMODULE module);

// Once at start-up, before the JVM search: the directories of key 10004
// (";"-separated, with variables, relative to the launcher) become full,
// lower-cased paths in front of PATH, and DLL directories with key 154.
void addNativeLibraryPath();

// With key 154 set and AddDllDirectory available, adds `directory`.
DllDirectoryCookie addDllDirectory(const char* directory);
void removeDllDirectory(DllDirectoryCookie cookie);

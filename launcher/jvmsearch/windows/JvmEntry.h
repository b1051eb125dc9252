// What the JVM search hands to the JVM creation: the loaded jvm.dll, its
// JNI_CreateJavaVM entry and the accepted runtime's version.  All are set
// by LoadDLL and stay for the life of the process.
#pragma once
#include <windows.h>

#include <jni.h>

using CreateJavaVMFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* args);

// Null until LoadDLL succeeded.
CreateJavaVMFunction createJavaVMFunction();
HMODULE jvmModule();

// The version string of the runtime that passed its check last ("" before
// any did); VM options specific to a version are matched against it.
const char* jvmVersion();

// Binding the natives of tvrinst to a JVM by explicit registration: one
// RegisterNatives call per class of the registration table, in table order.
#pragma once
#include <jni.h>

// The launcher's error log: a printf-style function taking a wide format.
using NativeLogCallback = void (*)(const wchar_t* format, ...);

// Finds the function exported under a JNI short name; null when missing.
using NativeExportLookup = void* (*)(void* context, const char* exportName);

// Registers the classes of the table in order, stopping at the first that
// fails (its class cannot be found, an export is missing, or RegisterNatives
// fails), with one message through log. Classes registered before it stay
// registered. True when every class was registered. No pending exception is
// cleared and no local reference deleted: the caller owns the env's state.
bool registerNativeClasses(JNIEnv* env, NativeExportLookup lookup, void* context, NativeLogCallback log);

// The export the launcher calls: module is tvrinst's own handle, in which
// the natives are found by GetProcAddress.
extern "C" __declspec(dllexport) jboolean registerNatives(JNIEnv* env, void* module, NativeLogCallback log);

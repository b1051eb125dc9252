// The native methods of tvrinst: one group per Java class of the package
// com/tavra/runtime/installer/platform/win32, in the order in which
// registerNatives binds them, each with its rows {method name, JNI
// signature} in RegisterNatives order. This table is the contract with the
// Java classes in tvrruntime.jar; a host test compares it with the natives
// that the compiled classes declare.
#pragma once
#include <cstddef>

struct NativeMethodRow {
    const char* name;
    const char* signature;
};

struct NativeClassRows {
    const char* className;  // simple name inside the package, e.g. "Misc"
    const NativeMethodRow* rows;
    size_t rowCount;
};

// "com/tavra/runtime/installer/platform/win32", the package of every class
// in the table.
extern const char kNativePackage[];

// The classes that registerNatives binds, in binding order.
const NativeClassRows* registrationClasses();
size_t registrationClassCount();

// Sum of the rows of all classes.
size_t registrationRowCount();

// Natives that the library exports under their JNI name but does not
// register (ShellLink.create0): a Java runtime binds them by name only.
const NativeClassRows* exportOnlyClasses();
size_t exportOnlyClassCount();

// "com/tavra/runtime/installer/platform/win32/<className>", the name that
// FindClass takes. False (and an empty result) when it does not fit.
bool jniClassPath(const char* className, char* out, size_t capacity);

// The JNI short name of a native method,
// "Java_com_tavra_runtime_installer_platform_win32_<Class>_<method>", with
// the JNI escapes: "_" becomes "_1" and other characters that are neither
// letters nor digits become "_0" and four hex digits ("$" gives "_00024").
// Names are ASCII identifiers; a byte outside ASCII, or a result that does
// not fit, gives false and an empty result.
bool jniExportName(const char* className, const char* methodName, char* out, size_t capacity);

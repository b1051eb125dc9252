// A minimal jvm.dll for the JVM search: it loads and exports
// JNI_CreateJavaVM, which is all the search asks of a runtime's library.
// It cannot create a JVM; the call fails with JNI_ERR.
#include <windows.h>

#define _JNI_IMPLEMENTATION_
#include <jni.h>

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    if (vm) *vm = nullptr;
    if (env) *env = nullptr;
    return JNI_ERR;
}

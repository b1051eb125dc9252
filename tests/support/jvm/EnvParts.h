// What the parts of the env's function table share.
#pragma once
#include "tests/support/jvm/Internal.h"

namespace fakejni {
namespace internal {

// Entered by every JNI function: takes the lock, loads the model and notes
// (as a "warning" record, like -Xcheck:jni) a call made while an exception
// is pending, unless the function is one the JNI allows then.
struct EnvEntry {
    std::lock_guard<std::recursive_mutex> guard;
    explicit EnvEntry(const char* function, bool allowedWithPending = false);
};

// Arguments checked the way -Xcheck:jni would: a wrong kind of object is
// fatal.
const ClassInfo* classArg(jclass ref, const char* function);
Object* stringArg(jstring ref, const char* function);
Object* arrayArg(jobject ref, const char* function, char elementType);  // 0: any array

// Makes a new exception pending, with a message.
void throwPending(const char* className, const std::string& message);
// "java.lang.RuntimeException: boom", as Throwable.toString gives it.
std::string throwableText(const Object* throwable);
// What ExceptionDescribe prints for the exception.
std::string stackTraceText(const Object* throwable);

void fillEnvFunctions(JNINativeInterface_* table);
void fillCallFunctions(JNINativeInterface_* table);

}  // namespace internal
}  // namespace fakejni

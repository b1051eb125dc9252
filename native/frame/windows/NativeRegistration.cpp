#include "native/frame/windows/NativeRegistration.h"

#include <windows.h>

#include <vector>

#include "native/frame/RegistrationTable.h"

namespace {

const size_t kNameChars = 256;

// Class paths and export names are ASCII identifiers and "/", so they may
// stand in the format given to the log callback as they are.
void logWithName(NativeLogCallback log, const char* prefix, const char* name, const char* suffix, int code) {
    if (!log) return;
    wchar_t format[2 * kNameChars];
    size_t length = 0;
    for (const char* part : {prefix, name, suffix})
        for (const char* p = part; *p && length + 1 < sizeof format / sizeof format[0]; ++p)
            format[length++] = static_cast<wchar_t>(static_cast<unsigned char>(*p));
    format[length] = 0;
    log(format, code);
}

bool registerClass(JNIEnv* env, const NativeClassRows& group, NativeExportLookup lookup, void* context,
                   NativeLogCallback log) {
    char classPath[kNameChars];
    jniClassPath(group.className, classPath, sizeof classPath);
    jclass cls = env->FindClass(classPath);
    if (!cls) {
        logWithName(log, "could not load class ", classPath, "", 0);
        return false;
    }
    std::vector<JNINativeMethod> rows;
    rows.reserve(group.rowCount);
    for (size_t r = 0; r < group.rowCount; ++r) {
        char exportName[kNameChars];
        void* function = jniExportName(group.className, group.rows[r].name, exportName, sizeof exportName)
                             ? lookup(context, exportName)
                             : nullptr;
        if (!function) {
            logWithName(log, "did not find ", exportName, "", 0);
            return false;
        }
        rows.push_back(JNINativeMethod{const_cast<char*>(group.rows[r].name),
                                       const_cast<char*>(group.rows[r].signature), function});
    }
    jint result = env->RegisterNatives(cls, rows.data(), static_cast<jint>(rows.size()));
    if (result != 0) {
        logWithName(log, "register ", classPath, " failed %d", result);
        return false;
    }
    return true;
}

void* exportOfModule(void* module, const char* exportName) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), exportName));
}

}  // namespace

bool registerNativeClasses(JNIEnv* env, NativeExportLookup lookup, void* context, NativeLogCallback log) {
    const NativeClassRows* classes = registrationClasses();
    for (size_t i = 0; i < registrationClassCount(); ++i)
        if (!registerClass(env, classes[i], lookup, context, log)) return false;
    return true;
}

extern "C" __declspec(dllexport) jboolean registerNatives(JNIEnv* env, void* module, NativeLogCallback log) {
    return registerNativeClasses(env, exportOfModule, module, log) ? JNI_TRUE : JNI_FALSE;
}

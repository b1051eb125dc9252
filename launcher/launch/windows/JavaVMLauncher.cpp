#include "launcher/launch/windows/JavaVMLauncher.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Console.h"
#include "launcher/config/windows/Errors.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/launch/MainArguments.h"
#include "launcher/launch/windows/VmOptions.h"

namespace {

constexpr int kFixedArgumentsChars = 2001;
constexpr int kApplicationDirChars = 4001;
constexpr int kSplashTextBytes = 2000;

const char kSplashClass[] = "com/lorix/runtime/WinLauncher";
const char kSplashMethod[] = "initAwtSplashConfig";
const char kSplashSignature[] =
    "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V";
const char kCommonClass[] = "com/tavra/runtime/installer/platform/win32/Common";

JavaVM* g_vm = nullptr;
JNIEnv* g_env = nullptr;
bool g_created = false;

// Out of memory while building the argument array: nothing sensible can
// follow, so stop the way a failed assertion does.
[[noreturn]] void assertionFailed(const wchar_t* element) {
    wchar_t text[256];
    formatWide(text, 256, L"Assertion failed: %s, file windows/JavaVMLauncher\n", element);
    printWide(stderr, text);
    abort();
}

// The steps before main fail softly, but must not leave their exception
// pending: a JVM refuses later calls while one is (the main class would not
// be found). A failed lookup has said what was missing; an exception thrown
// by a Java method is printed first.
void dropException(JNIEnv* env) {
    if (env->ExceptionCheck()) env->ExceptionClear();
}

void describeAndDropException(JNIEnv* env) {
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
}

jstring splashText(JNIEnv* env, int key) {
    char text[kSplashTextBytes];
    configString(key, text, sizeof text);
    return env->NewStringUTF(text);
}

void passSplashSettings(JNIEnv* env) {
    jclass cls = env->FindClass(kSplashClass);
    if (!cls) {
        logError(L"could not find main class for splash properties");
        dropException(env);
        return;
    }
    jmethodID method = env->GetStaticMethodID(cls, kSplashMethod, kSplashSignature);
    if (!method) {
        logError(L"could not find method for splash properties");
        dropException(env);
        env->DeleteLocalRef(cls);
        return;
    }
    jstring line1 = splashText(env, 10111), colour1 = splashText(env, 10114);
    jstring line2 = splashText(env, 10118), colour2 = splashText(env, 10121);
    env->CallStaticVoidMethod(cls, method, JNI_TRUE, static_cast<jboolean>(configInt(kSplashFlagKey) != 0), line1,
                              configInt(10109), configInt(10110), colour1, configInt(10113), configInt(10115), line2,
                              configInt(10116), configInt(10117), colour2, configInt(10120), configInt(10122));
    describeAndDropException(env);
    env->DeleteLocalRef(line1);
    env->DeleteLocalRef(colour1);
    env->DeleteLocalRef(line2);
    env->DeleteLocalRef(colour2);
    env->DeleteLocalRef(cls);
}

// Common.initFromLauncher(flag): tells the Java side whether the launcher
// prepared the natives.
bool callInitializer(JNIEnv* env, bool flag) {
    jclass cls = env->FindClass(kCommonClass);
    if (!cls) {
        logError(L"did not find com/tavra/runtime/installer/platform/win32/Common");
        dropException(env);
        return false;
    }
    jmethodID method = env->GetStaticMethodID(cls, "initFromLauncher", "(Z)V");
    if (method) {
        env->CallStaticVoidMethod(cls, method, static_cast<jboolean>(flag));
        describeAndDropException(env);
    } else {
        logError(L"did not find initMethod");
        dropException(env);
    }
    env->DeleteLocalRef(cls);
    return method != nullptr;
}

// <application directory>\.tavra\tvrinst.dll, loaded for good.
void registerNativeLibrary(JNIEnv* env) {
    logLine(L"load helper dll");
    wchar_t dir[kApplicationDirChars];
    configWideString(kApplicationDirKey, dir, kApplicationDirChars);
    wchar_t resolved[kBufferChars];
    resolvePathWide(dir, resolved, kBufferChars, true);
    std::wstring path = resolved;
    if (path.empty() || path.back() != L'\\') path += L'\\';
    path += L".tavra\\tvrinst.dll";

    HMODULE module = LoadLibraryW(path.c_str());
    logLine(L"helper dll %p %s", module, path.c_str());
    if (!module) return;
    auto registerNatives = reinterpret_cast<RegisterNativesFunction>(GetProcAddress(module, "registerNatives"));
    if (!registerNatives) {
        logError(L"did not find register natives in helper dll");
        return;
    }
    if (!callInitializer(env, true)) return;
    if (!registerNatives(env, module, logError)) {
        logError(L"registering helper dll failed");
        // Registration leaves the env as it failed, a missing class pending.
        dropException(env);
        callInitializer(env, false);
    }
}

// lorix.moduleName again, from the wide path, so that Java sees the
// executable's path without code-page loss.
void publishModuleName(JNIEnv* env) {
    jclass system = env->FindClass("java/lang/System");
    if (!system) {
        logError(L"could not get system class");
        dropException(env);
        return;
    }
    jmethodID setProperty =
        env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    if (!setProperty) {
        logError(L"could not get method for module name init");
        dropException(env);
        env->DeleteLocalRef(system);
        return;
    }
    const wchar_t* path = executableLongPath();
    jstring value = env->NewString(reinterpret_cast<const jchar*>(path), static_cast<jsize>(wcslen(path)));
    jstring key = env->NewString(reinterpret_cast<const jchar*>(L"lorix.moduleName"), 16);
    if (!value || !key) {
        logError(L"could not create string for init module name");
        dropException(env);
    } else {
        logLine(L"setting lorix.moduleName to %s", path);
        // The option list set the property, so only a call that threw
        // gives null.
        jobject previous = env->CallStaticObjectMethod(system, setProperty, key, value);
        if (previous) env->DeleteLocalRef(previous);
        else describeAndDropException(env);
    }
    if (value) env->DeleteLocalRef(value);
    if (key) env->DeleteLocalRef(key);
    env->DeleteLocalRef(system);
}

// Key 102/103 or 104/105: the file, variables expanded; a value left with
// "$" is for the Java side, anything else becomes a full path.
std::wstring redirectionFile(int switchKey, int fileKey) {
    if (configInt(switchKey) == 0) return std::wstring();
    wchar_t file[kBufferChars];
    configWideString(fileKey, file, kBufferChars);
    expandVariablesWide(file, false);
    if (file[0] == L'$') return file;
    wchar_t full[kBufferChars];
    fullPathWide(file, full, kBufferChars, true, true);
    return full;
}

std::vector<std::wstring> mainArguments(const ArgumentVector& arguments) {
    MainArgumentInputs in;
    in.guiApplication = configInt(kExecutableTypeKey) == 1;
    in.moduleMode = configInt(kModuleModeKey) != 0;
    wchar_t text[kBufferChars];
    configWideString(kMainClassKey, text, kBufferChars);
    in.mainClass = text;
    in.errorFile = redirectionFile(kErrorRedirectKey, kErrorFileKey);
    in.outputFile = redirectionFile(kOutputRedirectKey, kOutputFileKey);
    in.flag106 = configInt(kFlag106Key) != 0;
    configWideString(kFixedArgumentsKey, text, kFixedArgumentsChars);
    expandVariablesWide(text, false);
    in.fixedArguments = text;
    in.jArgumentsAreVmOptions = configInt(kJArgumentsKey) != 0;
    return buildMainArguments(in, arguments);
}

// True when no exception is pending; otherwise logs its text, lets the JVM
// print the stack trace and clears it.  The text is taken with the
// exception cleared, since no Java method may run while one is pending.
bool checkException(JNIEnv* env) {
    jthrowable exception = env->ExceptionOccurred();
    if (!exception) return true;
    logError(L"an exception occurred");
    env->ExceptionClear();
    jclass cls = env->GetObjectClass(exception);
    jmethodID toString = cls ? env->GetMethodID(cls, "toString", "()Ljava/lang/String;") : nullptr;
    jstring text = toString ? static_cast<jstring>(env->CallObjectMethod(exception, toString)) : nullptr;
    if (env->ExceptionCheck()) env->ExceptionClear();
    if (text) {
        // Null when the JVM could not give the characters (out of memory).
        const jchar* chars = env->GetStringChars(text, nullptr);
        if (chars) {
            std::wstring copy(reinterpret_cast<const wchar_t*>(chars), env->GetStringLength(text));
            env->ReleaseStringChars(text, chars);
            logError(L"%s", copy.c_str());
        } else if (env->ExceptionCheck()) {
            env->ExceptionClear();
        }
        env->DeleteLocalRef(text);
    }
    if (cls) env->DeleteLocalRef(cls);
    env->Throw(exception);
    env->ExceptionDescribe();
    env->ExceptionClear();
    return false;
}

bool callMain(JNIEnv* env, const ArgumentVector& arguments) {
    std::string className = isTavraFlavour() ? "com/tavra/runtime/launcher/WinLauncher" : "com/lorix/runtime/WinLauncher";
    for (char& c : className)
        if (c == '.') c = '/';
    logLine(L"main class: %S", className.c_str());
    jclass cls = env->FindClass(className.c_str());
    if (!cls) {
        logError(L"could not find main class");
        fatalMessage(kMainClassMissingMessage);
    }
    jmethodID main = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
    if (!main) {
        logError(L"could not find main method");
        fatalMessage(kMainMethodMissingMessage);
    }

    std::vector<std::wstring> params = mainArguments(arguments);
    logLine(L"param count: %d", static_cast<int>(params.size()));
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(static_cast<jsize>(params.size()), stringClass, nullptr);
    if (!array) assertionFailed(L"paramArray");
    for (size_t i = 0; i < params.size(); ++i) {
        logLine(L"param %d: %s", static_cast<int>(i), params[i].c_str());
        jstring s = env->NewString(reinterpret_cast<const jchar*>(params[i].c_str()), static_cast<jsize>(params[i].size()));
        if (!s) assertionFailed(L"jstr");
        env->SetObjectArrayElement(array, static_cast<jsize>(i), s);
        // The array holds it now; a JVM need offer only 16 local references.
        env->DeleteLocalRef(s);
    }
    logLine(L"calling main");
    env->CallStaticVoidMethod(cls, main, array);
    logLine(L"main returned");
    return checkException(env);
}

}  // namespace

bool launchJavaApplication(const ArgumentVector& arguments, CreateJavaVMFunction createJavaVM, const char* jvmVersion) {
    logLine(L"launching program");
    JavaVMInitArgs* args = assembleVmOptions(arguments, jvmVersion);
    logLine(L"Creating JVM");
    if (createJavaVM(&g_vm, reinterpret_cast<void**>(&g_env), args) != 0) {
        logError(L"could not initialize JVM");
        return false;
    }
    logLine(L"JVM created");
    g_created = true;

    if (configInt(kSplashKey) != 0) passSplashSettings(g_env);
    if (isTavraFlavour()) registerNativeLibrary(g_env);
    publishModuleName(g_env);
    if (!callMain(g_env, arguments)) {
        logError(L"could not call main");
        return false;
    }
    logLine(L"dest JVM");
    g_vm->DestroyJavaVM();
    logLine(L"launch done");
    return true;
}

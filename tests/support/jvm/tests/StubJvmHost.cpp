// A launcher in miniature for the stub JVM's tests: loads jvm.dll by path,
// creates the VM, calls the launcher class's main with the remaining
// arguments, reports an exception the way the launcher does, destroys the VM.
//   stubjvm_host.exe JVM_DLL LAUNCHER_CLASS [ARGS...]
// Exit codes: 0 main returned, 1 main threw, 2 the VM could not be used.
#include <windows.h>

#include <jni.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

using CreateJavaVM = jint(JNICALL*)(JavaVM**, void**, void*);

struct Library {
    HMODULE module = nullptr;
    ~Library() {
        if (module) FreeLibrary(module);
    }
};

int failure(const char* what) {
    printf("%s\n", what);
    fflush(stdout);
    return 2;
}

std::string narrow(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

jobjectArray mainArguments(JNIEnv* env, int count, wchar_t** args) {
    jclass stringClass = env->FindClass("java/lang/String");
    jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
    for (int i = 0; i < count; ++i) {
        jstring s = env->NewString(reinterpret_cast<const jchar*>(args[i]), static_cast<jsize>(wcslen(args[i])));
        env->SetObjectArrayElement(array, i, s);
        env->DeleteLocalRef(s);
    }
    env->DeleteLocalRef(stringClass);
    return array;
}

// Prints "exception: <toString>" and lets the VM describe the exception.
// The exception is cleared before its toString runs (no Java method may be
// called with an exception pending) and thrown again for the description.
bool reportException(JNIEnv* env) {
    jthrowable t = env->ExceptionOccurred();
    if (!t) return false;
    env->ExceptionClear();
    jclass objectClass = env->FindClass("java/lang/Object");
    jmethodID toString = env->GetMethodID(objectClass, "toString", "()Ljava/lang/String;");
    jstring text = static_cast<jstring>(env->CallObjectMethod(t, toString));
    const jchar* chars = env->GetStringChars(text, nullptr);
    std::wstring wide(reinterpret_cast<const wchar_t*>(chars), static_cast<size_t>(env->GetStringLength(text)));
    env->ReleaseStringChars(text, chars);
    printf("exception: %s\n", narrow(wide.c_str()).c_str());
    fflush(stdout);
    env->Throw(t);
    env->ExceptionDescribe();
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n, as the tests expect
    if (argc < 3) return failure("usage: stubjvm_host JVM_DLL LAUNCHER_CLASS [ARGS...]");
    Library jvm;
    jvm.module = LoadLibraryW(argv[1]);
    if (!jvm.module) return failure("LoadLibrary failed");
    CreateJavaVM create = reinterpret_cast<CreateJavaVM>(GetProcAddress(jvm.module, "JNI_CreateJavaVM"));
    if (!create) return failure("no JNI_CreateJavaVM");

    JavaVMOption options[2] = {};
    options[0].optionString = const_cast<char*>("-Xmx64m");
    options[1].optionString = const_cast<char*>("-Dhost.option=1");
    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = 2;
    initArgs.options = options;
    initArgs.ignoreUnrecognized = JNI_TRUE;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    jint created = create(&vm, reinterpret_cast<void**>(&env), &initArgs);
    if (created != 0) {
        printf("create failed %d\n", created);
        fflush(stdout);
        return 2;
    }

    std::string launcher = narrow(argv[2]);
    jclass cls = env->FindClass(launcher.c_str());
    if (!cls) return failure("no launcher class");
    jmethodID main = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
    if (!main) return failure("no main");
    jobjectArray args = mainArguments(env, argc - 3, argv + 3);
    env->CallStaticVoidMethod(cls, main, args);
    if (reportException(env)) return 1;
    vm->DestroyJavaVM();
    printf("destroyed\n");
    fflush(stdout);
    return 0;
}

// The floor of launch_bench: the least a host can do to run the same
// application with the same VM options as the launcher.  It loads jvm.dll
// by path, creates the VM with the options listed in a file (one a line,
// as bytes), calls the class's static main with the remaining arguments
// and destroys the VM.
//
//   bare_jvm_host.exe JVM_DLL OPTIONS_FILE MAIN_CLASS [ARGS...]
//
// Exit codes: 0 main returned, 1 main threw, 2 the VM could not be used.
#include <windows.h>

#include <jni.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using CreateJavaVM = jint(JNICALL*)(JavaVM**, void**, void*);

int failure(const char* what) {
    std::printf("%s\n", what);
    std::fflush(stdout);
    return 2;
}

std::vector<std::string> readLines(const wchar_t* path) {
    std::vector<std::string> lines;
    FILE* file = _wfopen(path, L"rb");
    if (!file) return lines;
    std::string line;
    for (int c; (c = std::fgetc(file)) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty()) lines.push_back(line);
    std::fclose(file);
    return lines;
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return failure("usage: bare_jvm_host JVM_DLL OPTIONS_FILE MAIN_CLASS [ARGS...]");
    HMODULE jvm = LoadLibraryW(argv[1]);
    if (!jvm) return failure("LoadLibrary failed");
    auto create = reinterpret_cast<CreateJavaVM>(reinterpret_cast<void*>(GetProcAddress(jvm, "JNI_CreateJavaVM")));
    if (!create) return failure("no JNI_CreateJavaVM");

    std::vector<std::string> lines = readLines(argv[2]);
    std::vector<JavaVMOption> options(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) options[i].optionString = &lines[i][0];
    JavaVMInitArgs initArgs{};
    initArgs.version = JNI_VERSION_1_2;
    initArgs.nOptions = static_cast<jint>(options.size());
    initArgs.options = options.data();
    initArgs.ignoreUnrecognized = JNI_TRUE;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &initArgs) != 0) return failure("create failed");

    std::string className(argv[3], argv[3] + wcslen(argv[3]));
    jclass mainClass = env->FindClass(className.c_str());
    jmethodID main = mainClass ? env->GetStaticMethodID(mainClass, "main", "([Ljava/lang/String;)V") : nullptr;
    if (!main) return failure("no main");
    jobjectArray arguments = mainArguments(env, argc - 4, argv + 4);
    env->CallStaticVoidMethod(mainClass, main, arguments);
    jthrowable thrown = env->ExceptionOccurred();
    if (thrown) {
        env->ExceptionClear();
        env->DeleteLocalRef(thrown);
    }
    env->DeleteLocalRef(arguments);
    env->DeleteLocalRef(mainClass);
    vm->DestroyJavaVM();
    return thrown ? 1 : 0;
}

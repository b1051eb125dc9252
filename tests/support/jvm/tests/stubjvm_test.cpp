// The stub jvm.dll as the launcher will use it: copied into a runtime
// layout, loaded by path, JNI_CreateJavaVM found by name.  Its record must be
// complete and in order, and the scripted behaviours of main must do what
// they say; the ones that end or block the process run in a child process
// (stubjvm_host.exe, a launcher in miniature).
#include <gtest/gtest.h>
#include <windows.h>

#include <jni.h>

#include <string>
#include <vector>

#include "tests/support/jvm/FakeJni.h"
#include "tests/support/jvm/tests/TestProcess.h"

namespace {

const char* const kLauncher = "com/lorix/runtime/WinLauncher";
const char* const kMainSig = "([Ljava/lang/String;)V";

std::wstring environmentValue(const wchar_t* name) {
    wchar_t buffer[4096];
    DWORD n = GetEnvironmentVariableW(name, buffer, 4096);
    return n > 0 && n < 4096 ? std::wstring(buffer, n) : std::wstring();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool contains(const std::vector<std::string>& all, const std::string& line) {
    for (const std::string& l : all)
        if (l == line) return true;
    return false;
}

bool startsWithAny(const std::vector<std::string>& all, const std::string& prefix) {
    for (const std::string& l : all)
        if (l.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string readFile(const std::wstring& path) {
    std::string out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    CloseHandle(h);
    return out;
}

void writeFile(const std::wstring& path, const std::string& text) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(h);
}

using CreateJavaVM = jint(JNICALL*)(JavaVM**, void**, void*);
using GetCreatedJavaVMs = jint(JNICALL*)(JavaVM**, jsize, jsize*);

// A runtime layout of its own per test: TEMP\stubjvm-PID-N\bin\server\jvm.dll.
class StubJvm : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring source = environmentValue(L"FAKEJNI_STUB_DLL");
        ASSERT_FALSE(source.empty()) << "FAKEJNI_STUB_DLL is not set";
        static int counter = 0;
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"stubjvm-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
        CreateDirectoryW(root.c_str(), nullptr);
        CreateDirectoryW((root + L"\\bin").c_str(), nullptr);
        dir = root + L"\\bin\\server\\";
        CreateDirectoryW(dir.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(source.c_str(), (dir + L"jvm.dll").c_str(), FALSE));
    }

    void TearDown() override {
        if (module) FreeLibrary(module);
        for (const wchar_t* name : {L"jvm.dll", L"jvm.record", L"jvm.behaviour"}) DeleteFileW((dir + name).c_str());
        RemoveDirectoryW(dir.c_str());
        RemoveDirectoryW((root + L"\\bin").c_str());
        RemoveDirectoryW(root.c_str());
    }

    void behaviour(const std::string& text) { writeFile(dir + L"jvm.behaviour", text); }

    void load() {
        module = LoadLibraryW((dir + L"jvm.dll").c_str());
        ASSERT_NE(nullptr, module);
        create = reinterpret_cast<CreateJavaVM>(GetProcAddress(module, "JNI_CreateJavaVM"));
        created = reinterpret_cast<GetCreatedJavaVMs>(GetProcAddress(module, "JNI_GetCreatedJavaVMs"));
        ASSERT_NE(nullptr, create);
        ASSERT_NE(nullptr, created);
        ASSERT_NE(nullptr, GetProcAddress(module, "JNI_GetDefaultJavaVMInitArgs"));
    }

    jint createVm(std::vector<const char*> optionTexts, jint version = JNI_VERSION_1_2) {
        std::vector<JavaVMOption> options;
        for (const char* text : optionTexts) options.push_back(JavaVMOption{const_cast<char*>(text), nullptr});
        JavaVMInitArgs args{};
        args.version = version;
        args.nOptions = static_cast<jint>(options.size());
        args.options = options.data();
        args.ignoreUnrecognized = JNI_TRUE;
        return create(&vm, reinterpret_cast<void**>(&env), &args);
    }

    // The record without its first line (the load line, which names the
    // DLL's path and the process).
    std::vector<std::string> record() {
        std::vector<std::string> all = lines(readFile(dir + L"jvm.record"));
        EXPECT_FALSE(all.empty());
        if (all.empty()) return all;
        EXPECT_EQ(0u, all[0].rfind("load\t\"", 0)) << all[0];
        EXPECT_NE(std::string::npos, all[0].find("\\\\bin\\\\server\\\\jvm.dll\"\tpid ")) << all[0];
        return std::vector<std::string>(all.begin() + 1, all.end());
    }

    jstring newString(const std::wstring& text) {
        return env->NewString(reinterpret_cast<const jchar*>(text.data()), static_cast<jsize>(text.size()));
    }

    // Calls the launcher class's main with the arguments, as the launcher does.
    void callMain(const std::vector<std::wstring>& arguments) {
        jclass cls = env->FindClass(kLauncher);
        ASSERT_NE(nullptr, cls);
        jmethodID main = env->GetStaticMethodID(cls, "main", kMainSig);
        ASSERT_NE(nullptr, main);
        jclass stringClass = env->FindClass("java/lang/String");
        jobjectArray array = env->NewObjectArray(static_cast<jsize>(arguments.size()), stringClass, nullptr);
        for (size_t i = 0; i < arguments.size(); ++i) env->SetObjectArrayElement(array, static_cast<jsize>(i), newString(arguments[i]));
        env->CallStaticVoidMethod(cls, main, array);
    }

    // Runs the launcher in miniature on this layout's jvm.dll.
    ProcessResult runHost(const std::wstring& arguments, const std::string& input) {
        std::wstring host = environmentValue(L"FAKEJNI_HOST");
        EXPECT_FALSE(host.empty()) << "FAKEJNI_HOST is not set";
        std::wstring line = L"\"" + host + L"\" \"" + dir + L"jvm.dll\" " + std::wstring(kLauncher, kLauncher + strlen(kLauncher));
        if (!arguments.empty()) line += L" " + arguments;
        return runProcess(line, input, 30000);
    }

    std::wstring root;
    std::wstring dir;
    HMODULE module = nullptr;
    CreateJavaVM create = nullptr;
    GetCreatedJavaVMs created = nullptr;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
};

// ---- in this process --------------------------------------------------------------------------------

TEST_F(StubJvm, RecordsALaunchCompletelyAndInOrder) {
    load();
    jsize count = 5;
    ASSERT_EQ(0, created(nullptr, 0, &count));
    EXPECT_EQ(0, count);
    ASSERT_EQ(0, createVm({"-Xmx512m", "-Djava.class.path=C:\\app\\a.jar", "-Dname=caf\xE9"}));
    ASSERT_NE(nullptr, vm);
    ASSERT_NE(nullptr, env);
    callMain({L"false", L"C:\\app\\x.exe"});
    EXPECT_EQ(nullptr, env->ExceptionOccurred());
    jclass system = env->FindClass("java/lang/System");
    jmethodID setProperty = env->GetStaticMethodID(system, "setProperty", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;");
    jstring key = newString(L"lorix.moduleName");
    env->CallStaticObjectMethod(system, setProperty, key, newString(L"C:\\app\\x.exe"));
    env->DeleteLocalRef(key);
    ASSERT_EQ(0, vm->DestroyJavaVM());

    // Option strings are in the ANSI code page: 0xE9 is e-acute in 1252.
    std::string accented = GetACP() == 1252 ? "\"-Dname=caf\xC3\xA9\"" : fakejni::quote(L"-Dname=caf\xE9");
    std::vector<std::string> expected = {
        "JNI_GetCreatedJavaVMs\t0\t-> 0\t0",
        "JNI_CreateJavaVM\tversion 0x00010002\tignoreUnrecognized true\toptions 3",
        "option\t\"-Xmx512m\"",
        "option\t\"-Djava.class.path=C:\\\\app\\\\a.jar\"",
        "option\t" + accented,
        "JNI_CreateJavaVM\t-> 0",
        "FindClass\t\"com/lorix/runtime/WinLauncher\"\t-> class com/lorix/runtime/WinLauncher",
        "GetStaticMethodID\tclass com/lorix/runtime/WinLauncher\t\"main\"\t\"([Ljava/lang/String;)V\"\t-> "
        "com/lorix/runtime/WinLauncher.main([Ljava/lang/String;)V",
        "FindClass\t\"java/lang/String\"\t-> class java/lang/String",
        "NewObjectArray\t2\tclass java/lang/String\tnull\t-> java/lang/String[2]{null, null}",
        "NewString\t\"false\"\t5\t-> \"false\"",
        "SetObjectArrayElement\tjava/lang/String[2]{\"false\", null}\t0\t\"false\"",
        "NewString\t\"C:\\\\app\\\\x.exe\"\t12\t-> \"C:\\\\app\\\\x.exe\"",
        "SetObjectArrayElement\tjava/lang/String[2]{\"false\", \"C:\\\\app\\\\x.exe\"}\t1\t\"C:\\\\app\\\\x.exe\"",
        "CallStaticVoidMethod\tclass com/lorix/runtime/WinLauncher\tcom/lorix/runtime/WinLauncher.main([Ljava/lang/String;)V"
        "\tjava/lang/String[2]{\"false\", \"C:\\\\app\\\\x.exe\"}",
        "returned\tvoid",
        "ExceptionOccurred\t-> null",
        "FindClass\t\"java/lang/System\"\t-> class java/lang/System",
        "GetStaticMethodID\tclass java/lang/System\t\"setProperty\"\t\"(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;\""
        "\t-> java/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;",
        "NewString\t\"lorix.moduleName\"\t16\t-> \"lorix.moduleName\"",
        "NewString\t\"C:\\\\app\\\\x.exe\"\t12\t-> \"C:\\\\app\\\\x.exe\"",
        "CallStaticObjectMethod\tclass java/lang/System\tjava/lang/System.setProperty(Ljava/lang/String;Ljava/lang/String;)"
        "Ljava/lang/String;\t\"lorix.moduleName\"\t\"C:\\\\app\\\\x.exe\"",
        "returned\tnull",
        "DeleteLocalRef\t\"lorix.moduleName\"",
        "DestroyJavaVM\t-> 0",
    };
    EXPECT_EQ(expected, record());
}

TEST_F(StubJvm, ThrowingMainLeavesTheExceptionPending) {
    behaviour("# main ends with an exception\nmain throw it failed\n");
    load();
    ASSERT_EQ(0, createVm({}));
    callMain({L"true"});
    jthrowable t = env->ExceptionOccurred();
    ASSERT_NE(nullptr, t);
    env->ExceptionClear();
    jmethodID toString = env->GetMethodID(env->FindClass("java/lang/Object"), "toString", "()Ljava/lang/String;");
    jstring text = static_cast<jstring>(env->CallObjectMethod(t, toString));
    const jchar* chars = env->GetStringChars(text, nullptr);
    EXPECT_EQ(std::wstring(L"java.lang.RuntimeException: it failed"),
              std::wstring(reinterpret_cast<const wchar_t*>(chars), static_cast<size_t>(env->GetStringLength(text))));
    env->ReleaseStringChars(text, chars);
    std::vector<std::string> r = record();
    EXPECT_TRUE(contains(r, "behaviour\tthrow\t\"it failed\""));
    EXPECT_TRUE(contains(r, "pending\tjava/lang/RuntimeException(\"it failed\")"));
    EXPECT_TRUE(contains(r, "returned\texception java/lang/RuntimeException(\"it failed\")"));
}

TEST_F(StubJvm, CreationCanBeMadeToFail) {
    behaviour("create-fail -4\n");
    load();
    EXPECT_EQ(-4, createVm({"-Xss1m"}));
    EXPECT_EQ(nullptr, vm);
    EXPECT_EQ(nullptr, env);
    std::vector<std::string> r = record();
    ASSERT_FALSE(r.empty());
    EXPECT_EQ("JNI_CreateJavaVM\t-> -4", r.back());
    EXPECT_TRUE(contains(r, "option\t\"-Xss1m\""));
}

TEST_F(StubJvm, AVmIsCreatedOncePerProcess) {
    load();
    ASSERT_EQ(0, createVm({}));
    EXPECT_EQ(JNI_EEXIST, createVm({}));
    jsize count = 0;
    JavaVM* found = nullptr;
    ASSERT_EQ(0, created(&found, 1, &count));
    EXPECT_EQ(1, count);
    EXPECT_NE(nullptr, found);
    found->DestroyJavaVM();
    EXPECT_EQ(JNI_ERR, createVm({}));
}

TEST_F(StubJvm, UnsupportedJniVersionsAreRefused) {
    load();
    using GetDefault = jint(JNICALL*)(void*);
    GetDefault getDefault = reinterpret_cast<GetDefault>(GetProcAddress(module, "JNI_GetDefaultJavaVMInitArgs"));
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    EXPECT_EQ(JNI_OK, getDefault(&args));
    args.version = JNI_VERSION_1_1;
    EXPECT_EQ(JNI_EVERSION, getDefault(&args));
    EXPECT_EQ(JNI_EVERSION, createVm({}, JNI_VERSION_1_1));
    EXPECT_EQ(JNI_OK, createVm({}, JNI_VERSION_1_8));
    std::vector<std::string> r = record();
    EXPECT_TRUE(contains(r, "JNI_GetDefaultJavaVMInitArgs\tversion 0x00010001\t-> -3"));
}

TEST_F(StubJvm, HiddenClassesAndMethodsAreNotFound) {
    behaviour("hide-class com/tavra/runtime/installer/platform/win32/Common\n"
              "hide-method com/lorix/runtime/WinLauncher main ([Ljava/lang/String;)V\n");
    load();
    ASSERT_EQ(0, createVm({}));
    EXPECT_EQ(nullptr, env->FindClass("com/tavra/runtime/installer/platform/win32/Common"));
    env->ExceptionClear();
    jclass launcher = env->FindClass(kLauncher);
    ASSERT_NE(nullptr, launcher);
    EXPECT_EQ(nullptr, env->GetStaticMethodID(launcher, "main", kMainSig));
    env->ExceptionClear();
}

TEST_F(StubJvm, TheInitialisersOfTheJavaSideAreRecordedAndSucceed) {
    load();
    ASSERT_EQ(0, createVm({}));
    jclass common = env->FindClass("com/tavra/runtime/installer/platform/win32/Common");
    ASSERT_NE(nullptr, common);
    jmethodID init = env->GetStaticMethodID(common, "initFromLauncher", "(Z)V");
    ASSERT_NE(nullptr, init);
    env->CallStaticVoidMethod(common, init, JNI_TRUE);
    EXPECT_FALSE(env->ExceptionCheck());
    JNINativeMethod bogus{const_cast<char*>("initFromLauncher"), const_cast<char*>("(Z)V"), reinterpret_cast<void*>(&GetTickCount)};
    EXPECT_EQ(JNI_ERR, env->RegisterNatives(common, &bogus, 1));  // not a native method
    env->ExceptionClear();
    std::vector<std::string> r = record();
    EXPECT_TRUE(contains(r, "CallStaticVoidMethod\tclass com/tavra/runtime/installer/platform/win32/Common"
                            "\tcom/tavra/runtime/installer/platform/win32/Common.initFromLauncher(Z)V\ttrue"));
    EXPECT_TRUE(startsWithAny(r, "RegisterNatives row\tclass com/tavra/runtime/installer/platform/win32/Common"
                                 "\t\"initFromLauncher\"\t\"(Z)V\"\t"));
}

// ---- in a process of its own --------------------------------------------------------------------------

TEST_F(StubJvm, ExitEndsTheProcessWithTheCode) {
    behaviour("main print about to exit\nmain exit 7\n");
    ProcessResult run = runHost(L"a", "");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(7u, run.exitCode);
    EXPECT_EQ("about to exit\n", run.out);
    std::vector<std::string> r = record();
    EXPECT_TRUE(contains(r, "behaviour\texit\t7"));
    EXPECT_FALSE(startsWithAny(r, "DestroyJavaVM"));
}

TEST_F(StubJvm, WaitStopReturnsAtTheLineZero) {
    behaviour("main wait-stop\n");
    ProcessResult run = runHost(L"svc", "hello\r\n0\nlater\n");
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("destroyed\n", run.out);
    std::vector<std::string> r = record();
    EXPECT_TRUE(contains(r, "stdin\t\"hello\""));
    EXPECT_TRUE(contains(r, "stdin\t\"0\""));
    EXPECT_FALSE(contains(r, "stdin\t\"later\""));
    EXPECT_TRUE(contains(r, "CallStaticVoidMethod\tclass com/lorix/runtime/WinLauncher"
                            "\tcom/lorix/runtime/WinLauncher.main([Ljava/lang/String;)V\tjava/lang/String[1]{\"svc\"}"));
}

TEST_F(StubJvm, WaitStopEndsAtTheEndOfInput) {
    behaviour("main wait-stop\n");
    ProcessResult run = runHost(L"", "00\n");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode);
    std::vector<std::string> r = record();
    EXPECT_TRUE(contains(r, "stdin\t\"00\""));
    EXPECT_TRUE(contains(r, "stdin\tend of input"));
}

TEST_F(StubJvm, AnExceptionIsDescribedLikeAJvmDoes) {
    behaviour("main throw boom\n");
    ProcessResult run = runHost(L"", "");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("exception: java.lang.RuntimeException: boom\n", run.out);
    EXPECT_NE(std::string::npos, run.err.find("Exception in thread \"main\" java.lang.RuntimeException: boom\n"
                                              "\tat com.lorix.runtime.WinLauncher.main(WinLauncher.java)\n"))
        << run.err;
}

TEST_F(StubJvm, SleepDelaysMain) {
    behaviour("main sleep 400\nmain print slept\n");
    ProcessResult run = runHost(L"", "");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("slept\ndestroyed\n", run.out);
    EXPECT_GE(run.elapsedMs, 400u);
    EXPECT_TRUE(contains(record(), "behaviour\tsleep\t400"));
}

TEST_F(StubJvm, ABadBehaviourFileStopsTheVmLoudly) {
    behaviour("main explode\n");
    ProcessResult run = runHost(L"", "");
    ASSERT_TRUE(run.started);
    EXPECT_NE(0u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("jvm.behaviour: line 1: unknown main step \"explode\"")) << run.err;
    EXPECT_TRUE(startsWithAny(record(), "fatal\tjvm.behaviour: line 1"));
}

}  // namespace

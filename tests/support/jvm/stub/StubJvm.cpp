// The stub jvm.dll: the invocation API of a Java VM over the fake JNI, for
// the launcher's tests.  It records everything to jvm.record beside itself
// and takes what the launcher class's main does from jvm.behaviour beside
// itself (README.md describes both).
#include <windows.h>

#include <string>

#include "tests/support/jvm/Internal.h"
#include "tests/support/jvm/stub/Behaviour.h"

using namespace fakejni::internal;

namespace {

// ---- files beside the DLL ------------------------------------------------------------

HMODULE& thisModule() {
    static HMODULE module = nullptr;
    return module;
}

std::wstring moduleDirectory() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(thisModule(), path, MAX_PATH * 4);
    std::wstring p(path, n);
    size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash + 1);
}

std::wstring modulePath() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(thisModule(), path, MAX_PATH * 4);
    return std::wstring(path, n);
}

struct FileHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~FileHandle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

FileHandle& recordFile() {
    static FileHandle file;
    return file;
}

// Each line is written at once, so that the record survives an abort or
// ExitProcess in the middle of a run.
void writeRecordLine(const std::string& line) {
    FileHandle& file = recordFile();
    if (file.h == INVALID_HANDLE_VALUE) {
        std::wstring path = moduleDirectory() + L"jvm.record";
        file.h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file.h == INVALID_HANDLE_VALUE) return;
    }
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file.h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool readWholeFile(const std::wstring& path, std::string* out) {
    FileHandle file;
    file.h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file.h == INVALID_HANDLE_VALUE) return false;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file.h, buffer, sizeof buffer, &n, nullptr) && n > 0) out->append(buffer, n);
    return true;
}

// ---- the behaviour ---------------------------------------------------------------------------

stubjvm::Behaviour& behaviour() {
    static stubjvm::Behaviour b;
    return b;
}

// No file means the default: main returns.
void loadBehaviour() {
    std::string text;
    if (!readWholeFile(moduleDirectory() + L"jvm.behaviour", &text)) return;
    std::string error;
    if (!stubjvm::parseBehaviour(text, &behaviour(), &error)) fatal("jvm.behaviour: " + error);
}

// The "exit" hook of the options, called by System.exit on a real JVM.
using ExitHook = void(JNICALL*)(jint code);
ExitHook& exitHook() {
    static ExitHook hook = nullptr;
    return hook;
}

void writeStdout(const std::string& utf8) {
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (h && h != INVALID_HANDLE_VALUE) WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

// Reads one line of standard input without the line end; false at the end
// of input.
bool readStdinLine(std::string* line) {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    line->clear();
    char c = 0;
    DWORD n = 0;
    bool any = false;
    while (ReadFile(in, &c, 1, &n, nullptr) && n == 1) {
        any = true;
        if (c == '\n') break;
        if (c != '\r') *line += c;
    }
    return any;
}

// The service stop request: the line "0" on standard input.
void waitForStopRequest() {
    std::string line;
    while (readStdinLine(&line)) {
        record("stdin\t" + quoteText(fromUtf8(line)));
        if (line == "0") return;
    }
    record("stdin\tend of input");
}

std::string simpleName(const std::string& jniName) {
    size_t slash = jniName.find_last_of('/');
    std::string name = slash == std::string::npos ? jniName : jniName.substr(slash + 1);
    return name.substr(0, name.find('$'));
}

void throwFromMain(const fakejni::Call& call, const stubjvm::Step& step) {
    std::wstring message = fromUtf8(step.text);
    std::string at = dottedName(call.className) + ".main(" + simpleName(call.className) + ".java)";
    std::lock_guard<std::recursive_mutex> guard(lock());
    setPending(newThrowable("java/lang/RuntimeException", step.hasText ? &message : nullptr, at));
}

void recordStep(const stubjvm::Step& step) {
    using Kind = stubjvm::Step::Kind;
    std::string line = "behaviour\t";
    switch (step.kind) {
        case Kind::Return: line += "return"; break;
        case Kind::Throw: line += "throw\t" + (step.hasText ? quoteText(fromUtf8(step.text)) : std::string("null")); break;
        case Kind::Exit: line += "exit\t" + std::to_string(step.number); break;
        case Kind::WaitStop: line += "wait-stop"; break;
        case Kind::Sleep: line += "sleep\t" + std::to_string(step.number); break;
        case Kind::Print: line += "print\t" + quoteText(fromUtf8(step.text)); break;
    }
    record(line);
}

// The launcher class's main: the steps of the behaviour file in order; a
// throw ends main with the exception pending.
fakejni::Value runMain(JNIEnv*, const fakejni::Call& call) {
    using Kind = stubjvm::Step::Kind;
    for (const stubjvm::Step& step : behaviour().mainSteps) {
        recordStep(step);
        switch (step.kind) {
            case Kind::Return: return fakejni::Value::none();
            case Kind::Throw: throwFromMain(call, step); return fakejni::Value::none();
            case Kind::Exit:
                if (exitHook()) exitHook()(static_cast<jint>(step.number));
                ExitProcess(static_cast<UINT>(step.number));
            case Kind::WaitStop: waitForStopRequest(); break;
            case Kind::Sleep: Sleep(static_cast<DWORD>(step.number)); break;
            case Kind::Print: writeStdout(step.text + "\n"); break;
        }
    }
    return fakejni::Value::none();
}

fakejni::Value doNothing(JNIEnv*, const fakejni::Call&) { return fakejni::Value::none(); }

// The methods of the Java counterpart that the launcher calls.
void installBehaviours() {
    const char* launchers[] = {"com/lorix/runtime/WinLauncher", "com/tavra/runtime/launcher/WinLauncher"};
    for (const char* launcher : launchers)
        if (classIncludingHidden(launcher) && findMethod(classIncludingHidden(launcher), "main", "([Ljava/lang/String;)V", true))
            fakejni::onCall(launcher, "main", "([Ljava/lang/String;)V", runMain);
    const char* splash = "com/lorix/runtime/WinLauncher";
    const char* splashSig = "(ZZLjava/lang/String;IILjava/lang/String;IILjava/lang/String;IILjava/lang/String;II)V";
    if (classIncludingHidden(splash) && findMethod(classIncludingHidden(splash), "initAwtSplashConfig", splashSig, true))
        fakejni::onCall(splash, "initAwtSplashConfig", splashSig, doNothing);
    const char* common = "com/tavra/runtime/installer/platform/win32/Common";
    if (classIncludingHidden(common) && findMethod(classIncludingHidden(common), "initFromLauncher", "(Z)V", true))
        fakejni::onCall(common, "initFromLauncher", "(Z)V", doNothing);
}

void applyHiding() {
    for (const std::string& c : behaviour().hiddenClasses) fakejni::hideClass(c.c_str());
    for (const stubjvm::HiddenMethod& m : behaviour().hiddenMethods)
        fakejni::hideMethod(m.className.c_str(), m.name.c_str(), m.signature.c_str());
}

// ---- the invocation API -------------------------------------------------------------------------

bool& vmCreated() {
    static bool created = false;
    return created;
}

std::string hex(unsigned value) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "0x%08X", value);
    return buffer;
}

// Option strings are narrow text in the file-system code page.
std::string optionText(const char* option) {
    if (!option) return "null";
    UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    int n = MultiByteToWideChar(codePage, 0, option, -1, nullptr, 0);
    std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
    MultiByteToWideChar(codePage, 0, option, -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return quoteText(wide);
}

void recordInitArgs(const JavaVMInitArgs* args) {
    record("JNI_CreateJavaVM\tversion " + hex(static_cast<unsigned>(args->version)) + "\tignoreUnrecognized " +
           (args->ignoreUnrecognized ? "true" : "false") + "\toptions " + std::to_string(args->nOptions));
    for (jint i = 0; i < args->nOptions; ++i) {
        const JavaVMOption& o = args->options[i];
        std::string line = "option\t" + optionText(o.optionString);
        if (o.extraInfo) {
            char address[32];
            snprintf(address, sizeof address, "%p", o.extraInfo);
            line += std::string("\textraInfo ") + address;
        }
        record(line);
        if (o.optionString && std::string(o.optionString) == "exit") exitHook() = reinterpret_cast<ExitHook>(o.extraInfo);
    }
}

bool supportedCreateVersion(jint version) {
    return version == JNI_VERSION_1_2 || version == JNI_VERSION_1_4 || version == JNI_VERSION_1_6 ||
           version == JNI_VERSION_1_8;
}

jint finishCreate(jint result) {
    record("JNI_CreateJavaVM\t-> " + std::to_string(result));
    return result;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule() = instance;
        fakejni::setRecordSink(writeRecordLine);
        record("load\t" + quoteText(modulePath()) + "\tpid " + std::to_string(GetCurrentProcessId()));
    }
    return TRUE;
}

_JNI_IMPORT_OR_EXPORT_ jint JNICALL JNI_GetDefaultJavaVMInitArgs(void* args) {
    if (!args) fatal("JNI_GetDefaultJavaVMInitArgs: null arguments");
    jint version = *static_cast<jint*>(args);
    jint result = supportedCreateVersion(version) ? JNI_OK : JNI_EVERSION;
    record("JNI_GetDefaultJavaVMInitArgs\tversion " + hex(static_cast<unsigned>(version)) + "\t-> " + std::to_string(result));
    return result;
}

_JNI_IMPORT_OR_EXPORT_ jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* args) {
    if (!pvm || !penv || !args) fatal("JNI_CreateJavaVM: null argument");
    std::lock_guard<std::recursive_mutex> guard(lock());
    ensureModelLoaded();
    loadBehaviour();
    const JavaVMInitArgs* initArgs = static_cast<const JavaVMInitArgs*>(args);
    recordInitArgs(initArgs);
    *pvm = nullptr;
    *penv = nullptr;
    if (vmDestroyed()) return finishCreate(JNI_ERR);
    if (vmCreated()) return finishCreate(JNI_EEXIST);
    if (!supportedCreateVersion(initArgs->version)) return finishCreate(JNI_EVERSION);
    if (behaviour().createFails) return finishCreate(behaviour().createResult);
    applyHiding();
    installBehaviours();
    vmCreated() = true;
    *pvm = theVm();
    *penv = theEnv();
    return finishCreate(JNI_OK);
}

_JNI_IMPORT_OR_EXPORT_ jint JNICALL JNI_GetCreatedJavaVMs(JavaVM** vmBuf, jsize bufLen, jsize* nVMs) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    jsize count = vmCreated() && !vmDestroyed() ? 1 : 0;
    if (nVMs) *nVMs = count;
    if (count && vmBuf && bufLen > 0) vmBuf[0] = theVm();
    record("JNI_GetCreatedJavaVMs\t" + std::to_string(bufLen) + "\t-> 0\t" + std::to_string(count));
    return JNI_OK;
}

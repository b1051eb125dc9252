#include "launcher/jvmsearch/windows/JvmLibrary.h"

#include <cstdlib>
#include <string>

#include "launcher/config/ConfigKeys.h"
#include "launcher/config/ConfigTables.h"
#include "launcher/config/Log.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/Variables.h"
#include "launcher/jvmsearch/JavaText.h"
#include "launcher/jvmsearch/SearchSequence.h"
#include "launcher/jvmsearch/windows/JvmEntry.h"

namespace {

constexpr int kPreferredSubdirectoryChars = 200;
// Longest PATH the launcher writes for a runtime's bin directory, and for
// the native-library directories in front of the previous PATH.
constexpr size_t kRuntimePathChars = 24000;
constexpr size_t kNativeLibraryPathChars = 48000;
// Tried after the preferred subdirectory of key 152, in this order.
const char* const kJvmSubdirectories[] = {"hotspot", "client", "server", "classic", "jrockit"};

using AddDllDirectoryFunction = DllDirectoryCookie(WINAPI*)(PCWSTR);
using RemoveDllDirectoryFunction = BOOL(WINAPI*)(DllDirectoryCookie);

HMODULE g_jvmModule = nullptr;
CreateJavaVMFunction g_createJavaVM = nullptr;

FARPROC kernel32Function(const char* name) {
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? GetProcAddress(kernel32, name) : nullptr;
}

// PATH read whole, whatever its length; `defined` is false when the
// variable does not exist, so that restoring it removes it again.
struct SavedPath {
    bool defined = false;
    std::string value;
};

SavedPath readPath() {
    SavedPath saved;
    DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    while (size > 0) {
        std::string buffer(size, '\0');
        DWORD length = GetEnvironmentVariableA("PATH", &buffer[0], size);
        if (length < size) {
            buffer.resize(length);
            saved.defined = true;
            saved.value = buffer;
            break;
        }
        size = length;  // PATH grew in between
    }
    return saved;
}

// Sets PATH (or removes it for a null value) in the process environment
// and in the C runtime's copy, so that both agree.
void setPath(const std::string* value, const wchar_t* setFormat, const wchar_t* failedFormat) {
    const char* text = value ? value->c_str() : "";
    if (SetEnvironmentVariableA("PATH", value ? value->c_str() : nullptr))
        logLine(setFormat, text);
    else
        logLine(failedFormat, text, static_cast<int>(GetLastError()));
    std::string entry = std::string("PATH=") + text;
    _putenv(entry.c_str());
}

void setRuntimePath(const std::string* value) {
    setPath(value, L"Setting PATH %S", L"Setting PATH %S failed with error %d");
}

// directory\subdirectory\jvm.dll, loaded when it exists.
HMODULE trySubdirectory(const std::string& directory, const char* subdirectory) {
    std::string file = directory + "\\" + subdirectory + "\\jvm.dll";
    bool exists = pathExistsNarrow(file.c_str());
    logLine(L"Trying %S (exists %d)", file.c_str(), exists ? 1 : 0);
    if (!exists) return nullptr;
    HMODULE module = LoadLibraryA(file.c_str());
    if (!module) logLine(L"Failed with error code %d", static_cast<int>(GetLastError()));
    return module;
}

HMODULE tryJvmSubdirectories(const std::string& binDirectory) {
    char preferred[kPreferredSubdirectoryChars];
    configString(kPreferredSubdirectoryKey, preferred, sizeof preferred);
    HMODULE module = preferred[0] ? trySubdirectory(binDirectory, preferred) : nullptr;
    for (const char* subdirectory : kJvmSubdirectories) {
        if (module) break;
        module = trySubdirectory(binDirectory, subdirectory);
    }
    return module;
}

// The bin directory of `javaExe` goes behind PATH (and into the DLL
// directories) while its jvm.dll is tried; both changes are undone when
// nothing loads and kept when something does.
HMODULE tryBinDirectory(const std::string& javaExe) {
    std::string binDirectory = binDirectoryOf(javaExe.c_str());
    DllDirectoryCookie cookie = addDllDirectory(binDirectory.c_str());
    SavedPath saved = readPath();
    std::string extended = saved.value + ";" + binDirectory;
    bool pathChanged = extended.size() < kRuntimePathChars;
    if (pathChanged)
        setRuntimePath(&extended);
    else
        logLine(L"PATH with %S would exceed %d characters; left unchanged", binDirectory.c_str(),
                static_cast<int>(kRuntimePathChars));

    HMODULE module = tryJvmSubdirectories(binDirectory);
    if (!module) {
        removeDllDirectory(cookie);
        if (pathChanged) setRuntimePath(saved.defined ? &saved.value : nullptr);
    }
    return module;
}

}  // namespace

CreateJavaVMFunction createJavaVMFunction() { return g_createJavaVM; }
HMODULE jvmModule() { return g_jvmModule; }

HMODULE loadJvmForJavaExe(const char* javaExe) {
    logLine(L"Trying to load JVM-DLL from %S", javaExe);
    HMODULE module = tryBinDirectory(javaExe);
    if (module) return module;
    return tryBinDirectory(jreBinVariantOf(javaExe));
}

bool findCreateJavaVM(HMODULE module) {
    if (!module) return false;
    FARPROC entry = GetProcAddress(module, "JNI_CreateJavaVM");
    if (!entry) return false;
    g_jvmModule = module;
    g_createJavaVM = reinterpret_cast<CreateJavaVMFunction>(entry);
    return true;
}

DllDirectoryCookie addDllDirectory(const char* directory) {
    if (configInt(kDllDirectoriesKey) == 0) return nullptr;
    auto add = reinterpret_cast<AddDllDirectoryFunction>(kernel32Function("AddDllDirectory"));
    if (!add) return nullptr;
    wchar_t wide[kBufferChars];
    UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    if (MultiByteToWideChar(codePage, 0, directory, -1, wide, kBufferChars) <= 0) return nullptr;
    logLine(L"Adding DLL directory %s", wide);
    return add(wide);
}

void removeDllDirectory(DllDirectoryCookie cookie) {
    if (!cookie) return;
    auto remove = reinterpret_cast<RemoveDllDirectoryFunction>(kernel32Function("RemoveDllDirectory"));
    if (!remove) return;
    logLine(L"Removing DLL directory");
    remove(cookie);
}

void addNativeLibraryPath() {
    char directories[kBufferChars];
    configString(kNativeLibraryKey, directories, kBufferChars);
    logLine(L"native lib dir is %S", directories);
    expandVariablesNarrow(directories, kBufferChars);

    std::string joined;
    for (const std::string& entry : splitList(directories, ';')) {
        // Lower-cased like every full path of the launcher: PATH, the JVM's
        // library path and the DLL directories all carry this form.
        char full[kBufferChars];
        fullPathNarrow(entry.c_str(), full, kBufferChars, false);
        if (!full[0]) continue;
        addDllDirectory(full);
        if (!joined.empty()) joined += ';';
        joined += full;
    }
    if (!joined.empty() && joined.back() != ';') joined += ';';

    SavedPath saved = readPath();
    // Nothing to put in front of a PATH that does not exist: leave it so.
    if (joined.empty() && !saved.defined) return;
    std::string value = joined + saved.value;
    if (value.size() >= kNativeLibraryPathChars) {
        logLine(L"PATH (native libs) would exceed %d characters; left unchanged",
                static_cast<int>(kNativeLibraryPathChars));
        return;
    }
    setPath(&value, L"Setting PATH (native libs) %S", L"Setting PATH (native libs) %S failed with error %d");
}

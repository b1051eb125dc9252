// Special folders, the Windows and system directories, values of the
// CurrentVersion key, drive types, short and universal names. Every failure
// is a return value: null, or the argument itself where a name cannot be
// transformed.
#include "native/shell/windows/FolderInfo.h"

#include <jni.h>
#include <objbase.h>
#include <shlobj.h>
#include <winnetwk.h>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/shell/FileVersionOrder.h"
#include "native/shell/FolderTable.h"
#include "native/shell/windows/FileVersion.h"
#include "native/system/RegistryData.h"

FolderFunctions g_folderFunctions = {};

namespace {

const size_t kFolderPathUnits = 32768;
const UINT kDirectoryUnits = 32767;
const DWORD kRegistryValueBytes = 32767;
const DWORD kUniversalNameBytes = 65534;

// An updated "_shfoldr.dll" that an installer put beside the system's
// "shfolder.dll" is taken when it is newer, or when neither version can be
// read; "shfolder.dll" otherwise, and whenever the other cannot be loaded.
// Both are the System32 copies only.
HMODULE loadFolderModule() {
    wchar_t replacement[MAX_PATH + 16], system[MAX_PATH + 16];
    systemModulePath(L"_shfoldr.dll", replacement);
    systemModulePath(L"shfolder.dll", system);
    int order = compareFileVersions(replacement, system);
    HMODULE module = nullptr;
    if (prefersReplacementFolderModule(order)) module = loadSystemModule(L"_shfoldr.dll");
    if (!module) module = loadSystemModule(L"shfolder.dll");
    return module;
}

bool bindFolderPath() {
    FolderFunctions& f = g_folderFunctions;
    lookUpOnce(f.folderPathTried, [&f] {
        // Loaded first so that the folder module finds it in the process.
        loadSystemModule(L"shell32.dll");
        HMODULE module = loadFolderModule();
        if (module) bindSlot(f.getFolderPath, GetProcAddress(module, "SHGetFolderPathW"));
    });
    return f.getFolderPath != nullptr;
}

GUID guidOf(const FolderGuid& id) {
    GUID guid;
    guid.Data1 = id.data1;
    guid.Data2 = id.data2;
    guid.Data3 = id.data3;
    for (int i = 0; i < 8; ++i) guid.Data4[i] = id.data4[i];
    return guid;
}

jstring knownFolder(JNIEnv* env, jint id) {
    if (!g_folderFunctions.getKnownFolderPath &&
        !bindSlot(g_folderFunctions.getKnownFolderPath, procOfLibrary(L"shell32.dll", "SHGetKnownFolderPath")))
        return nullptr;
    PWSTR path = nullptr;
    HRESULT result = g_folderFunctions.getKnownFolderPath(guidOf(knownFolderOfId(id)), 0, nullptr, &path);
    if (result != S_OK) {
        // Windows leaves null here on failure; free whatever came back anyway.
        CoTaskMemFree(path);
        return nullptr;
    }
    jstring text = javaStringFromWide(env, path);
    CoTaskMemFree(path);
    return text;
}

jstring shellFolder(JNIEnv* env, jint id, jboolean common) {
    if (!bindFolderPath()) return nullptr;
    HeapArray<wchar_t> path(kFolderPathUnits);
    path[0] = 0;
    int csidl = csidlOfFolderId(id, common != JNI_FALSE) | kCsidlFlagCreate;
    if (g_folderFunctions.getFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path.get()) != S_OK)
        return nullptr;
    path[kFolderPathUnits - 1] = 0;
    return javaStringFromWide(env, path.get());
}

}  // namespace

extern "C" {

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getSpecialFolder0(JNIEnv* env,
                                                                                                       jclass, jint id,
                                                                                                       jboolean common) {
    return isKnownFolderId(id) ? knownFolder(env, id) : shellFolder(env, id, common);
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getPathFromRegistry0(
    JNIEnv* env, jclass, jstring valueName) {
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_QUERY_VALUE,
                      key.put()) != ERROR_SUCCESS) {
        key.release();
        return nullptr;
    }
    JavaWide name(env, valueName);
    if (name.failed()) return nullptr;
    HeapArray<BYTE> data(kRegistryValueBytes);
    DWORD size = kRegistryValueBytes;
    LSTATUS status = RegQueryValueExW(key.get(), name.get(), nullptr, nullptr, data.get(), &size);
    key.reset();
    if (status != ERROR_SUCCESS || size > kRegistryValueBytes) return nullptr;
    // Data stored without its NUL ends at the data's end, not beyond it.
    const char16_t* units = reinterpret_cast<const char16_t*>(data.get());
    return javaStringFromWide(env, reinterpret_cast<const wchar_t*>(units), registryStringUnits(units, size));
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getWindowsDirectory0(JNIEnv* env,
                                                                                                          jclass) {
    HeapArray<wchar_t> directory(kDirectoryUnits + 1);
    if (g_folderFunctions.getSystemWindowsDirectory ||
        bindSlot(g_folderFunctions.getSystemWindowsDirectory,
                 procOfLibrary(L"Kernel32.DLL", "GetSystemWindowsDirectoryW"))) {
        UINT n = g_folderFunctions.getSystemWindowsDirectory(directory.get(), kDirectoryUnits);
        if (n != 0 && n < kDirectoryUnits) return javaStringFromWide(env, directory.get());
    }
    UINT n = GetWindowsDirectoryW(directory.get(), kDirectoryUnits);
    if (n == 0 || n >= kDirectoryUnits) return nullptr;
    return javaStringFromWide(env, directory.get());
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getSystemDirectory0(JNIEnv* env,
                                                                                                         jclass) {
    HeapArray<wchar_t> directory(kDirectoryUnits + 1);
    UINT n = GetSystemDirectoryW(directory.get(), kDirectoryUnits);
    if (n == 0 || n >= kDirectoryUnits) return nullptr;
    return javaStringFromWide(env, directory.get());
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getDriveType0(JNIEnv* env, jclass,
                                                                                                jstring rootPath) {
    JavaWide root(env, rootPath);
    if (root.failed()) return DRIVE_UNKNOWN;
    return static_cast<jint>(GetDriveTypeW(root.get()));
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getShortPathName0(JNIEnv* env,
                                                                                                       jclass,
                                                                                                       jstring path) {
    JavaWide longPath(env, path);
    if (longPath.failed()) return path;
    HeapArray<wchar_t> shortPath(kDirectoryUnits + 1);
    DWORD n = GetShortPathNameW(longPath.get(), shortPath.get(), kDirectoryUnits);
    // 0 is a failure, and a result as long as the buffer the size it needs.
    if (n == 0 || n >= kDirectoryUnits) return path;
    return javaStringFromWide(env, shortPath.get());
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_FolderInfo_getUniversalPathName0(
    JNIEnv* env, jclass, jstring path) {
    if (!g_folderFunctions.getUniversalName &&
        !bindSlot(g_folderFunctions.getUniversalName, procOfLibrary(L"mpr.dll", "WNetGetUniversalNameW")))
        return path;
    JavaWide localPath(env, path);
    if (localPath.failed()) return path;
    HeapArray<BYTE> buffer(kUniversalNameBytes);
    DWORD size = kUniversalNameBytes;
    DWORD status = g_folderFunctions.getUniversalName(localPath.get(), UNIVERSAL_NAME_INFO_LEVEL, buffer.get(), &size);
    if (status == NO_ERROR) {
        const UNIVERSAL_NAME_INFOW* info = reinterpret_cast<const UNIVERSAL_NAME_INFOW*>(buffer.get());
        return javaStringFromWide(env, info->lpUniversalName);
    }
    char16_t text[16];
    universalNameErrorText(status, text, 16);
    return javaStringFromWide(env, reinterpret_cast<const wchar_t*>(text));
}

}  // extern "C"

// File versions from the fixed version block of a file's version resource.
#include "native/shell/windows/FileVersion.h"

#include <jni.h>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/shell/FileVersionOrder.h"

VersionFunctions g_versionFunctions = {};

namespace {

const size_t kPathUnits = 32768;

// Only the System32 copy: a "version.dll" beside the application must not
// be loaded in its place.
bool bindVersionFunctions() {
    VersionFunctions& f = g_versionFunctions;
    lookUpOnce(f.loadTried, [&f] {
        HMODULE version = loadSystemModule(L"version.dll");
        if (!version) return;
        bindSlot(f.getSize, GetProcAddress(version, "GetFileVersionInfoSizeW"));
        bindSlot(f.getInfo, GetProcAddress(version, "GetFileVersionInfoW"));
        bindSlot(f.queryValue, GetProcAddress(version, "VerQueryValueW"));
    });
    return f.getSize && f.getInfo && f.queryValue;
}

// The path in a buffer of the fixed size, cut to fit.
void copyPath(const wchar_t* path, wchar_t* buffer) {
    size_t n = 0;
    if (path)
        for (; n < kPathUnits - 1 && path[n]; ++n) buffer[n] = path[n];
    buffer[n] = 0;
}

}  // namespace

bool readVersionInfo(const wchar_t* path, VS_FIXEDFILEINFO* info) {
    if (!bindVersionFunctions()) return false;
    HeapArray<wchar_t> file(kPathUnits);
    copyPath(path, file.get());
    DWORD handle = 0;
    DWORD size = g_versionFunctions.getSize(file.get(), &handle);
    if (size == 0) return false;
    HeapArray<BYTE> block(size);
    if (!g_versionFunctions.getInfo(file.get(), 0, size, block.get())) return false;
    void* root = nullptr;
    UINT length = 0;
    wchar_t rootName[] = L"\\";
    if (!g_versionFunctions.queryValue(block.get(), rootName, &root, &length) || !root) return false;
    // A root block shorter than the fixed block holds no version to read.
    if (length < sizeof(VS_FIXEDFILEINFO)) return false;
    *info = *static_cast<const VS_FIXEDFILEINFO*>(root);
    return true;
}

int compareFileVersions(const wchar_t* path1, const wchar_t* path2) {
    VS_FIXEDFILEINFO first, second;
    if (!readVersionInfo(path1, &first) || !readVersionInfo(path2, &second)) return kVersionUnreadable;
    FileVersionWords a = {first.dwFileVersionMS, first.dwFileVersionLS};
    FileVersionWords b = {second.dwFileVersionMS, second.dwFileVersionLS};
    return compareFileVersionWords(&a, &b);
}

extern "C" {

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_FileVersion_compare0(JNIEnv* env, jclass,
                                                                                            jstring file1,
                                                                                            jstring file2) {
    JavaWide first(env, file1);
    JavaWide second(env, file2);
    if (anyCopyFailed(first, second)) return kVersionUnreadable;
    return compareFileVersions(first.get(), second.get());
}

}  // extern "C"

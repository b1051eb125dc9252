// getValue0 of a string value and enumSubKeys0 of a key with 1000 subkeys,
// through the exports of tvrinst.dll with a lean JNIEnv (LeanJni.h), against
// the same Win32 calls made directly (with their results copied out as the
// natives copy them into Java strings), alternating, in the same run.
// Prints medians and the ratios.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/natives/LeanJni.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

const wchar_t kKey[] = L"Software\\tvrtest\\bench";

double nowMicros() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1e6 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void directGetValue() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) abort();
    static BYTE buffer[100000];
    DWORD type, size = sizeof buffer;
    RegQueryValueExW(key, L"text", nullptr, &type, buffer, &size);
    RegCloseKey(key);
    std::wstring text(reinterpret_cast<wchar_t*>(buffer), size / 2 - 1);
}

void directEnumSubKeys() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) abort();
    std::vector<std::wstring> names;
    wchar_t name[4096], className[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameChars = 4096, classChars = 4096;
        if (RegEnumKeyExW(key, i, name, &nameChars, nullptr, className, &classChars, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, nameChars);
    }
    RegCloseKey(key);
}

using GetValueFunction = jobject(JNICALL*)(JNIEnv*, jclass, jint, jstring, jstring, jint);
using EnumSubKeysFunction = jobjectArray(JNICALL*)(JNIEnv*, jclass, jint, jstring, jint);
GetValueFunction g_getValue;
EnumSubKeysFunction g_enumSubKeys;

void nativeGetValue() {
    if (!g_getValue(lean::env(), nullptr, 2, lean::string(u"Software\\tvrtest\\bench"), lean::string(u"text"), 0)) abort();
    lean::endCall();
}

void nativeEnumSubKeys() {
    if (!g_enumSubKeys(lean::env(), nullptr, 2, lean::string(u"Software\\tvrtest\\bench"), 0)) abort();
    lean::endCall();
}

template <class Function>
Function exported(const char* method) {
    std::string name = nativetest::exportName("Registry", method);
    auto found = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(nativetest::tvrinst(), name.c_str())));
    if (!found) abort();
    return found;
}

// Medians of `runs` alternating timings of a direct and a native operation
// repeated `repeat` times each.
void compare(const char* what, void (*direct)(), void (*native)(), int runs, int repeat) {
    std::vector<double> directTimes, nativeTimes;
    for (int r = 0; r < runs; ++r) {
        double t0 = nowMicros();
        for (int i = 0; i < repeat; ++i) direct();
        double t1 = nowMicros();
        for (int i = 0; i < repeat; ++i) native();
        double t2 = nowMicros();
        directTimes.push_back((t1 - t0) / repeat);
        nativeTimes.push_back((t2 - t1) / repeat);
    }
    double d = median(directTimes), n = median(nativeTimes);
    printf("%-34s direct %9.1f us   native %9.1f us   ratio %.2f\n", what, d, n, n / d);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 15;
    HKEY key;
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const wchar_t text[] = L"C:\\Program Files\\Orvane\\bin\\orvane.exe";
    RegSetValueExW(key, L"text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    for (int i = 0; i < 1000; ++i) {
        HKEY child;
        RegCreateKeyExW(key, (L"subkey" + std::to_wstring(i)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child,
                        nullptr);
        RegCloseKey(child);
    }
    RegCloseKey(key);

    g_getValue = exported<GetValueFunction>("getValue0");
    g_enumSubKeys = exported<EnumSubKeysFunction>("enumSubKeys0");
    printf("registry natives against direct Win32 calls, medians of %d runs\n", runs);
    compare("getValue0 of a string value", directGetValue, nativeGetValue, runs, 200);
    compare("enumSubKeys0 of 1000 subkeys", directEnumSubKeys, nativeEnumSubKeys, runs, 5);

    RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\tvrtest");
    return 0;
}

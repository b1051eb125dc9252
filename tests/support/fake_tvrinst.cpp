// A test double for tvrinst.dll's registerNatives export: records what the
// launcher passes (is there a JNIEnv, is the module handle this DLL's own),
// answers through the launcher's log callback with a wide format, and
// returns the result that LRX_FAKE_TVRINST_RESULT asks for ("0": failure).
// The record goes to the file named by LRX_FAKE_TVRINST_RECORD.
#include <windows.h>

#include <cstdio>

namespace {

HMODULE g_self = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) unsigned char registerNatives(void* env, void* module,
                                                               void (*log)(const wchar_t*, ...)) {
    char path[MAX_PATH];
    if (GetEnvironmentVariableA("LRX_FAKE_TVRINST_RECORD", path, MAX_PATH)) {
        if (FILE* record = fopen(path, "wb")) {
            fprintf(record, "env=%s\nmodule=%s\n", env ? "set" : "null", module == g_self ? "own" : "other");
            fclose(record);
        }
    }
    if (log) log(L"fake tvrinst called with %s and %d", L"wide text", 42);
    char result[8] = "1";
    GetEnvironmentVariableA("LRX_FAKE_TVRINST_RESULT", result, sizeof result);
    return result[0] != '0';
}

#include "tests/natives/NativeTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "native/frame/RegistrationTable.h"

namespace nativetest {

namespace {

const NativeMethodRow* findRow(const NativeClassRows* groups, size_t count, const char* className,
                               const char* method) {
    for (size_t g = 0; g < count; ++g) {
        if (strcmp(groups[g].className, className) != 0) continue;
        for (size_t r = 0; r < groups[g].rowCount; ++r)
            if (strcmp(groups[g].rows[r].name, method) == 0) return &groups[g].rows[r];
    }
    return nullptr;
}

std::string classPath(const char* className) {
    char path[256];
    jniClassPath(className, path, sizeof path);
    return path;
}

fakejni::Value callIn(HMODULE module, const char* className, const char* method,
                      std::initializer_list<fakejni::Arg> args) {
    std::string name = exportName(className, method);
    void* function = reinterpret_cast<void*>(GetProcAddress(module, name.c_str()));
    if (!function) {
        fprintf(stderr, "no export %s\n", name.c_str());
        abort();
    }
    return fakejni::callFunction(function, classPath(className).c_str(), method, signatureOf(className, method), args);
}

void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

HMODULE tvrinst() {
    static HMODULE module = [] {
        wchar_t path[MAX_PATH];
        if (!GetEnvironmentVariableW(L"TVR_TVRINST_DLL", path, MAX_PATH)) {
            fprintf(stderr, "TVR_TVRINST_DLL is not set\n");
            abort();
        }
        HMODULE loaded = LoadLibraryW(path);
        if (!loaded) {
            fprintf(stderr, "cannot load tvrinst.dll: %lu\n", GetLastError());
            abort();
        }
        return loaded;
    }();
    return module;
}

std::string exportName(const char* className, const char* method) {
    char name[256];
    jniExportName(className, method, name, sizeof name);
    return name;
}

const char* signatureOf(const char* className, const char* method) {
    const NativeMethodRow* row = findRow(registrationClasses(), registrationClassCount(), className, method);
    if (!row) row = findRow(exportOnlyClasses(), exportOnlyClassCount(), className, method);
    if (!row) {
        fprintf(stderr, "no native %s.%s in the table\n", className, method);
        abort();
    }
    return row->signature;
}

fakejni::Value callExport(const char* className, const char* method, std::initializer_list<fakejni::Arg> args) {
    return callIn(tvrinst(), className, method, args);
}

fakejni::Value callLinked(const char* className, const char* method, std::initializer_list<fakejni::Arg> args) {
    return callIn(GetModuleHandleW(nullptr), className, method, args);
}

void resetJni() { fakejni::reset(); }

ScratchKey::ScratchKey(const std::wstring& name) : path_(L"Software\\tvrtest\\" + name) {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
        ERROR_SUCCESS)
        RegCloseKey(key);
}

ScratchKey::~ScratchKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\tvrtest");
}

HKEY ScratchKey::open() const {
    HKEY key = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_ALL_ACCESS, &key);
    return key;
}

ScratchFolder::ScratchFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    wchar_t name[64];
    swprintf(name, 64, L"tvrtest_%lu_%u", GetCurrentProcessId(), ++counter);
    path_ = std::wstring(temp) + name;
    removeTree(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { removeTree(path_); }

std::string narrow(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

std::wstring utf16(const std::string& text) {
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

}  // namespace nativetest

namespace nativetest {

std::wstring besideTestProgram(const std::wstring& name) {
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L'\\') + 1) + name;
}

}  // namespace nativetest

namespace nativetest {

std::vector<std::string> callsWithAnExceptionPending() {
    std::vector<std::string> calls;
    for (const std::string& line : fakejni::records())
        if (line.find("called with an exception pending") != std::string::npos) calls.push_back(line);
    return calls;
}

}  // namespace nativetest

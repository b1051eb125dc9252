// Fake Java runtime trees for the JVM search tests and the benchmark,
// made from the doubles built in tests/fake-runtime (java.exe,
// unpack200.exe, jvm.dll):
//
//   home\bin\java.exe          the fake java.exe; fakejava.txt beside it
//                              says what -version prints and how it exits
//   home\bin\<sub>\jvm.dll     the minimal jvm.dll, or a text file that
//                              fails to load
//   home\bin\unpack200.exe     the fake unpacker
//
// Header-only, so that every test program can use it without a library.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace fake_runtime {

inline std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[MAX_PATH * 4];
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH * 4);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(value, n) : std::wstring();
}

// LRX_FAKE_RUNTIME when set, else fake-runtime beside this program (the
// test programs are built in the directory that holds it).
inline std::wstring doublesDirectory() {
    std::wstring dir = environmentValue(L"LRX_FAKE_RUNTIME");
    if (!dir.empty()) return dir;
    wchar_t self[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring path(self, n);
    return path.substr(0, path.rfind(L'\\')) + L"\\fake-runtime";
}

inline std::wstring doubleFile(const wchar_t* name) { return doublesDirectory() + L"\\" + name; }

// Creates every missing level of `dir`.
inline void makeDirectories(const std::wstring& dir) {
    for (size_t pos = dir.find(L'\\', 3); pos != std::wstring::npos; pos = dir.find(L'\\', pos + 1))
        CreateDirectoryW(dir.substr(0, pos).c_str(), nullptr);
    CreateDirectoryW(dir.c_str(), nullptr);
}

inline void removeTree(const std::wstring& dir) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = dir + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(dir.c_str());
}

inline bool writeText(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
    CloseHandle(file);
    return ok;
}

inline std::string readText(const std::wstring& path) {
    std::string data;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) data.append(chunk, got);
    CloseHandle(file);
    return data;
}

inline bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

// What the fake java.exe in `binDir` does on its next runs.
struct JavaBehaviour {
    std::vector<std::string> stderrLines{"java version \"1.8.0_301\""};
    int exitCode = 0;
    int hangMillis = 0;
};

inline JavaBehaviour reporting(const std::string& firstLine) {
    JavaBehaviour behaviour;
    behaviour.stderrLines = {firstLine};
    return behaviour;
}

inline JavaBehaviour javaVersion(const std::string& version) { return reporting("java version \"" + version + "\""); }

inline void setJavaBehaviour(const std::wstring& binDir, const JavaBehaviour& behaviour) {
    std::string text;
    for (const std::string& line : behaviour.stderrLines) text += "stderr=" + line + "\r\n";
    text += "exit=" + std::to_string(behaviour.exitCode) + "\r\n";
    if (behaviour.hangMillis) text += "hang=" + std::to_string(behaviour.hangMillis) + "\r\n";
    writeText(binDir + L"\\fakejava.txt", text);
}

// Command lines of the runs of the fake java.exe in `binDir`.
inline std::vector<std::string> javaRuns(const std::wstring& binDir) {
    return lines(readText(binDir + L"\\fakejava.runs"));
}

// Puts java.exe (and, with `withJavaw`, javaw.exe) into home\bin.
inline void installJava(const std::wstring& home, const JavaBehaviour& behaviour, bool withJavaw = false) {
    std::wstring bin = home + L"\\bin";
    makeDirectories(bin);
    CopyFileW(doubleFile(L"java.exe").c_str(), (bin + L"\\java.exe").c_str(), FALSE);
    if (withJavaw) CopyFileW(doubleFile(L"java.exe").c_str(), (bin + L"\\javaw.exe").c_str(), FALSE);
    setJavaBehaviour(bin, behaviour);
}

// Puts the minimal jvm.dll into binDir\subdirectory.
inline void installJvm(const std::wstring& binDir, const wchar_t* subdirectory) {
    std::wstring dir = binDir + L"\\" + subdirectory;
    makeDirectories(dir);
    CopyFileW(doubleFile(L"jvm.dll").c_str(), (dir + L"\\jvm.dll").c_str(), FALSE);
}

// A jvm.dll that exists but is no library (as a 32-bit runtime's is for
// this 64-bit launcher): LoadLibrary fails on it.
inline void installBrokenJvm(const std::wstring& binDir, const wchar_t* subdirectory) {
    std::wstring dir = binDir + L"\\" + subdirectory;
    makeDirectories(dir);
    writeText(dir + L"\\jvm.dll", "not a library");
}

// A whole runtime: home\bin\java.exe reporting `version`, and
// home\bin\server\jvm.dll.
inline void installRuntime(const std::wstring& home, const std::string& version) {
    installJava(home, javaVersion(version));
    installJvm(home + L"\\bin", L"server");
}

inline void installUnpacker(const std::wstring& home) {
    std::wstring bin = home + L"\\bin";
    makeDirectories(bin);
    CopyFileW(doubleFile(L"unpack200.exe").c_str(), (bin + L"\\unpack200.exe").c_str(), FALSE);
}

inline std::vector<std::string> unpackerRuns(const std::wstring& home) {
    return lines(readText(home + L"\\bin\\unpack200.runs"));
}

inline std::wstring widen(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    return out;
}

// The narrow form of a path made of ASCII characters (the tests' paths are).
inline std::string ascii(const std::wstring& text) { return std::string(text.begin(), text.end()); }

inline std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Removes the version cache entries of HKCU\SOFTWARE\brightmoor\lorix\jvms
// whose name (a java.exe path with "/") lies below `dir`.
inline void removeCacheEntriesBelow(const std::wstring& dir) {
    std::string prefix = lowerAscii(ascii(dir));
    for (char& c : prefix)
        if (c == '\\') c = '/';
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\brightmoor\\lorix\\jvms", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> doomed;
    char name[1024];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        LONG result = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS && lowerAscii(name).compare(0, prefix.size(), prefix) == 0) doomed.push_back(name);
    }
    for (const std::string& entry : doomed) RegDeleteKeyA(key, entry.c_str());
    RegCloseKey(key);
}

// A scratch directory below the temporary directory, removed with its
// version cache entries.
class ScratchTree {
public:
    explicit ScratchTree(const wchar_t* name) {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        wchar_t longTemp[MAX_PATH * 4];
        DWORD n = GetLongPathNameW(temp, longTemp, MAX_PATH * 4);
        std::wstring base = n > 0 && n < MAX_PATH * 4 ? std::wstring(longTemp, n) : std::wstring(temp);
        if (!base.empty() && base.back() == L'\\') base.pop_back();
        path_ = base + L"\\lrx_jvm_" + name + L"_" + std::to_wstring(GetCurrentProcessId());
        removeTree(path_);
        makeDirectories(path_);
    }
    ~ScratchTree() {
        removeCacheEntriesBelow(path_);
        removeTree(path_);
    }
    ScratchTree(const ScratchTree&) = delete;
    ScratchTree& operator=(const ScratchTree&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

private:
    std::wstring path_;
};

}  // namespace fake_runtime

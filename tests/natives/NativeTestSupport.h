// What the natives' tests share: the built tvrinst.dll loaded by path, calls
// of its natives through their export names with the fake JNI, calls of the
// copy of the natives linked into the test program (whose process-wide
// bindings the tests may replace), and scratch registry keys and folders
// that remove themselves.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/jvm/FakeJni.h"

namespace nativetest {

// tvrinst.dll as built (TVR_TVRINST_DLL), loaded once.
HMODULE tvrinst();

// The JNI signature of a native, from the registration table (or the
// export-only rows); aborts when the table has no such native.
const char* signatureOf(const char* className, const char* method);

// Calls the native exported by tvrinst.dll under its JNI short name.
fakejni::Value callExport(const char* className, const char* method, std::initializer_list<fakejni::Arg> args);

// Calls the copy of the native linked into this test program, the one whose
// bindings a test can set.
fakejni::Value callLinked(const char* className, const char* method, std::initializer_list<fakejni::Arg> args);

// The export name of a native ("Java_com_tavra_..._Registry_getValue0").
std::string exportName(const char* className, const char* method);

// A fresh fake VM for each test, with nothing pending afterwards.
void resetJni();

// A key HKCU\Software\tvrtest\<name> that is removed with its subtree when
// the object ends (and removed first when it is left from a broken run).
class ScratchKey {
public:
    explicit ScratchKey(const std::wstring& name);
    ~ScratchKey();
    const std::wstring& path() const { return path_; }  // below HKCU
    HKEY open() const;                                    // a new handle; the caller closes it

private:
    std::wstring path_;
};

// A new empty folder in the temporary directory, removed with its contents.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::wstring utf16(const std::string& text);
// The record's lines of JNI calls made while an exception was pending.
std::vector<std::string> callsWithAnExceptionPending();
std::string narrow(const std::wstring& text);  // UTF-8
// The text in lower case, for paths Windows compares without case.
std::wstring lower(std::wstring text);

}  // namespace nativetest

namespace nativetest {

// A file beside the test program (helper programs of the tests are built
// there: RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/natives).
std::wstring besideTestProgram(const std::wstring& name);

}  // namespace nativetest

#include "launcher/config/windows/Variables.h"

#include <windows.h>

#include <string>

#include "launcher/config/Expansion.h"
#include "launcher/config/windows/Paths.h"
#include "launcher/config/windows/TempDir.h"

// MinGW's headers name the ANSI environment block function only without its
// "A"; with UNICODE defined that name is a macro for the wide one.
#undef GetEnvironmentStrings

namespace {

std::string g_jvmHome;

std::wstring widened(const char* narrow) { return widenPath(narrow); }

class WideSource : public VariableSource<wchar_t> {
public:
    explicit WideSource(bool ansiSafe) : ansiSafe_(ansiSafe) {}
    ~WideSource() override {
        if (block_) FreeEnvironmentStringsW(block_);
    }

    std::wstring value(VariableValue which) override {
        switch (which) {
        case VariableValue::LauncherDirectory:
            return ansiSafe_ ? executableDirWideFromNarrow() : executableDirWideLong();
        case VariableValue::ExtractionDirectory: return widened(extractionDirectory());
        case VariableValue::PathListSeparator: return L";";
        case VariableValue::JvmHome: return widened(g_jvmHome.c_str());
        case VariableValue::TempDirectory: {
            if (ansiSafe_) {
                char narrow[kBufferChars];
                findTempDirNarrow(narrow);
                return widened(narrow);
            }
            wchar_t wide[kBufferChars];
            findTempDirWide(wide, true);
            return wide;
        }
        }
        return std::wstring();
    }
    const wchar_t* environmentBlock() override {
        if (!block_) block_ = GetEnvironmentStringsW();
        return block_;
    }

private:
    bool ansiSafe_;
    wchar_t* block_ = nullptr;
};

class NarrowSource : public VariableSource<char> {
public:
    ~NarrowSource() override {
        if (block_) FreeEnvironmentStringsA(block_);
    }

    std::string value(VariableValue which) override {
        switch (which) {
        case VariableValue::LauncherDirectory: return executableDirNarrow();
        case VariableValue::ExtractionDirectory: return extractionDirectory();
        case VariableValue::PathListSeparator: return ";";
        case VariableValue::JvmHome: return g_jvmHome;
        case VariableValue::TempDirectory: {
            char narrow[kBufferChars];
            findTempDirNarrow(narrow);
            return narrow;
        }
        }
        return std::string();
    }
    const char* environmentBlock() override {
        if (!block_) block_ = GetEnvironmentStrings();
        return block_;
    }

private:
    char* block_ = nullptr;
};

}  // namespace

void expandVariablesWide(wchar_t* text, bool ansiSafe, size_t capacity) {
    WideSource source(ansiSafe);
    expandVariables(text, capacity, source);
}

void expandVariablesNarrow(char* text, size_t capacity) {
    NarrowSource source;
    expandVariables(text, capacity, source);
}

void publishJvmHome(const char* home) { g_jvmHome = home ? home : ""; }
const char* jvmHome() { return g_jvmHome.c_str(); }

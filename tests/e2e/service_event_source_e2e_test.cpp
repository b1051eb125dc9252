// The service's event source in Wine's registry: /install registers it
// (with the launcher as its message file), /uninstall removes it, and the
// launcher's message table shows an event's text as it is.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/e2e/E2eSupport.h"

namespace {

const std::wstring kApplicationLog = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\";

class EventSource : public ::testing::Test {
protected:
    void SetUp() override {
        name = L"Lrx Source " + std::to_wstring(GetCurrentProcessId());
        key = kApplicationLog + name;
        exe = dir.file(L"svc.exe");
        LauncherDescription description = sampleDescription();
        setConfigValue(description, 101, narrowUtf8(name));
        packTo(exe, description);
    }
    void TearDown() override {
        run(L"/uninstall");
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    }

    ChildResult run(const std::wstring& arguments) {
        ChildOptions options;
        options.timeoutMs = 120000;
        return runChild(commandLine(exe, arguments), options);
    }

    bool sourceExists() {
        HKEY handle;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
        RegCloseKey(handle);
        return true;
    }

    // The value's type and data as text (strings) or number (DWORD).
    bool readValue(const wchar_t* value, DWORD& type, std::wstring& text, DWORD& number) {
        HKEY handle;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
        wchar_t data[2048] = {};
        DWORD size = sizeof data - sizeof(wchar_t);
        LONG error = RegQueryValueExW(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(handle);
        text = data;
        memcpy(&number, data, sizeof number);
        return error == ERROR_SUCCESS;
    }

    void writeSource(const std::wstring& messageFile) {
        HKEY handle;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(handle, L"EventMessageFile", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(messageFile.c_str()),
                       static_cast<DWORD>((messageFile.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }

    void expectRegisteredSource() {
        DWORD type = 0, number = 0;
        std::wstring text;
        ASSERT_TRUE(readValue(L"EventMessageFile", type, text, number));
        EXPECT_TRUE(type == REG_EXPAND_SZ || type == REG_SZ) << type;
        EXPECT_EQ(_wcsicmp(text.c_str(), exe.c_str()), 0) << narrowUtf8(text);
        ASSERT_TRUE(readValue(L"TypesSupported", type, text, number));
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(number, 7u);
    }

    ScratchDir dir{L"event_source"};
    std::wstring name, key, exe;
};

}  // namespace

TEST_F(EventSource, InstallRegistersTheSourceAndUninstallRemovesIt) {
    ChildResult r = run(L"/install");
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_EQ(r.out, "Installed service '" + narrowUtf8(name) + "'.\r\n");
    expectRegisteredSource();

    r = run(L"/uninstall");
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_FALSE(sourceExists());

    // The other forms of install register it too.
    ASSERT_EQ(run(L"/install-demand").exitCode, 0u);
    expectRegisteredSource();
    ASSERT_EQ(run(L"/install-auto").exitCode, 0u);
    expectRegisteredSource();
}

TEST_F(EventSource, UninstallKeepsAnotherProgramsSourceOfThatName) {
    // No service of this name: a source that names another message file
    // is not ours to remove; one that names this launcher is.
    writeSource(L"C:\\windows\\system32\\other.dll");
    EXPECT_EQ(run(L"/uninstall").exitCode, 1u);
    EXPECT_TRUE(sourceExists());
    writeSource(exe);
    EXPECT_EQ(run(L"/uninstall").out, "Could not delete service.\r\n");
    EXPECT_FALSE(sourceExists());
}

TEST_F(EventSource, MessageOneIsTheInsertionStringAlone) {
    HMODULE launcher = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(launcher, nullptr) << GetLastError();
    const wchar_t* text = L"The application of service 'S' ended with exit code 1.\r\n\r\nNo JVM could be found";
    DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(text)};
    wchar_t shown[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, launcher, 1, 0, shown,
                                  512, reinterpret_cast<va_list*>(arguments));
    EXPECT_EQ(std::wstring(shown, length), text);
    // No other message: an event id other than 1 would show the viewer's
    // "description cannot be found".
    EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, launcher, 2, 0, shown, 512,
                             nullptr),
              0u);
    FreeLibrary(launcher);
}

// The instance semaphore across processes: numbered names in multi-instance
// mode, and in single-instance mode a second start that finds the first
// through the registry, brings its window forward and exits with code 0.
// The instance probe (tests/support) claims the instance like the launcher.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>

#include "tests/e2e/E2eSupport.h"

namespace {

class Instance : public ::testing::Test {
protected:
    void SetUp() override {
        CreateDirectoryW(dir.file(L"My Apps").c_str(), nullptr);
        CreateDirectoryW(dir.file(L"tmp").c_str(), nullptr);
        exe = dir.file(L"My Apps\\Probe.exe");
    }

    void pack(bool single, bool toFront) {
        LauncherDescription d = sampleDescription();
        setConfigValue(d, 10005, single ? "1" : "0");
        setConfigValue(d, 10007, toFront ? "1" : "0");
        packTo(exe, d, instanceProbeImagePath());
    }

    std::vector<std::wstring> environment() {
        return {L"TMP=" + dir.file(L"tmp"), L"TEMP=" + dir.file(L"tmp"), L"TAVRA_LOG=yes"};
    }

    std::wstring probeLine(const std::wstring& out, int holdMs, bool window = false) {
        return commandLine(exe, L"\"" + out + L"\" " + std::to_wstring(holdMs) + (window ? L" window" : L""));
    }

    // The semaphore name the probe wrote, and its process id.
    std::pair<std::string, std::string> written(const std::wstring& out) {
        std::string text = readText(out);
        size_t nl = text.find('\n');
        if (nl == std::string::npos) return {"", ""};
        return {text.substr(0, nl), text.substr(nl + 1, text.find('\n', nl + 1) - nl - 1)};
    }

    // The base name: "Local\" and the lower-cased full path with "\" and
    // blanks replaced by "_".
    std::string baseName() {
        std::string path = narrowUtf8(exe);
        for (char& c : path) c = (c == '\\' || c == ' ') ? '_' : static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return "Local\\" + path;
    }

    std::string readLogs() {
        std::string all;
        for (const std::wstring& name : dir.list(L"tmp\\tvr_nlog_*.log")) all += readText(dir.file(L"tmp\\" + name));
        return all;
    }

    ScratchDir dir{L"instance"};
    std::wstring exe;
};

void waitFor(HANDLE process) {
    ASSERT_EQ(WaitForSingleObject(process, 30000), WAIT_OBJECT_0);
}

constexpr int kHoldMs = 30000;  // the longest a probe holds its instance

// Waits until the probe has claimed its instance and written both lines
// of its file.
void waitForClaim(const std::wstring& out) {
    auto complete = [&] {
        std::string text = readText(out);
        return std::count(text.begin(), text.end(), '\n') == 2;
    };
    for (int i = 0; i < 300 && !complete(); ++i) Sleep(100);
    ASSERT_TRUE(complete()) << narrowUtf8(out);
}

// Ends a probe's hold and waits for it.
void release(const std::wstring& out, HANDLE process) {
    writeBytes(out + L".release", {});
    waitFor(process);
    CloseHandle(process);
}

}  // namespace

TEST_F(Instance, SimultaneousStartsTakeTheFirstFreeNumbers) {
    pack(false, false);
    std::vector<HANDLE> running;
    for (int i = 0; i < 3; ++i)
        running.push_back(startChild(probeLine(dir.file(L"n" + std::to_wstring(i)), kHoldMs), environment()));
    for (int i = 0; i < 3; ++i) waitForClaim(dir.file(L"n" + std::to_wstring(i)));
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) names.push_back(written(dir.file(L"n" + std::to_wstring(i))).first);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{baseName() + "0", baseName() + "1", baseName() + "2"}));

    // When the instance holding 0 has ended, the next start takes 0 again.
    for (int i = 0; i < 3; ++i) release(dir.file(L"n" + std::to_wstring(i)), running[i]);
    HANDLE holder1 = startChild(probeLine(dir.file(L"h1"), kHoldMs), environment());
    waitForClaim(dir.file(L"h1"));
    ChildResult later = runChild(probeLine(dir.file(L"later"), 0));
    EXPECT_EQ(later.exitCode, 0u);
    EXPECT_EQ(written(dir.file(L"h1")).first, baseName() + "0");
    EXPECT_EQ(written(dir.file(L"later")).first, baseName() + "1");
    release(dir.file(L"h1"), holder1);
    ChildResult alone = runChild(probeLine(dir.file(L"alone"), 0));
    EXPECT_EQ(written(dir.file(L"alone")).first, baseName() + "0");
}

// Another user's instance holds its semaphore with a security that does
// not let this user open it (here: a DACL that grants nothing), so the
// creation fails with access denied: that name is taken too.
TEST_F(Instance, ASemaphoreThisUserCannotOpenIsTaken) {
    PSECURITY_DESCRIPTOR security = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:", SDDL_REVISION_1, &security, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, security, FALSE};

    pack(false, false);
    HANDLE foreignZero = CreateSemaphoreA(&attributes, 1, 1, (baseName() + "0").c_str());
    ASSERT_NE(foreignZero, nullptr);
    EXPECT_EQ(runChild(probeLine(dir.file(L"numbered"), 0)).exitCode, 0u);
    EXPECT_EQ(written(dir.file(L"numbered")).first, baseName() + "1");
    CloseHandle(foreignZero);

    // Single-instance mode: the second start finds the other instance's
    // record, leaves it alone and ends before claiming anything.
    pack(true, false);
    HANDLE foreign = CreateSemaphoreA(&attributes, 1, 1, baseName().c_str());
    ASSERT_NE(foreign, nullptr);
    std::string valueName = narrowUtf8(exe);
    for (char& c : valueName) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\brightmoor\\lorix\\pids", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD otherPid = 4242;
    RegSetValueExA(key, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&otherPid), sizeof otherPid);
    ChildOptions options;
    options.environment = environment();
    EXPECT_EQ(runChild(probeLine(dir.file(L"single"), 0), options).exitCode, 0u);
    EXPECT_EQ(readText(dir.file(L"single")), "");
    EXPECT_NE(readLogs().find("other pid 4242"), std::string::npos) << readLogs();
    DWORD recorded = 0, bytes = sizeof recorded;
    RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&recorded), &bytes);
    EXPECT_EQ(recorded, otherPid);
    RegDeleteValueA(key, valueName.c_str());
    RegCloseKey(key);
    CloseHandle(foreign);
    LocalFree(security);
}

TEST_F(Instance, SecondStartFindsTheFirstAndBringsItForward) {
    pack(true, true);
    HANDLE first = startChild(probeLine(dir.file(L"first"), kHoldMs, true), environment());
    waitForClaim(dir.file(L"first"));
    Sleep(300);  // the window is shown right after the claim
    auto [name, pid] = written(dir.file(L"first"));
    EXPECT_EQ(name, baseName());

    ChildOptions options;
    options.environment = environment();
    ChildResult second = runChild(probeLine(dir.file(L"second"), 0), options);
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_FALSE(fileExists(dir.file(L"second")));  // it never got past the claim
    std::string logs = readLogs();
    EXPECT_NE(logs.find("single instance mode"), std::string::npos);
    EXPECT_NE(logs.find("other pid " + pid), std::string::npos) << logs;
    EXPECT_NE(logs.find("found window "), std::string::npos) << logs;
    EXPECT_NE(logs.find("restore"), std::string::npos) << logs;
    EXPECT_NE(logs.find("exiting"), std::string::npos);
    HWND window = FindWindowW(L"STATIC", L"instance probe");
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsIconic(window));  // restored from its minimised state

    // The record names the first instance under the lower-cased full path.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\brightmoor\\lorix\\pids", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::string valueName = narrowUtf8(exe);
    for (char& c : valueName) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    DWORD recorded = 0, size = sizeof recorded;
    EXPECT_EQ(RegQueryValueExA(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&recorded), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::to_string(recorded), pid);
    RegDeleteValueA(key, valueName.c_str());
    RegCloseKey(key);
    release(dir.file(L"first"), first);
}

// "Local\" and a launcher path of 256 characters make a semaphore name
// longer than CreateSemaphoreA takes; the second start still finds the
// first.
TEST_F(Instance, ASecondStartFindsTheFirstAtALongPath) {
    const std::wstring tail = L"\\Probe.exe";
    size_t folderChars = 256 - dir.file(L"").size() - tail.size();
    ASSERT_LT(folderChars, 250u);
    std::wstring folder = dir.file(std::wstring(folderChars, L'd'));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    exe = folder + tail;
    ASSERT_EQ(exe.size(), 256u);
    pack(true, false);
    HANDLE first = startChild(probeLine(dir.file(L"first"), kHoldMs), environment());
    waitForClaim(dir.file(L"first"));
    EXPECT_EQ(written(dir.file(L"first")).first, baseName());

    ChildOptions options;
    options.environment = environment();
    EXPECT_EQ(runChild(probeLine(dir.file(L"second"), 0), options).exitCode, 0u);
    EXPECT_FALSE(fileExists(dir.file(L"second")));  // it never got past the claim
    release(dir.file(L"first"), first);
    std::string valueName = narrowUtf8(exe);
    for (char& c : valueName) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\brightmoor\\lorix\\pids", 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
        RegDeleteValueA(key, valueName.c_str());
        RegCloseKey(key);
    }
}

TEST_F(Instance, WithoutToFrontNoWindowIsTouched) {
    pack(true, false);
    HANDLE first = startChild(probeLine(dir.file(L"first"), kHoldMs, true), environment());
    waitForClaim(dir.file(L"first"));
    ChildOptions options;
    options.environment = environment();
    ChildResult second = runChild(probeLine(dir.file(L"second"), 0), options);
    EXPECT_EQ(second.exitCode, 0u);
    std::string logs = readLogs();
    EXPECT_NE(logs.find("other pid "), std::string::npos);
    EXPECT_EQ(logs.find("found window"), std::string::npos);
    release(dir.file(L"first"), first);
}

TEST_F(Instance, WithoutARecordTheSecondStartGivesUpAfterAboutFiveSeconds) {
    pack(true, true);
    HANDLE first = startChild(probeLine(dir.file(L"first"), kHoldMs, true), environment());
    waitForClaim(dir.file(L"first"));
    std::string valueName = narrowUtf8(exe);
    for (char& c : valueName) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\brightmoor\\lorix\\pids", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(key, valueName.c_str()), ERROR_SUCCESS);
    RegCloseKey(key);

    ChildOptions options;
    options.environment = environment();
    DWORD started = GetTickCount();
    ChildResult second = runChild(probeLine(dir.file(L"second"), 0), options);
    DWORD elapsed = GetTickCount() - started;
    EXPECT_EQ(second.exitCode, 0u);
    EXPECT_GE(elapsed, 4500u);
    std::string logs = readLogs();
    EXPECT_NE(logs.find("other pid 0"), std::string::npos) << logs;
    EXPECT_EQ(logs.find("found window"), std::string::npos);
    release(dir.file(L"first"), first);
}

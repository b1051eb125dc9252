// The Win32Services natives against Wine's service control manager with the
// tests' minimal service; the failure actions, delayed auto-start and the
// description call (which Wine does not keep or cannot show) through their
// bindings. Every service a test installs is removed again.
#include <gtest/gtest.h>

#include "native/system/windows/Win32Services.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using fakejni::Value;
using nativetest::callExport;
using nativetest::callLinked;

const int kNoChange = -1;  // SERVICE_NO_CHANGE as a Java int

std::wstring environmentValue(const wchar_t* name) {
    wchar_t value[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return n && n < MAX_PATH ? value : L"";
}

// Removes a service of that name, stopping it first; for set-up and clean-up.
void removeService(const std::wstring& name) {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS);
    if (service) {
        SERVICE_STATUS status;
        if (ControlService(service, SERVICE_CONTROL_STOP, &status))
            for (int i = 0; i < 100 && QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED; ++i)
                Sleep(50);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

// Services of these tests that an aborted run left behind.
void removeLeftoverServices() {
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE);
    static BYTE buffer[256 * 1024];
    DWORD needed = 0, count = 0, resume = 0;
    std::vector<std::wstring> names;
    if (EnumServicesStatusW(manager, SERVICE_WIN32, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer),
                            sizeof buffer, &needed, &count, &resume))
        for (DWORD i = 0; i < count; ++i) {
            std::wstring found = reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer)[i].lpServiceName;
            if (found.rfind(L"tvrtest_service_", 0) == 0) names.push_back(found);
        }
    CloseServiceHandle(manager);
    for (const std::wstring& found : names) removeService(found);
}

class ServiceNatives : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        name = L"tvrtest_service_" + std::to_wstring(GetCurrentProcessId());
        removeLeftoverServices();
        binary = L"\"" + environmentValue(L"TVR_MINI_SERVICE") + L"\" record-args \"" + folder.file(L"args.txt") + L"\"";
    }
    void TearDown() override {
        removeService(name);
        EXPECT_EQ(nullptr, fakejni::pendingException());
    }

    jstring serviceName() { return fakejni::newString(name); }
    int install(const std::wstring& command) {
        return callExport("Win32Services", "installService0",
                          {serviceName(), fakejni::newString(L"Test service"), fakejni::newString(command)})
            .asInt();
    }
    int status() { return callExport("Win32Services", "queryStatus0", {serviceName()}).asInt(); }
    bool waitForStatus(int wanted) {
        for (int i = 0; i < 100; ++i) {
            if (status() == wanted) return true;
            Sleep(50);
        }
        return false;
    }
    QUERY_SERVICE_CONFIGW* config() {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_CONFIG);
        DWORD needed = 0;
        QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(configBuffer), sizeof configBuffer, &needed);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
        return reinterpret_cast<QUERY_SERVICE_CONFIGW*>(configBuffer);
    }
    std::wstring recordedArguments() {
        HANDLE file = CreateFileW(folder.file(L"args.txt").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return L"<none>";
        wchar_t text[512] = {};
        DWORD read = 0;
        ReadFile(file, text, sizeof text - sizeof(wchar_t), &read, nullptr);
        CloseHandle(file);
        return text;
    }

    nativetest::ScratchFolder folder;
    std::wstring name, binary;
    alignas(8) BYTE configBuffer[8192];
};

TEST_F(ServiceNatives, EveryMethodGives1060ForAServiceThatDoesNotExist) {
    jstring missing = fakejni::newString(L"tvrtest_no_such_service");
    EXPECT_EQ(1060, callExport("Win32Services", "queryStatus0", {missing}).asInt());
    EXPECT_EQ(1060, callExport("Win32Services", "getStartType0", {missing}).asInt());
    EXPECT_EQ(1060, callExport("Win32Services", "stopService0", {missing, 1000}).asInt());
    EXPECT_EQ(1060, callExport("Win32Services", "startService0", {missing, nullptr}).asInt());
    EXPECT_EQ(1060, callExport("Win32Services", "uninstallService0", {missing}).asInt());
    EXPECT_EQ(1060, callExport("Win32Services", "setDelayedAutoStart0", {missing, true}).asInt());
    EXPECT_EQ(1060, callExport("Win32Services", "changeServiceConfig0",
                               {missing, nullptr, nullptr, kNoChange, kNoChange, nullptr, nullptr,
                                nullptr, nullptr})
                        .asInt());
    EXPECT_EQ(L" 1060", callExport("Win32Services", "getServiceBinary0", {missing}).asText());
}

TEST_F(ServiceNatives, AnInstalledServiceIsStoppedOnDemandAndRunsItsBinary) {
    ASSERT_EQ(0, install(binary));
    EXPECT_EQ(1073, install(binary));  // ERROR_SERVICE_EXISTS
    EXPECT_EQ(-1, status());
    EXPECT_EQ(-3, callExport("Win32Services", "getStartType0", {serviceName()}).asInt());
    EXPECT_EQ(binary, callExport("Win32Services", "getServiceBinary0", {serviceName()}).asText());
    QUERY_SERVICE_CONFIGW* c = config();
    EXPECT_EQ(static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS), c->dwServiceType);
    EXPECT_STREQ(L"Test service", c->lpDisplayName);
    EXPECT_EQ(0, callExport("Win32Services", "uninstallService0", {serviceName()}).asInt());
    EXPECT_TRUE(waitForStatus(1060));
}

TEST_F(ServiceNatives, StartPassesItsArgumentsAndStopWaitsForTheStoppedState) {
    ASSERT_EQ(0, install(binary));
    ASSERT_EQ(0, callExport("Win32Services", "startService0",
                            {serviceName(), fakejni::newStringArray({L"first", L"second arg"})})
                     .asInt());
    ASSERT_TRUE(waitForStatus(-4));
    EXPECT_EQ(1056, callExport("Win32Services", "startService0", {serviceName(), nullptr}).asInt());
    EXPECT_EQ(name + L"\nfirst\nsecond arg\n", recordedArguments());
    EXPECT_EQ(0, callExport("Win32Services", "stopService0", {serviceName(), 0}).asInt());
    EXPECT_EQ(-1, status());
    EXPECT_EQ(1062, callExport("Win32Services", "stopService0", {serviceName(), 5000}).asInt());

    ASSERT_EQ(0, callExport("Win32Services", "startService0", {serviceName(), nullptr}).asInt());
    ASSERT_TRUE(waitForStatus(-4));
    EXPECT_EQ(name + L"\n", recordedArguments());
}

// The slow service reports stop-pending with a 1 s wait hint and a check
// point that never moves, and stops after 4 s.
TEST_F(ServiceNatives, AStopThatOutlastsTheWaitHintAndTheTimeoutGives50001) {
    ASSERT_EQ(0, install(L"\"" + environmentValue(L"TVR_MINI_SERVICE") + L"\" slow-stop"));
    ASSERT_EQ(0, callExport("Win32Services", "startService0", {serviceName(), nullptr}).asInt());
    ASSERT_TRUE(waitForStatus(-4));
    DWORD start = GetTickCount();
    EXPECT_EQ(50001, callExport("Win32Services", "stopService0", {serviceName(), 0}).asInt());
    EXPECT_LT(GetTickCount() - start, 3500u);
    EXPECT_EQ(-static_cast<int>(SERVICE_STOP_PENDING), status());
    EXPECT_TRUE(waitForStatus(-1));

    ASSERT_EQ(0, callExport("Win32Services", "startService0", {serviceName(), nullptr}).asInt());
    ASSERT_TRUE(waitForStatus(-4));
    EXPECT_EQ(0, callExport("Win32Services", "stopService0", {serviceName(), 10000}).asInt());
    EXPECT_EQ(-1, status());
}

// ChangeServiceConfig2W as the bindings see it.
struct Config2Call {
    DWORD level;
    std::wstring description;
    DWORD delayed;
    DWORD actions;
    SC_ACTION action;
    DWORD resetPeriod;
    bool rebootMessage, command;
};
std::vector<Config2Call> g_config2Calls;
BOOL g_config2Result = TRUE;
BOOL WINAPI recordingConfig2(SC_HANDLE, DWORD level, LPVOID info) {
    Config2Call call = {level, L"", 0, 0, {}, 0, false, false};
    if (level == SERVICE_CONFIG_DESCRIPTION) call.description = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
    if (level == SERVICE_CONFIG_DELAYED_AUTO_START_INFO)
        call.delayed = static_cast<SERVICE_DELAYED_AUTO_START_INFO*>(info)->fDelayedAutostart;
    if (level == SERVICE_CONFIG_FAILURE_ACTIONS) {
        auto* actions = static_cast<SERVICE_FAILURE_ACTIONSW*>(info);
        call.actions = actions->cActions;
        if (actions->cActions) call.action = actions->lpsaActions[0];
        call.resetPeriod = actions->dwResetPeriod;
        call.rebootMessage = actions->lpRebootMsg != nullptr;
        call.command = actions->lpCommand != nullptr;
    }
    g_config2Calls.push_back(call);
    if (!g_config2Result) SetLastError(ERROR_ACCESS_DENIED);
    return g_config2Result;
}

class ServiceConfigNatives : public ServiceNatives {
protected:
    void SetUp() override {
        ServiceNatives::SetUp();
        saved = g_serviceFunctions;
        g_serviceFunctions.changeConfig2 = recordingConfig2;
        g_serviceFunctions.changeConfig2Bound = recordingConfig2;
        g_config2Calls.clear();
        g_config2Result = TRUE;
        ASSERT_EQ(0, install(binary));
    }
    void TearDown() override {
        g_serviceFunctions = saved;
        ServiceNatives::TearDown();
    }
    int change(jstring account, jstring description, jstring dependencies = nullptr, int startType = kNoChange) {
        return callLinked("Win32Services", "changeServiceConfig0",
                          {serviceName(), fakejni::newString(L"Changed"), nullptr, kNoChange, startType,
                           dependencies, account, nullptr, description})
            .asInt();
    }
    ServiceFunctions saved;
};

TEST_F(ServiceConfigNatives, ChangeConfigMapsTheSystemAccountAndSetsADescriptionOnlyWhenGiven) {
    ASSERT_EQ(0, change(nullptr, nullptr, nullptr, SERVICE_AUTO_START));
    EXPECT_TRUE(g_config2Calls.empty());
    EXPECT_STREQ(L"Changed", config()->lpDisplayName);
    EXPECT_EQ(-2, callExport("Win32Services", "getStartType0", {serviceName()}).asInt());

    ASSERT_EQ(0, change(fakejni::newString(L"NT AUTHORITY\\System"), fakejni::newString(L"What it does")));
    EXPECT_STREQ(L"LocalSystem", config()->lpServiceStartName);
    ASSERT_EQ(1u, g_config2Calls.size());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_DESCRIPTION), g_config2Calls[0].level);
    EXPECT_EQ(L"What it does", g_config2Calls[0].description);
    ASSERT_EQ(0, change(fakejni::newString(L"NT AUTHORITY\\LocalSystem"), nullptr, fakejni::newString(L"a,b")));
    EXPECT_STREQ(L"LocalSystem", config()->lpServiceStartName);

    // The description's own failure does not fail the change.
    g_config2Result = FALSE;
    EXPECT_EQ(0, change(nullptr, fakejni::newString(L"again")));
    EXPECT_EQ(1060, callLinked("Win32Services", "changeServiceConfig0",
                               {fakejni::newString(L"tvrtest_no_such_service"), nullptr, nullptr, kNoChange,
                                kNoChange, nullptr, nullptr, nullptr, fakejni::newString(L"x")})
                        .asInt());
    EXPECT_EQ(2u, g_config2Calls.size());
}

TEST_F(ServiceConfigNatives, DependenciesThatDoNotFitChangeNothing) {
    // 9000 characters: the first name alone overflows the list, which cut
    // short would be the empty list that removes every dependency.
    std::wstring tooLong(9000, L'd');
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, change(nullptr, fakejni::newString(L"What it does"),
                                                fakejni::newString(tooLong)));
    EXPECT_STREQ(L"Test service", config()->lpDisplayName);
    EXPECT_TRUE(g_config2Calls.empty());
    // Names that fit followed by one that does not.
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER,
              change(nullptr, nullptr, fakejni::newString(L"Tcpip,Afd," + std::wstring(8190, L'd'))));
    EXPECT_STREQ(L"Test service", config()->lpDisplayName);
    EXPECT_EQ(0, change(nullptr, nullptr, fakejni::newString(L"")));
    EXPECT_STREQ(L"Changed", config()->lpDisplayName);
}

// A description the VM cannot copy (a full heap) is not stored as an empty
// one, nor is the rest of the change made without it.
TEST_F(ServiceConfigNatives, ATextThatCannotBeCopiedChangesNothing) {
    jstring description = fakejni::newString(L"What it does");
    fakejni::failCopiesAfter(2);  // the service's name and the display name
    EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, change(nullptr, description));
    fakejni::failCopiesAfter(-1);
    EXPECT_STREQ(L"Test service", config()->lpDisplayName);
    EXPECT_TRUE(g_config2Calls.empty());
}

TEST_F(ServiceConfigNatives, RestartOnFailureIsOneRestartActionAndFalseClearsThem) {
    EXPECT_EQ(0, callLinked("Win32Services", "setRestartServiceConfig0", {serviceName(), true, 30000}).asInt());
    EXPECT_EQ(0, callLinked("Win32Services", "setRestartServiceConfig0", {serviceName(), false, 30000}).asInt());
    ASSERT_EQ(2u, g_config2Calls.size());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_FAILURE_ACTIONS), g_config2Calls[0].level);
    EXPECT_EQ(1u, g_config2Calls[0].actions);
    EXPECT_EQ(SC_ACTION_RESTART, g_config2Calls[0].action.Type);
    EXPECT_EQ(30000u, g_config2Calls[0].action.Delay);
    EXPECT_EQ(0u, g_config2Calls[0].resetPeriod);
    EXPECT_FALSE(g_config2Calls[0].rebootMessage || g_config2Calls[0].command);
    EXPECT_EQ(0u, g_config2Calls[1].actions);

    g_config2Result = FALSE;
    EXPECT_EQ(ERROR_ACCESS_DENIED, callLinked("Win32Services", "setRestartServiceConfig0", {serviceName(), true, 1}).asInt());
    EXPECT_EQ(1060, callLinked("Win32Services", "setRestartServiceConfig0",
                               {fakejni::newString(L"tvrtest_no_such_service"), true, 1})
                        .asInt());
}

TEST_F(ServiceConfigNatives, DelayedAutoStartPassesTheFlag) {
    EXPECT_EQ(0, callLinked("Win32Services", "setDelayedAutoStart0", {serviceName(), true}).asInt());
    EXPECT_EQ(0, callLinked("Win32Services", "setDelayedAutoStart0", {serviceName(), false}).asInt());
    ASSERT_EQ(2u, g_config2Calls.size());
    EXPECT_EQ(static_cast<DWORD>(SERVICE_CONFIG_DELAYED_AUTO_START_INFO), g_config2Calls[0].level);
    EXPECT_EQ(1u, g_config2Calls[0].delayed);
    EXPECT_EQ(0u, g_config2Calls[1].delayed);
    g_config2Result = FALSE;
    EXPECT_EQ(ERROR_ACCESS_DENIED, callLinked("Win32Services", "setDelayedAutoStart0", {serviceName(), true}).asInt());
}

}  // namespace

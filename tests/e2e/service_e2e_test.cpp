// The launcher as a Windows service under Wine's service control manager:
// the service verbs, and the service process running the application in
// its child against the stub JVM until a stop request.  Every test removes
// the services it installs.
#include <gtest/gtest.h>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/runtime/FakeRuntime.h"

namespace {

class Service : public ::testing::Test {
protected:
    void SetUp() override {
        for (const wchar_t* d : {L"bin", L"lib", L"lib\\common", L"lib\\server"})
            CreateDirectoryW(dir.file(d).c_str(), nullptr);
        fake_runtime::installJava(dir.file(L"jre"), fake_runtime::javaVersion("1.8.0_301"));
        fake_runtime::makeDirectories(dir.file(L"jre\\bin\\server"));
        CopyFileW(fake_runtime::environmentValue(L"LRX_STUB_JVM").c_str(), jvmFile(L"jvm.dll").c_str(), FALSE);
        fake_runtime::writeText(jvmFile(L"jvm.behaviour"), "main wait-stop\n");
        name = L"Lrx Test " + std::to_wstring(GetCurrentProcessId());
        exe = dir.file(L"bin\\svc.exe");
        description = sampleDescription();
        setConfigValue(description, 101, narrowUtf8(name));
        packTo(exe, description);
    }
    void TearDown() override {
        run(L"/uninstall");
        fake_runtime::removeCacheEntriesBelow(dir.path());
    }

    std::wstring jvmFile(const wchar_t* file) { return dir.file(L"jre\\bin\\server\\") + file; }

    ChildResult run(const std::wstring& arguments) {
        ChildOptions options;
        options.timeoutMs = 120000;
        return runChild(commandLine(exe, arguments), options);
    }

    DWORD state() {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE service = manager ? OpenServiceW(manager, name.c_str(), SERVICE_QUERY_STATUS) : nullptr;
        SERVICE_STATUS status{};
        if (service) QueryServiceStatus(service, &status);
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
        return status.dwCurrentState;
    }

    // Waits until the application's main is running in the child.
    bool waitForMain() {
        for (int i = 0; i < 300; ++i) {
            if (record().find("wait-stop") != std::string::npos) return true;
            Sleep(100);
        }
        return false;
    }

    std::string record() { return readText(jvmFile(L"jvm.record")); }
    std::string say(const std::wstring& text) { return narrowUtf8(text); }

    ScratchDir dir{L"service"};
    std::wstring name, exe;
    LauncherDescription description;
};

}  // namespace

TEST_F(Service, InstallStartQueryStopUninstall) {
    ChildResult r = run(L"/install");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(r.out, "Installed service '" + say(name) + "'.\r\n");
    r = run(L"/status");
    EXPECT_EQ(r.out, "Not running.\r\nAuto-start.\r\n");
    EXPECT_EQ(r.exitCode, 3u);

    r = run(L"/start \"" + name + L"\" a b");
    EXPECT_EQ(r.out, "Starting service '" + say(name) + "'.\r\n");
    EXPECT_EQ(r.exitCode, 0u);
    ASSERT_TRUE(waitForMain()) << record();
    r = run(L"/status");
    EXPECT_EQ(r.out, "Running.\r\nAuto-start.\r\n");
    EXPECT_EQ(r.exitCode, 0u);
    r = run(L"/start");
    EXPECT_EQ(r.out, "Service is already running.\r\n");
    EXPECT_EQ(r.exitCode, 0u);

    // The child runs as the service's child: service flag, -Xrs, and the
    // service name and start arguments in main's array.
    std::string rec = record();
    EXPECT_NE(rec.find("\"-Dlorix.isService=true\""), std::string::npos);
    EXPECT_NE(rec.find("\"-Xrs\""), std::string::npos);
    EXPECT_NE(rec.find("\"true\", \"" + say(name) + "\", \"a\", \"b\"}"), std::string::npos) << rec;

    r = run(L"/stop");
    EXPECT_EQ(r.out, "Stopping service '" + say(name) + "'.\r\nService stopped\r\n");
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(state(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_NE(record().find("stdin\t\"0\""), std::string::npos) << record();
    r = run(L"/stop");
    EXPECT_EQ(r.out, "Service is already stopped.\r\n");
    EXPECT_EQ(r.exitCode, 0u);

    // The quiet stop before the removal still says that it had nothing to do.
    r = run(L"/uninstall");
    EXPECT_EQ(r.out, "Service is already stopped.\r\nUninstalled service '" + say(name) + "'.\r\n");
    EXPECT_EQ(r.exitCode, 0u);
    r = run(L"/status");
    EXPECT_EQ(r.out, "Could not get status.\r\n");
    EXPECT_EQ(r.exitCode, 1u);
}

TEST_F(Service, InstallDemandAndReinstallOverARunningService) {
    ChildResult r = run(L"/install-demand");
    EXPECT_EQ(r.exitCode, 0u);
    r = run(L"/status");
    EXPECT_EQ(r.out, "Not running.\r\n");
    EXPECT_EQ(r.exitCode, 3u);

    run(L"/start");
    ASSERT_TRUE(waitForMain());
    r = run(L"/install");
    EXPECT_EQ(r.out, "Stopping service '" + say(name) + "'.\r\nService stopped\r\nInstalled service '" + say(name) +
                         "'.\r\n");
    r = run(L"/restart");
    EXPECT_EQ(r.out, "Service is already stopped.\r\nStarting service '" + say(name) + "'.\r\n");
    EXPECT_EQ(r.exitCode, 0u);
}

TEST_F(Service, MissingServiceAndUnknownName) {
    ChildResult r = run(L"/status NoSuchLrxService");
    EXPECT_EQ(r.out, "Could not get status.\r\n");
    EXPECT_EQ(r.exitCode, 1u);
    r = run(L"/stop NoSuchLrxService");
    EXPECT_EQ(r.out, "Could not stop service.\r\n");
    EXPECT_EQ(r.exitCode, 1u);
    r = run(L"/start NoSuchLrxService");
    EXPECT_EQ(r.out.rfind("Could not start service. Error code: 1060", 0), 0u) << r.out;
    EXPECT_EQ(r.exitCode, 1u);
}

// Wine's CreateService does not keep dependencies, so only the rest of the
// configuration is read back here; the list itself is checked on the host
// (service_text_test.cpp).
TEST_F(Service, InstalledConfigurationWithDependencies) {
    setConfigValue(description, 149, "Tcpip,Afd");
    packTo(exe, description);
    ChildResult r = run(L"/install-demand");
    ASSERT_EQ(r.exitCode, 0u) << r.out;
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = OpenServiceW(manager, name.c_str(), SERVICE_QUERY_CONFIG);
    ASSERT_NE(service, nullptr);
    alignas(QUERY_SERVICE_CONFIGW) BYTE buffer[8192];
    DWORD needed = 0;
    ASSERT_TRUE(QueryServiceConfigW(service, reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer), sizeof buffer, &needed));
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), L"\"" + exe + L"\"");
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_DEMAND_START));
    EXPECT_EQ(std::wstring(config->lpDisplayName), name);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

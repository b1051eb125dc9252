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

    SERVICE_STATUS_PROCESS status(const std::wstring& service = std::wstring()) {
        SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
        SC_HANDLE handle =
            manager ? OpenServiceW(manager, (service.empty() ? name : service).c_str(), SERVICE_QUERY_STATUS) : nullptr;
        SERVICE_STATUS_PROCESS s{};
        DWORD needed = 0;
        if (handle) QueryServiceStatusEx(handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&s), sizeof s, &needed);
        if (handle) CloseServiceHandle(handle);
        if (manager) CloseServiceHandle(manager);
        return s;
    }
    DWORD state() { return status().dwCurrentState; }
    // The mini service in its slow-stop mode: its stop outlasts the 1 s
    // wait hint that it reports, and it stops after 4 s.
    static SC_HANDLE createSlowStopService(SC_HANDLE manager, const std::wstring& mini) {
        std::wstring binary = L"\"" + fake_runtime::environmentValue(L"LRX_MINI_SERVICE") + L"\" slow-stop";
        return CreateServiceW(manager, mini.c_str(), mini.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                              SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr,
                              nullptr, nullptr);
    }

    // Waits for the service to reach `wanted`; false after 15 s.
    bool waitForState(DWORD wanted) {
        for (int i = 0; i < 150; ++i) {
            if (state() == wanted) return true;
            Sleep(100);
        }
        return false;
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

TEST_F(Service, WholeLifeEndsWithTheServiceProcess) {
    ASSERT_EQ(run(L"/install-demand").exitCode, 0u);
    ASSERT_EQ(run(L"/start").exitCode, 0u);
    ASSERT_TRUE(waitForMain()) << record();
    ASSERT_TRUE(waitForState(SERVICE_RUNNING));
    HANDLE serviceProcess = OpenProcess(SYNCHRONIZE, FALSE, status().dwProcessId);
    ASSERT_NE(serviceProcess, nullptr);

    ChildResult r = run(L"/stop");
    EXPECT_EQ(r.out, "Stopping service '" + say(name) + "'.\r\nService stopped\r\n");
    EXPECT_NE(record().find("stdin\t\"0\""), std::string::npos);
    SERVICE_STATUS_PROCESS s = status();
    EXPECT_EQ(s.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(s.dwWin32ExitCode, 0u);
    EXPECT_EQ(WaitForSingleObject(serviceProcess, 15000), WAIT_OBJECT_0);
    CloseHandle(serviceProcess);
}

TEST_F(Service, ChildOutputIsDrained) {
    std::string behaviourText;
    for (int i = 0; i < 3000; ++i) behaviourText += "main print " + std::string(100, 'x') + "\n";
    behaviourText += "main wait-stop\n";
    fake_runtime::writeText(jvmFile(L"jvm.behaviour"), behaviourText);
    ASSERT_EQ(run(L"/install-demand").exitCode, 0u);
    ASSERT_EQ(run(L"/start").exitCode, 0u);
    EXPECT_TRUE(waitForMain()) << "the child blocked on its output";
    EXPECT_EQ(run(L"/stop").exitCode, 0u);
}

TEST_F(Service, ChildEndingWithAnErrorIsNotReportedStopped) {
    fake_runtime::writeText(jvmFile(L"jvm.behaviour"), "main sleep 1500\nmain exit 3\n");
    ASSERT_EQ(run(L"/install-demand").exitCode, 0u);
    ASSERT_EQ(run(L"/start").exitCode, 0u);
    ASSERT_TRUE(waitForState(SERVICE_RUNNING));
    HANDLE serviceProcess = OpenProcess(SYNCHRONIZE, FALSE, status().dwProcessId);
    ASSERT_NE(serviceProcess, nullptr);
    EXPECT_EQ(WaitForSingleObject(serviceProcess, 15000), WAIT_OBJECT_0);
    CloseHandle(serviceProcess);
    // The service process ended without reporting "stopped": Wine's manager
    // keeps the last report (running); Windows' marks the service failed.
    SERVICE_STATUS_PROCESS s = status();
    EXPECT_TRUE(s.dwCurrentState != SERVICE_STOPPED || s.dwWin32ExitCode != 0) << s.dwCurrentState;
}

TEST_F(Service, StopThatOutlastsItsWaitHint) {
    std::wstring mini = L"LrxMini" + std::to_wstring(GetCurrentProcessId());
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = createSlowStopService(manager, mini);
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceW(service, 0, nullptr));
    for (int i = 0; i < 100 && status(mini).dwCurrentState != SERVICE_RUNNING; ++i) Sleep(100);

    ChildResult r = run(L"/stop " + mini);
    EXPECT_EQ(r.out, "Stopping service '" + say(mini) + "'.\r\nError while stopping service\r\n");
    EXPECT_EQ(r.exitCode, 0u);

    for (int i = 0; i < 100 && status(mini).dwCurrentState != SERVICE_STOPPED; ++i) Sleep(100);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// While a service is still stopping, its process has not ended: deleting it
// only marks it, so a reinstall would leave no service at all, and a start
// fails as if it ran. Both verbs fail and leave the service as it is.
TEST_F(Service, AServiceStillStoppingIsNeitherReplacedNorRestarted) {
    std::wstring mini = L"LrxMiniKeep" + std::to_wstring(GetCurrentProcessId());
    SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = createSlowStopService(manager, mini);
    ASSERT_NE(service, nullptr);
    auto startMini = [&] {
        for (int i = 0; i < 100 && status(mini).dwCurrentState != SERVICE_STOPPED; ++i) Sleep(100);
        StartServiceW(service, 0, nullptr);
        for (int i = 0; i < 100 && status(mini).dwCurrentState != SERVICE_RUNNING; ++i) Sleep(100);
    };
    std::string stopping = "Stopping service '" + say(mini) + "'.\r\nError while stopping service\r\n";

    startMini();
    ChildResult restart = run(L"/restart " + mini);
    EXPECT_EQ(restart.out, stopping + "Could not start service. Error code: 1056\r\n");
    EXPECT_EQ(restart.exitCode, 1u);

    startMini();
    CloseServiceHandle(service);  // a service marked for deletion goes with its last handle
    ChildResult install = run(L"/install " + mini);
    EXPECT_EQ(install.out, stopping + "Could not create service.\r\n");
    EXPECT_EQ(install.exitCode, 1u);
    for (int i = 0; i < 100 && status(mini).dwCurrentState == SERVICE_STOP_PENDING; ++i) Sleep(100);
    EXPECT_EQ(status(mini).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED)) << "the service is gone";

    service = OpenServiceW(manager, mini.c_str(), DELETE);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

// The service process's error event for a failing application, through
// the supervision of a real child (cmd.exe) with a double of the event-log
// calls: which endings give an event, and what the event says.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "launcher/config/RunState.h"
#include "launcher/service/windows/EventLog.h"
#include "launcher/service/windows/ServiceHost.h"

namespace {

struct RecordedEvent {
    std::wstring source;
    WORD type;
    WORD category;
    DWORD id;
    std::vector<std::wstring> strings;
};

HANDLE const kFakeLog = reinterpret_cast<HANDLE>(0x4711);
std::vector<RecordedEvent> g_events;
std::wstring g_openedSource;
int g_openLogs = 0;

HANDLE WINAPI fakeRegisterEventSource(LPCWSTR server, LPCWSTR source) {
    if (server) return nullptr;
    g_openedSource = source;
    ++g_openLogs;
    return kFakeLog;
}

BOOL WINAPI fakeReportEvent(HANDLE log, WORD type, WORD category, DWORD id, PSID, WORD count, DWORD, LPCWSTR* strings,
                            LPVOID) {
    if (log != kFakeLog) return FALSE;
    RecordedEvent event{g_openedSource, type, category, id, {}};
    for (WORD i = 0; i < count; ++i) event.strings.push_back(strings[i]);
    g_events.push_back(event);
    return TRUE;
}

BOOL WINAPI fakeDeregisterEventSource(HANDLE log) {
    if (log != kFakeLog) return FALSE;
    --g_openLogs;
    return TRUE;
}

const std::wstring kCmd = L"C:\\windows\\system32\\cmd.exe /c ";
const std::wstring kName = L"Lrx Event Svc";

class ServiceEvent : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = g_eventLogFunctions;
        g_eventLogFunctions = {fakeRegisterEventSource, fakeReportEvent, fakeDeregisterEventSource};
        g_events.clear();
        g_openLogs = 0;
        setServiceName(kName.c_str());
        resetServiceStatus();  // each test is one service run
    }
    void TearDown() override {
        g_eventLogFunctions = saved_;
        EXPECT_EQ(g_openLogs, 0) << "every event source handle is released";
    }

    // The one event's one string, after checking the event's frame.
    std::wstring onlyEventText() {
        if (g_events.size() != 1) {
            ADD_FAILURE() << g_events.size() << " events";
            return std::wstring();
        }
        const RecordedEvent& event = g_events[0];
        EXPECT_EQ(event.source, kName);
        EXPECT_EQ(event.type, EVENTLOG_ERROR_TYPE);
        EXPECT_EQ(event.category, 0);
        EXPECT_EQ(event.id, kServiceEventId);
        EXPECT_EQ(event.strings.size(), 1u);
        return event.strings.empty() ? std::wstring() : event.strings[0];
    }

private:
    EventLogFunctions saved_;
};

bool contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

}  // namespace

TEST_F(ServiceEvent, FailingChildGivesOneErrorEventWithItsCodeAndOutput) {
    SERVICE_STATUS before = serviceStatus();
    superviseChild(kCmd + L"echo No JVM could be found on this computer. 1>&2 & exit 1");
    std::wstring text = onlyEventText();
    EXPECT_EQ(text.rfind(L"The application of service 'Lrx Event Svc' ended with exit code 1.\r\n\r\n", 0), 0u)
        << text.c_str();
    EXPECT_TRUE(contains(text, L"No JVM could be found on this computer.")) << text.c_str();
    // The status is left as it was, for the manager's recovery actions.
    EXPECT_EQ(serviceStatus().dwCurrentState, before.dwCurrentState);
    EXPECT_EQ(serviceStatus().dwWin32ExitCode, before.dwWin32ExitCode);
}

TEST_F(ServiceEvent, LongOutputGivesItsLastLinesFromALineStart) {
    // About 14 KB of "row N" lines, then the failure.
    superviseChild(kCmd + L"for /l %i in (1,1,1500) do @echo row %i");
    EXPECT_TRUE(g_events.empty()) << "cmd's for ends with 0";
    superviseChild(kCmd + L"(for /l %i in (1,1,1500) do @echo row %i) & exit 7");
    std::wstring text = onlyEventText();
    size_t output = text.find(L"\r\n\r\n");
    ASSERT_NE(output, std::wstring::npos) << text.c_str();
    std::wstring kept = text.substr(output + 4);
    EXPECT_EQ(kept.rfind(L"row ", 0), 0u) << "starts at a line start: " << kept.substr(0, 20).c_str();
    EXPECT_EQ(kept.substr(kept.size() - 10), L"\r\nrow 1500");
    EXPECT_FALSE(contains(kept, L"row 1\r\n"));
    EXPECT_LE(kept.size(), 8192u);
    EXPECT_GT(kept.size(), 8000u);
}

TEST_F(ServiceEvent, ChildEndingWithZeroGivesNone) {
    superviseChild(kCmd + L"echo all went well & exit 0");
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceEvent, ChildStoppedOnRequestGivesNoneWhateverItsCode) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring marker = std::wstring(temp) + L"lrx_event_started_" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(marker.c_str());
    // The child says that it runs, waits for the stop request on its
    // standard input and then fails.
    std::thread service([&] { superviseChild(kCmd + L"echo up> \"" + marker + L"\" & set /p request= & exit 5"); });
    for (int i = 0; i < 300 && GetFileAttributesW(marker.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    EXPECT_NE(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the child did not start";
    serviceControlHandler(SERVICE_CONTROL_STOP);
    service.join();
    DeleteFileW(marker.c_str());
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceEvent, ChildThatCannotStartGivesOneWithTheErrorCode) {
    std::wstring line = L"\"C:\\no such dir\\svc.exe\" \"Lrx Event Svc\" __tvr_restart";
    // The code Windows gives for this command line.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring copy = line;
    ASSERT_FALSE(CreateProcessW(nullptr, &copy[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    DWORD error = GetLastError();

    superviseChild(line);
    std::wstring text = onlyEventText();
    EXPECT_EQ(text, L"The application of service 'Lrx Event Svc' could not be started (Windows error code " +
                        std::to_wstring(error) + L").\r\n\r\nCommand line: " + line);
    EXPECT_EQ(serviceStatus().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(serviceStatus().dwServiceSpecificExitCode, 5000u);
}

TEST(ServiceEventText, ChildOutputIsReadInTheAnsiCodePage) {
    // "Größe" in code page 1252 and in UTF-8: the first is what the
    // launcher writes under an ANSI code page of 1252.
    if (GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << GetACP();
    EXPECT_EQ(wideFromAnsi("Gr\xF6\xDF" "e"), L"Gr\u00F6\u00DF" L"e");
    EXPECT_EQ(wideFromAnsi(""), L"");
}

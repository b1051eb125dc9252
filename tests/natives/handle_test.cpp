// The handle natives: the open files and directories of this process with
// their kernel object names, closing one by value, link targets, and exact
// handle values in a process whose handle values pass 16 bits.
#include <gtest/gtest.h>

#include <winternl.h>

#include <cstring>
#include <string>
#include <vector>

#include "native/process/HandleTable.h"
#include "native/process/windows/Win32Handle.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

using nativetest::callExport;

const char* kHandle = "Win32Handle";

struct HandleList {
    bool present = false;
    std::vector<jint> values;
    std::vector<std::wstring> names;

    // The name listed for the value, or an empty text.
    std::wstring nameOf(HANDLE handle) const {
        for (size_t i = 0; i < values.size(); ++i)
            if (values[i] == static_cast<jint>(reinterpret_cast<INT_PTR>(handle))) return names[i];
        return L"";
    }
};

HandleList handleListOf(jobject result) {
    HandleList list;
    if (fakejni::isNull(result)) return list;
    std::vector<jobject> parts = fakejni::elements(result);
    EXPECT_EQ("[Ljava/lang/Object;", fakejni::className(result));
    if (parts.size() != 2) return list;
    list.present = true;
    list.values = fakejni::ints(parts[0]);
    list.names = fakejni::texts(parts[1]);
    EXPECT_EQ(list.values.size(), list.names.size());
    return list;
}

// list0 of the DLL, and of the copy linked into the tests, which uses the
// doubles put into g_handleFunctions.
HandleList listHandles() { return handleListOf(callExport(kHandle, "list0", {}).asObject()); }
HandleList listLinkedHandles() { return handleListOf(nativetest::callLinked(kHandle, "list0", {}).asObject()); }

bool endsWithNoCase(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && _wcsicmp(text.c_str() + text.size() - tail.size(), tail.c_str()) == 0;
}

// The path below the drive (Wine names files "\??\Z:\tmp\...").
std::wstring withoutDrive(const std::wstring& path) { return path.substr(2); }

// ntdll's own function, which the doubles call through.
template <typename Function>
Function realNtdll(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

using QueryObject = decltype(HandleFunctions::queryObject);

// The kernel name of a handle as Wine itself reports it.
std::wstring objectNameOf(HANDLE handle) {
    static QueryObject query = realNtdll<QueryObject>("NtQueryObject");
    std::vector<BYTE> buffer(8192);
    ULONG needed = 0;
    if (query(handle, 1, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) < 0)
        return L"";
    const UNICODE_STRING* name = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
    return std::wstring(name->Buffer, name->Length / sizeof(wchar_t));
}

class HandleNatives : public ::testing::Test {
protected:
    void SetUp() override { nativetest::resetJni(); }
    void TearDown() override { EXPECT_EQ(nullptr, fakejni::pendingException()); }
};

TEST_F(HandleNatives, AnOpenFileAndAnOpenDirectoryAreListedUnderTheirObjectNames) {
    nativetest::ScratchFolder folder;
    std::wstring path = folder.file(L"held.txt");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    HANDLE directory = CreateFileW(folder.path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, directory);
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"tvrtest_handle_event");

    HandleList list = listHandles();
    ASSERT_TRUE(list.present);
    EXPECT_EQ(objectNameOf(file), list.nameOf(file));
    EXPECT_TRUE(endsWithNoCase(list.nameOf(file), withoutDrive(path))) << list.nameOf(file).c_str();
    EXPECT_EQ(objectNameOf(directory), list.nameOf(directory));
    EXPECT_TRUE(endsWithNoCase(list.nameOf(directory), withoutDrive(folder.path())));
    EXPECT_EQ(L"", list.nameOf(event));  // not a file

    // Closed by value: the file opened without sharing can be deleted now.
    EXPECT_TRUE(callExport(kHandle, "close0", {static_cast<jint>(reinterpret_cast<INT_PTR>(file))}).asBoolean());
    EXPECT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(callExport(kHandle, "close0", {static_cast<jint>(reinterpret_cast<INT_PTR>(file))}).asBoolean());
    EXPECT_EQ(L"", listHandles().nameOf(file));
    CloseHandle(directory);
    CloseHandle(event);
}

// Read-write access (0x0012019F) is also that of pipes, whose name query
// can block for ever: such handles are left out without being asked.
TEST_F(HandleNatives, AFileOpenForReadingAndWritingIsLeftOut) {
    nativetest::ScratchFolder folder;
    HANDLE file = CreateFileW(folder.file(L"rw.txt").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    HandleList list = listHandles();
    ASSERT_TRUE(list.present);
    EXPECT_EQ(L"", list.nameOf(file));
    CloseHandle(file);
}

TEST_F(HandleNatives, CloseRefusesValuesThatAreNotOpenAndThePseudoHandles) {
    EXPECT_FALSE(callExport(kHandle, "close0", {0x7FFFFFF0}).asBoolean());
    EXPECT_FALSE(callExport(kHandle, "close0", {0}).asBoolean());
    EXPECT_FALSE(callExport(kHandle, "close0", {-1}).asBoolean());  // the current process
    EXPECT_FALSE(callExport(kHandle, "close0", {-2}).asBoolean());  // the current thread
    EXPECT_NE(0u, WaitForSingleObject(GetCurrentProcess(), 0));
}

TEST_F(HandleNatives, TheDriveLinkLeadsToAKernelDevicePath) {
    std::wstring target = callExport(kHandle, "getDeviceName0", {fakejni::newString(L"\\??\\C:")}).asText();
    EXPECT_EQ(0u, target.find(L"\\Device\\")) << target.c_str();
}

TEST_F(HandleNatives, ANameThatIsNotALinkAndNullGiveNull) {
    EXPECT_TRUE(fakejni::isNull(
        callExport(kHandle, "getDeviceName0", {fakejni::newString(L"\\??\\tvr-no-such-link")}).asObject()));
    EXPECT_TRUE(fakejni::isNull(
        callExport(kHandle, "getDeviceName0", {fakejni::newString(L"\\Device")}).asObject()));  // a directory
    EXPECT_TRUE(fakejni::isNull(callExport(kHandle, "getDeviceName0", {nullptr}).asObject()));
}

// More than 16384 handles: values pass 0xFFFF, where a 16-bit table would
// wrap them onto other handles.
TEST_F(HandleNatives, ValuesBeyondSixteenBitsAreListedAndClosedExactly) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<HANDLE> copies;
    for (int i = 0; i < 17000; ++i) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            break;
        copies.push_back(copy);
    }
    ASSERT_EQ(17000u, copies.size());
    nativetest::ScratchFolder folder;
    std::wstring path = folder.file(L"high.txt");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    ASSERT_GT(reinterpret_cast<UINT_PTR>(file), 0xFFFFu);
    // A file below the wrap whose low 16 bits another listed value shares.
    HANDLE low = reinterpret_cast<HANDLE>(reinterpret_cast<UINT_PTR>(file) & 0xFFFF);

    HandleList list = listHandles();
    ASSERT_TRUE(list.present);
    EXPECT_TRUE(endsWithNoCase(list.nameOf(file), withoutDrive(path)));
    // Every value listed names the file object it was listed with.
    for (size_t i = 0; i < list.values.size(); ++i)
        EXPECT_EQ(objectNameOf(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(list.values[i]))), list.names[i])
            << list.values[i];
    EXPECT_EQ(L"", list.nameOf(low));  // that value is one of the event copies

    EXPECT_TRUE(callExport(kHandle, "close0", {static_cast<jint>(reinterpret_cast<INT_PTR>(file))}).asBoolean());
    EXPECT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(low, 0));  // the event copy there is still open
    for (HANDLE copy : copies) CloseHandle(copy);
    CloseHandle(event);
}

// ---- a name query that does not return -------------------------------------------

// Stands in for NtQueryObject: the name query of "stuck.txt" waits as it
// does on Windows for a file object with synchronous I/O in progress
// (until the release event, at most 10 s); everything else is answered.
HANDLE g_release = nullptr;
volatile LONG g_stuckQueriesEntered = 0;
volatile LONG g_stuckQueriesEnded = 0;
NTSTATUS NTAPI stuckNameQuery(HANDLE handle, ULONG infoClass, PVOID buffer, ULONG bytes, PULONG returned) {
    static QueryObject real = realNtdll<QueryObject>("NtQueryObject");
    NTSTATUS status = real(handle, infoClass, buffer, bytes, returned);
    if (infoClass != 1 || status < 0) return status;
    const UNICODE_STRING* name = static_cast<const UNICODE_STRING*>(buffer);
    if (!endsWithNoCase(std::wstring(name->Buffer, name->Length / sizeof(wchar_t)), L"\\stuck.txt")) return status;
    InterlockedIncrement(&g_stuckQueriesEntered);
    WaitForSingleObject(g_release, 10000);
    InterlockedIncrement(&g_stuckQueriesEnded);
    return status;
}

TEST_F(HandleNatives, AFileWhoseNameQueryDoesNotReturnIsLeftOutAndTheOthersListed) {
    nativetest::ScratchFolder folder;
    HANDLE stuck = CreateFileW(folder.file(L"stuck.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    HANDLE other = CreateFileW(folder.file(L"other.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, stuck);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_stuckQueriesEnded = 0;
    g_handleFunctions.queryObject = stuckNameQuery;

    HandleList list = listLinkedHandles();
    ASSERT_TRUE(list.present);
    EXPECT_EQ(0, g_stuckQueriesEnded);  // list0 came back while the query still waited
    EXPECT_EQ(L"", list.nameOf(stuck));
    EXPECT_EQ(objectNameOf(other), list.nameOf(other));

    // The query left behind ends once released and lets go of its handle.
    SetEvent(g_release);
    for (int i = 0; i < 1000 && g_stuckQueriesEnded == 0; ++i) Sleep(10);
    EXPECT_EQ(1, g_stuckQueriesEnded);
    g_handleFunctions.queryObject = nullptr;  // bound again on the next use
    CloseHandle(stuck);
    CloseHandle(other);
    CloseHandle(g_release);
}

// Stands in for NtQuerySystemInformation: the real table, with the object
// addresses that Wine leaves 0 filled in, one address for every handle of
// stuck.txt (the duplicates that list0 takes too) and one for each other
// handle of this process.
const uint64_t kStuckObject = 0xFFFF8000DEAD0000ull;
NTSTATUS NTAPI tableWithObjects(ULONG infoClass, PVOID buffer, ULONG bytes, PULONG returned) {
    static auto real = realNtdll<decltype(HandleFunctions::querySystemInformation)>("NtQuerySystemInformation");
    NTSTATUS status = real(infoClass, buffer, bytes, returned);
    if (status < 0 || infoClass != 64) return status;
    uint8_t* table = static_cast<uint8_t*>(buffer);
    uint64_t count = 0;
    memcpy(&count, table, sizeof count);
    for (uint64_t i = 0; i < count; ++i) {
        uint8_t* entry = table + kExtendedTableHeaderBytes + i * kExtendedEntryBytes;
        uint64_t processId = 0, value = 0;
        memcpy(&processId, entry + 8, 8);
        memcpy(&value, entry + 16, 8);
        if (processId != GetCurrentProcessId()) continue;
        bool ofStuck = endsWithNoCase(objectNameOf(reinterpret_cast<HANDLE>(value)), L"\\stuck.txt");
        uint64_t object = ofStuck ? kStuckObject : 0xFFFF800000000000ull + value;
        memcpy(entry, &object, 8);
    }
    return status;
}

// A query left behind still waits for the object's lock: later lists leave
// every handle of that object out without asking again, until it ends.
TEST_F(HandleNatives, AnObjectWhoseNameQueryStillWaitsIsNotAskedForAgain) {
    nativetest::ScratchFolder folder;
    HANDLE stuck = CreateFileW(folder.file(L"stuck.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, stuck);
    HANDLE sameFile = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), stuck, GetCurrentProcess(), &sameFile, 0, FALSE,
                                DUPLICATE_SAME_ACCESS));
    HANDLE other = CreateFileW(folder.file(L"other.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_stuckQueriesEntered = 0;
    g_stuckQueriesEnded = 0;
    g_handleFunctions.queryObject = stuckNameQuery;
    g_handleFunctions.querySystemInformation = tableWithObjects;

    listLinkedHandles();  // leaves the query of stuck.txt behind
    HandleList second = listLinkedHandles();
    EXPECT_EQ(1, g_stuckQueriesEntered);
    EXPECT_EQ(L"", second.nameOf(stuck));
    EXPECT_EQ(L"", second.nameOf(sameFile));
    EXPECT_EQ(objectNameOf(other), second.nameOf(other));

    // Once it has ended the object is asked for again (the release lets
    // the new queries through).
    SetEvent(g_release);
    for (int i = 0; i < 1000 && g_stuckQueriesEnded == 0; ++i) Sleep(10);
    HandleList third = listLinkedHandles();
    EXPECT_EQ(objectNameOf(stuck), third.nameOf(stuck));
    EXPECT_EQ(objectNameOf(stuck), third.nameOf(sameFile));

    g_handleFunctions.queryObject = nullptr;
    g_handleFunctions.querySystemInformation = nullptr;
    CloseHandle(stuck);
    CloseHandle(sameFile);
    CloseHandle(other);
    CloseHandle(g_release);
}

// Where the table gives no object addresses (as Wine's), the handle asked
// for and the duplicate left waiting with its query are still left out of
// later lists: asking for them would leave one more thread behind each.
TEST_F(HandleNatives, WithoutObjectAddressesAStuckHandleAndItsWaitingCopyAreNotAskedForAgain) {
    nativetest::ScratchFolder folder;
    HANDLE stuck = CreateFileW(folder.file(L"stuck.txt").c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, stuck);
    g_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_stuckQueriesEntered = 0;
    g_stuckQueriesEnded = 0;
    g_handleFunctions.queryObject = stuckNameQuery;

    listLinkedHandles();
    listLinkedHandles();
    HandleList third = listLinkedHandles();
    EXPECT_EQ(1, g_stuckQueriesEntered);
    EXPECT_EQ(L"", third.nameOf(stuck));

    SetEvent(g_release);
    for (int i = 0; i < 1000 && g_stuckQueriesEnded < g_stuckQueriesEntered; ++i) Sleep(10);
    EXPECT_EQ(objectNameOf(stuck), listLinkedHandles().nameOf(stuck));
    g_handleFunctions.queryObject = nullptr;
    CloseHandle(stuck);
    CloseHandle(g_release);
}

HANDLE WINAPI noThreadToSpare(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Without a thread the name is asked for inline, and the query still lets go
// of its duplicate: once the caller closes its own handle, nothing of this
// process holds the file open.
TEST_F(HandleNatives, WithoutAThreadToSpareTheNameIsAskedInlineAndTheFileIsLetGo) {
    nativetest::ScratchFolder folder;
    std::wstring path = folder.file(L"inline.txt");
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    g_handleFunctions.createThread = noThreadToSpare;

    HandleList list = listLinkedHandles();
    g_handleFunctions.createThread = nullptr;  // bound again on the next use
    ASSERT_TRUE(list.present);
    EXPECT_EQ(objectNameOf(file), list.nameOf(file));

    CloseHandle(file);
    HANDLE again = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, again) << "error " << GetLastError();
    if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
}

// ---- the table query, through the binding -------------------------------------------

std::vector<ULONG> g_queriedSizes;
ULONG g_tableFitsFrom = 0;
NTSTATUS g_tableFailure = 0;
NTSTATUS NTAPI tableDouble(ULONG infoClass, PVOID buffer, ULONG bytes, PULONG returned) {
    g_queriedSizes.push_back(bytes);
    if (infoClass != 64) return static_cast<NTSTATUS>(0xC0000003);  // only the extended table is asked for
    if (g_tableFailure) return g_tableFailure;
    if (bytes < g_tableFitsFrom) return static_cast<NTSTATUS>(0xC0000004);
    memset(buffer, 0, 16);  // no handles at all
    if (returned) *returned = 16;
    return 0;
}

class HandleTableQuery : public HandleNatives {
protected:
    void SetUp() override {
        HandleNatives::SetUp();
        g_handleFunctions.querySystemInformation = tableDouble;
        g_queriedSizes.clear();
        g_tableFailure = 0;
        g_tableFitsFrom = 0;
    }
    void TearDown() override {
        g_handleFunctions.querySystemInformation = nullptr;  // bound again on the next use
        HandleNatives::TearDown();
    }
};

TEST_F(HandleTableQuery, WithoutOpenFilesTheResultHoldsTwoEmptyArrays) {
    jobject result = nativetest::callLinked(kHandle, "list0", {}).asObject();
    ASSERT_FALSE(fakejni::isNull(result));
    std::vector<jobject> parts = fakejni::elements(result);
    ASSERT_EQ(2u, parts.size());
    EXPECT_EQ("[I", fakejni::className(parts[0]));
    EXPECT_EQ("[Ljava/lang/String;", fakejni::className(parts[1]));
    EXPECT_TRUE(fakejni::ints(parts[0]).empty());
    EXPECT_TRUE(fakejni::texts(parts[1]).empty());
}

TEST_F(HandleTableQuery, TheBufferDoublesFromSixtyFourKibWhileTheTableDoesNotFit) {
    g_tableFitsFrom = 262144;
    EXPECT_FALSE(fakejni::isNull(nativetest::callLinked(kHandle, "list0", {}).asObject()));
    EXPECT_EQ((std::vector<ULONG>{65536, 131072, 262144}), g_queriedSizes);
}

TEST_F(HandleTableQuery, AnotherFailureGivesNull) {
    g_tableFailure = static_cast<NTSTATUS>(0xC0000022);
    EXPECT_TRUE(fakejni::isNull(nativetest::callLinked(kHandle, "list0", {}).asObject()));
    EXPECT_EQ(1u, g_queriedSizes.size());
}

}  // namespace

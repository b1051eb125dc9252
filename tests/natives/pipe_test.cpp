// The named-pipe backend: the block framing on the wire, blocks larger than
// the pipe buffer, a peer that breaks off, lengths the VM must never see,
// the retry limits, a second client after a disconnect, and the same
// between two processes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "native/process/windows/Win32CommunicationBackend.h"
#include "tests/natives/NativeTestSupport.h"
#include "tests/natives/process_helpers/ProcessTestSupport.h"

namespace {

using nativetest::callExport;
using nativetest::callLinked;
using Bytes = std::vector<uint8_t>;

const char* kBackend = "Win32CommunicationBackend";

fakejni::Value backend(const char* method, std::initializer_list<fakejni::Arg> args) {
    return callExport(kBackend, method, args);
}

std::wstring uniquePipeName() {
    static unsigned counter = 0;
    return L"\\\\.\\pipe\\tvrtest_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

Bytes pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

jbyteArray javaBytes(const Bytes& bytes) {
    return fakejni::newByteArray(std::vector<jbyte>(bytes.begin(), bytes.end()));
}

Bytes bytesOf(jobject array) {
    std::vector<jbyte> values = fakejni::bytes(array);
    return Bytes(values.begin(), values.end());
}

jlong listen(const std::wstring& name) { return backend("createListener0", {fakejni::newString(name)}).asLong(); }
jlong connectClient(const std::wstring& name) {
    return backend("connectClient0", {fakejni::newString(name)}).asLong();
}
bool writeBlock(jlong pipe, const Bytes& bytes) {
    return backend("writeDataBlock0", {pipe, javaBytes(bytes)}).asBoolean();
}
// The payload read, or false in `ok` for null.
Bytes readBlock(jlong pipe, bool* ok) {
    jobject block = backend("readDataBlock0", {pipe}).asObject();
    *ok = !fakejni::isNull(block);
    return *ok ? bytesOf(block) : Bytes();
}
void closePipe(jlong pipe) { backend("closeHandle0", {pipe}); }

HANDLE rawClient(const std::wstring& name) {
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

Bytes rawRead(HANDLE pipe, size_t count) {
    Bytes bytes(count);
    size_t got = 0;
    while (got < count) {
        DWORD n = 0;
        if (!ReadFile(pipe, bytes.data() + got, static_cast<DWORD>(count - got), &n, nullptr) || n == 0) break;
        got += n;
    }
    bytes.resize(got);
    return bytes;
}

bool rawWrite(HANDLE pipe, const Bytes& bytes) {
    DWORD written = 0;
    return WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

class PipeNatives : public ::testing::Test {
protected:
    void SetUp() override {
        nativetest::resetJni();
        name = uniquePipeName();
    }
    void TearDown() override {
        EXPECT_EQ(nullptr, fakejni::pendingException());
        EXPECT_EQ(0u, fakejni::openBuffers());
    }
    // A listener of the natives with a raw client connected to it.
    void connectRawClient(jlong* server, HANDLE* client) {
        *server = listen(name);
        ASSERT_NE(-1, *server);
        *client = rawClient(name);
        ASSERT_NE(INVALID_HANDLE_VALUE, *client);
        ASSERT_TRUE(backend("connectNamedPipe0", {*server}).asBoolean());
    }
    std::wstring name;
};

// ---- framing on the wire ----------------------------------------------------------------

TEST_F(PipeNatives, BlocksOnTheWireAreALittleEndianLengthAndThePayload) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    HANDLE client = rawClient(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    EXPECT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());  // the client came first
    Bytes payload = pattern(300);
    bool wroteEmpty = false, wrote300 = false;
    // A write returns once the peer has read it all (the flush), so it runs beside the reader.
    std::thread writer([&] {
        wroteEmpty = writeBlock(server, {});
        wrote300 = writeBlock(server, payload);
    });
    EXPECT_EQ((Bytes{0, 0, 0, 0}), rawRead(client, 4));
    EXPECT_EQ((Bytes{0x2C, 0x01, 0, 0}), rawRead(client, 4));
    EXPECT_EQ(payload, rawRead(client, 300));
    writer.join();
    EXPECT_TRUE(wroteEmpty);
    EXPECT_TRUE(wrote300);

    ASSERT_TRUE(rawWrite(client, {0, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'}));
    bool ok = false;
    EXPECT_EQ(Bytes{}, readBlock(server, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ((Bytes{'a', 'b', 'c'}), readBlock(server, &ok));
    EXPECT_TRUE(ok);
    CloseHandle(client);
    closePipe(server);
}

TEST_F(PipeNatives, ABlockLargerThanThePipeBufferArrivesWholeBetweenTwoThreads) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    Bytes big = pattern(70000), answer = pattern(65536 + 1);
    Bytes clientGot;
    bool clientWrote = false, clientRead = false;
    std::thread client([&] {
        jlong pipe = connectClient(name);
        if (pipe == 0) return;
        clientWrote = writeBlock(pipe, big);
        clientGot = readBlock(pipe, &clientRead);
        closePipe(pipe);
    });
    EXPECT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    bool ok = false;
    EXPECT_EQ(big, readBlock(server, &ok));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(writeBlock(server, answer));
    client.join();
    EXPECT_TRUE(clientWrote);
    EXPECT_TRUE(clientRead);
    EXPECT_EQ(answer, clientGot);
    closePipe(server);
}

TEST_F(PipeNatives, APeerThatClosesInsideABlockGivesNullAndWritesToItFail) {
    jlong server = 0;
    HANDLE client = nullptr;
    ASSERT_NO_FATAL_FAILURE(connectRawClient(&server, &client));
    Bytes partial = {0xE8, 0x03, 0, 0};  // 1000 bytes announced, 10 sent
    partial.resize(14, 0x55);
    ASSERT_TRUE(rawWrite(client, partial));
    CloseHandle(client);
    bool ok = true;
    readBlock(server, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(writeBlock(server, pattern(10)));
    closePipe(server);
}

// The block fits the pipe's buffer, so the write itself succeeds: only the
// flush learns that the peer closed its end without reading.
TEST_F(PipeNatives, ABlockThePeerClosesUnreadIsNotReportedWritten) {
    jlong server = 0;
    HANDLE client = nullptr;
    ASSERT_NO_FATAL_FAILURE(connectRawClient(&server, &client));
    bool wrote = true;
    std::thread writer([&] { wrote = writeBlock(server, pattern(100)); });
    Sleep(200);
    CloseHandle(client);
    writer.join();
    EXPECT_FALSE(wrote);
    closePipe(server);
}

TEST_F(PipeNatives, ALengthFieldThatArrivesInPiecesIsReadWhole) {
    jlong server = listen(name);
    HANDLE client = rawClient(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    std::thread sender([client] {
        rawWrite(client, {0x03, 0x00});
        Sleep(100);
        rawWrite(client, {0x00, 0x00, 'x', 'y', 'z'});
    });
    bool ok = false;
    EXPECT_EQ((Bytes{'x', 'y', 'z'}), readBlock(server, &ok));
    EXPECT_TRUE(ok);
    sender.join();
    CloseHandle(client);
    closePipe(server);
}

TEST_F(PipeNatives, ANullArrayIsNotWritten) {
    jlong server = listen(name);
    HANDLE client = rawClient(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    EXPECT_FALSE(backend("writeDataBlock0", {server, nullptr}).asBoolean());
    DWORD available = 1;
    EXPECT_TRUE(PeekNamedPipe(client, nullptr, 0, nullptr, &available, nullptr));
    EXPECT_EQ(0u, available);
    CloseHandle(client);
    closePipe(server);
}

TEST_F(PipeNatives, ANegativeLengthIsNeverPassedToTheVm) {
    jlong server = listen(name);
    HANDLE client = rawClient(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    ASSERT_TRUE(rawWrite(client, {0xFF, 0xFF, 0xFF, 0xFF}));
    fakejni::clearRecords();
    bool ok = true;
    readBlock(server, &ok);
    EXPECT_FALSE(ok);
    for (const std::string& line : fakejni::records()) EXPECT_EQ(std::string::npos, line.find("NewByteArray"));
    CloseHandle(client);
    closePipe(server);
}

// An env whose NewByteArray fails as a VM does when the heap is exhausted.
jbyteArray JNICALL exhaustedNewByteArray(JNIEnv*, jsize) {
    fakejni::throwNew("java/lang/OutOfMemoryError", L"Java heap space");
    return nullptr;
}

TEST_F(PipeNatives, ALengthTheVmCannotAllocateGivesNullWithNothingPending) {
    jlong server = listen(name);
    HANDLE client = rawClient(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, client);
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    ASSERT_TRUE(rawWrite(client, {0xFF, 0xFF, 0xFF, 0x7F}));
    JNINativeInterface_ functions = *fakejni::env()->functions;
    functions.NewByteArray = exhaustedNewByteArray;
    JNIEnv exhausted;
    exhausted.functions = &functions;
    using ReadBlock = jbyteArray(JNICALL*)(JNIEnv*, jclass, jlong);
    ReadBlock read = reinterpret_cast<ReadBlock>(reinterpret_cast<void*>(GetProcAddress(
        nativetest::tvrinst(), nativetest::exportName(kBackend, "readDataBlock0").c_str())));
    ASSERT_NE(nullptr, read);
    jclass cls = fakejni::findClass("com/tavra/runtime/installer/platform/win32/Win32CommunicationBackend");
    EXPECT_EQ(nullptr, read(&exhausted, cls, server));
    EXPECT_EQ(nullptr, fakejni::pendingException());
    CloseHandle(client);
    closePipe(server);
}

// ---- handles and connections ------------------------------------------------------------

TEST_F(PipeNatives, TheInvalidHandleIsMinusOneAndEveryNativeIgnoresIt) {
    EXPECT_EQ(-1, backend("getInvalidHandle0", {}).asLong());
    bool ok = true;
    readBlock(-1, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(writeBlock(-1, pattern(3)));
    EXPECT_FALSE(backend("connectNamedPipe0", {static_cast<jlong>(-1)}).asBoolean());
    backend("disconnectNamedPipe0", {static_cast<jlong>(-1)});
    backend("closeHandle0", {static_cast<jlong>(-1)});
    EXPECT_EQ(-1, listen(L"\\\\.\\notapipe\\x"));
    EXPECT_EQ(-1, backend("createListener0", {nullptr}).asLong());
    EXPECT_EQ(0, backend("connectClient0", {nullptr}).asLong());
}

TEST_F(PipeNatives, ASecondListenerOnTheSameNameFailsWhileTheFirstIsOpen) {
    jlong first = listen(name);
    ASSERT_NE(-1, first);
    EXPECT_EQ(-1, listen(name));
    closePipe(first);
    jlong again = listen(name);
    EXPECT_NE(-1, again);
    closePipe(again);
}

int g_createFileCalls = 0;
DWORD g_createFileFlags = 0;
HANDLE WINAPI countingCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile) {
    ++g_createFileCalls;
    g_createFileFlags = flags;
    return CreateFileW(name, access, share, security, disposition, flags, templateFile);
}

int g_connectCalls = 0;
DWORD g_connectError = ERROR_NO_DATA;
BOOL WINAPI failingConnect(HANDLE, LPOVERLAPPED) {
    ++g_connectCalls;
    SetLastError(g_connectError);
    return FALSE;
}

class PipeRetries : public PipeNatives {
protected:
    void SetUp() override {
        PipeNatives::SetUp();
        saved = g_pipeFunctions;
        g_pipeFunctions.retryPauseMilliseconds = 0;
    }
    void TearDown() override {
        g_pipeFunctions = saved;
        PipeNatives::TearDown();
    }
    PipeFunctions saved;
};

TEST_F(PipeRetries, TheRetryDefaultsAreTwoHundredAndOneAndSixHundredAndOneAttemptsHalfASecondApart) {
    EXPECT_EQ(200, saved.clientFailureLimit);
    EXPECT_EQ(600, saved.serverFailureLimit);
    EXPECT_EQ(500u, saved.retryPauseMilliseconds);
}

TEST_F(PipeRetries, AClientWithoutAServerGets0AfterTwoHundredAndOneAttempts) {
    g_pipeFunctions.createFile = countingCreateFile;
    g_createFileCalls = 0;
    EXPECT_EQ(0, callLinked(kBackend, "connectClient0", {fakejni::newString(name)}).asLong());
    EXPECT_EQ(201, g_createFileCalls);
}

// The server may identify the client but not act as it. Wine does not
// apply the client's quality of service, so the flags are checked where
// the client passes them.
TEST_F(PipeRetries, TheClientAllowsTheServerToIdentifyItOnly) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    g_pipeFunctions.createFile = countingCreateFile;
    g_createFileFlags = 0;
    jlong client = callLinked(kBackend, "connectClient0", {fakejni::newString(name)}).asLong();
    EXPECT_NE(0, client);
    EXPECT_EQ(static_cast<DWORD>(SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION), g_createFileFlags);
    if (client) closePipe(client);
    closePipe(server);
}

TEST_F(PipeRetries, AServerGivesUpAfterSixHundredAndOneFailedConnectsButTakesAnEarlyClient) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    g_pipeFunctions.connectNamedPipe = failingConnect;
    g_connectCalls = 0;
    g_connectError = ERROR_NO_DATA;
    EXPECT_FALSE(callLinked(kBackend, "connectNamedPipe0", {server}).asBoolean());
    EXPECT_EQ(601, g_connectCalls);
    g_connectCalls = 0;
    g_connectError = ERROR_PIPE_CONNECTED;
    EXPECT_TRUE(callLinked(kBackend, "connectNamedPipe0", {server}).asBoolean());
    EXPECT_EQ(1, g_connectCalls);
    closePipe(server);
}

// A client that opened the instance and closed it before the server's
// connect leaves it closing: until it is disconnected, the connect fails
// with ERROR_NO_DATA and every other client finds the pipe busy.
TEST_F(PipeRetries, AClientThatLeftBeforeTheConnectDoesNotBlockTheNextOne) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    HANDLE early = rawClient(name);
    ASSERT_NE(INVALID_HANDLE_VALUE, early);
    CloseHandle(early);
    bool secondOpened = false;
    std::thread second([this, &secondOpened] {
        Sleep(300);
        HANDLE client = INVALID_HANDLE_VALUE;
        for (int attempt = 0; attempt < 100 && client == INVALID_HANDLE_VALUE; ++attempt) {
            client = rawClient(name);
            if (client == INVALID_HANDLE_VALUE) Sleep(10);
        }
        secondOpened = client != INVALID_HANDLE_VALUE;
        if (secondOpened) CloseHandle(client);
    });
    EXPECT_TRUE(callLinked(kBackend, "connectNamedPipe0", {server}).asBoolean());
    second.join();
    EXPECT_TRUE(secondOpened);
    closePipe(server);
}

TEST_F(PipeNatives, AfterADisconnectTheInstanceTakesASecondClient) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    auto clientSends = [&](Bytes payload, bool* sent) {
        return std::thread([this, payload, sent] {
            jlong pipe = connectClient(name);
            *sent = pipe != 0 && writeBlock(pipe, payload);
            if (pipe != 0) closePipe(pipe);
        });
    };
    bool firstSent = false, secondSent = false, ok = false;
    std::thread first = clientSends({'o', 'n', 'e'}, &firstSent);
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    EXPECT_EQ((Bytes{'o', 'n', 'e'}), readBlock(server, &ok));
    first.join();
    readBlock(server, &ok);
    EXPECT_FALSE(ok);  // the first client has gone
    backend("disconnectNamedPipe0", {server});
    std::thread second = clientSends({'t', 'w', 'o'}, &secondSent);
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    EXPECT_EQ((Bytes{'t', 'w', 'o'}), readBlock(server, &ok));
    second.join();
    EXPECT_TRUE(firstSent);
    EXPECT_TRUE(secondSent);
    closePipe(server);
}

// ---- two processes ------------------------------------------------------------------------

TEST_F(PipeNatives, BlocksMakeTheRoundTripThroughAPeerProcess) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    proctest::Child peer;
    ASSERT_TRUE(peer.start(L"pipe_peer.exe", L"echo-client " + name));
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    bool ok = false;
    for (size_t size : {size_t(0), size_t(300), size_t(70000)}) {
        ASSERT_TRUE(writeBlock(server, pattern(size)));
        EXPECT_EQ(pattern(size), readBlock(server, &ok)) << size;
        EXPECT_TRUE(ok);
    }
    closePipe(server);
    EXPECT_TRUE(peer.endsWithin(10000));
    EXPECT_EQ(0u, peer.exitCode());
}

TEST_F(PipeNatives, AClientReachesAServerInAnotherProcess) {
    proctest::Child peer;
    ASSERT_TRUE(peer.start(L"pipe_peer.exe", L"echo-server " + name));
    jlong client = connectClient(name);
    ASSERT_NE(0, client);
    ASSERT_TRUE(writeBlock(client, pattern(70000)));
    bool ok = false;
    EXPECT_EQ(pattern(70000), readBlock(client, &ok));
    closePipe(client);
    EXPECT_TRUE(peer.endsWithin(10000));
}

TEST_F(PipeNatives, APeerProcessThatEndsInsideABlockGivesNull) {
    jlong server = listen(name);
    ASSERT_NE(-1, server);
    proctest::Child peer;
    ASSERT_TRUE(peer.start(L"pipe_peer.exe", L"send-partial " + name));
    ASSERT_TRUE(backend("connectNamedPipe0", {server}).asBoolean());
    bool ok = true;
    readBlock(server, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(peer.endsWithin(10000));
    closePipe(server);
}

TEST_F(PipeNatives, ProcessLivenessOfThisProcessAFinishedChildAndAnUnusedPid) {
    jint self = backend("getCurrentProcessId0", {}).asInt();
    EXPECT_EQ(static_cast<jint>(GetCurrentProcessId()), self);
    EXPECT_TRUE(backend("isProcessAlive0", {self}).asBoolean());
    proctest::Child finished;
    ASSERT_TRUE(finished.start(L"window_owner.exe", L""));
    ASSERT_TRUE(finished.endsWithin(10000));
    EXPECT_FALSE(backend("isProcessAlive0", {static_cast<jint>(finished.pid())}).asBoolean());
    EXPECT_FALSE(backend("isProcessAlive0", {0x7FFFFFF0}).asBoolean());
}

}  // namespace

// The other process of the pipe tests and of the pipe benchmark:
//   pipe_peer echo-client NAME       connects with connectClient0 and sends every block back
//                                    through readDataBlock0/writeDataBlock0 until the pipe breaks
//   pipe_peer echo-server NAME       the same as the server of the pipe (createListener0,
//                                    connectNamedPipe0)
//   pipe_peer raw-echo-client NAME   the same blocks with plain ReadFile/WriteFile
//   pipe_peer send-partial NAME      connects with CreateFileW, sends the length of a
//                                    1000-byte block and 10 of its bytes, and exits
// Exit code 0 when the pipe could be opened, 2 when not.
#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "native/process/PipeBlock.h"
#include "native/process/windows/Win32CommunicationBackend.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

const char* kBackend = "Win32CommunicationBackend";

fakejni::Value backend(const char* method, std::initializer_list<fakejni::Arg> args) {
    return nativetest::callLinked(kBackend, method, args);
}

jstring javaName(const wchar_t* name) { return fakejni::newString(name); }

int echoThroughNatives(jlong pipe) {
    for (;;) {
        jobject block = backend("readDataBlock0", {pipe}).asObject();
        if (!block) break;
        if (!backend("writeDataBlock0", {pipe, block}).asBoolean()) break;
        fakejni::env()->DeleteLocalRef(block);
    }
    backend("closeHandle0", {pipe});
    return 0;
}

HANDLE openRawClient(const wchar_t* name) {
    for (int attempt = 0; attempt < 400; ++attempt) {
        HANDLE pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) return pipe;
        WaitNamedPipeW(name, 50);
        Sleep(10);
    }
    return INVALID_HANDLE_VALUE;
}

bool readAll(HANDLE pipe, uint8_t* into, DWORD count) {
    for (DWORD got = 0; got < count;) {
        DWORD n = 0;
        if (!ReadFile(pipe, into + got, count - got, &n, nullptr) || n == 0) return false;
        got += n;
    }
    return true;
}

int rawEcho(HANDLE pipe) {
    std::vector<uint8_t> block(kBlockLengthBytes);
    for (;;) {
        if (!readAll(pipe, block.data(), kBlockLengthBytes)) break;
        int32_t length = decodeBlockLength(block.data());
        if (length < 0) break;
        block.resize(kBlockLengthBytes + static_cast<size_t>(length));
        if (!readAll(pipe, block.data() + kBlockLengthBytes, static_cast<DWORD>(length))) break;
        DWORD written = 0;
        if (!WriteFile(pipe, block.data(), static_cast<DWORD>(block.size()), &written, nullptr)) break;
    }
    CloseHandle(pipe);
    return 0;
}

int sendPartialBlock(HANDLE pipe) {
    uint8_t bytes[kBlockLengthBytes + 10] = {};
    encodeBlockLength(1000, bytes);
    DWORD written = 0;
    WriteFile(pipe, bytes, sizeof bytes, &written, nullptr);
    FlushFileBuffers(pipe);
    CloseHandle(pipe);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 1;
    const wchar_t* mode = argv[1];
    const wchar_t* name = argv[2];
    g_pipeFunctions.retryPauseMilliseconds = 20;
    if (wcscmp(mode, L"echo-client") == 0) {
        jlong pipe = backend("connectClient0", {javaName(name)}).asLong();
        return pipe == 0 ? 2 : echoThroughNatives(pipe);
    }
    if (wcscmp(mode, L"echo-server") == 0) {
        jlong pipe = backend("createListener0", {javaName(name)}).asLong();
        if (pipe == -1 || !backend("connectNamedPipe0", {pipe}).asBoolean()) return 2;
        return echoThroughNatives(pipe);
    }
    HANDLE pipe = openRawClient(name);
    if (pipe == INVALID_HANDLE_VALUE) return 2;
    if (wcscmp(mode, L"raw-echo-client") == 0) return rawEcho(pipe);
    if (wcscmp(mode, L"send-partial") == 0) return sendPartialBlock(pipe);
    CloseHandle(pipe);
    return 1;
}

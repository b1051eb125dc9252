// Pipe block round trips between two processes: through the natives of
// tvrinst.dll (writeDataBlock0, readDataBlock0 on both ends) against a plain
// ReadFile/WriteFile loop of our own that sends the same framing over the
// same kind of pipe, measured in the same run.
//
// The natives run under two JNI environments: the fake JNI of the tests,
// which checks and records every call (rendering arrays into its record,
// so it costs far more per call than a JVM), and the lean environment of
// LeanJni.h, which does what a JVM does for these calls and no more. The
// lean figure is the one that says what the natives cost.
//
//   pipe_bench [ROUND_TRIPS]       runs all three for 64 KiB and 100-byte blocks
//   pipe_bench peer-native NAME    (internal) the echoing peer through the fake JNI
//   pipe_bench peer-lean NAME      (internal) the echoing peer through the lean env
//   pipe_bench peer-raw NAME       (internal) the echoing peer with plain calls
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/natives/LeanJni.h"
#include "native/process/PipeBlock.h"
#include "tests/natives/NativeTestSupport.h"

namespace {

const char* kBackend = "Win32CommunicationBackend";

fakejni::Value backend(const char* method, std::initializer_list<fakejni::Arg> args) {
    return nativetest::callExport(kBackend, method, args);
}

// ---- plain pipe calls -----------------------------------------------------------

bool readAll(HANDLE pipe, uint8_t* into, DWORD count) {
    for (DWORD got = 0; got < count;) {
        DWORD n = 0;
        if (!ReadFile(pipe, into + got, count - got, &n, nullptr) || n == 0) return false;
        got += n;
    }
    return true;
}

bool writeAll(HANDLE pipe, const uint8_t* from, DWORD count) {
    for (DWORD sent = 0; sent < count;) {
        DWORD n = 0;
        if (!WriteFile(pipe, from + sent, count - sent, &n, nullptr) || n == 0) return false;
        sent += n;
    }
    return true;
}

// One block: the length and the payload in one write; read back the same way.
bool rawRoundTrip(HANDLE pipe, std::vector<uint8_t>& block) {
    int32_t length = static_cast<int32_t>(block.size() - kBlockLengthBytes);
    encodeBlockLength(length, block.data());
    if (!writeAll(pipe, block.data(), static_cast<DWORD>(block.size()))) return false;
    if (!readAll(pipe, block.data(), kBlockLengthBytes)) return false;
    if (decodeBlockLength(block.data()) != length) return false;
    return readAll(pipe, block.data() + kBlockLengthBytes, static_cast<DWORD>(length));
}

int rawPeer(const wchar_t* name) {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (int i = 0; i < 500 && pipe == INVALID_HANDLE_VALUE; ++i) {
        pipe = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) Sleep(10);
    }
    if (pipe == INVALID_HANDLE_VALUE) return 2;
    std::vector<uint8_t> block(kBlockLengthBytes);
    while (readAll(pipe, block.data(), kBlockLengthBytes)) {
        int32_t length = decodeBlockLength(block.data());
        if (length < 0) break;
        block.resize(kBlockLengthBytes + static_cast<size_t>(length));
        if (!readAll(pipe, block.data() + kBlockLengthBytes, static_cast<DWORD>(length))) break;
        if (!writeAll(pipe, block.data(), static_cast<DWORD>(block.size()))) break;
    }
    CloseHandle(pipe);
    return 0;
}

// ---- the natives ---------------------------------------------------------------------

int nativePeer(const wchar_t* name) {
    jlong pipe = backend("connectClient0", {fakejni::newString(name)}).asLong();
    if (pipe == 0) return 2;
    for (;;) {
        jobject block = backend("readDataBlock0", {pipe}).asObject();
        if (!block) break;
        bool sent = backend("writeDataBlock0", {pipe, block}).asBoolean();
        fakejni::env()->DeleteLocalRef(block);
        if (!sent) break;
        fakejni::clearRecords();  // the fake keeps a line per JNI call
    }
    backend("closeHandle0", {pipe});
    return 0;
}

bool nativeRoundTrip(jlong pipe, jbyteArray block) {
    if (!backend("writeDataBlock0", {pipe, block}).asBoolean()) return false;
    jobject answer = backend("readDataBlock0", {pipe}).asObject();
    if (!answer) return false;
    fakejni::env()->DeleteLocalRef(answer);
    fakejni::clearRecords();
    return true;
}


using ReadBlock = jbyteArray(JNICALL*)(JNIEnv*, jclass, jlong);
using WriteBlock = jboolean(JNICALL*)(JNIEnv*, jclass, jlong, jbyteArray);

template <class Function>
Function exportOf(const char* method) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(
        GetProcAddress(nativetest::tvrinst(), nativetest::exportName(kBackend, method).c_str())));
}

struct LeanBlocks {
    ReadBlock read = exportOf<ReadBlock>("readDataBlock0");
    WriteBlock write = exportOf<WriteBlock>("writeDataBlock0");
};

int leanPeer(const wchar_t* name) {
    jlong pipe = backend("connectClient0", {fakejni::newString(name)}).asLong();
    if (pipe == 0) return 2;
    LeanBlocks blocks;
    for (;;) {
        jbyteArray block = blocks.read(lean::env(), nullptr, pipe);
        if (!block) break;
        bool sent = blocks.write(lean::env(), nullptr, pipe, block);
        lean::endCall();
        if (!sent) break;
    }
    backend("closeHandle0", {pipe});
    return 0;
}

// The block itself was made before `kept` and survives the round trip.
bool leanRoundTrip(LeanBlocks& blocks, jlong pipe, jbyteArray block, size_t kept) {
    if (!blocks.write(lean::env(), nullptr, pipe, block)) return false;
    jbyteArray answer = blocks.read(lean::env(), nullptr, pipe);
    lean::endCall(kept);
    return answer != nullptr;
}

// ---- the runs ----------------------------------------------------------------------

PROCESS_INFORMATION startPeer(const wchar_t* mode, const std::wstring& name) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" " + mode + L" " + name;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION peer = {};
    CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &peer);
    return peer;
}

void endPeer(PROCESS_INFORMATION& peer) {
    if (!peer.hProcess) return;
    if (WaitForSingleObject(peer.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(peer.hProcess, 1);
    CloseHandle(peer.hProcess);
    CloseHandle(peer.hThread);
}

std::wstring pipeName(const wchar_t* kind) {
    return L"\\\\.\\pipe\\tvrbench_" + std::wstring(kind) + L"_" + std::to_wstring(GetCurrentProcessId());
}

double seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

const int kWarmUp = 50;

// Round trips per second, or 0 when the run failed.
double rawRun(size_t payload, int roundTrips) {
    std::wstring name = pipeName(L"raw");
    HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                   65536, 65536, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return 0;
    PROCESS_INFORMATION peer = startPeer(L"peer-raw", name);
    double rate = 0;
    if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
        std::vector<uint8_t> block(kBlockLengthBytes + payload, 0x5A);
        bool ok = true;
        for (int i = 0; i < kWarmUp && ok; ++i) ok = rawRoundTrip(pipe, block);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < roundTrips && ok; ++i) ok = rawRoundTrip(pipe, block);
        QueryPerformanceCounter(&end);
        if (ok) rate = roundTrips / seconds(start, end);
    }
    CloseHandle(pipe);
    endPeer(peer);
    return rate;
}

double nativeRun(size_t payload, int roundTrips, bool leanEnv) {
    std::wstring name = pipeName(leanEnv ? L"lean" : L"native");
    jlong pipe = backend("createListener0", {fakejni::newString(name)}).asLong();
    if (pipe == -1) return 0;
    PROCESS_INFORMATION peer = startPeer(leanEnv ? L"peer-lean" : L"peer-native", name);
    double rate = 0;
    if (backend("connectNamedPipe0", {pipe}).asBoolean()) {
        LeanBlocks blocks;
        jbyteArray fakeBlock = fakejni::newByteArray(std::vector<jbyte>(payload, 0x5A));
        jbyteArray leanBlock = lean::NewByteArray(lean::env(), static_cast<jsize>(payload));
        size_t kept = lean::mark();
        auto roundTrip = [&] {
            return leanEnv ? leanRoundTrip(blocks, pipe, leanBlock, kept) : nativeRoundTrip(pipe, fakeBlock);
        };
        bool ok = true;
        for (int i = 0; i < kWarmUp && ok; ++i) ok = roundTrip();
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < roundTrips && ok; ++i) ok = roundTrip();
        QueryPerformanceCounter(&end);
        if (ok) rate = roundTrips / seconds(start, end);
        lean::endCall();
    }
    backend("closeHandle0", {pipe});
    endPeer(peer);
    return rate;
}

void compare(const char* label, size_t payload, int roundTrips) {
    // Alternate the runs so that none gets a quieter machine.
    double raw = 0, lean = 0, fake = 0;
    for (int pass = 0; pass < 2; ++pass) {
        raw += rawRun(payload, roundTrips) / 2;
        lean += nativeRun(payload, roundTrips, true) / 2;
        fake += nativeRun(payload, roundTrips, false) / 2;
    }
    printf("%-7s raw loop %7.0f/s   natives, lean env %7.0f/s (ratio %.2f)   natives, fake JNI %7.0f/s (ratio %.2f)\n",
           label, raw, lean, raw > 0 ? lean / raw : 0.0, fake, raw > 0 ? fake / raw : 0.0);
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // Pipe names are ASCII: the narrow arguments carry them unchanged.
    std::wstring name = argc >= 3 ? std::wstring(argv[2], argv[2] + strlen(argv[2])) : std::wstring();
    if (argc >= 3 && strcmp(argv[1], "peer-raw") == 0) return rawPeer(name.c_str());
    if (argc >= 3 && strcmp(argv[1], "peer-native") == 0) return nativePeer(name.c_str());
    if (argc >= 3 && strcmp(argv[1], "peer-lean") == 0) return leanPeer(name.c_str());
    int roundTrips = argc >= 2 ? atoi(argv[1]) : 2000;
    if (roundTrips <= 0) roundTrips = 2000;
    printf("pipe block round trips per second between two processes, %d per run (a block there and back)\n",
           roundTrips);
    compare("64 KiB", 65536, roundTrips);
    compare("100 B", 100, roundTrips * 5);
    return 0;
}

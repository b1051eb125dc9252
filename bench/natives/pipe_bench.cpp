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
// The raw loop runs twice: as it is, and with the FlushFileBuffers after
// each write that writeDataBlock0 must make (it waits until the peer has
// read the block), so that the second ratio is what the natives' own work
// costs and the first includes the flush.
//
//   pipe_bench [ROUND_TRIPS]           runs all four kinds for 64 KiB and 100-byte blocks
//   pipe_bench peer-native NAME        (internal) the echoing peer through the fake JNI
//   pipe_bench peer-lean NAME          (internal) the echoing peer through the lean env
//   pipe_bench peer-raw NAME           (internal) the echoing peer with plain calls
//   pipe_bench peer-raw-flushed NAME   (internal) the same, flushing after each write
#include <windows.h>

#include <algorithm>
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

// One block: the length and the payload in one write, flushed when asked
// (FlushFileBuffers waits until the peer has read it, as writeDataBlock0
// must); read back the same way.
bool rawRoundTrip(HANDLE pipe, std::vector<uint8_t>& block, bool flush) {
    int32_t length = static_cast<int32_t>(block.size() - kBlockLengthBytes);
    encodeBlockLength(length, block.data());
    if (!writeAll(pipe, block.data(), static_cast<DWORD>(block.size()))) return false;
    if (flush) FlushFileBuffers(pipe);
    if (!readAll(pipe, block.data(), kBlockLengthBytes)) return false;
    if (decodeBlockLength(block.data()) != length) return false;
    return readAll(pipe, block.data() + kBlockLengthBytes, static_cast<DWORD>(length));
}

int rawPeer(const wchar_t* name, bool flush) {
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
        if (flush) FlushFileBuffers(pipe);
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

// One connection of each kind stays open for the whole run, each with its
// own echoing peer, and the kinds take turns in short batches: the machine's
// load drifts over seconds, and ratios of neighbouring batches cancel it
// where whole runs one after another would not.
enum Kind { kRaw, kRawFlushed, kLean, kFake, kKinds };
const wchar_t* const kPeerModes[kKinds] = {L"peer-raw", L"peer-raw-flushed", L"peer-lean", L"peer-native"};

struct Connection {
    Kind kind;
    HANDLE pipe = INVALID_HANDLE_VALUE;  // raw kinds
    jlong handle = -1;                   // natives
    PROCESS_INFORMATION peer = {};
};

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

bool open(Connection& c) {
    std::wstring name = L"\\\\.\\pipe\\tvrbench_" + std::to_wstring(c.kind) + L"_" +
                        std::to_wstring(GetCurrentProcessId());
    if (c.kind == kRaw || c.kind == kRawFlushed) {
        c.pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                  65536, 65536, 0, nullptr);
        if (c.pipe == INVALID_HANDLE_VALUE) return false;
        c.peer = startPeer(kPeerModes[c.kind], name);
        return ConnectNamedPipe(c.pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
    }
    c.handle = backend("createListener0", {fakejni::newString(name)}).asLong();
    if (c.handle == -1) return false;
    c.peer = startPeer(kPeerModes[c.kind], name);
    return backend("connectNamedPipe0", {c.handle}).asBoolean();
}

void close(Connection& c) {
    if (c.pipe != INVALID_HANDLE_VALUE) CloseHandle(c.pipe);
    if (c.handle != -1) backend("closeHandle0", {c.handle});
    if (!c.peer.hProcess) return;
    if (WaitForSingleObject(c.peer.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(c.peer.hProcess, 1);
    CloseHandle(c.peer.hProcess);
    CloseHandle(c.peer.hThread);
}

double seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Round trips per second of one batch, or 0 when a round trip failed.
double batch(Connection& c, size_t payload, int roundTrips) {
    std::vector<uint8_t> raw(kBlockLengthBytes + payload, 0x5A);
    LeanBlocks blocks;
    jbyteArray fakeBlock = fakejni::newByteArray(std::vector<jbyte>(payload, 0x5A));
    jbyteArray leanBlock = lean::NewByteArray(lean::env(), static_cast<jsize>(payload));
    size_t kept = lean::mark();
    bool ok = true;
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < roundTrips && ok; ++i) {
        switch (c.kind) {
            case kRaw: ok = rawRoundTrip(c.pipe, raw, false); break;
            case kRawFlushed: ok = rawRoundTrip(c.pipe, raw, true); break;
            case kLean: ok = leanRoundTrip(blocks, c.handle, leanBlock, kept); break;
            default: ok = nativeRoundTrip(c.handle, fakeBlock); break;
        }
    }
    QueryPerformanceCounter(&end);
    lean::endCall();
    fakejni::env()->DeleteLocalRef(fakeBlock);
    return ok ? roundTrips / seconds(start, end) : 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// goal: the least ratio of the natives to the raw loop, or 0 for none.
void compare(Connection (&connections)[kKinds], const char* label, size_t payload, int roundTrips, double goal) {
    const int kBatches = 15;
    const int perBatch = roundTrips / kBatches > 0 ? roundTrips / kBatches : 1;
    std::vector<double> rates[kKinds], leanRatio, leanFlushedRatio, fakeRatio;
    for (Connection& c : connections) batch(c, payload, perBatch / 4 + 1);  // warm up
    for (int b = 0; b < kBatches; ++b) {
        double rate[kKinds];
        for (int k = 0; k < kKinds; ++k) rates[k].push_back(rate[k] = batch(connections[k], payload, perBatch));
        if (rate[kRaw] <= 0 || rate[kRawFlushed] <= 0) continue;
        leanRatio.push_back(rate[kLean] / rate[kRaw]);
        leanFlushedRatio.push_back(rate[kLean] / rate[kRawFlushed]);
        fakeRatio.push_back(rate[kFake] / rate[kRaw]);
    }
    printf("%-7s raw loop %6.0f/s   raw loop with flush %6.0f/s   natives, lean env %6.0f/s"
           " (ratio %.2f to the raw loop, %.2f to the loop with flush)   natives, fake JNI %6.0f/s (ratio %.2f)\n",
           label, median(rates[kRaw]), median(rates[kRawFlushed]), median(rates[kLean]), median(leanRatio),
           median(leanFlushedRatio), median(rates[kFake]), median(fakeRatio));
    if (goal > 0) {
        printf("%-7s goal: natives, lean env >= %.2fx the raw loop: %s\n", label, goal,
               median(leanRatio) >= goal ? "met" : "not met");
    }
    fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // Pipe names are ASCII: the narrow arguments carry them unchanged.
    std::wstring name = argc >= 3 ? std::wstring(argv[2], argv[2] + strlen(argv[2])) : std::wstring();
    if (argc >= 3 && strcmp(argv[1], "peer-raw") == 0) return rawPeer(name.c_str(), false);
    if (argc >= 3 && strcmp(argv[1], "peer-raw-flushed") == 0) return rawPeer(name.c_str(), true);
    if (argc >= 3 && strcmp(argv[1], "peer-native") == 0) return nativePeer(name.c_str());
    if (argc >= 3 && strcmp(argv[1], "peer-lean") == 0) return leanPeer(name.c_str());
    int roundTrips = argc >= 2 ? atoi(argv[1]) : 3000;
    if (roundTrips <= 0) roundTrips = 3000;
    printf("pipe block round trips per second between two processes, %d of each kind in 15 alternating batches\n"
           "(a block there and back; figures are the medians of the batches and of neighbouring batches' ratios)\n",
           roundTrips);
    Connection connections[kKinds] = {{kRaw}, {kRawFlushed}, {kLean}, {kFake}};
    bool opened = true;
    for (Connection& c : connections) opened = opened && open(c);
    if (opened) {
        compare(connections, "64 KiB", 65536, roundTrips, 0.9);
        compare(connections, "100 B", 100, roundTrips * 5, 0);
    } else {
        printf("could not connect the peers\n");
    }
    for (Connection& c : connections) close(c);
    return opened ? 0 : 1;
}

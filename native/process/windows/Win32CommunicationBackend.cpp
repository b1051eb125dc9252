// A message channel between two local processes: the server creates one
// pipe instance and waits for its client, the client opens it, and both
// exchange blocks of a 4-byte little-endian length and that many payload
// bytes. Handles travel as Java longs; -1 is the invalid handle, and a
// client that cannot connect gets 0.
#include "native/process/windows/Win32CommunicationBackend.h"

#include <jni.h>

#include <cstdint>
#include <cstdio>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/process/PipeBlock.h"

PipeFunctions g_pipeFunctions = {CreateFileW, ConnectNamedPipe, 600, 200, 500};

namespace {

const jlong kInvalidHandle = -1;
const DWORD kPipeBufferBytes = 65536;
const DWORD kFirstClientWaitMilliseconds = 300000;
const DWORD kRetryClientWaitMilliseconds = 1000;

HANDLE pipeOf(jlong handle) { return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(handle)); }
jlong javaHandle(HANDLE handle) { return static_cast<jlong>(reinterpret_cast<INT_PTR>(handle)); }

// Reads exactly count bytes, over as many partial reads as the pipe gives.
// A failed read (the peer closed the pipe) or an empty one ends it with false.
bool readFully(HANDLE pipe, void* into, uint32_t count) {
    uint8_t* at = static_cast<uint8_t*>(into);
    uint32_t received = 0;
    while (received < count) {
        DWORD got = 0;
        if (!ReadFile(pipe, at + received, count - received, &got, nullptr) || got == 0) return false;
        received += got;
    }
    return true;
}

bool writeFully(HANDLE pipe, const void* from, uint32_t count) {
    const uint8_t* at = static_cast<const uint8_t*>(from);
    uint32_t sent = 0;
    while (sent < count) {
        DWORD put = 0;
        if (!WriteFile(pipe, at + sent, count - sent, &put, nullptr) || put == 0) return false;
        sent += put;
    }
    return true;
}

// An array of the length the peer announced, or null without an exception
// pending: a negative length is never passed to the VM, and an array it
// cannot allocate leaves an OutOfMemoryError that a native must not throw.
jbyteArray newPayloadArray(JNIEnv* env, int32_t length) {
    if (length < 0) return nullptr;
    jbyteArray payload = env->NewByteArray(length);
    if (!payload && env->ExceptionCheck()) env->ExceptionClear();
    return payload;
}

bool readPayload(JNIEnv* env, HANDLE pipe, jbyteArray payload, int32_t length) {
    if (length == 0) return true;
    jbyte* bytes = env->GetByteArrayElements(payload, nullptr);
    if (!bytes) {
        if (env->ExceptionCheck()) env->ExceptionClear();
        return false;
    }
    bool complete = readFully(pipe, bytes, static_cast<uint32_t>(length));
    env->ReleaseByteArrayElements(payload, bytes, 0);
    return complete;
}

bool writePayload(JNIEnv* env, HANDLE pipe, jbyteArray data, jsize length) {
    if (length == 0) return true;
    jbyte* bytes = env->GetByteArrayElements(data, nullptr);
    if (!bytes) {
        if (env->ExceptionCheck()) env->ExceptionClear();
        return false;
    }
    bool complete = writeFully(pipe, bytes, static_cast<uint32_t>(length));
    env->ReleaseByteArrayElements(data, bytes, JNI_ABORT);
    return complete;
}

}  // namespace

extern "C" {

JNIEXPORT jlong JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_getInvalidHandle0(
    JNIEnv*, jclass) {
    return kInvalidHandle;
}

// One duplex byte-stream instance for local clients only; a second
// listener on the same name fails while the first is open.
JNIEXPORT jlong JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_createListener0(
    JNIEnv* env, jclass, jstring pipeName) {
    JavaWide name(env, pipeName);
    if (name.isNull() || name.failed()) return kInvalidHandle;
    HANDLE pipe = CreateNamedPipeW(name.get(), PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                                   kPipeBufferBytes, kPipeBufferBytes, 0, nullptr);
    return pipe == INVALID_HANDLE_VALUE ? kInvalidHandle : javaHandle(pipe);
}

JNIEXPORT jbyteArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_readDataBlock0(
    JNIEnv* env, jclass, jlong handle) {
    if (handle == kInvalidHandle) return nullptr;
    HANDLE pipe = pipeOf(handle);
    uint8_t field[kBlockLengthBytes];
    if (!readFully(pipe, field, kBlockLengthBytes)) return nullptr;
    int32_t length = decodeBlockLength(field);
    jbyteArray payload = newPayloadArray(env, length);
    if (!payload) return nullptr;
    if (!readPayload(env, pipe, payload, length)) {
        env->DeleteLocalRef(payload);
        return nullptr;
    }
    return payload;
}

// True once the length, the payload and the flush (which waits until the
// peer has read everything) succeeded.
JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_writeDataBlock0(
    JNIEnv* env, jclass, jlong handle, jbyteArray data) {
    if (handle == kInvalidHandle || !data) return JNI_FALSE;
    HANDLE pipe = pipeOf(handle);
    jsize length = env->GetArrayLength(data);
    uint8_t field[kBlockLengthBytes];
    encodeBlockLength(length, field);
    if (!writeFully(pipe, field, kBlockLengthBytes)) return JNI_FALSE;
    if (!writePayload(env, pipe, data, length)) return JNI_FALSE;
    // A block that fits the pipe's buffer is written at once; only the
    // flush tells whether the peer took it or closed its end unread.
    return FlushFileBuffers(pipe) ? JNI_TRUE : JNI_FALSE;
}

// Opens the client end, waiting for a free instance first; 0 when it
// cannot be opened within the retries.
JNIEXPORT jlong JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_connectClient0(
    JNIEnv* env, jclass, jstring pipeName) {
    JavaWide name(env, pipeName);
    if (name.isNull() || name.failed()) return 0;
    WaitNamedPipeW(name.get(), kFirstClientWaitMilliseconds);
    for (int failures = 0;;) {
        // The server may learn who the client is, but not act as it: the
        // backend never impersonates, and a process that took the name first
        // must not gain an elevated client's rights.
        HANDLE pipe = g_pipeFunctions.createFile(name.get(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                                 SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
        if (pipe != INVALID_HANDLE_VALUE) return javaHandle(pipe);
        if (++failures > g_pipeFunctions.clientFailureLimit) {
            printf("could not open file %d %ls\n", static_cast<int>(GetLastError()), name.get());
            fflush(stdout);
            return 0;
        }
        Sleep(g_pipeFunctions.retryPauseMilliseconds);
        WaitNamedPipeW(name.get(), kRetryClientWaitMilliseconds);
    }
}

// Waits until a client is connected; a client that came between the
// instance's creation and this call counts as connected. One that came and
// went again leaves the instance closing (ERROR_NO_DATA), which takes no
// other client until it is disconnected.
JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_connectNamedPipe0(
    JNIEnv*, jclass, jlong handle) {
    if (handle == kInvalidHandle) return JNI_FALSE;
    for (int failures = 0;;) {
        if (g_pipeFunctions.connectNamedPipe(pipeOf(handle), nullptr)) return JNI_TRUE;
        DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) return JNI_TRUE;
        if (error == ERROR_NO_DATA) DisconnectNamedPipe(pipeOf(handle));
        if (++failures > g_pipeFunctions.serverFailureLimit) {
            printf("could not connect named pipe %d\n", static_cast<int>(error));
            fflush(stdout);
            return JNI_FALSE;
        }
        Sleep(g_pipeFunctions.retryPauseMilliseconds);
    }
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_disconnectNamedPipe0(
    JNIEnv*, jclass, jlong handle) {
    if (handle != kInvalidHandle) DisconnectNamedPipe(pipeOf(handle));
}

JNIEXPORT void JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_closeHandle0(
    JNIEnv*, jclass, jlong handle) {
    if (handle != kInvalidHandle) CloseHandle(pipeOf(handle));
}

JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_getCurrentProcessId0(
    JNIEnv*, jclass) {
    return static_cast<jint>(GetCurrentProcessId());
}

// A process that exists but cannot be opened (access denied) counts as alive.
JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32CommunicationBackend_isProcessAlive0(
    JNIEnv*, jclass, jint pid) {
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED ? JNI_TRUE : JNI_FALSE;
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE ? JNI_TRUE : JNI_FALSE;
}

}  // extern "C"

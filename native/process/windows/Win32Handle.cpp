// The current process's open files with their kernel object names, for the
// Java side to release files it still holds before they are replaced.
//
// The handle table is read in its extended form (class 64), whose entries
// carry the full handle value and process id: the classic form (class 16)
// cuts handle values to 16 bits, so in a process with more than 16384
// handles it would list, and let the caller close, values that name other
// objects.
#include "native/process/windows/Win32Handle.h"

#include <jni.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"
#include "native/frame/windows/OptionalBinding.h"
#include "native/process/HandleTable.h"

HandleFunctions g_handleFunctions = {};

namespace {

const NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
const NTSTATUS kBufferTooSmall = static_cast<NTSTATUS>(0xC0000023);
const ULONG kFirstTableBytes = 65536;
const ULONG kObjectInfoBytes = 4096;
const ULONG kObjectNameInformation = 1;
const ULONG kObjectTypeInformation = 2;
const ULONG kCloseSource = 1;  // DUPLICATE_CLOSE_SOURCE
// Named pipes opened this way can block a name query for ever.
const ULONG kSkippedAccess = 0x0012019F;

bool succeeded(NTSTATUS status) { return status >= 0; }

bool bindListing() {
    return bindFromLoadedModule(g_handleFunctions.querySystemInformation, L"ntdll.dll",
                                "NtQuerySystemInformation") &&
           bindFromLoadedModule(g_handleFunctions.duplicateObject, L"ntdll.dll", "NtDuplicateObject") &&
           bindFromLoadedModule(g_handleFunctions.queryObject, L"ntdll.dll", "NtQueryObject") &&
           bindFromLoadedModule(g_handleFunctions.createThread, L"kernel32.dll", "CreateThread");
}

bool bindLinks() {
    return bindFromLoadedModule(g_handleFunctions.openSymbolicLink, L"ntdll.dll", "NtOpenSymbolicLinkObject") &&
           bindFromLoadedModule(g_handleFunctions.querySymbolicLink, L"ntdll.dll", "NtQuerySymbolicLinkObject");
}

// The whole handle table, the buffer doubling from 64 KiB while the system
// reports it too small; empty on another failure.
std::vector<uint8_t> querySystemHandleTable() {
    std::vector<uint8_t> table(kFirstTableBytes);
    for (;;) {
        ULONG returned = 0;
        NTSTATUS status = g_handleFunctions.querySystemInformation(
            kExtendedHandleInformationClass, table.data(), static_cast<ULONG>(table.size()), &returned);
        if (succeeded(status)) return table;
        if (status != kInfoLengthMismatch || table.size() > 0x40000000u) {
            printf("NtQuerySystemInformation failed!\n");
            return std::vector<uint8_t>();
        }
        table.assign(table.size() * 2, 0);
    }
}

// The object's name into buffer, grown once to the size the first query
// asked for.
bool queryObjectName(HANDLE object, std::vector<uint8_t>& buffer) {
    ULONG needed = 0;
    if (succeeded(g_handleFunctions.queryObject(object, kObjectNameInformation, buffer.data(),
                                                static_cast<ULONG>(buffer.size()), &needed)))
        return true;
    if (needed <= buffer.size()) return false;
    buffer.assign(needed, 0);
    return succeeded(g_handleFunctions.queryObject(object, kObjectNameInformation, buffer.data(), needed, &needed));
}

// A name query waits for the file object's lock, which a thread blocked in
// synchronous I/O on that object (reading a pipe or the console, say)
// holds until the I/O ends, possibly for ever.  So a file's name is asked
// for on a thread of its own, and a query that has not answered in time is
// left behind, its handle left out of the list.
const DWORD kNameQueryLimitMillis = 250;
const SIZE_T kNameQueryStackBytes = 64 * 1024;

// What a name query and its caller share; whichever lets go last frees it,
// so that a query left behind still has its handle and buffer when it ends.
struct NameQuery {
    UniqueHandle object;
    uint64_t objectAddress = 0;
    uint64_t sourceValue = 0;  // the listed handle the duplicate was made of
    uint64_t ownValue = 0;     // the duplicate's own value
    std::vector<uint8_t> name = std::vector<uint8_t>(kObjectInfoBytes);
    bool answered = false;
    bool ended = false;    // under g_waitingLock
    bool waiting = false;  // listed in g_waitingQueries
    LONG holders = 2;
};

// The name queries left behind that still wait.  Each waits for its
// object's lock, so asking again, for this or another handle of the object,
// would only leave one more thread waiting: later lists leave those handles
// out at once.  Where the table gives no object address (0), the handle
// that was asked for and the query's own duplicate are still known, and are
// left out; without that, every list would ask for the duplicates the last
// one left behind, doubling the waiting threads each time.
SRWLOCK g_waitingLock = SRWLOCK_INIT;
std::vector<const NameQuery*> g_waitingQueries;

bool waitsFor(const NameQuery& query, const HandleTableEntry& entry) {
    return (entry.object != 0 && entry.object == query.objectAddress) || entry.value == query.sourceValue ||
           entry.value == query.ownValue;
}

bool nameQueryStillWaits(const HandleTableEntry& entry) {
    AcquireSRWLockExclusive(&g_waitingLock);
    bool waits = std::any_of(g_waitingQueries.begin(), g_waitingQueries.end(),
                             [&entry](const NameQuery* query) { return waitsFor(*query, entry); });
    ReleaseSRWLockExclusive(&g_waitingLock);
    return waits;
}

void markLeftBehind(NameQuery* query) {
    AcquireSRWLockExclusive(&g_waitingLock);
    if (!query->ended) {
        g_waitingQueries.push_back(query);
        query->waiting = true;
    }
    ReleaseSRWLockExclusive(&g_waitingLock);
}

void markEnded(NameQuery* query) {
    AcquireSRWLockExclusive(&g_waitingLock);
    query->ended = true;
    if (query->waiting) g_waitingQueries.erase(std::find(g_waitingQueries.begin(), g_waitingQueries.end(), query));
    ReleaseSRWLockExclusive(&g_waitingLock);
}

void letGo(NameQuery* query) {
    if (InterlockedDecrement(&query->holders) == 0) delete query;
}

DWORD WINAPI runNameQuery(LPVOID parameter) {
    NameQuery* query = static_cast<NameQuery*>(parameter);
    query->answered = queryObjectName(query->object.get(), query->name);
    markEnded(query);
    letGo(query);
    return 0;
}

// The name of a file object into `name`, unless the query takes longer
// than kNameQueryLimitMillis.  Without a thread to spare it is asked here.
bool queryFileNameInTime(UniqueHandle object, const HandleTableEntry& entry, std::vector<uint8_t>& name) {
    NameQuery* query = new NameQuery;
    query->ownValue = reinterpret_cast<ULONG_PTR>(object.get());
    query->object = std::move(object);
    query->objectAddress = entry.object;
    query->sourceValue = entry.value;
    UniqueHandle thread(g_handleFunctions.createThread(nullptr, kNameQueryStackBytes, runNameQuery, query,
                                                       STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread.valid()) {
        runNameQuery(query);  // lets go of the thread's hold; the caller's is let go below
    } else if (WaitForSingleObject(thread.get(), kNameQueryLimitMillis) != WAIT_OBJECT_0) {
        markLeftBehind(query);
        letGo(query);
        return false;
    }
    bool answered = query->answered;
    if (answered) name.swap(query->name);
    letGo(query);
    return answered;
}

// The kernel object name of a file handle of this process, or null when the
// handle is not a file, has no name or cannot be queried.  Only files are
// asked for their names: the list keeps nothing else.
jstring fileObjectName(JNIEnv* env, const HandleTableEntry& entry) {
    if (nameQueryStillWaits(entry)) return nullptr;
    HANDLE self = GetCurrentProcess();
    UniqueHandle duplicate;
    HANDLE source = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(entry.value));
    if (!succeeded(g_handleFunctions.duplicateObject(self, source, self, duplicate.put(), 0, 0, 0))) return nullptr;
    std::vector<uint8_t> type(kObjectInfoBytes);
    if (!succeeded(g_handleFunctions.queryObject(duplicate.get(), kObjectTypeInformation, type.data(),
                                                 kObjectInfoBytes, nullptr)))
        return nullptr;
    if (entry.grantedAccess == kSkippedAccess) return nullptr;
    const UNICODE_STRING* typeName = reinterpret_cast<const UNICODE_STRING*>(type.data());
    if (!isFileTypeName(reinterpret_cast<const char16_t*>(typeName->Buffer), typeName->Length)) return nullptr;
    std::vector<uint8_t> name;
    if (!queryFileNameInTime(std::move(duplicate), entry, name)) return nullptr;
    const UNICODE_STRING* objectName = reinterpret_cast<const UNICODE_STRING*>(name.data());
    if (objectName->Length == 0 || !objectName->Buffer) return nullptr;
    return javaStringFromWide(env, objectName->Buffer, objectName->Length / sizeof(wchar_t));
}

jobjectArray handleListResult(JNIEnv* env, const std::vector<jint>& values, const JavaStringList& names) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) return nullptr;
    jobjectArray nameArray = env->NewObjectArray(static_cast<jsize>(names.size()), stringClass, nullptr);
    if (!nameArray) return nullptr;
    jsize index = 0;
    for (jstring name : names.items()) env->SetObjectArrayElement(nameArray, index++, name);
    jintArray valueArray = env->NewIntArray(static_cast<jsize>(values.size()));
    if (!valueArray) return nullptr;
    if (!values.empty()) env->SetIntArrayRegion(valueArray, 0, static_cast<jsize>(values.size()), values.data());
    jclass objectClass = env->FindClass("java/lang/Object");
    if (!objectClass) return nullptr;
    jobjectArray result = env->NewObjectArray(2, objectClass, nullptr);
    if (!result) return nullptr;
    env->SetObjectArrayElement(result, 0, valueArray);
    env->SetObjectArrayElement(result, 1, nameArray);
    return result;
}

// The target of a link that NtQuerySymbolicLinkObject reported as
// `needed` bytes long.
jstring queryLinkTarget(JNIEnv* env, HANDLE link, const wchar_t* linkName, ULONG needed) {
    std::vector<wchar_t> units(needed / 2 + 1);
    UNICODE_STRING target = {0, static_cast<USHORT>(needed + 2 > 0xFFFF ? 0xFFFF : needed + 2), units.data()};
    if (target.MaximumLength > units.size() * sizeof(wchar_t))
        target.MaximumLength = static_cast<USHORT>(units.size() * sizeof(wchar_t));
    if (!succeeded(g_handleFunctions.querySymbolicLink(link, &target, &needed))) {
        printf("could not query link %ls\n", linkName);
        fflush(stdout);
        return nullptr;
    }
    return javaStringFromWide(env, target.Buffer, target.Length / sizeof(wchar_t));
}

}  // namespace

extern "C" {

JNIEXPORT jobjectArray JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Handle_list0(JNIEnv* env,
                                                                                                 jclass) {
    if (!bindListing()) return nullptr;
    std::vector<uint8_t> table = querySystemHandleTable();
    if (table.empty()) {
        fflush(stdout);
        return nullptr;
    }
    std::vector<jint> values;
    JavaStringList names;
    for (const HandleTableEntry& entry : extendedHandlesOfProcess(table.data(), table.size(), GetCurrentProcessId())) {
        if (!handleValueFitsInt(entry.value)) continue;
        jstring name = fileObjectName(env, entry);
        if (!name) continue;
        values.push_back(static_cast<jint>(entry.value));
        names.add(name);
    }
    fflush(stdout);
    jobjectArray result = handleListResult(env, values, names);
    if (!result && env->ExceptionCheck()) env->ExceptionClear();
    return result;
}

// Closes a handle of this process whatever code still uses it. Negative
// values are the pseudo-handles of the process and thread, never closed.
JNIEXPORT jboolean JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Handle_close0(JNIEnv*, jclass,
                                                                                              jint handle) {
    if (!bindFromLoadedModule(g_handleFunctions.duplicateObject, L"ntdll.dll", "NtDuplicateObject")) return JNI_FALSE;
    if (handle < 0) return JNI_FALSE;
    HANDLE self = GetCurrentProcess();
    HANDLE source = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(static_cast<uint32_t>(handle)));
    HANDLE duplicate = nullptr;
    if (!succeeded(g_handleFunctions.duplicateObject(self, source, self, &duplicate, 0, 0, kCloseSource)))
        return JNI_FALSE;
    CloseHandle(duplicate);
    return JNI_TRUE;
}

JNIEXPORT jstring JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Handle_getDeviceName0(JNIEnv* env,
                                                                                                    jclass,
                                                                                                    jstring linkName) {
    if (!linkName) return nullptr;
    if (!bindLinks()) {
        printf("did not find functions\n");
        fflush(stdout);
        return nullptr;
    }
    JavaWide name(env, linkName);
    if (name.failed()) return nullptr;
    size_t units = wcslen(name.get());
    if (units > 0x7FFF) return nullptr;
    UNICODE_STRING counted = {static_cast<USHORT>(units * 2), static_cast<USHORT>(units * 2), name.mutableText()};
    OBJECT_ATTRIBUTES attributes = {};
    attributes.Length = sizeof attributes;
    attributes.ObjectName = &counted;
    UniqueHandle link;
    NTSTATUS status = g_handleFunctions.openSymbolicLink(link.put(), GENERIC_READ, &attributes);
    if (!succeeded(status)) {
        printf("could not open link %ls %p\n", name.get(), reinterpret_cast<void*>(static_cast<ULONG_PTR>(static_cast<ULONG>(status))));
        fflush(stdout);
        return nullptr;
    }
    UNICODE_STRING empty = {0, 0, nullptr};
    ULONG needed = 0;
    status = g_handleFunctions.querySymbolicLink(link.get(), &empty, &needed);
    if (status != kBufferTooSmall) {
        printf("could not query link length %ls\n", name.get());
        fflush(stdout);
        return nullptr;
    }
    jstring target = queryLinkTarget(env, link.get(), name.get(), needed);
    fflush(stdout);
    return target;
}

}  // extern "C"

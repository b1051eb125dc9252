#include "native/frame/RegistrationTable.h"

#include <cstring>

const char kNativePackage[] = "com/tavra/runtime/installer/platform/win32";

namespace {

const NativeMethodRow kAclHandling[] = {
    {"addACE", "(Ljava/lang/String;ZZZZZILjava/lang/String;)Z"},
};

const NativeMethodRow kFileVersion[] = {
    {"compare0", "(Ljava/lang/String;Ljava/lang/String;)I"},
};

const NativeMethodRow kFolderInfo[] = {
    {"getSpecialFolder0", "(IZ)Ljava/lang/String;"},
    {"getPathFromRegistry0", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"getWindowsDirectory0", "()Ljava/lang/String;"},
    {"getSystemDirectory0", "()Ljava/lang/String;"},
    {"getDriveType0", "(Ljava/lang/String;)I"},
    {"getShortPathName0", "(Ljava/lang/String;)Ljava/lang/String;"},
    {"getUniversalPathName0", "(Ljava/lang/String;)Ljava/lang/String;"},
};

const NativeMethodRow kMisc[] = {
    {"reboot0", "()V"},
    {"getRunningModules0", "(Z)[Ljava/lang/String;"},
    {"getEnvVarPairs0", "()[Ljava/lang/String;"},
    {"broadcastSettingChange0", "()V"},
    {"getPhysicalMemory0", "()J"},
    {"getFreeDiskSpace0", "(Ljava/lang/String;)J"},
    {"moveWithDelayUntilReboot0", "(Ljava/lang/String;Ljava/lang/String;)Z"},
    {"toFront0", "()V"},
    {"terminateProcesses0", "([IZI)I"},
    {"getWindowTitle0", "(I)Ljava/lang/String;"},
    {"setForegroundWindow0", "(J)V"},
    {"getTopLevelWindows0", "(Ljava/lang/Class;I)[Lcom/tavra/api/windows/WindowInfo;"},
    {"getPidFromHandle0", "(J)I"},
};

const NativeMethodRow kObjectPicker[] = {
    {"show0", "(ZZZZZ)[Lcom/tavra/runtime/installer/platform/win32/ObjectPicker$Result;"},
};

const NativeMethodRow kShellLink[] = {
    {"createWide0",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;"
     "Ljava/lang/String;ZLjava/lang/String;I)Z"},
    {"changeNotify0", "([B[B)Z"},
    {"initialize0", "()Z"},
    {"uninitialize", "()Z"},
};

const NativeMethodRow kVistaFileChooser[] = {
    {"initialize0", "()V"},
    {"displayDialog0",
     "(JLjava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IIZ"
     "Ljava/lang/String;[Ljava/lang/String;[Ljava/lang/String;I[Ljava/lang/String;[Z)"
     "[Ljava/lang/String;"},
};

const NativeMethodRow kVistaTaskDialog[] = {
    {"show0",
     "(JLjava/lang/String;Ljava/lang/String;Ljava/lang/String;IIILjava/lang/String;"
     "[Ljava/lang/String;I)I"},
};

const NativeMethodRow kWin32CommunicationBackend[] = {
    {"getInvalidHandle0", "()J"},
    {"createListener0", "(Ljava/lang/String;)J"},
    {"readDataBlock0", "(J)[B"},
    {"writeDataBlock0", "(J[B)Z"},
    {"connectClient0", "(Ljava/lang/String;)J"},
    {"connectNamedPipe0", "(J)Z"},
    {"disconnectNamedPipe0", "(J)V"},
    {"closeHandle0", "(J)V"},
    {"isProcessAlive0", "(I)Z"},
    {"getCurrentProcessId0", "()I"},
};

const NativeMethodRow kWin32Proxy[] = {
    {"getIEConfig0", "([Ljava/lang/String;)I"},
    {"getDefaultConfig0", "([Ljava/lang/String;)I"},
    {"getAutoProxyConfig0", "([Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IIZ)J"},
    {"loadFunctions0", "()Z"},
};

const NativeMethodRow kWin32UserInfo[] = {
    {"isMemberOfGroup0", "(I)Z"},
    {"executeElevated0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)Z"},
    {"getElevationType0", "()I"},
    {"addUser0",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;"
     "Ljava/lang/String;ZZ)Ljava/lang/String;"},
    {"deleteUser0", "(Ljava/lang/String;Ljava/lang/String;)I"},
    {"deleteLocalGroup0", "(Ljava/lang/String;Ljava/lang/String;)I"},
    {"getAccountName0", "(Ljava/lang/String;Z)Ljava/lang/String;"},
    {"getUserProfileDirectory0", "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;"},
    {"getUserSid0", "()Ljava/lang/String;"},
    {"setLsaAccountRight0", "(Ljava/lang/String;Ljava/lang/String;Z)Z"},
};

const NativeMethodRow kRegistry[] = {
    {"keyExists0", "(ILjava/lang/String;I)Z"},
    {"createKey0", "(ILjava/lang/String;I)Z"},
    {"getValue0", "(ILjava/lang/String;Ljava/lang/String;I)Ljava/lang/Object;"},
    {"setValue0", "(ILjava/lang/String;Ljava/lang/String;Ljava/lang/Object;II)Z"},
    {"deleteValue0", "(ILjava/lang/String;Ljava/lang/String;I)V"},
    {"deleteKey0", "(ILjava/lang/String;ZI)V"},
    {"saveKey0", "(ILjava/lang/String;Ljava/lang/String;I)Z"},
    {"restoreKey0", "(ILjava/lang/String;Ljava/lang/String;I)Z"},
    {"enumSubKeys0", "(ILjava/lang/String;I)[Ljava/lang/String;"},
    {"enumValues0", "(ILjava/lang/String;I)[Ljava/lang/String;"},
    {"changeNotifyAssociations0", "()V"},
};

const NativeMethodRow kWin32Exec[] = {
    {"launch0", "(Ljava/lang/String;Ljava/lang/String;)I"},
};

const NativeMethodRow kWin32Handle[] = {
    {"list0", "()[Ljava/lang/Object;"},
    {"close0", "(I)Z"},
    {"getDeviceName0", "(Ljava/lang/String;)Ljava/lang/String;"},
};

const NativeMethodRow kWin32Services[] = {
    {"installService0", "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I"},
    {"changeServiceConfig0",
     "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;IILjava/lang/String;"
     "Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)I"},
    {"setRestartServiceConfig0", "(Ljava/lang/String;ZI)I"},
    {"setDelayedAutoStart0", "(Ljava/lang/String;Z)I"},
    {"stopService0", "(Ljava/lang/String;I)I"},
    {"startService0", "(Ljava/lang/String;[Ljava/lang/String;)I"},
    {"uninstallService0", "(Ljava/lang/String;)I"},
    {"queryStatus0", "(Ljava/lang/String;)I"},
    {"getStartType0", "(Ljava/lang/String;)I"},
    {"getServiceBinary0", "(Ljava/lang/String;)Ljava/lang/String;"},
};

#define TVR_CLASS_ROWS(name, rows) {name, rows, sizeof(rows) / sizeof(rows[0])}

const NativeClassRows kRegistrationClasses[] = {
    TVR_CLASS_ROWS("ACLHandling", kAclHandling),
    TVR_CLASS_ROWS("FileVersion", kFileVersion),
    TVR_CLASS_ROWS("FolderInfo", kFolderInfo),
    TVR_CLASS_ROWS("Misc", kMisc),
    TVR_CLASS_ROWS("ObjectPicker", kObjectPicker),
    TVR_CLASS_ROWS("ShellLink", kShellLink),
    TVR_CLASS_ROWS("VistaFileChooser", kVistaFileChooser),
    TVR_CLASS_ROWS("VistaTaskDialog", kVistaTaskDialog),
    TVR_CLASS_ROWS("Win32CommunicationBackend", kWin32CommunicationBackend),
    TVR_CLASS_ROWS("Win32Proxy", kWin32Proxy),
    TVR_CLASS_ROWS("Win32UserInfo", kWin32UserInfo),
    TVR_CLASS_ROWS("Registry", kRegistry),
    TVR_CLASS_ROWS("Win32Exec", kWin32Exec),
    TVR_CLASS_ROWS("Win32Handle", kWin32Handle),
    TVR_CLASS_ROWS("Win32Services", kWin32Services),
};

// The byte-array variant of shortcut creation, bound by name only.
const NativeMethodRow kShellLinkExportOnly[] = {
    {"create0", "(Ljava/lang/String;[B[B[B[BZ[B)Z"},
};

const NativeClassRows kExportOnlyClasses[] = {
    TVR_CLASS_ROWS("ShellLink", kShellLinkExportOnly),
};

#undef TVR_CLASS_ROWS

const char kExportPrefix[] = "Java_";

// Appends one character to out; false when the terminating NUL would not fit.
bool appendChar(char c, char* out, size_t capacity, size_t& length) {
    if (length + 1 >= capacity) return false;
    out[length++] = c;
    out[length] = 0;
    return true;
}

bool appendText(const char* text, char* out, size_t capacity, size_t& length) {
    for (const char* p = text; *p; ++p)
        if (!appendChar(*p, out, capacity, length)) return false;
    return true;
}

bool isAsciiAlphanumeric(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// One character of a class path or method name in JNI short-name form:
// "/" separates name parts ("_"), "_" is "_1", ";" "_2", "[" "_3", and any
// other non-alphanumeric ASCII character "_0xxxx" (lower-case hex).
bool appendMangled(unsigned char c, char* out, size_t capacity, size_t& length) {
    if (c >= 0x80) return false;
    if (isAsciiAlphanumeric(c)) return appendChar(static_cast<char>(c), out, capacity, length);
    switch (c) {
    case '/': return appendChar('_', out, capacity, length);
    case '_': return appendText("_1", out, capacity, length);
    case ';': return appendText("_2", out, capacity, length);
    case '[': return appendText("_3", out, capacity, length);
    default: break;
    }
    static const char kHex[] = "0123456789abcdef";
    char escape[] = {'_', '0', '0', '0', kHex[c >> 4], kHex[c & 0xF], 0};
    return appendText(escape, out, capacity, length);
}

bool appendMangledText(const char* text, char* out, size_t capacity, size_t& length) {
    for (const char* p = text; *p; ++p)
        if (!appendMangled(static_cast<unsigned char>(*p), out, capacity, length)) return false;
    return true;
}

// Leaves an empty string behind a failed build, so a caller that ignores
// the result never uses a truncated name.
bool failEmpty(char* out, size_t capacity) {
    if (capacity > 0) out[0] = 0;
    return false;
}

}  // namespace

const NativeClassRows* registrationClasses() { return kRegistrationClasses; }

size_t registrationClassCount() { return sizeof(kRegistrationClasses) / sizeof(kRegistrationClasses[0]); }

size_t registrationRowCount() {
    size_t rows = 0;
    for (size_t i = 0; i < registrationClassCount(); ++i) rows += kRegistrationClasses[i].rowCount;
    return rows;
}

const NativeClassRows* exportOnlyClasses() { return kExportOnlyClasses; }

size_t exportOnlyClassCount() { return sizeof(kExportOnlyClasses) / sizeof(kExportOnlyClasses[0]); }

bool jniClassPath(const char* className, char* out, size_t capacity) {
    if (capacity == 0) return false;
    size_t length = 0;
    out[0] = 0;
    if (!appendText(kNativePackage, out, capacity, length) || !appendChar('/', out, capacity, length) ||
        !appendText(className, out, capacity, length))
        return failEmpty(out, capacity);
    return true;
}

bool jniExportName(const char* className, const char* methodName, char* out, size_t capacity) {
    if (capacity == 0) return false;
    size_t length = 0;
    out[0] = 0;
    if (!appendText(kExportPrefix, out, capacity, length) ||
        !appendMangledText(kNativePackage, out, capacity, length) || !appendChar('_', out, capacity, length) ||
        !appendMangledText(className, out, capacity, length) || !appendChar('_', out, capacity, length) ||
        !appendMangledText(methodName, out, capacity, length))
        return failEmpty(out, capacity);
    return true;
}

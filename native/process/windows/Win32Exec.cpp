// Starts a process for the Java side without waiting for it.
#include <windows.h>

#include <jni.h>

#include "native/frame/windows/JniStrings.h"
#include "native/frame/windows/NativeHandles.h"

extern "C" {

// 0 when the process started, else the Windows error code. CreateProcessW
// may write into the command line, so it gets the writable copy; a null
// command line stays null (the application name alone is run), and with
// neither there is nothing to run (ERROR_INVALID_PARAMETER).
JNIEXPORT jint JNICALL Java_com_tavra_runtime_installer_platform_win32_Win32Exec_launch0(JNIEnv* env, jclass,
                                                                                         jstring applicationName,
                                                                                         jstring commandLine) {
    JavaWide application(env, applicationName), command(env, commandLine);
    if (anyCopyFailed(application, command)) return ERROR_NOT_ENOUGH_MEMORY;
    // Nothing to start: CreateProcessW would read the missing command line.
    if (application.isNull() && command.isNull()) return ERROR_INVALID_PARAMETER;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(application.get(), command.mutableText(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &started))
        return static_cast<jint>(GetLastError());
    UniqueHandle process(started.hProcess), thread(started.hThread);
    return 0;
}

}  // extern "C"

package com.tavra.runtime.installer.platform.win32;

import com.tavra.api.windows.WindowInfo;

/**
 * Processes, windows, memory, disks and system settings. The methods are
 * natives of tvrinst.
 */
public final class Misc {
    static {
        Common.loadNativeLibrary();
    }

    private Misc() {
    }

    public static native void reboot0();

    public static native String[] getRunningModules0(boolean keepDebugPrivilegeOff);

    public static native String[] getEnvVarPairs0();

    public static native void broadcastSettingChange0();

    public static native long getPhysicalMemory0();

    public static native long getFreeDiskSpace0(String path);

    public static native boolean moveWithDelayUntilReboot0(String from, String to);

    public static native void toFront0();

    public static native int terminateProcesses0(int[] pids, boolean force, int timeoutMillis);

    public static native String getWindowTitle0(int pid);

    public static native void setForegroundWindow0(long hwnd);

    public static native WindowInfo[] getTopLevelWindows0(Class<?> windowInfoClass, int pid);

    public static native int getPidFromHandle0(long processHandle);
}

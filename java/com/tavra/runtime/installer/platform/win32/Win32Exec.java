package com.tavra.runtime.installer.platform.win32;

/**
 * Starting a process without waiting for it. The methods are natives of
 * tvrinst.
 */
public final class Win32Exec {
    static {
        Common.loadNativeLibrary();
    }

    private Win32Exec() {
    }

    public static native int launch0(String applicationName, String commandLine);
}

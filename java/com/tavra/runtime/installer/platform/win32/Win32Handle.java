package com.tavra.runtime.installer.platform.win32;

/**
 * The open handles of this process. The methods are natives of tvrinst.
 */
public final class Win32Handle {
    static {
        Common.loadNativeLibrary();
    }

    private Win32Handle() {
    }

    public static native Object[] list0();

    public static native boolean close0(int handle);

    public static native String getDeviceName0(String linkName);
}

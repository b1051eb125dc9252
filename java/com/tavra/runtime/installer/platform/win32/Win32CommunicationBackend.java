package com.tavra.runtime.installer.platform.win32;

/**
 * Named-pipe blocks between processes. The methods are natives of tvrinst.
 */
public final class Win32CommunicationBackend {
    static {
        Common.loadNativeLibrary();
    }

    private Win32CommunicationBackend() {
    }

    public static native long getInvalidHandle0();

    public static native long createListener0(String pipeName);

    public static native byte[] readDataBlock0(long handle);

    public static native boolean writeDataBlock0(long handle, byte[] data);

    public static native long connectClient0(String pipeName);

    public static native boolean connectNamedPipe0(long handle);

    public static native void disconnectNamedPipe0(long handle);

    public static native void closeHandle0(long handle);

    public static native boolean isProcessAlive0(int pid);

    public static native int getCurrentProcessId0();
}

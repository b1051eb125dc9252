package com.tavra.runtime.installer.platform.win32;

/**
 * Proxy detection through WinHTTP. The methods are natives of tvrinst.
 */
public final class Win32Proxy {
    static {
        Common.loadNativeLibrary();
    }

    private Win32Proxy() {
    }

    public static native int getIEConfig0(String[] out);

    public static native int getDefaultConfig0(String[] out);

    public static native long getAutoProxyConfig0(String[] out, String url, String autoConfigUrl, int flags,
            int autoDetectFlags, boolean autoLogonIfChallenged);

    public static native boolean loadFunctions0();
}

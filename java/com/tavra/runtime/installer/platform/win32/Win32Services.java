package com.tavra.runtime.installer.platform.win32;

/**
 * Installing, configuring and controlling Windows services. The methods are
 * natives of tvrinst.
 */
public final class Win32Services {
    static {
        Common.loadNativeLibrary();
    }

    private Win32Services() {
    }

    public static native int installService0(String serviceName, String displayName, String binaryPath);

    public static native int changeServiceConfig0(String serviceName, String displayName, String binaryPath,
            int serviceType, int startType, String dependencies, String account, String password,
            String description);

    public static native int setRestartServiceConfig0(String serviceName, boolean restartOnFailure,
            int restartDelayMillis);

    public static native int setDelayedAutoStart0(String serviceName, boolean delayed);

    public static native int stopService0(String serviceName, int timeoutMillis);

    public static native int startService0(String serviceName, String[] arguments);

    public static native int uninstallService0(String serviceName);

    public static native int queryStatus0(String serviceName);

    public static native int getStartType0(String serviceName);

    public static native String getServiceBinary0(String serviceName);
}

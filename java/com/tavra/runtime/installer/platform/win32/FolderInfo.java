package com.tavra.runtime.installer.platform.win32;

/**
 * Special folders, drives and path forms. The methods are natives of
 * tvrinst.
 */
public final class FolderInfo {
    static {
        Common.loadNativeLibrary();
    }

    private FolderInfo() {
    }

    public static native String getSpecialFolder0(int id, boolean common);

    public static native String getPathFromRegistry0(String valueName);

    public static native String getWindowsDirectory0();

    public static native String getSystemDirectory0();

    public static native int getDriveType0(String rootPath);

    public static native String getShortPathName0(String path);

    public static native String getUniversalPathName0(String path);
}

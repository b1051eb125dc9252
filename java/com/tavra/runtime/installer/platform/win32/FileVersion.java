package com.tavra.runtime.installer.platform.win32;

/**
 * Comparison of the version resources of two files. The methods are natives
 * of tvrinst.
 */
public final class FileVersion {
    static {
        Common.loadNativeLibrary();
    }

    private FileVersion() {
    }

    public static native int compare0(String file1, String file2);
}

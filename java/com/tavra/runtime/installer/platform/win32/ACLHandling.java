package com.tavra.runtime.installer.platform.win32;

/**
 * Access control entries of files and registry keys. The methods are natives
 * of tvrinst.
 */
public final class ACLHandling {
    static {
        Common.loadNativeLibrary();
    }

    private ACLHandling() {
    }

    public static native boolean addACE(String objectPath, boolean registryKey, boolean read, boolean write,
            boolean execute, boolean all, int trusteeKind, String account);
}

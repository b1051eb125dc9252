package com.tavra.runtime.installer.platform.win32;

/**
 * Registry keys and values. The methods are natives of tvrinst.
 */
public final class Registry {
    static {
        Common.loadNativeLibrary();
    }

    private Registry() {
    }

    public static native boolean keyExists0(int root, String keyPath, int view);

    public static native boolean createKey0(int root, String keyPath, int view);

    public static native Object getValue0(int root, String keyPath, String valueName, int view);

    public static native boolean setValue0(int root, String keyPath, String valueName, Object value, int type,
            int view);

    public static native void deleteValue0(int root, String keyPath, String valueName, int view);

    public static native void deleteKey0(int root, String keyPath, boolean onlyIfEmpty, int view);

    public static native boolean saveKey0(int root, String keyPath, String file, int view);

    public static native boolean restoreKey0(int root, String keyPath, String file, int view);

    public static native String[] enumSubKeys0(int root, String keyPath, int view);

    public static native String[] enumValues0(int root, String keyPath, int view);

    public static native void changeNotifyAssociations0();
}

package com.tavra.runtime.installer.platform.win32;

/**
 * Shell links (shortcuts) and shell change notifications. COM must be
 * initialised on the calling thread with {@link #initialize0} before a link
 * is created. The methods are natives of tvrinst.
 */
public final class ShellLink {
    static {
        Common.loadNativeLibrary();
    }

    private ShellLink() {
    }

    public static native boolean createWide0(String linkFile, String target, String workingDirectory,
            String iconFile, String arguments, boolean runAsAdministrator, String description,
            int showCommand);

    public static native boolean changeNotify0(byte[] createdItem, byte[] directory);

    public static native boolean initialize0();

    public static native boolean uninitialize();

    /** Byte-array variant: NUL-terminated strings in the system ANSI code page. Bound by name only. */
    public static native boolean create0(String linkFile, byte[] target, byte[] workingDirectory,
            byte[] iconFile, byte[] arguments, boolean runAsAdministrator, byte[] description);
}

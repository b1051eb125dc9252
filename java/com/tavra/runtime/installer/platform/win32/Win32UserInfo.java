package com.tavra.runtime.installer.platform.win32;

/**
 * User accounts, groups, elevation and account rights. The methods are
 * natives of tvrinst.
 */
public final class Win32UserInfo {
    static {
        Common.loadNativeLibrary();
    }

    private Win32UserInfo() {
    }

    public static native boolean isMemberOfGroup0(int rid);

    public static native boolean executeElevated0(String file, String parameters, String directory,
            int showCommand);

    public static native int getElevationType0();

    public static native String addUser0(String userName, String password, String userComment,
            String groupName, String groupComment, boolean createGroup, boolean failIfGroupExists);

    public static native int deleteUser0(String server, String userName);

    public static native int deleteLocalGroup0(String server, String groupName);

    public static native String getAccountName0(String sid, boolean nameOnly);

    public static native String getUserProfileDirectory0(String sid, String password);

    public static native String getUserSid0();

    public static native boolean setLsaAccountRight0(String account, String right, boolean add);
}

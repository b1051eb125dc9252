package com.tavra.runtime.installer.platform.win32;

/**
 * The directory object picker for choosing users and groups. The method is a
 * native of tvrinst.
 */
public final class ObjectPicker {
    static {
        Common.loadNativeLibrary();
    }

    private ObjectPicker() {
    }

    /** The chosen objects, or null when the picker was cancelled or failed. */
    public static native Result[] show0(boolean multiSelect, boolean groups, boolean users,
            boolean wellKnownPrincipals, boolean localComputerOnly);

    /** One chosen object; each field is null when the selection lacks it. */
    public static final class Result {
        private final String name;
        private final String path;
        private final String objectClass;
        private final String userPrincipalName;
        private final String sid;

        public Result(String name, String path, String objectClass, String userPrincipalName, String sid) {
            this.name = name;
            this.path = path;
            this.objectClass = objectClass;
            this.userPrincipalName = userPrincipalName;
            this.sid = sid;
        }

        public String getName() {
            return name;
        }

        /** The directory path (ADsPath). */
        public String getPath() {
            return path;
        }

        public String getObjectClass() {
            return objectClass;
        }

        public String getUserPrincipalName() {
            return userPrincipalName;
        }

        /** The security identifier in string form. */
        public String getSid() {
            return sid;
        }
    }
}

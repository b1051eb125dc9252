package com.tavra.api.windows;

/** Value types of the Windows registry that have no plain Java counterpart. */
public final class WinRegistry {
    private WinRegistry() {
    }

    /** A string value of type REG_EXPAND_SZ, kept unexpanded. */
    public static final class ExpandString {
        private final String value;

        public ExpandString(String value) {
            this.value = value;
        }

        public String getValue() {
            return value;
        }

        @Override
        public String toString() {
            return value;
        }
    }
}

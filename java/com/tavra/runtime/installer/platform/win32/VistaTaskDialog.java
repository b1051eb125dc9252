package com.tavra.runtime.installer.platform.win32;

/**
 * The task dialog with custom buttons. The methods are natives of tvrinst.
 */
public final class VistaTaskDialog {
    static {
        Common.loadNativeLibrary();
    }

    private VistaTaskDialog() {
    }

    public static native int show0(long parentWindow, String windowTitle, String mainInstruction,
            String content, int flags, int iconId, int width, String verificationText, String[] buttonLabels,
            int defaultButtonIndex);
}

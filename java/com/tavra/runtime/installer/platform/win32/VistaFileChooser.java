package com.tavra.runtime.installer.platform.win32;

/**
 * The common item dialog for opening and saving files. The methods are
 * natives of tvrinst.
 */
public final class VistaFileChooser {
    static {
        Common.loadNativeLibrary();
    }

    private VistaFileChooser() {
    }

    public static native void initialize0();

    public static native String[] displayDialog0(long ownerWindow, String title, String okButtonLabel,
            String folder, String fileName, int optionsToSet, int optionsToClear, boolean save,
            String defaultExtension, String[] filterNames, String[] filterPatterns, int filterIndex,
            String[] checkBoxLabels, boolean[] checkBoxStates);
}

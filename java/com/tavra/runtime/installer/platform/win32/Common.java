package com.tavra.runtime.installer.platform.win32;

/**
 * Binds the natives of this package to tvrinst. servicelauncher loads
 * tvrinst itself and registers the natives before the application starts;
 * it calls {@link #initFromLauncher} with true before registering and again
 * with false when registration failed. The classes with natives call
 * {@link #loadNativeLibrary} when they are initialised: after a successful
 * registration by the launcher there is nothing left to load; otherwise the
 * library is loaded by name from java.library.path, once.
 */
public final class Common {
    static final String LIBRARY_NAME = "tvrinst";

    private static boolean preparedByLauncher;
    private static boolean registeredByLauncher;
    private static boolean libraryLoadTried;

    private Common() {
    }

    /** Called by servicelauncher: true before it registers the natives, false when that failed. */
    public static synchronized void initFromLauncher(boolean registered) {
        preparedByLauncher = true;
        registeredByLauncher = registered;
    }

    /** True when servicelauncher prepared the native side of this JVM. */
    public static synchronized boolean isPreparedByLauncher() {
        return preparedByLauncher;
    }

    /** True when servicelauncher registered the natives; they need no library loading. */
    public static synchronized boolean isRegisteredByLauncher() {
        return registeredByLauncher;
    }

    /**
     * Loads tvrinst unless the launcher has registered the natives. A library
     * that cannot be loaded is not an error here: the class stays usable and
     * each native reports UnsatisfiedLinkError when it is called.
     */
    static synchronized void loadNativeLibrary() {
        if (registeredByLauncher || libraryLoadTried) {
            return;
        }
        libraryLoadTried = true;
        try {
            System.loadLibrary(LIBRARY_NAME);
        } catch (UnsatisfiedLinkError | SecurityException e) {
            // Left to the natives' own UnsatisfiedLinkError at their first call.
        }
    }
}

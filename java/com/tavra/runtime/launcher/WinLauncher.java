package com.tavra.runtime.launcher;

/**
 * The launcher class of the tavra flavour of servicelauncher. It starts the
 * application exactly as {@link com.lorix.runtime.WinLauncher#main} does;
 * see there for the arguments.
 */
public final class WinLauncher {
    private WinLauncher() {
    }

    public static void main(String[] args) throws Throwable {
        com.lorix.runtime.WinLauncher.main(args);
    }
}

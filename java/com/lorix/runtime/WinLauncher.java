package com.lorix.runtime;

import java.lang.reflect.Method;

/**
 * Starts the application in the JVM that servicelauncher created in its own
 * process. servicelauncher calls {@link #main} (this class, or
 * {@code com.tavra.runtime.launcher.WinLauncher}, which delegates here) with
 * these arguments, in order:
 * <ol>
 * <li>"true" for a GUI application, otherwise "false"; informational only;</li>
 * <li>the application's main class; a leading "/" selects module mode, where
 * the rest reads "module/class";</li>
 * <li>the file that receives standard error, or "" to leave it alone;</li>
 * <li>the file that receives standard output, or "";</li>
 * <li>"true" to append to those files, "false" to start them empty at each
 * launch;</li>
 * <li>the program path for a console run, the service name when the process
 * is the service's child;</li>
 * <li>then the application's own arguments, passed on unchanged.</li>
 * </ol>
 * A file name that starts with "$" carries variables that only the Java side
 * can resolve: {@code ${installer:sys.tempDir}} becomes the JVM's temporary
 * directory; any other variable stays in the name as written. A file that
 * cannot be opened leaves its stream as it was, with a warning on standard
 * error, and the application still starts. When the system property
 * {@code tavra.noRedir} is "true" (the launcher's plain console run) no
 * stream is redirected: the user watches the output in the console.
 * <p>
 * The process is the service's child exactly when the system property
 * {@code lorix.isService} is "true": the launcher sets it only for the
 * process that the service host starts, whose standard input is the pipe
 * that carries the stop request. A daemon thread then reads standard input,
 * and the line "0" ends the JVM with {@code System.exit(0)}, so the
 * application's shutdown hooks run.
 * <p>
 * A main class that cannot be found, or that has no public static
 * {@code main(String[])}, is reported on (the possibly redirected) standard
 * error and ends {@code main} with an exception, which the native launcher
 * turns into exit code 1. An exception thrown by the application's
 * {@code main} leaves this {@code main} unchanged.
 */
public final class WinLauncher {
    private static volatile SplashConfig splashConfig;

    private WinLauncher() {
    }

    public static void main(String[] args) throws Throwable {
        LaunchArguments launch = LaunchArguments.parse(args);
        if (StopRequestWatcher.isServiceChild(System.getProperties())) {
            StopRequestWatcher.start(System.in);
        }
        OutputRedirection.apply(launch, System.getProperties());
        Method main = findMainOrReport(launch.mainClass);
        ApplicationMain.invoke(main, launch.applicationArguments);
    }

    /**
     * Keeps the splash text settings that servicelauncher passes right after
     * creating the JVM, for the application to read with
     * {@link #getSplashConfig}. The values are kept as given.
     */
    public static void initAwtSplashConfig(boolean enabled, boolean flag,
            String text1, int x1, int y1, String colour1, int colourArgument1a, int colourArgument1b,
            String text2, int x2, int y2, String colour2, int colourArgument2a, int colourArgument2b) {
        SplashConfig.TextLine first = new SplashConfig.TextLine(text1, x1, y1, colour1, colourArgument1a,
                colourArgument1b);
        SplashConfig.TextLine second = new SplashConfig.TextLine(text2, x2, y2, colour2, colourArgument2a,
                colourArgument2b);
        splashConfig = new SplashConfig(enabled, flag, first, second);
    }

    /** The splash settings of {@link #initAwtSplashConfig}, or null when none were passed. */
    public static SplashConfig getSplashConfig() {
        return splashConfig;
    }

    private static Method findMainOrReport(String className) throws ReflectiveOperationException {
        try {
            return ApplicationMain.findMain(className);
        } catch (ReflectiveOperationException e) {
            ApplicationMain.reportStartFailure(e.getMessage());
            throw e;
        }
    }
}

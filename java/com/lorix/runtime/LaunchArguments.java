package com.lorix.runtime;

import java.util.Arrays;

/** The arguments of {@link WinLauncher#main}, split into their meanings. */
final class LaunchArguments {
    /** GUI flag, main class, error file, output file, append flag. */
    static final int FIXED_COUNT = 5;

    // args[0], the GUI flag, changes nothing on the Java side.
    final String mainClass;
    final String errorFile;
    final String outputFile;
    final boolean appendToFiles;
    // args[5], the program path or (in the service's child) the service
    // name, tells the application nothing it needs and is not passed on.
    final String[] applicationArguments;

    private LaunchArguments(String[] args) {
        mainClass = orEmpty(args[1]);
        errorFile = orEmpty(args[2]);
        outputFile = orEmpty(args[3]);
        appendToFiles = isTrue(args[4]);
        int firstApplicationArgument = Math.min(args.length, FIXED_COUNT + 1);
        applicationArguments = Arrays.copyOfRange(args, firstApplicationArgument, args.length);
    }

    /**
     * Splits the launcher's arguments; the program path and everything
     * after it may be missing.
     *
     * @throws IllegalArgumentException when a fixed argument or the main
     *         class is missing, since nothing could be started then
     */
    static LaunchArguments parse(String[] args) {
        if (args == null || args.length < FIXED_COUNT) {
            throw new IllegalArgumentException("expected at least " + FIXED_COUNT
                    + " arguments (GUI flag, main class, error file, output file, append flag), got "
                    + (args == null ? 0 : args.length));
        }
        LaunchArguments parsed = new LaunchArguments(args);
        if (parsed.mainClass.isEmpty()) {
            throw new IllegalArgumentException("no main class given");
        }
        return parsed;
    }

    private static boolean isTrue(String flag) {
        return "true".equalsIgnoreCase(flag);
    }

    private static String orEmpty(String value) {
        return value == null ? "" : value;
    }
}

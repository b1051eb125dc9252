package com.lorix.runtime;

import java.io.File;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.PrintStream;
import java.util.Properties;

/**
 * Points System.err and System.out at the files that the launcher names.
 * The streams write through to the file without a buffer of their own, so
 * nothing is lost when the JVM ends abruptly.
 */
final class OutputRedirection {
    static final String NO_REDIRECT_PROPERTY = "tavra.noRedir";
    static final String TEMP_DIR_VARIABLE = "installer:sys.tempDir";

    private OutputRedirection() {
    }

    static void apply(LaunchArguments launch, Properties properties) {
        if ("true".equals(properties.getProperty(NO_REDIRECT_PROPERTY))) {
            return;
        }
        File errorFile = toFile(launch.errorFile, properties);
        File outputFile = toFile(launch.outputFile, properties);
        PrintStream error = errorFile == null ? null : open(errorFile, launch.appendToFiles, "error");
        PrintStream output;
        if (outputFile != null && error != null && sameFile(errorFile, outputFile)) {
            output = error; // two truncating streams on one file would overwrite each other
        } else {
            output = outputFile == null ? null : open(outputFile, launch.appendToFiles, "output");
        }
        if (error != null) {
            System.setErr(error);
        }
        if (output != null) {
            System.setOut(output);
        }
    }

    /**
     * Replaces the variables of a name that starts with "$": the temporary
     * directory variable becomes java.io.tmpdir; an unknown variable, or a
     * "${" without its "}", stays as written. Other names are returned
     * unchanged.
     */
    static String resolveVariables(String name, Properties properties) {
        if (!name.startsWith("$")) {
            return name;
        }
        StringBuilder resolved = new StringBuilder();
        int position = 0;
        while (position < name.length()) {
            int start = name.indexOf("${", position);
            int end = start < 0 ? -1 : name.indexOf('}', start + 2);
            if (end < 0) {
                resolved.append(name, position, name.length());
                break;
            }
            resolved.append(name, position, start);
            String variable = name.substring(start + 2, end);
            String value = variableValue(variable, properties);
            resolved.append(value != null ? value : name.substring(start, end + 1));
            position = end + 1;
        }
        return resolved.toString();
    }

    private static String variableValue(String variable, Properties properties) {
        if (TEMP_DIR_VARIABLE.equals(variable)) {
            return properties.getProperty("java.io.tmpdir");
        }
        return null;
    }

    private static File toFile(String name, Properties properties) {
        return name.isEmpty() ? null : new File(resolveVariables(name, properties));
    }

    // On failure the stream stays as it was: losing a log file must not
    // keep the application from starting.
    private static PrintStream open(File file, boolean append, String streamName) {
        try {
            return new PrintStream(new FileOutputStream(file, append), true);
        } catch (IOException | SecurityException e) {
            System.err.println("Cannot redirect standard " + streamName + " to " + file + ": " + e.getMessage());
            return null;
        }
    }

    private static boolean sameFile(File first, File second) {
        try {
            return first.getCanonicalFile().equals(second.getCanonicalFile());
        } catch (IOException e) {
            return first.getAbsoluteFile().equals(second.getAbsoluteFile());
        }
    }
}

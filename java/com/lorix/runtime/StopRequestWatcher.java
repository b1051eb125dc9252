package com.lorix.runtime;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.Properties;

/**
 * In the service's child process, standard input is the pipe on which the
 * service host writes the stop request "0" when Windows stops the service
 * or shuts down. A daemon thread waits for that line and ends the JVM with
 * System.exit(0), so the application's shutdown hooks run. Other lines are
 * ignored. When the pipe closes without a request the watcher just ends:
 * the application keeps running rather than being killed by a lost pipe.
 */
final class StopRequestWatcher implements Runnable {
    static final String SERVICE_PROPERTY = "lorix.isService";
    static final String STOP_REQUEST = "0";

    private final InputStream input;

    private StopRequestWatcher(InputStream input) {
        this.input = input;
    }

    /** The launcher sets lorix.isService=true only for the service's child. */
    static boolean isServiceChild(Properties properties) {
        return "true".equals(properties.getProperty(SERVICE_PROPERTY));
    }

    static void start(InputStream input) {
        Thread thread = new Thread(new StopRequestWatcher(input), "service stop request");
        thread.setDaemon(true);
        thread.start();
    }

    @Override
    public void run() {
        BufferedReader reader = new BufferedReader(new InputStreamReader(input, StandardCharsets.US_ASCII));
        try {
            String line;
            while ((line = reader.readLine()) != null) {
                if (STOP_REQUEST.equals(line.trim())) {
                    System.exit(0);
                    return;
                }
            }
        } catch (IOException e) {
            // The pipe is gone; there is nothing left to watch.
        }
    }
}

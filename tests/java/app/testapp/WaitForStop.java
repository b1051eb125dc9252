package testapp;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;

/**
 * Registers a shutdown hook that writes "hook ran" to the file args[0],
 * prints "ready" and then blocks until the JVM is ended from outside.
 */
public final class WaitForStop {
    public static void main(String[] args) throws InterruptedException {
        final String marker = args[0];
        Runtime.getRuntime().addShutdownHook(new Thread(() -> {
            try {
                Files.write(Paths.get(marker), "hook ran".getBytes(StandardCharsets.UTF_8));
            } catch (IOException e) {
                e.printStackTrace();
            }
        }));
        System.out.println("ready");
        System.out.flush();
        Thread.sleep(Long.MAX_VALUE);
    }
}
